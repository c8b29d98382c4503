#pragma once
// The module simulator as the benchmarks run it: on a free port of 127.0.0.1, pacing its bytes
// at the line rate, with a flash folder and a transcript of the benchmark's own. Ends with the
// object.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/process.h"
#include "platform/serial_device.h"

struct PacedSimulator {
    std::unique_ptr<platform::Process> process;
    std::string url;    // "rfc2217://127.0.0.1:PORT"
    std::string host;
    uint16_t port = 0;

    PacedSimulator() = default;
    PacedSimulator(const PacedSimulator&) = delete;
    PacedSimulator& operator=(const PacedSimulator&) = delete;
    ~PacedSimulator() {
        if (process) {
            process->Terminate(0);
            int code;
            process->Wait(5000, &code);
        }
    }
};

// Starts the simulator and reads the port it serves from its first line of output.
inline bool StartPacedSimulator(PacedSimulator& sim, const std::filesystem::path& flash,
                                const std::filesystem::path& transcript) {
    platform::ProcessOptions options;
    options.arguments = {std::string(MODLINK_BINARY_DIR) + "/bin/modsim", "--listen", "127.0.0.1:0", "--pace",
                         "--flash", flash.string(), "--transcript", transcript.string()};
    options.output = platform::ChildOutput::Pipe;
    options.inheritInput = false;
    int error = 0;
    sim.process = platform::Process::Start(options, &error);
    if (!sim.process) return false;
    std::string seen;
    char buffer[256];
    while (seen.find('\n') == std::string::npos) {
        long n = sim.process->ReadOutput(buffer, sizeof(buffer));
        if (n <= 0) return false;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t at = seen.find("rfc2217://");
    if (at == std::string::npos) return false;
    sim.url = seen.substr(at, seen.find_first_of("\r\n", at) - at);
    return platform::ParseNetworkPortName(sim.url, &sim.host, &sim.port);
}
