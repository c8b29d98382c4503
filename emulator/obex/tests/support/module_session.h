#pragma once
// A whole emulator run session against the module simulator: a flash folder, the simulator on
// a free 127.0.0.1 port, a configuration folder whose modem is attached to it, and the sample
// toolkit's emulator started with a descriptor.
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"

namespace obextest {

struct SessionResult {
    std::string output; // stdout and stderr merged
    int status = -1;
    // The flash (relative path -> content) when the program start reached the module.
    std::map<std::string, std::string> flashAtStart;
    bool sawStart = false;
};

class ModuleSession {
public:
    explicit ModuleSession(int drives, std::vector<std::string> simulatorOptions = {});
    ~ModuleSession();

    const std::filesystem::path& Scratch() const { return scratch_; }
    std::filesystem::path Flash() const { return scratch_ / "flash"; }
    // An application folder with calc (JAD, JAR) and two LIBlets, mathlib and strlib.
    std::filesystem::path MakeApplication();
    bool Started() const { return !url_.empty(); }

    // Runs a session; with a terminal path (a pty's device) the emulator's standard output goes
    // to that terminal and only its standard error to the result's output.
    SessionResult Run(const std::filesystem::path& jad, const std::string& terminal = std::string());
    std::vector<std::string> Transcript() const;
    std::vector<std::string> ObexLines() const;

private:
    std::filesystem::path scratch_;
    std::unique_ptr<platform::Process> simulator_;
    std::string url_;
};

// Every file below a folder with its content, by path relative to it.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder);
std::string ReadAll(const std::filesystem::path& file);

} // namespace obextest
