// trayhost.exe (its x86_64 twin) under Wine, in a laid-out SDK tree with a stand-in java.exe:
// the command line and PATH Java receives, the built-in template from the string table,
// standard input handed on, megabytes of mixed output relayed whole through the named pipe,
// Java's exit code, the marker window while Java runs, and a pending update. Needs a display
// (xvfb-run): the launcher's marker is a window.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "command_template.h"
#include "launcher_conventions.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/presence_marker.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace {

struct Result {
    int exitCode = -1;
    std::string output;
};

fs::path BuildFolder() { return fs::path(platform::ExecutablePath()).parent_path(); }

void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// What the stand-in Java printed as its arguments.
std::vector<std::string> JavaArguments(const std::string& output) {
    std::vector<std::string> arguments;
    for (const std::string& line : Lines(output)) {
        if (line.rfind("ARG ", 0) == 0) arguments.push_back(line.substr(line.find(' ', 4) + 1));
    }
    return arguments;
}

// Wine starts its desktop process with the first window of a session, and that process keeps
// the standard handles of the program that made the window. The first window is therefore
// made by a launcher whose output goes nowhere, so that no test's output pipe is held open.
class WineDesktop : public testing::Environment {
public:
    void SetUp() override {
        const fs::path folder = fs::path(platform::TempFolder()) / ("trayhost-desktop-" + std::to_string(platform::CurrentProcessId()));
        fs::create_directories(folder / "bin");
        fs::copy_file(BuildFolder() / "trayhost.exe", folder / "bin" / "trayhost.exe", fs::copy_options::overwrite_existing);
        Write(folder / "bin" / "trayhost.vm", "no-java-here.exe\n");
        platform::ProcessOptions options;
        options.arguments = {(folder / "bin" / "trayhost.exe").string()};
        options.output = platform::ChildOutput::Discard;
        options.inheritInput = false;
        platform::RunToEnd(options, nullptr, nullptr);
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};
[[maybe_unused]] const auto* const desktop = testing::AddGlobalTestEnvironment(new WineDesktop);

class TrayhostWine : public testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        root_ = fs::path(platform::TempFolder()) /
                ("trayhost-wine-" + std::to_string(platform::CurrentProcessId()) + "-" + std::to_string(++counter));
        fs::remove_all(root_);
        baseDir_ = root_ / "ide" / "x" / "sdk home";
        fs::create_directories(baseDir_ / "bin");
        fs::copy_file(BuildFolder() / "trayhost.exe", Launcher());
        fs::create_directories(root_ / "jdk" / "bin");
        fs::copy_file(BuildFolder() / "trayhost_fake_java.exe", root_ / "jdk" / "bin" / "java.exe");
        fs::copy_file(BuildFolder() / "trayhost_fake_java.exe", root_ / "jdk" / "bin" / "javaw.exe");
        Write(root_ / "ide" / "etc" / "ridgeline.conf", "ridgeline_jdkhome=\"" + (root_ / "jdk").string() + "\"\n");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    fs::path Launcher() const { return baseDir_ / "bin" / "trayhost.exe"; }
    void WriteVmFile(const std::string& text) const { Write(baseDir_ / "bin" / "trayhost.vm", text); }

    std::unique_ptr<platform::Process> Start(const std::vector<std::string>& arguments) const {
        platform::ProcessOptions options;
        options.arguments = {Launcher().string()};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.output = platform::ChildOutput::Pipe;
        options.inheritInput = false;
        int error = 0;
        auto process = platform::Process::Start(options, &error);
        EXPECT_NE(process, nullptr) << error;
        return process;
    }

    static Result Finish(platform::Process& process) {
        Result result;
        char buffer[65536];
        long got;
        while ((got = process.ReadOutput(buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<size_t>(got));
        process.Wait(-1, &result.exitCode);
        return result;
    }

    Result Run(const std::vector<std::string>& arguments) const {
        auto process = Start(arguments);
        return process ? Finish(*process) : Result{};
    }

    fs::path root_;
    fs::path baseDir_;
};

TEST_F(TrayhostWine, JavaGetsTheExpandedCommandTheArgumentsAndTheSdkBinFirstInPath) {
    WriteVmFile("%JAVA% -Dhome='%PLEX_HOME%' %JAVA_HOME% --exit 42 --pipe-name \r\nignored second line\r\n");
    Result result = Run({"two words", "last"});
    EXPECT_EQ(result.exitCode, 42) << result.output;
    EXPECT_EQ(JavaArguments(result.output),
              (std::vector<std::string>{"-Dhome=" + baseDir_.string(), "%JAVA_HOME%", "--exit", "42", "--pipe-name",
                                        "two words", "last"}));
    std::smatch match;
    EXPECT_TRUE(std::regex_search(result.output, match, std::regex("PATH=([^\r\n]*)")));
    EXPECT_EQ(match[1].str().rfind((baseDir_ / "bin").string() + ";", 0), 0u) << match[1];
    // Java writes into the launcher's named pipe.
    EXPECT_TRUE(std::regex_search(result.output, std::regex("OUTPUT \\\\launcher_[0-9a-f]+\r?\n"))) << result.output;
}

TEST_F(TrayhostWine, ABusyPipeNameIsCountedUpUntilOneIsFree) {
    // Every name for the next five seconds of tick counts is taken, as by other launchers.
    const DWORD first = GetTickCount();
    constexpr DWORD kTaken = 5000;
    std::vector<HANDLE> taken;
    for (DWORD number = first; number < first + kTaken; ++number) {
        char name[64];
        std::snprintf(name, sizeof name, "\\\\.\\pipe\\launcher_%lx", static_cast<unsigned long>(number));
        taken.push_back(CreateNamedPipeA(name, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 16, 16, 0, nullptr));
    }
    WriteVmFile("%JAVA% --pipe-name --exit 0 \n");
    Result result = Run({});
    for (HANDLE pipe : taken) CloseHandle(pipe);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(result.output, match, std::regex("OUTPUT \\\\launcher_([0-9a-f]+)"))) << result.output;
    EXPECT_GE(std::stoul(match[1].str(), nullptr, 16), first + kTaken);
}

TEST_F(TrayhostWine, WithoutAVmFileTheTemplateComesFromTheStringTable) {
    Result result = Run({"-extra"});
    EXPECT_EQ(result.exitCode, 3) << result.output;
    const launcher::LauncherConventions& windows = launcher::WindowsConventions();
    auto placeholders = launcher::BuildPlaceholders(baseDir_.string(), (root_ / "jdk").string(), std::nullopt, windows);
    std::vector<std::string> expected =
        platform::SplitCommandLine(launcher::ExpandTemplate(launcher::kWindowsBuiltInTemplate, placeholders));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(expected[0], (root_ / "jdk" / "bin" / "javaw.exe").string());
    expected.erase(expected.begin());
    expected.push_back("-extra");
    EXPECT_EQ(JavaArguments(result.output), expected);
}

TEST_F(TrayhostWine, StandardInputIsHandedOnToJava) {
    WriteVmFile("%JAVA% --stdin\n");
    std::string input;
    for (int k = 0; k < 100000; ++k) input += static_cast<char>('a' + k % 26);
    Write(root_ / "in.txt", input);
    long sum = 0;
    for (char c : input) sum += static_cast<unsigned char>(c);
    // The command interpreter gives the launcher a file as its standard input.
    Write(root_ / "run.bat", "@\"" + Launcher().string() + "\" < \"" + (root_ / "in.txt").string() + "\"\r\n@exit /b %errorlevel%\r\n");
    platform::ProcessOptions options;
    options.arguments = {"cmd", "/c", (root_ / "run.bat").string()};
    options.inheritInput = false;
    std::string output;
    EXPECT_EQ(platform::RunToEnd(options, &output, nullptr), 3) << output;
    EXPECT_NE(output.find("STDIN 100000 " + std::to_string(sum)), std::string::npos) << output;
}

TEST_F(TrayhostWine, FiveMegabytesOfMixedOutputArriveWholeAndInOrder) {
    WriteVmFile("%JAVA% --flood 5242880 --exit 0\n");
    Result result = Run({});
    EXPECT_EQ(result.exitCode, 0);
    long next = 0;
    bool intact = true;
    for (const std::string& line : Lines(result.output)) {
        if (line.rfind("ARG", 0) == 0 || line.rfind("PATH=", 0) == 0) continue;
        char expected[65];
        std::snprintf(expected, sizeof expected, "%08ld %054ld", next, next * 7919);
        intact = intact && line == expected;
        ++next;
    }
    EXPECT_TRUE(intact);
    EXPECT_EQ(next, 5242880 / 64);
}

TEST_F(TrayhostWine, JavasExitCodeIsTheLaunchersWithAllItsBits) {
    WriteVmFile("%JAVA% --exit -890\n");
    EXPECT_EQ(Run({}).exitCode, -890);
    WriteVmFile("%JAVA% --exit 0\n");
    EXPECT_EQ(Run({}).exitCode, 0);
    WriteVmFile("nowhere-to-be-found.exe\n");
    Result missing = Run({});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.output, "Create process failed");
}

TEST_F(TrayhostWine, TheMarkerWindowIsThereWhileJavaRunsAndGoneAfter) {
    const fs::path release = root_ / "release";
    WriteVmFile("%JAVA% --wait \"" + release.string() + "\"\n");
    auto launcher = Start({});
    ASSERT_NE(launcher, nullptr);
    char buffer[4096];
    std::string seen;
    while (seen.find("WAITING") == std::string::npos) {
        long got = launcher->ReadOutput(buffer, sizeof buffer);
        ASSERT_GT(got, 0) << seen;
        seen.append(buffer, static_cast<size_t>(got));
    }
    EXPECT_EQ(platform::FindPresenceMarkers(std::string(launcher::kMarkerTitle)), std::vector<int>{launcher->Id()});
    Write(release, "");
    EXPECT_EQ(Finish(*launcher).exitCode, 3);
    EXPECT_TRUE(platform::FindPresenceMarkers(std::string(launcher::kMarkerTitle)).empty());
}

TEST_F(TrayhostWine, APendingUpdateRunsInItsWindowAndItsListIsDeleted) {
    const fs::path log = root_ / "pkg.log";
    Write(baseDir_ / "pkg-toolkit" / "bin" / "pkg.bat",
          "@echo %* >> \"" + log.string() + "\"\r\n@echo updating %4\r\n");
    const fs::path list = baseDir_ / ".org.ferncliff,pkg" / "nextInstall";
    Write(list, "# a comment\r\ninstall one\r\n\r\nx\ninstall two\n");
    WriteVmFile("%JAVA% --exit 5\n");
    Result result = Run({});
    EXPECT_EQ(result.exitCode, 5) << result.output;
    EXPECT_FALSE(fs::exists(list));
    std::ifstream in(log);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string home = "\"" + baseDir_.string() + "\"";
    EXPECT_EQ(Lines(text), (std::vector<std::string>{"-R " + home + " install one ", "-R " + home + " install two "}));
}

} // namespace
