#include "module_session.h"

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "platform/env.h"

namespace obextest {
namespace {

void Write(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

std::string Toolkit() { return std::string(MODLINK_BINARY_DIR) + "/testkit/toolkit"; }

} // namespace

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (it->is_regular_file()) files[std::filesystem::relative(it->path(), folder).string()] = ReadAll(it->path());
    }
    return files;
}

ModuleSession::ModuleSession(int drives, std::vector<std::string> simulatorOptions) {
    std::random_device random;
    scratch_ = std::filesystem::temp_directory_path() / ("obex-e2e-" + std::to_string(random()));
    std::filesystem::create_directories(scratch_ / "tmp");
    std::filesystem::create_directories(scratch_ / "cfg");
    std::filesystem::create_directories(scratch_ / "sys");
    for (int d = 0; d < drives; ++d) {
        std::filesystem::create_directories(Flash() / std::string(1, static_cast<char>('A' + d)));
    }
    // Something of the module's own that a session must leave alone.
    Write(Flash() / "A" / "keep.txt", "the module's own file\n");

    platform::ProcessOptions options;
    options.arguments = {std::string(MODLINK_BINARY_DIR) + "/bin/modsim", "--listen", "127.0.0.1:0", "--transcript",
                         (scratch_ / "transcript.txt").string(), "--flash", Flash().string(), "--drives",
                         std::to_string(drives)};
    options.arguments.insert(options.arguments.end(), simulatorOptions.begin(), simulatorOptions.end());
    options.output = platform::ChildOutput::Pipe;
    options.inheritInput = false;
    int error = 0;
    simulator_ = platform::Process::Start(options, &error);
    if (!simulator_) return;
    std::string seen;
    char buffer[256];
    while (seen.find('\n') == std::string::npos) {
        long n = simulator_->ReadOutput(buffer, sizeof(buffer));
        if (n <= 0) return;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    std::size_t at = seen.find("rfc2217://");
    if (at == std::string::npos) return;
    url_ = seen.substr(at, seen.find_first_of("\r\n", at) - at);
    Write(scratch_ / "cfg" / "rasphone.pbk",
          "[IP connection for remote debugging of QREx]\r\nDevice=Module Simulator\r\nPhoneNumber=*99***1#\r\n"
          "ConnectBPS=115200\r\n");
    Write(scratch_ / "cfg" / "modems.ini", "[Module Simulator]\r\nAttachedTo=" + url_ + "\r\nMaximumPortSpeed=115200\r\n");
}

ModuleSession::~ModuleSession() {
    if (simulator_) {
        simulator_->Terminate(0);
        int code = 0;
        simulator_->Wait(5000, &code);
    }
    std::error_code ec;
    std::filesystem::remove_all(scratch_, ec);
}

std::filesystem::path ModuleSession::MakeApplication() {
    std::filesystem::path app = scratch_ / "app";
    std::filesystem::create_directories(app);
    std::string calc = Toolkit() + "/apps/calc/";
    std::filesystem::copy_file(calc + "calc.jar", app / "calc.jar");
    std::filesystem::copy_file(calc + "mathlib.jar", app / "mathlib.jar");
    std::filesystem::copy_file(calc + "mathlib.jad", app / "mathlib.jad");
    std::filesystem::copy_file(calc + "mathlib.jar", app / "strlib.jar");
    std::string jad = ReadAll(calc + "calc.jad");
    Write(app / "calc.jad", jad + "Dependency-2: strlib;liblet;StrLib;modlink samples;1.0.0\n");
    Write(app / "strlib.jad",
          "LIBlet-Name: StrLib\nLIBlet-Version: 1.0.0\nLIBlet-Vendor: modlink samples\nLIBlet-Jar-URL: strlib.jar\n");
    return app / "calc.jad";
}

std::vector<std::string> ModuleSession::Transcript() const {
    std::vector<std::string> lines;
    std::istringstream text(ReadAll(scratch_ / "transcript.txt"));
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> ModuleSession::ObexLines() const {
    std::vector<std::string> lines;
    for (const std::string& line : Transcript()) {
        if (line.rfind("OBEX", 0) == 0 || line.rfind("at^kjra", 0) == 0) lines.push_back(line);
    }
    return lines;
}

SessionResult ModuleSession::Run(const std::filesystem::path& jad, const std::string& terminal) {
    SessionResult result;
    platform::ProcessOptions options;
    options.arguments = {Toolkit() + "/bin/emulator", "-Xdescriptor:" + jad.string()};
    if (!terminal.empty()) {
        // The shell only points standard output at the terminal; the program gets its arguments as they are.
        options.arguments.insert(options.arguments.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" >\"$SESSION_TERMINAL\""});
    }
    options.environment = platform::EnvironmentBlock();
    if (!terminal.empty()) options.environment["SESSION_TERMINAL"] = terminal;
    options.environment["MODLINK_CONFIG_DIR"] = (scratch_ / "cfg").string();
    options.environment["MODLINK_SYSFS"] = (scratch_ / "sys").string();
    options.environment["TMPDIR"] = (scratch_ / "tmp").string();
    options.replaceEnvironment = true;
    options.output = platform::ChildOutput::Pipe;
    options.inheritInput = false;
    int error = 0;
    auto emulator = platform::Process::Start(options, &error);
    if (!emulator) return result;
    // Output is read on a thread so the flash can be looked at the moment the program starts.
    std::thread reader([&] {
        char buffer[1024];
        for (long n; (n = emulator->ReadOutput(buffer, sizeof(buffer))) > 0;) result.output.append(buffer, static_cast<std::size_t>(n));
    });
    int code = -1;
    while (!emulator->Wait(5, &code)) {
        if (!result.sawStart) {
            for (const std::string& line : Transcript()) {
                if (line.rfind("at^kjra", 0) == 0) {
                    result.flashAtStart = Snapshot(Flash());
                    result.sawStart = true;
                }
            }
        }
    }
    reader.join();
    result.status = code;
    return result;
}

} // namespace obextest
