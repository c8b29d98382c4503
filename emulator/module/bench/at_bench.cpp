// How long the AT channel's steps take against the module simulator over RFC 2217 on 127.0.0.1:
// opening the port, one AT round trip, the whole port preparation, and paced AT+CGMM answers.
// Prints figures; run it by hand (build/bin/module_bench).
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "module/at_channel.h"
#include "module/module_port.h"
#include "platform/process.h"
#include "core/log.h"
#include "core/records.h"

namespace {

using Steady = std::chrono::steady_clock;

double MsSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// Starts the simulator and returns its URL (empty on failure).
std::string StartModsim(const std::vector<std::string>& options, std::unique_ptr<platform::Process>* process) {
    platform::ProcessOptions start;
    start.arguments = {std::string(MODLINK_BINARY_DIR) + "/bin/modsim", "--listen", "127.0.0.1:0", "--no-echo"};
    start.arguments.insert(start.arguments.end(), options.begin(), options.end());
    start.output = platform::ChildOutput::Pipe;
    start.inheritInput = false;
    int error = 0;
    *process = platform::Process::Start(start, &error);
    if (!*process) {
        return std::string();
    }
    std::string output;
    char buffer[256];
    while (output.find('\n') == std::string::npos) {
        long n = (*process)->ReadOutput(buffer, sizeof(buffer));
        if (n <= 0) {
            return std::string();
        }
        output.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string ready = "modsim: ready ";
    std::size_t at = output.find(ready);
    if (at == std::string::npos) {
        return std::string();
    }
    return output.substr(at + ready.size(), output.find('\n', at) - at - ready.size());
}

void Stop(std::unique_ptr<platform::Process>& process) {
    platform::ProcessOptions kill;
    kill.arguments = {"kill", "-TERM", std::to_string(process->Id())};
    int error = 0;
    platform::RunToEnd(kill, nullptr, &error);
    int status = 0;
    process->Wait(5000, &status);
}

} // namespace

int main() {
    ConsoleEnabled = false;
    std::unique_ptr<platform::Process> modsim;
    std::string url = StartModsim({}, &modsim);
    if (url.empty()) {
        std::fprintf(stderr, "module_bench: modsim did not start (build it first)\n");
        return 1;
    }

    const int opens = 50;
    Steady::time_point start = Steady::now();
    for (int i = 0; i < opens; ++i) {
        ComPortHandle port = OpenComPort(url, 115200);
        if (!port) {
            std::fprintf(stderr, "module_bench: open failed\n");
            return 1;
        }
    }
    std::printf("open + configure + close of an rfc2217 port: %.2f ms\n", MsSince(start) / opens);

    ComPortHandle port = OpenComPort(url, 115200);
    const int exchanges = 200;
    start = Steady::now();
    for (int i = 0; i < exchanges; ++i) {
        SendAtCommand(port.get(), "AT\r", 2500, 0, nullptr, 0);
    }
    std::printf("AT round trip (purge, write, poll at 10 ms): %.2f ms\n", MsSince(start) / exchanges);
    CloseComPort(port);

    Settings.ComPortName = url;
    Settings.ComBaudRate = 115200;
    Settings.ModuleFolder = "a:/";
    start = Steady::now();
    bool prepared = PrepareModulePort();
    std::printf("PrepareModulePort (probe 8 rates, switch-on check, AT+IPR, ATI): %.1f ms (%s)\n", MsSince(start),
                prepared ? "ok" : "failed");
    Stop(modsim);

    // Pacing: a 2 KB model answer at 9600 and 115200 baud takes its line time.
    std::string model(2000, 'M');
    for (uint32_t rate : {9600u, 115200u}) {
        url = StartModsim({"--pace", "--model", model}, &modsim);
        port = OpenComPort(url, rate);
        char response[4096];
        start = Steady::now();
        bool ok = SendAtCommand(port.get(), "AT+CGMM\r", 10000, 0, response, sizeof(response));
        double ms = MsSince(start);
        std::printf("paced %zu-byte answer at %u baud: %.0f ms, %.0f bytes/s (%s)\n", model.size() + 12, rate, ms,
                    (model.size() + 12) * 1000.0 / ms, ok ? "ok" : "failed");
        CloseComPort(port);
        Stop(modsim);
    }
    return 0;
}
