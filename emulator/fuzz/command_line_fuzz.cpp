// The emulator's command line. Arguments are the input's lines. Options that end the process
// (help, version, query, unknown options and the failures of the others) are never handed to
// ParseCommandLine: their parsing is checked through the pure functions behind them, so what is
// tested is the reading of the arguments, not the exit.
#include <cstring>

#include "core/records.h"
#include "session/command_line.h"
#include "support/fuzz_input.h"

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// True when ParseCommandLine would go on after this argument.
bool Continues(const std::vector<std::string>& args, std::size_t i) {
    const std::string& a = args[i];
    if (a.empty() || a[0] != '-') {
        return true;
    }
    if (a == "-emulog" || a == "-noload" || a == "-Xdebug" || StartsWith(a, "-udpport:") || StartsWith(a, "-D") ||
        StartsWith(a, "-Xheapsize:")) {
        return true;
    }
    if (a == "-classpath") {
        return i + 1 < args.size();
    }
    if (StartsWith(a, "-Xrunjdwp:")) {
        return ParseRunJdwpItems(a.substr(std::strlen("-Xrunjdwp:"))).failureCode == 0;
    }
    if (StartsWith(a, "-Xverbose:")) {
        return a.find("-v") != std::string::npos; // without it the argument counts as unknown
    }
    if (StartsWith(a, "-Xdevice:")) {
        return StartsWith(a.substr(std::strlen("-Xdevice:")), QueryDeviceName.c_str());
    }
    return false; // -help, -version, -Xquery, -Xdescriptor (a file), anything unknown
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::Quiet();
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args = {"emulator"};
    for (const auto& line : fuzzsupport::Split(text, '\n')) {
        args.push_back(line.substr(0, line.find('\0')));
        if (args.size() > 32) {
            break;
        }
    }
    std::vector<std::string> kept = {args[0]};
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (!Continues(args, i)) {
            continue;
        }
        kept.push_back(args[i]);
        if (args[i] == "-classpath") {
            kept.push_back(args[++i]);
        }
    }
    // The pure parts see every argument, whatever it is.
    for (const auto& a : args) {
        (void)ParseRunJdwpItems(a);
        (void)VerboseOptionOf(a, a.c_str());
    }
    std::vector<char*> argv;
    for (auto& a : kept) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    Settings = SessionSettings();
    Application = ApplicationRecord();
    ParseCommandLine(static_cast<int>(kept.size()), argv.data());
    return 0;
}
