#include "modsim_runner.h"

#include <chrono>
#include <fstream>
#include <sstream>

#include "platform/env.h"

namespace fs = std::filesystem;

namespace modsimtest {

namespace {

using Steady = std::chrono::steady_clock;

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path NewFolder(const std::string& what) {
    static int counter = 0;
    fs::path folder = fs::temp_directory_path() /
                      ("modsim-" + what + "-" + std::to_string(platform::CurrentProcessId()) + "-" + std::to_string(++counter));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out.push_back(c);
        }
    }
    return out + "'";
}

} // namespace

int StatusOf(int code) { return static_cast<int>(static_cast<unsigned>(-code) & 0xFFu); }

std::string HelloJad() { return std::string(MODLINK_BINARY_DIR) + "/testkit/toolkit/apps/hello/hello.jad"; }

ModsimRunner::~ModsimRunner() {
    Stop();
    std::error_code ec;
    if (!folder_.empty()) {
        fs::remove_all(folder_, ec);
    }
}

bool ModsimRunner::Start(const std::vector<std::string>& options) {
    return Launch({"--listen", "127.0.0.1:0"}, options);
}

bool ModsimRunner::StartPty(const std::vector<std::string>& options) { return Launch({"--pty"}, options); }

bool ModsimRunner::Launch(const std::vector<std::string>& portArguments, const std::vector<std::string>& options) {
    folder_ = NewFolder("run");
    platform::ProcessOptions start;
    start.arguments = {std::string(MODLINK_BINARY_DIR) + "/bin/modsim", "--transcript", (folder_ / "transcript.txt").string()};
    start.arguments.insert(start.arguments.end(), portArguments.begin(), portArguments.end());
    start.arguments.insert(start.arguments.end(), options.begin(), options.end());
    start.output = platform::ChildOutput::Pipe;
    start.inheritInput = false;
    int error = 0;
    process_ = platform::Process::Start(start, &error);
    if (!process_) {
        return false;
    }
    reader_ = std::thread([this] {
        char buffer[512];
        long n;
        while ((n = process_->ReadOutput(buffer, sizeof(buffer))) > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            output_.append(buffer, static_cast<std::size_t>(n));
        }
    });
    Steady::time_point end = Steady::now() + std::chrono::seconds(5);
    const std::string ready = "modsim: ready ";
    while (Steady::now() < end) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            std::size_t at = output_.find(ready);
            std::size_t eol = at == std::string::npos ? at : output_.find('\n', at);
            if (eol != std::string::npos) {
                url_ = output_.substr(at + ready.size(), eol - at - ready.size());
                return true;
            }
        }
        int status = 0;
        if (process_->Wait(10, &status)) {
            break;
        }
    }
    return false;
}

bool ModsimRunner::Stop() {
    if (!process_ || stopped_) {
        return true;
    }
    stopped_ = true;
    platform::ProcessOptions kill;
    kill.arguments = {"kill", "-TERM", std::to_string(process_->Id())};
    std::string ignored;
    int error = 0;
    platform::RunToEnd(kill, &ignored, &error);
    int status = -1;
    bool ended = process_->Wait(5000, &status);
    if (!ended) {
        process_->Terminate(9);
        process_->Wait(-1, &status);
    }
    if (reader_.joinable()) {
        reader_.join();
    }
    return ended && status == 0;
}

std::vector<std::string> ModsimRunner::Transcript() const { return SplitLines(ReadFile(folder_ / "transcript.txt")); }

std::vector<std::string> ModsimRunner::Output() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return SplitLines(output_);
}

int ModsimRunner::Connections() const {
    int count = 0;
    for (const std::string& line : Output()) {
        count += line == "modsim: connected";
    }
    return count;
}

bool ModsimRunner::AllConnectionsClosed() const {
    Steady::time_point end = Steady::now() + std::chrono::seconds(3);
    for (;;) {
        int open = 0;
        for (const std::string& line : Output()) {
            open += line == "modsim: connected" ? 1 : line == "modsim: disconnected" ? -1 : 0;
        }
        if (open == 0) {
            return true;
        }
        if (Steady::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

SessionResult RunSession(const ModsimRunner& modsim, const SessionConfig& config,
                         const std::vector<std::string>& arguments) {
    fs::path folder = NewFolder("session");
    fs::create_directories(folder / "config");
    fs::create_directories(folder / "sys" / "class" / "tty");
    fs::create_directories(folder / "tmp");
    std::string speed = std::to_string(config.speed);
    std::ofstream(folder / "config" / "rasphone.pbk", std::ios::binary)
        << "[IP connection for remote debugging of " << config.family << "x]\r\nDevice=Module Simulator\r\n"
        << "PhoneNumber=*99***1#\r\nConnectBPS=" << speed << "\r\n";
    std::ofstream(folder / "config" / "modems.ini", std::ios::binary)
        << "[Module Simulator]\r\nAttachedTo=" << (config.port.empty() ? modsim.Url() : config.port)
        << "\r\nMaximumPortSpeed=" << speed << "\r\n"
        << (config.portType.empty() ? std::string() : "PortType=" + config.portType + "\r\n");

    std::string script = "MODLINK_CONFIG_DIR=" + Quoted((folder / "config").string()) +
                         " MODLINK_SYSFS=" + Quoted((folder / "sys").string()) + " TMPDIR=" +
                         Quoted((folder / "tmp").string()) + " exec \"$0\" \"$@\" >" +
                         Quoted((folder / "out").string()) + " 2>" + Quoted((folder / "err").string());
    platform::ProcessOptions run;
    run.arguments = {"/bin/sh", "-c", script, std::string(MODLINK_BINARY_DIR) + "/testkit/toolkit/bin/emulator"};
    run.arguments.insert(run.arguments.end(), arguments.begin(), arguments.end());
    run.inheritInput = false;
    SessionResult result;
    int error = 0;
    result.status = platform::RunToEnd(run, nullptr, &error);
    result.out = ReadFile(folder / "out");
    result.err = ReadFile(folder / "err");
    result.log = ReadFile(folder / "tmp" / "PVXLogfile.log");
    std::error_code ec;
    fs::remove_all(folder, ec);
    return result;
}

} // namespace modsimtest
