#pragma once
// Helpers shared by the sublime tests: unique buffer ids, and child processes whose merged
// output is collected in the background so a test can wait for a line.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"

namespace limetest {

// A process id no other test (and no other test run) uses at the same time.
int32_t UniqueProcessId();

// Path of a program built into build/bin.
std::string BinPath(const std::string& name);

class Child {
public:
    // Starts the program with the given arguments; extra variables are added to our own
    // environment, and names listed in remove are taken out of it.
    Child(std::vector<std::string> arguments, const std::map<std::string, std::string>& extra = {},
          const std::vector<std::string>& remove = {});
    ~Child();

    bool Started() const { return process_ != nullptr; }
    int Id() const { return process_ ? process_->Id() : -1; }
    // True once the output contains text; false after timeoutMs.
    bool WaitForOutput(const std::string& text, int timeoutMs);
    // The exit code, or -1000 when the child did not end within timeoutMs (it is then killed).
    int WaitForExit(int timeoutMs);
    void Kill();
    std::string Output();

private:
    std::unique_ptr<platform::Process> process_;
    std::thread reader_;
    std::mutex mutex_;
    std::string output_;
    bool ended_ = false;
    int exitCode_ = 0;
};

} // namespace limetest
