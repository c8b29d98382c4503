// A run session of the sample MIDlet with its LIBlet against modsim pacing at 115200 baud, split
// into the waits the session must make, the time its bytes need on the line, and what is left
// (the program's own work, process starts, scheduling). The waits are counted from what the
// session did (its console output and the simulator's transcript):
//   switching the module on      DTR low 400 ms, 500 ms after raising it, 1000 ms once CTS is on
//   after the upload             1000 ms before the program start
//   each file-access period      100 ms after init and after deinit, the two 1200 ms guard
//                                times around "+++"
//   OBEX-mode AT commands        the read rule ends each answer 50 ms after its last byte
//                                (AT+CGMM, AT&F, AT\Q3, AT^KQWE=100, AT^KQWE=3)
// The bytes on the line are counted by a relay between the emulator and the simulator that
// reads the network serial protocol and counts only the serial data in both directions; a
// second session through the relay gives the count, the first one (direct) the wall time.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "obex/bench/paced_simulator.h"
#include "platform/env.h"
#include "platform/process.h"
#include "platform/serial_pty.h"
#include "platform/tcp_socket.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kBaud = 115200;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Counts the serial data bytes of one direction of a network serial stream: telnet commands
// and option negotiation are protocol, a doubled 0xFF is one data byte.
class DataCounter {
public:
    void Feed(const unsigned char* bytes, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) Step(bytes[i]);
    }
    uint64_t Count() const { return count_; }

private:
    void Step(unsigned char b) {
        switch (state_) {
        case State::Data:
            if (b == 0xFF) state_ = State::Command;
            else ++count_;
            break;
        case State::Command:
            if (b == 0xFF) { ++count_; state_ = State::Data; }
            else if (b == 0xFA) state_ = State::Sub;
            else if (b >= 0xFB) state_ = State::Option; // WILL, WONT, DO, DONT take one byte
            else state_ = State::Data;
            break;
        case State::Option: state_ = State::Data; break;
        case State::Sub: if (b == 0xFF) state_ = State::SubCommand; break;
        case State::SubCommand: state_ = b == 0xF0 ? State::Data : State::Sub; break;
        }
    }
    enum class State { Data, Command, Option, Sub, SubCommand } state_ = State::Data;
    uint64_t count_ = 0;
};

// Accepts connections and relays each to the simulator, counting the data both ways.
class CountingRelay {
public:
    CountingRelay(const std::string& host, uint16_t port) : host_(host), port_(port) {
        int error = 0;
        listener_ = platform::TcpListener::Listen("127.0.0.1", 0, &error);
        if (listener_) acceptor_ = std::thread([this] { Accept(); });
    }
    ~CountingRelay() {
        stop_ = true;
        if (acceptor_.joinable()) acceptor_.join();
        for (auto& t : pumps_) t.join();
    }
    bool Listening() const { return listener_ != nullptr; }
    std::string Url() const { return "rfc2217://127.0.0.1:" + std::to_string(listener_->LocalPort()); }
    uint64_t Bytes() const { return bytes_.load(); }

private:
    void Accept() {
        while (!stop_) {
            int error = 0;
            std::shared_ptr<platform::TcpStream> client = listener_->Accept(100, &error);
            if (!client) continue;
            std::shared_ptr<platform::TcpStream> server = platform::TcpStream::Connect(host_, port_, 5000, &error);
            if (!server) {
                client->Shutdown();
                continue;
            }
            pumps_.emplace_back([this, client, server] { Pump(*client, *server); });
            pumps_.emplace_back([this, client, server] { Pump(*server, *client); });
        }
    }
    void Pump(platform::TcpStream& from, platform::TcpStream& to) {
        DataCounter counter;
        unsigned char buffer[4096];
        for (;;) {
            const long n = from.Receive(buffer, sizeof(buffer), 200);
            if (n < 0) break;
            if (n == 0) {
                if (stop_) break;
                continue;
            }
            counter.Feed(buffer, static_cast<std::size_t>(n));
            if (to.Send(buffer, static_cast<std::size_t>(n), 5000) != n) break;
        }
        to.Shutdown();
        bytes_ += counter.Count();
    }

    std::string host_;
    uint16_t port_;
    std::unique_ptr<platform::TcpListener> listener_;
    std::thread acceptor_;
    std::vector<std::thread> pumps_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> bytes_{0};
};

struct SessionRun {
    int status = -1;
    double seconds = 0;
    std::string output;
};

// With a terminal path (a pty's device) the emulator's standard output goes there, so the
// session shows its upload progress.
SessionRun RunSession(const fs::path& work, const std::string& url, const std::string& terminal = std::string()) {
    fs::create_directories(work / "cfg");
    fs::create_directories(work / "sys");
    fs::create_directories(work / "tmp");
    std::ofstream(work / "cfg" / "rasphone.pbk")
        << "[IP connection for remote debugging of QREx]\r\nDevice=Module Simulator\r\nPhoneNumber=*99***1#\r\n"
           "ConnectBPS=" << kBaud << "\r\n";
    std::ofstream(work / "cfg" / "modems.ini")
        << "[Module Simulator]\r\nAttachedTo=" << url << "\r\nMaximumPortSpeed=" << kBaud << "\r\n";
    const std::string toolkit = std::string(MODLINK_BINARY_DIR) + "/testkit/toolkit";
    platform::ProcessOptions options;
    options.arguments = {toolkit + "/bin/emulator", "-Xdescriptor:" + toolkit + "/apps/calc/calc.jad"};
    if (!terminal.empty()) {
        options.arguments.insert(options.arguments.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" >\"$SESSION_TERMINAL\""});
    }
    options.environment = platform::EnvironmentBlock();
    if (!terminal.empty()) options.environment["SESSION_TERMINAL"] = terminal;
    options.environment["MODLINK_CONFIG_DIR"] = (work / "cfg").string();
    options.environment["MODLINK_SYSFS"] = (work / "sys").string();
    options.environment["TMPDIR"] = (work / "tmp").string();
    options.replaceEnvironment = true;
    options.output = platform::ChildOutput::Pipe;
    options.inheritInput = false;
    SessionRun run;
    int error = 0;
    const auto start = Clock::now();
    run.status = platform::RunToEnd(options, &run.output, &error);
    run.seconds = Seconds(Clock::now() - start);
    return run;
}

std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

} // namespace

int main() {
    std::random_device random;
    const fs::path work = fs::temp_directory_path() / ("session-bench-" + std::to_string(random()));
    fs::create_directories(work / "flash" / "A");

    // The wall time, straight to the simulator.
    SessionRun direct;
    fs::path transcript = work / "transcript-direct.txt";
    {
        PacedSimulator sim;
        if (!StartPacedSimulator(sim, work / "flash", transcript)) {
            std::fprintf(stderr, "modsim did not start\n");
            return 1;
        }
        direct = RunSession(work / "direct", "rfc2217://" + sim.host + ":" + std::to_string(sim.port));
    }
    // The same on a terminal, with the progress line drawn.
    SessionRun shown;
    std::size_t progressLines = 0;
    {
        PacedSimulator sim;
        int error = 0;
        auto terminal = platform::PtyMaster::Create(&error);
        if (!terminal || !StartPacedSimulator(sim, work / "flash", work / "transcript-terminal.txt")) return 1;
        std::string screen;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            char buffer[4096];
            for (;;) {
                const long n = terminal->Read(buffer, sizeof(buffer), 100);
                if (n > 0) screen.append(buffer, static_cast<std::size_t>(n));
                else if (n < 0 || done) break;
            }
        });
        shown = RunSession(work / "terminal", "rfc2217://" + sim.host + ":" + std::to_string(sim.port),
                           terminal->DevicePath());
        done = true;
        reader.join();
        for (std::size_t at = 0; (at = screen.find(" bytes  ", at)) != std::string::npos; ++at) ++progressLines;
    }
    // The bytes on the line, through the counting relay.
    SessionRun relayed;
    uint64_t lineBytes = 0;
    {
        PacedSimulator sim;
        if (!StartPacedSimulator(sim, work / "flash", work / "transcript-relayed.txt")) return 1;
        CountingRelay relay(sim.host, sim.port);
        if (!relay.Listening()) return 1;
        relayed = RunSession(work / "relayed", relay.Url());
        // Let the pumps see the last connection close before the count is read.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        lineBytes = relay.Bytes();
    }

    const std::vector<std::string> lines = Lines(transcript);
    int periods = 0, obexAt = 0;
    for (const std::string& line : lines) {
        if (line == "OBEX +++") ++periods;
        if (line == "AT+CGMM" || line == "AT&F" || line == "AT\\Q3" || line == "AT^KQWE=100" || line == "AT^KQWE=3") {
            ++obexAt;
        }
    }
    const bool switchedOn = direct.output.find("Switching on module...\n") != std::string::npos;
    const double switchOn = switchedOn ? 0.4 + 0.5 + 1.0 : 0.0;
    const double beforeStart = 1.0;
    const double guards = periods * 2.4;
    const double initDeinit = periods * 0.2;
    const double quiet = obexAt * 0.05;
    const double waits = switchOn + beforeStart + guards + initDeinit + quiet;
    const double line = static_cast<double>(lineBytes) * 10.0 / kBaud;

    std::printf("run session of calc with its LIBlets, modsim --pace at %u baud\n", kBaud);
    std::printf("  wall time                    %6.2f s   (exit status %d)\n", direct.seconds, direct.status);
    std::printf("  prescribed waits             %6.2f s\n", waits);
    std::printf("    switching the module on    %6.2f s   (DTR 0.4 + 0.5 + 1.0%s)\n", switchOn,
                switchedOn ? "" : ", not needed");
    std::printf("    before the program start   %6.2f s\n", beforeStart);
    std::printf("    guard times of \"+++\"       %6.2f s   (%d file-access periods x 2 x 1.2 s)\n", guards, periods);
    std::printf("    file access init/deinit    %6.2f s   (%d x 2 x 0.1 s)\n", initDeinit, periods);
    std::printf("    read-rule quiet periods    %6.2f s   (%d OBEX-mode AT answers x 50 ms)\n", quiet, obexAt);
    std::printf("  bytes on the line            %6.2f s   (%llu bytes both ways at %u baud, 10 bits a byte)\n", line,
                static_cast<unsigned long long>(lineBytes), kBaud);
    std::printf("  left                         %6.2f s\n", direct.seconds - waits - line);
    std::printf("  on a terminal, with the progress line (%zu lines drawn): %.2f s wall time, exit status %d\n",
                progressLines, shown.seconds, shown.status);
    std::printf("  (the relayed session that counted the bytes took %.2f s, exit status %d)\n", relayed.seconds,
                relayed.status);
    std::error_code ec;
    fs::remove_all(work, ec);
    return direct.status == 0 && relayed.status == 0 && shown.status == 0 ? 0 : 1;
}
