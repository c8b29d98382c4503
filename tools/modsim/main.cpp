// modsim: a virtual radio module on an RFC 2217 port or a pty, for tests and the demo.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "extensions.h"
#include "port_server.h"

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void OnStopSignal(int) { stopRequested.store(true); }

void PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    modsim::Simulator simulator;
    modsim::InstallObexServer(simulator);
    modsim::InstallDebugLink(simulator);

    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const std::string& arg : arguments) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(simulator.Usage().c_str(), stdout);
            return 0;
        }
    }
    std::string error;
    if (!simulator.ParseArguments(arguments, &error) || !simulator.Prepare(&error)) {
        std::fprintf(stderr, "modsim: %s\n", error.c_str());
        std::fputs(simulator.Usage().c_str(), stderr);
        return 2;
    }
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGINT, OnStopSignal);

    const modsim::Options& options = simulator.options();
    if (options.usePty) {
        int failure = 0;
        std::unique_ptr<platform::PtyMaster> pty = platform::PtyMaster::Create(&failure);
        if (!pty) {
            std::fprintf(stderr, "modsim: cannot create a pty (error %d)\n", failure);
            return 1;
        }
        PrintLine("modsim: ready " + pty->DevicePath());
        modsim::ServePty(simulator, *pty, stopRequested);
        return 0;
    }
    int failure = 0;
    std::unique_ptr<platform::TcpListener> listener =
        platform::TcpListener::Listen(options.listenAddress, options.listenPort, &failure);
    if (!listener) {
        std::fprintf(stderr, "modsim: cannot listen on %s:%u (error %d)\n", options.listenAddress.c_str(),
                     static_cast<unsigned>(options.listenPort), failure);
        return 1;
    }
    PrintLine("modsim: ready rfc2217://" + options.listenAddress + ":" + std::to_string(listener->LocalPort()));
    modsim::ServeNetworkPort(simulator, listener, stopRequested, PrintLine);
    return 0;
}
