#include "debug_vm.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/process_control.h"

namespace modsim {

namespace {

// The VMs and relays that run, by process id. When the simulator ends while a link is up (it is
// stopped with SIGTERM), they are ended at exit, so no VM outlives the module it belongs to.
std::mutex liveMutex;
std::set<int>& LiveProcesses() {
    static std::set<int>* live = new std::set<int>();
    return *live;
}

void EndLiveProcessesAtExit() {
    std::lock_guard<std::mutex> lock(liveMutex);
    for (int id : LiveProcesses()) {
        platform::KillProcess(id);
    }
}

void Track(const std::unique_ptr<platform::Process>& process) {
    static bool registered = (std::atexit(EndLiveProcessesAtExit), true);
    (void)registered;
    if (process) {
        std::lock_guard<std::mutex> lock(liveMutex);
        LiveProcesses().insert(process->Id());
    }
}

void Untrack(const std::unique_ptr<platform::Process>& process) {
    if (process) {
        std::lock_guard<std::mutex> lock(liveMutex);
        LiveProcesses().erase(process->Id());
    }
}

constexpr const char* ListeningMarker = "Listening for transport dt_socket at address: ";
constexpr std::size_t DatagramLimit = 4095;

std::unique_ptr<platform::Process> StartQuiet(std::vector<std::string> arguments, bool pipe,
                                              int* error) {
    platform::ProcessOptions options;
    options.arguments = std::move(arguments);
    options.output = pipe ? platform::ChildOutput::Pipe : platform::ChildOutput::Discard;
    options.inheritInput = false;
    return platform::Process::Start(options, error);
}

void EndProcess(std::unique_ptr<platform::Process>& process) {
    Untrack(process);
    if (process) {
        int exitCode = 0;
        if (!process->Wait(0, &exitCode)) {
            process->Terminate(1);
        }
        process.reset();
    }
}

} // namespace

std::vector<std::string> DebugVmArguments(const DebugVmConfig& config, char listSeparator) {
    std::string classPath = config.runtimeJar;
    for (const std::string& entry : config.classPath) {
        classPath += listSeparator + entry;
    }
    return {"-agentlib:jdwp=transport=dt_socket,server=y,suspend=y,address=127.0.0.1:0",
            "-cp", classPath, "impng.MidletRunner", config.program};
}

bool DebugVm::Start(const DebugVmConfig& config, std::string* error) {
    Stop();
    config_ = config;
    std::vector<std::string> arguments = {config.java};
    for (std::string& argument : DebugVmArguments(config, ':')) {
        arguments.push_back(std::move(argument));
    }
    int startError = 0;
    vm_ = StartQuiet(arguments, true, &startError);
    Track(vm_);
    if (!vm_) {
        *error = "cannot start the VM " + config.java + ": " + platform::ErrorText(startError);
        return false;
    }
    // The JDWP agent names its port in its first line; everything after it is the program's.
    std::string line;
    char buffer[512];
    std::size_t end = std::string::npos;
    while (end == std::string::npos) {
        long count = vm_->ReadOutput(buffer, sizeof(buffer));
        if (count <= 0) {
            *error = "the VM ended before it listened for a debugger: " + line;
            EndProcess(vm_);
            return false;
        }
        line.append(buffer, static_cast<std::size_t>(count));
        end = line.find('\n');
    }
    std::string::size_type marker = line.find(ListeningMarker);
    long vmPort = marker == std::string::npos
                      ? 0
                      : std::strtol(line.c_str() + marker + std::string(ListeningMarker).size(), nullptr, 10);
    firstOutput_ = line.substr(end + 1);
    if (vmPort <= 0) {
        *error = "the VM did not report its debug port: " + line.substr(0, end);
        EndProcess(vm_);
        return false;
    }
    relay_ = StartQuiet({config.java, "-cp", config.relayJar, "zdp.ZetaDebugProxy", "-b",
                         config.listenAddress, "-l", std::to_string(config.debugPort), "-p", "-r",
                         "127.0.0.1", std::to_string(vmPort), "-cp", "."},
                        false, &startError);
    Track(relay_);
    if (!relay_) {
        *error = "cannot start the debug relay: " + platform::ErrorText(startError);
        EndProcess(vm_);
        return false;
    }
    if (!config.stdoutAddress.empty() && config.stdoutPort != 0) {
        platform::UdpOpenFailure failure;
        socket_ = platform::UdpSocket::Open("", 0, &failure);
    }
    pump_ = std::thread([this] { PumpOutput(); });
    return true;
}

void DebugVm::PumpOutput() {
    auto send = [this](const char* data, std::size_t size) {
        if (!socket_) {
            return;
        }
        for (std::size_t done = 0; done < size; done += DatagramLimit) {
            int error = 0;
            std::size_t piece = std::min(DatagramLimit, size - done);
            socket_->SendTo(config_.stdoutAddress, config_.stdoutPort, data + done, piece, &error);
        }
    };
    send(firstOutput_.data(), firstOutput_.size());
    char buffer[DatagramLimit];
    for (;;) {
        long count = vm_->ReadOutput(buffer, sizeof(buffer));
        if (count <= 0) {
            return;
        }
        send(buffer, static_cast<std::size_t>(count));
    }
}

bool DebugVm::Running() {
    if (!vm_) {
        return false;
    }
    int exitCode = 0;
    if (relay_ && relay_->Wait(0, &exitCode)) {
        // The debugger detached: the module ends the program's VM.
        Untrack(relay_);
        relay_.reset();
        vm_->Terminate(1);
    }
    return !vm_->Wait(0, &exitCode);
}

void DebugVm::Stop() {
    EndProcess(relay_);
    if (vm_) {
        int exitCode = 0;
        if (!vm_->Wait(0, &exitCode)) {
            vm_->Terminate(1);
        }
    }
    if (pump_.joinable()) {
        pump_.join();
    }
    Untrack(vm_);
    vm_.reset();
    socket_.reset();
}

} // namespace modsim
