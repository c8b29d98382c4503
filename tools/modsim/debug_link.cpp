// The simulator's debug side: ATD opens a direct IP link on the port. While the link is up the
// program of the classic debug configuration runs in a VM with JDWP on the module's address and
// debug port, and its System.out goes to the PC as UDP datagrams. A hang-up (the PC drops DTR and
// closes the port) ends the VM; when the VM ends (the debugger detached) the module drops the link
// with NO CARRIER.
//
// Options:
//   --refuse-atd             ATD is answered with NO CARRIER
//   --drop-link-after N      the module drops the link N seconds after CONNECT
//   --keep-link              the link stays up after the VM ended, until the PC hangs up
//   --java PATH              the java program for the VM (default: java on PATH)
//   --impng-jar PATH         the IMP-NG stand-in runtime (default: next to this build's testkit)
//   --debug-relay-jar PATH   zdp.jar, which serves the VM's debug port on the module's address
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "debug_config.h"
#include "debug_vm.h"
#include "extensions.h"
#include "platform/files.h"
#include "platform/process.h"
#include "text_util.h"

namespace modsim {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t PollMs = 100;

std::string OptionValue(Simulator& simulator, const std::string& name) {
    auto& values = simulator.options().extensionValues;
    auto found = values.find(name);
    return found == values.end() ? std::string() : found->second;
}

// A testkit jar of this build: build/bin/modsim finds build/testkit/<folder>/<jar>.
std::string BuiltJar(const std::string& folder, const std::string& jar) {
    fs::path bin = fs::path(platform::ExecutablePath()).parent_path();
    return (bin.parent_path() / "testkit" / folder / jar).string();
}

std::string JavaProgram(Simulator& simulator) {
    std::string java = OptionValue(simulator, "java");
    if (!java.empty()) {
        return java;
    }
    java = platform::FindProgram("java");
    return java.empty() ? "/usr/bin/java" : java;
}

// The VM's setup for the program named by the debug configuration; false with *error when the
// program is not in the flash.
bool VmConfigFor(Simulator& simulator, const DebugConfig& debug, DebugVmConfig* config,
                 std::string* error) {
    const std::string drive = simulator.DriveFolder(0);
    const std::string jar = FlashPathOf(debug.programPath, drive);
    std::error_code ec;
    if (jar.empty() || !fs::is_regular_file(jar, ec)) {
        *error = "the debugged program " + debug.programPath + " is not in the flash";
        return false;
    }
    config->java = JavaProgram(simulator);
    config->runtimeJar = OptionValue(simulator, "impng-jar");
    if (config->runtimeJar.empty()) {
        config->runtimeJar = BuiltJar("impng", "impng.jar");
    }
    config->relayJar = OptionValue(simulator, "debug-relay-jar");
    if (config->relayJar.empty()) {
        config->relayJar = BuiltJar("debugagent", "zdp.jar");
    }
    // The program's JAR first, then every other JAR of the drive (its LIBlets).
    config->classPath = {jar};
    for (const std::string& name : platform::ListFolder(fs::path(jar).parent_path().string(), "*.jar")) {
        std::string other = (fs::path(jar).parent_path() / name).string();
        if (other != jar) {
            config->classPath.push_back(other);
        }
    }
    // The runner reads the descriptor when it is there, else the JAR's manifest.
    std::string jad = fs::path(jar).replace_extension(".jad").string();
    config->program = fs::is_regular_file(jad, ec) ? jad : jar;
    config->listenAddress = debug.localIp.empty() ? "127.0.0.1" : debug.localIp;
    config->debugPort = debug.debugPort;
    config->stdoutAddress = debug.remoteIp;
    config->stdoutPort = debug.stdoutUdpPort;
    return true;
}

// Holds the data link after CONNECT until one side drops it.
void HoldLink(Simulator& simulator, ByteChannel& channel) {
    DebugConfig debug;
    {
        std::lock_guard<std::mutex> lock(simulator.state().mutex);
        debug = ReadDebugConfig(simulator.state().kcfg);
    }
    const bool keepLink = !OptionValue(simulator, "keep-link").empty();
    const long dropAfterSeconds = std::strtol(OptionValue(simulator, "drop-link-after").c_str(), nullptr, 10);
    const auto connected = std::chrono::steady_clock::now();

    DebugVm vm;
    bool vmStarted = false;
    if (debug.debugProgram) {
        DebugVmConfig config;
        std::string error;
        if (VmConfigFor(simulator, debug, &config, &error) && vm.Start(config, &error)) {
            vmStarted = true;
        } else {
            std::fprintf(stderr, "modsim: %s\n", error.c_str());
        }
    }
    char buffer[256];
    for (;;) {
        long count = channel.Read(buffer, sizeof(buffer), PollMs);
        if (count < 0) {
            return; // the PC hung up; the VM ends with vm's destructor
        }
        bool drop = false;
        if (dropAfterSeconds > 0 &&
            std::chrono::steady_clock::now() - connected >= std::chrono::seconds(dropAfterSeconds)) {
            drop = true;
        }
        if (vmStarted && !vm.Running() && !keepLink) {
            drop = true;
        }
        if (drop) {
            vm.Stop();
            channel.Write("\r\nNO CARRIER\r\n");
            return;
        }
    }
}

} // namespace

void InstallDebugLink(Simulator& simulator) {
    simulator.RegisterOption("refuse-atd", false, "answer ATD with NO CARRIER");
    simulator.RegisterOption("drop-link-after", true, "drop the data link N seconds after CONNECT");
    simulator.RegisterOption("keep-link", false, "keep the data link up after the debug VM ended");
    simulator.RegisterOption("java", true, "the java program that runs the debug VM");
    simulator.RegisterOption("impng-jar", true, "the IMP-NG stand-in runtime for the debug VM");
    simulator.RegisterOption("debug-relay-jar", true, "zdp.jar, serving the VM's debug port");
    simulator.AddCommandHandler([&simulator](const std::string& command, ByteChannel&) {
        CommandAnswer answer;
        if (!StartsWithIgnoreCase(command, "ATD")) {
            return answer;
        }
        answer.handled = true;
        if (!OptionValue(simulator, "refuse-atd").empty()) {
            answer.reply = "\r\nNO CARRIER\r\n";
            return answer;
        }
        answer.reply = "\r\nCONNECT 115200\r\n";
        answer.takeOver = [&simulator](ByteChannel& channel) { HoldLink(simulator, channel); };
        return answer;
    });
}

} // namespace modsim
