#pragma once
// Runs the testkit's Java programs in a real JVM with the regaccess library, against a store
// folder of the test's own.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"

namespace regaccess::testing {

struct JavaRun {
    int exitCode = -1;
    std::string output;
    std::vector<std::string> Lines() const;
};

class JavaRunner {
public:
    // storeFolder becomes MODLINK_REGISTRY_DIR of every program run.
    explicit JavaRunner(std::string storeFolder);

    // Sets (or with an empty value, keeps out) an environment variable of the programs.
    void SetVariable(const std::string& name, const std::string& value) { variables_[name] = value; }
    // Runs with this class path instead of the testkit jar.
    void SetClassPath(const std::string& classPath) { classPath_ = classPath; }

    platform::ProcessOptions Options(const std::string& mainClass, const std::vector<std::string>& arguments) const;
    JavaRun Run(const std::string& mainClass, const std::vector<std::string>& arguments) const;
    std::unique_ptr<platform::Process> Start(const std::string& mainClass,
                                             const std::vector<std::string>& arguments) const;

    // Runs RegScript over lines and returns one result line per call.
    std::vector<std::string> Script(const std::vector<std::string>& lines) const;

private:
    std::string storeFolder_;
    std::string classPath_;
    std::map<std::string, std::string> variables_;
};

// Reads a started program's output up to a line that starts with prefix (or its end).
bool WaitForLine(platform::Process& process, const std::string& prefix, std::string* seen);

} // namespace regaccess::testing
