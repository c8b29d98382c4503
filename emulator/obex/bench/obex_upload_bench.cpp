// Uploads a 1 MiB JAR to modsim pacing at 115200 and 921600 baud and prints the payload
// throughput as a share of the line rate (baud / 10 bytes per second); then times a whole run
// session and splits it into the fixed waits of the file transfer and everything else.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "obex/module_file_access.h"
#include "obex/bench/paced_simulator.h"
#include "platform/env.h"
#include "platform/process.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

int CountLines(const std::filesystem::path& file, const std::string& prefix) {
    std::ifstream in(file);
    int n = 0;
    for (std::string line; std::getline(in, line);) n += line.rfind(prefix, 0) == 0;
    return n;
}

} // namespace

int main() {
    std::random_device random;
    std::filesystem::path work = std::filesystem::temp_directory_path() / ("obex-bench-" + std::to_string(random()));
    std::filesystem::create_directories(work / "flash" / "A");
    std::filesystem::path jar = work / "big.jar";
    {
        std::ofstream out(jar, std::ios::binary);
        std::mt19937 bytes(1);
        for (int i = 0; i < 1024 * 1024; ++i) out.put(static_cast<char>(bytes()));
    }
    std::printf("1 MiB upload to modsim pacing at the line rate (10 bits per byte)\n");
    for (uint32_t baud : {115200u, 921600u}) {
        PacedSimulator sim;
        if (!StartPacedSimulator(sim, work / "flash", work / "transcript.txt")) {
            std::fprintf(stderr, "modsim did not start\n");
            return 1;
        }
        InitFileAccess(sim.url, baud);
        // The first operation connects (baud search, OBEX mode switch); the upload is timed alone.
        DeleteModuleFile("A:\\none.jar");
        auto start = Clock::now();
        bool ok = SendFile("A:\\big.jar", jar.string());
        double seconds = Seconds(Clock::now() - start);
        DeinitFileAccess();
        double lineRate = baud / 10.0;
        double throughput = 1024.0 * 1024.0 / seconds;
        std::printf("  %7u baud: %s, %.2f s, %.0f bytes/s payload = %.1f%% of the line rate\n", baud,
                    ok ? "ok" : "FAILED", seconds, throughput, 100.0 * throughput / lineRate);
        std::filesystem::remove(work / "flash" / "A" / "big.jar");
    }

    // A whole run session of the sample MIDlet, paced at 115200 baud.
    {
        PacedSimulator sim;
        std::filesystem::path transcript = work / "session-transcript.txt";
        if (!StartPacedSimulator(sim, work / "flash", transcript)) return 1;
        std::filesystem::create_directories(work / "cfg");
        std::filesystem::create_directories(work / "sys");
        std::ofstream(work / "cfg" / "rasphone.pbk")
            << "[IP connection for remote debugging of QREx]\r\nDevice=Module Simulator\r\nPhoneNumber=*99***1#\r\n"
               "ConnectBPS=115200\r\n";
        std::ofstream(work / "cfg" / "modems.ini")
            << "[Module Simulator]\r\nAttachedTo=" << sim.url << "\r\nMaximumPortSpeed=115200\r\n";
        std::string toolkit = std::string(MODLINK_BINARY_DIR) + "/testkit/toolkit";
        platform::ProcessOptions options;
        options.arguments = {toolkit + "/bin/emulator", "-Xdescriptor:" + toolkit + "/apps/calc/calc.jad"};
        options.environment = platform::EnvironmentBlock();
        options.environment["MODLINK_CONFIG_DIR"] = (work / "cfg").string();
        options.environment["MODLINK_SYSFS"] = (work / "sys").string();
        options.replaceEnvironment = true;
        options.output = platform::ChildOutput::Discard;
        options.inheritInput = false;
        std::string output;
        int error = 0;
        auto start = Clock::now();
        int status = platform::RunToEnd(options, &output, &error);
        double total = Seconds(Clock::now() - start);
        // Each OBEX period ends with the two 1200 ms guard times of "+++"; each init and deinit of
        // file access sleeps 100 ms.
        int periods = CountLines(transcript, "OBEX +++");
        double fixed = periods * 2.4 + periods * 0.2;
        std::printf("run session (calc + LIBlet, 115200 baud): status %d, %.2f s wall time\n", status, total);
        std::printf("  fixed waits of the file transfer: %.2f s (%d OBEX periods: guard times 2 x 1.2 s, "
                    "init/deinit 2 x 0.1 s)\n",
                    fixed, periods);
        std::printf("  everything else (AT channel, baud search, transfers, program start): %.2f s\n", total - fixed);
    }
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
    return 0;
}
