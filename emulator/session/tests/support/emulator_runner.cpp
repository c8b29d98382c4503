#include "support/emulator_runner.h"

#include <atomic>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace sessiontest {

int StatusOf(int code) { return (-code) & 0xFF; }

std::string ReadFileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFileText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    path_ = fs::path(platform::TempFolder()) /
            ("modlink-session-" + std::to_string(platform::CurrentProcessId()) + "-" +
             std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path SampleToolkit() { return fs::path(MODLINK_BINARY_DIR) / "testkit" / "toolkit"; }
fs::path HandoverFakes() { return fs::path(MODLINK_BINARY_DIR) / "testkit" / "handover" / "bin"; }
fs::path BuiltEmulator() { return fs::path(MODLINK_BINARY_DIR) / "bin" / "emulator"; }

TestToolkit::TestToolkit(bool withIni) {
    fs::create_directories(Bin());
    fs::create_directories(Lib());
    fs::create_directories(Config());
    fs::create_directories(Temp());
    fs::create_symlink(BuiltEmulator(), Program());
    if (withIni) {
        WriteFileText(Ini(), "[Debug]\n");
    }
}

void TestToolkit::CopySampleLibraries() {
    for (const auto& entry : fs::directory_iterator(SampleToolkit() / "lib")) {
        fs::copy_file(entry.path(), Lib() / entry.path().filename());
    }
}

void TestToolkit::AddDialUpEntry(const std::string& entryName, const std::string& extraEntryKeys,
                                 const std::string& modemKeys) {
    WriteFileText(Config() / "rasphone.pbk",
                  "[" + entryName + "]\nDevice=Module Modem\nPhoneNumber=*99#\n" + extraEntryKeys);
    WriteFileText(Config() / "modems.ini", "[Module Modem]\n" + modemKeys);
}

fs::path TestToolkit::CopySampleApp(const std::string& name) {
    const fs::path target = Scratch() / "apps" / name;
    fs::create_directories(target);
    fs::copy(SampleToolkit() / "apps" / name, target, fs::copy_options::recursive);
    return target;
}

RunResult TestToolkit::Run(const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& env,
                           const fs::path& program, const fs::path& workingFolder) const {
    const fs::path outFile = Scratch() / "stdout.txt";
    const fs::path errFile = Scratch() / "stderr.txt";
    platform::ProcessOptions options;
    // The shell only separates the two streams into files; the program gets the arguments as
    // they are, with argument 0 the path it was started by.
    options.arguments = {"/bin/sh", "-c", "exec \"$0\" \"$@\" >\"$OUT\" 2>\"$ERR\"",
                         (program.empty() ? Program() : program).string()};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.environment = platform::EnvironmentBlock();
    options.environment.erase("MIDP_HOME");
    options.environment["MODLINK_CONFIG_DIR"] = Config().string();
    options.environment["MODLINK_SYSFS"] = (Scratch() / "sys").string();
    options.environment["TMPDIR"] = Temp().string();
    options.environment["OUT"] = outFile.string();
    options.environment["ERR"] = errFile.string();
    for (const auto& [name, value] : env) {
        if (value.empty() && name != "MIDP_HOME") {
            options.environment.erase(name);
        } else {
            options.environment[name] = value;
        }
    }
    options.replaceEnvironment = true;
    options.inheritInput = false;
    options.workingFolder = workingFolder.empty() ? Scratch().string() : workingFolder.string();
    RunResult result;
    int error = 0;
    std::unique_ptr<platform::Process> process = platform::Process::Start(options, &error);
    if (!process) {
        result.err = "could not start the shell: " + platform::ErrorText(error);
        return result;
    }
    int status = -1;
    process->Wait(60000, &status);
    result.status = status;
    result.out = ReadFileText(outFile);
    result.err = ReadFileText(errFile);
    return result;
}

} // namespace sessiontest
