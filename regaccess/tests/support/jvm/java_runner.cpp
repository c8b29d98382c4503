#include "support/jvm/java_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "platform/env.h"

namespace regaccess::testing {

std::vector<std::string> JavaRun::Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

JavaRunner::JavaRunner(std::string storeFolder) : storeFolder_(std::move(storeFolder)), classPath_(REGACCESS_TESTKIT_JAR) {}

platform::ProcessOptions JavaRunner::Options(const std::string& mainClass,
                                             const std::vector<std::string>& arguments) const {
    platform::ProcessOptions options;
    options.arguments = {REGACCESS_JAVA, "-Xshare:auto", "-XX:TieredStopAtLevel=1", "-Xcheck:jni",
                         std::string("-Djava.library.path=") + REGACCESS_LIBRARY_DIR, "-cp", classPath_, mainClass};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.environment = platform::EnvironmentBlock();
    options.environment["MODLINK_REGISTRY_DIR"] = storeFolder_;
    for (const auto& [name, value] : variables_) {
        if (value.empty()) {
            options.environment.erase(name);
        } else {
            options.environment[name] = value;
        }
    }
    options.replaceEnvironment = true;
    options.output = platform::ChildOutput::Pipe;
    options.inheritInput = false;
    return options;
}

JavaRun JavaRunner::Run(const std::string& mainClass, const std::vector<std::string>& arguments) const {
    JavaRun run;
    int error = 0;
    run.exitCode = platform::RunToEnd(Options(mainClass, arguments), &run.output, &error);
    EXPECT_GE(run.exitCode, 0) << "java could not start: " << platform::ErrorText(error);
    return run;
}

std::unique_ptr<platform::Process> JavaRunner::Start(const std::string& mainClass,
                                                     const std::vector<std::string>& arguments) const {
    int error = 0;
    auto process = platform::Process::Start(Options(mainClass, arguments), &error);
    EXPECT_NE(process, nullptr) << "java could not start: " << platform::ErrorText(error);
    return process;
}

std::vector<std::string> JavaRunner::Script(const std::vector<std::string>& lines) const {
    static std::atomic<int> counter{0};
    const std::string file = storeFolder_ + ".script-" + std::to_string(counter++) + ".txt";
    {
        std::ofstream out(file, std::ios::binary);
        for (const std::string& line : lines) {
            out << line << '\n';
        }
    }
    const JavaRun run = Run("modlink.regaccess.RegScript", {file});
    std::remove(file.c_str());
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return run.Lines();
}

bool WaitForLine(platform::Process& process, const std::string& prefix, std::string* seen) {
    std::string pending;
    char buffer[4096];
    while (true) {
        const long got = process.ReadOutput(buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        if (seen != nullptr) {
            seen->append(buffer, static_cast<std::size_t>(got));
        }
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
            if (pending.compare(start, prefix.size(), prefix) == 0) {
                return true;
            }
        }
        pending.erase(0, start);
    }
}

} // namespace regaccess::testing
