#include "launcher_tree.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace launcher_test {

namespace {

std::string UniqueRoot() {
    static std::atomic<int> counter{0};
    return platform::TempFolder() + "trayhost-test-" + std::to_string(platform::CurrentProcessId()) + "-" +
           std::to_string(counter++);
}

} // namespace

LauncherTree::LauncherTree() : root_(UniqueRoot()), baseDir_(root_ + "/ide/x/sdk home") {
    fs::remove_all(root_);
    fs::create_directories(Bin());
    fs::create_directories(RuntimeFolder());
    fs::copy_file(MODLINK_BINARY_DIR "/bin/trayhost", Executable());
    fs::permissions(Executable(), fs::perms::owner_all, fs::perm_options::add);
}

LauncherTree::~LauncherTree() {
    std::error_code ec;
    fs::remove_all(root_, ec);
}

void LauncherTree::WriteFile(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string LauncherTree::ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void LauncherTree::InstallContainer() const {
    std::string code = baseDir_ + "/toolkit-lib/modules/bootstrap/code";
    fs::create_directories(code);
    fs::copy_file(MODLINK_BINARY_DIR "/testkit/trayhost/trayhost-container.jar", code + "/bootstrap.jar");
}

void LauncherTree::WriteFakeJava(const std::string& path, const std::string& tag) {
    WriteFile(path, "#!/bin/sh\n"
                    "n=0\n"
                    "for a in \"$@\"; do printf '" + tag + " ARG %d %s\\n' \"$n\" \"$a\"; n=$((n+1)); done\n"
                    "printf '" + tag + " PATH=%s\\n' \"$PATH\"\n"
                    "exit 3\n");
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
}

std::string LauncherTree::InstallFakeJdk(const std::string& name, const std::string& tag) const {
    std::string jdk = root_ + "/" + name;
    WriteFakeJava(jdk + "/bin/java", tag);
    return jdk;
}

void LauncherTree::InstallFakePackageTool() const {
    std::string tool = baseDir_ + "/pkg-toolkit/bin/pkg";
    fs::create_directories(fs::path(tool).parent_path());
    fs::copy_file(MODLINK_SOURCE_DIR "/testkit/trayhost/fake-pkg", tool);
    fs::permissions(tool, fs::perms::owner_all, fs::perm_options::add);
}

RunResult LauncherTree::Run(const std::vector<std::string>& arguments, const std::string& input,
                            const std::map<std::string, std::string>& environment) const {
    // The shell only wires the three streams to files and then becomes the launcher.
    return RunShell("exec \"$0\" \"$@\" <\"$IN\" >\"$OUT\" 2>\"$ERR\"", arguments, input, environment);
}

RunResult LauncherTree::RunWithLateReader(const std::vector<std::string>& arguments) const {
    RunResult result = RunShell("{ \"$0\" \"$@\" <\"$IN\" 2>\"$ERR\"; echo $? >\"$RC\"; } | { sleep 1; cat >\"$OUT\"; }",
                                arguments, "", {});
    std::string code = ReadFile(root_ + "/late.rc");
    result.exitCode = code.empty() ? -1 : std::stoi(code);
    return result;
}

RunResult LauncherTree::RunShell(const std::string& script, const std::vector<std::string>& arguments,
                                 const std::string& input,
                                 const std::map<std::string, std::string>& environment) const {
    static std::atomic<int> counter{0};
    std::string stem = root_ + "/run" + std::to_string(counter++);
    WriteFile(stem + ".in", input);
    platform::ProcessOptions options;
    options.arguments = {"/bin/sh", "-c", script, Executable()};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.environment = platform::EnvironmentBlock();
    options.environment["XDG_RUNTIME_DIR"] = RuntimeFolder();
    options.environment["TRAYHOST_PKG_LOG"] = PackageLog();
    options.environment.erase("JAVA_HOME");
    for (const auto& [name, value] : environment) {
        options.environment[name] = value;
    }
    options.environment["IN"] = stem + ".in";
    options.environment["OUT"] = stem + ".out";
    options.environment["ERR"] = stem + ".err";
    options.environment["RC"] = root_ + "/late.rc";
    options.replaceEnvironment = true;
    RunResult result;
    int error = 0;
    result.exitCode = platform::RunToEnd(options, nullptr, &error);
    result.out = ReadFile(stem + ".out");
    result.err = ReadFile(stem + ".err");
    return result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace launcher_test
