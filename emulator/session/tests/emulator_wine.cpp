// emulator.exe under Wine answers as the Linux emulator: each test runs both programs from one
// toolkit tree (bin/emulator and bin/emulator.exe side by side, the sample API libraries in lib)
// with the same arguments and compares what they printed and how they ended. Sessions run against
// two module simulators started alike, one for each program, reached through
// rfc2217://127.0.0.1:PORT from the configuration folder (MODLINK_CONFIG_DIR, a Z:\ path for
// Wine). The Windows program may end its lines with CR LF and name folders with backslashes on
// the Z: drive; nothing else may differ. scripts/wine-tests.sh sets MODLINK_WINDOWS_BIN to the
// x86_64 build's programs and prepares the Wine prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/env.h"
#include "support/emulator_runner.h"
#include "support/modsim_runner.h"

namespace fs = std::filesystem;
using sessiontest::RunResult;
using sessiontest::TestToolkit;

namespace {

const std::string EntryName = "IP connection for remote debugging of QREx";

// A Linux path as a Windows program under Wine names it (the Z: drive is the Linux root).
std::string WinePath(const fs::path& path) {
    std::string text = "Z:" + fs::absolute(path).string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

// The Windows program's text as the Linux program writes it: LF line ends, '/' between folders
// and no drive letter.
std::string AsLinuxText(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i] == '\\' ? '/' : text[i];
    }
    for (size_t at = out.find("Z:/"); at != std::string::npos; at = out.find("Z:/", at)) {
        out.erase(at, 2);
    }
    return out;
}

// Every file below a folder with its contents, by path relative to the folder.
std::map<std::string, std::string> Listing(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).generic_string()] =
                sessiontest::ReadFileText(entry.path());
        } else if (entry.is_directory()) {
            files[fs::relative(entry.path(), folder).generic_string() + "/"] = "";
        }
    }
    return files;
}

// A transcript without the upload's time stamps (the files' times and the transfer parameters
// derived from the clock), which differ between two sessions a few seconds apart.
std::vector<std::string> WithoutTimes(std::vector<std::string> transcript) {
    for (std::string& line : transcript) {
        for (const char* key : {" time=", " parameters="}) {
            size_t at = line.find(key);
            if (at != std::string::npos) {
                size_t end = line.find(' ', at + 1);
                line.erase(at, end == std::string::npos ? std::string::npos : end - at);
            }
        }
    }
    return transcript;
}

class EmulatorUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        auto bin = platform::GetEnv("MODLINK_WINDOWS_BIN");
        if (!bin) {
            GTEST_SKIP() << "MODLINK_WINDOWS_BIN is not set: run scripts/wine-tests.sh";
        }
        exe_ = fs::path(*bin) / "emulator.exe";
        ASSERT_TRUE(fs::exists(exe_)) << exe_ << " is not built (scripts/build-windows.sh x86_64)";
        ASSERT_TRUE(fs::exists(sessiontest::SampleToolkit() / "apps" / "calc" / "calc.jar"))
            << "the sample toolkit is not built";
        kit_.CopySampleLibraries();
        fs::copy_file(exe_, kit_.Bin() / "emulator.exe");
    }

    RunResult RunLinux(const std::vector<std::string>& arguments) { return kit_.Run(arguments, linuxEnv_); }

    RunResult RunWindows(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), (kit_.Bin() / "emulator.exe").string());
        const std::string temp = WinePath(kit_.Temp());
        std::map<std::string, std::string> env = windowsEnv_;
        env.insert({{"MODLINK_CONFIG_DIR", WinePath(kit_.Config())}, {"TEMP", temp}, {"TMP", temp}});
        return kit_.Run(arguments, env,
                        platform::GetEnv("MODLINK_WINE").value_or("/usr/lib/wine/wine64"));
    }

    // The configuration folder's phone book entry and modem for a simulator.
    void AttachTo(const modsimtest::ModsimRunner& module) {
        kit_.AddDialUpEntry(EntryName, "ConnectBPS=115200\n" + extraEntryKeys_,
                            "AttachedTo=" + module.Url() + "\nMaximumPortSpeed=115200\n");
    }

    // Both programs against a simulator each, started with the same options; the simulators'
    // flash folders are flash-linux and flash-windows below the scratch folder.
    struct Sessions {
        RunResult linux, windows;
        std::vector<std::string> linuxTranscript, windowsTranscript;
        std::map<std::string, std::string> linuxFlash, windowsFlash;
    };
    Sessions RunBoth(const std::vector<std::string>& modsimOptions,
                     const std::vector<std::string>& linuxArguments,
                     const std::vector<std::string>& windowsArguments) {
        Sessions result;
        for (bool windows : {false, true}) {
            const fs::path flash = kit_.Scratch() / (windows ? "flash-windows" : "flash-linux");
            fs::create_directories(flash);
            std::vector<std::string> options = modsimOptions;
            options.insert(options.end(), {"--flash", flash.string()});
            modsimtest::ModsimRunner module;
            EXPECT_TRUE(module.Start(options));
            AttachTo(module);
            RunResult& run = windows ? result.windows : result.linux;
            run = windows ? RunWindows(windowsArguments) : RunLinux(linuxArguments);
            // Each simulator has a port of its own.
            for (std::string* text : {&run.out, &run.err}) {
                for (size_t at = text->find(module.Url()); at != std::string::npos;
                     at = text->find(module.Url(), at)) {
                    text->replace(at, module.Url().size(), "rfc2217://127.0.0.1:PORT");
                }
            }
            EXPECT_TRUE(module.AllConnectionsClosed());
            (windows ? result.windowsTranscript : result.linuxTranscript) = WithoutTimes(module.Transcript());
            EXPECT_TRUE(module.Stop());
            (windows ? result.windowsFlash : result.linuxFlash) = Listing(flash);
        }
        return result;
    }

    // The Windows program names itself by its file, emulator.exe (the usage line of -help).
    std::string AsLinuxOutput(const std::string& text) {
        std::string out = AsLinuxText(text);
        const std::string windowsName = (kit_.Bin() / "emulator.exe").string();
        for (size_t at = out.find(windowsName); at != std::string::npos; at = out.find(windowsName, at)) {
            out.replace(at, windowsName.size(), kit_.Program().string());
        }
        return out;
    }

    void ExpectSameAnswer(const RunResult& linux, const RunResult& windows) {
        EXPECT_EQ(windows.status, linux.status);
        EXPECT_EQ(AsLinuxOutput(windows.out), linux.out);
        EXPECT_EQ(AsLinuxOutput(windows.err), linux.err);
    }

    fs::path exe_;
    TestToolkit kit_;
    std::string extraEntryKeys_;
    std::map<std::string, std::string> linuxEnv_, windowsEnv_;
};

TEST_F(EmulatorUnderWine, InformationalCallsAnswerAsOnLinux) {
    for (const char* call : {"-help", "-version", "-Xquery"}) {
        SCOPED_TRACE(call);
        RunResult linux = RunLinux({call});
        EXPECT_EQ(linux.status, 0) << linux.err;
        EXPECT_FALSE(linux.out.empty());
        ExpectSameAnswer(linux, RunWindows({call}));
    }
    // A device query without the dial-up entry ends with its code on both.
    const std::vector<std::string> device = {"-Xdevice:IMP_NG_QREx", "-Xquery"};
    RunResult linux = RunLinux(device);
    EXPECT_NE(linux.status, 0);
    ExpectSameAnswer(linux, RunWindows(device));
}

TEST_F(EmulatorUnderWine, ARunSessionUploadsStartsAndCleansUpAsOnLinux) {
    const fs::path calc = kit_.CopySampleApp("calc");
    Sessions s = RunBoth({}, {"-Xdescriptor:" + (calc / "calc.jad").string()},
                         {"-Xdescriptor:" + WinePath(calc / "calc.jad")});
    EXPECT_EQ(s.linux.status, 0) << s.linux.out << s.linux.err;
    ExpectSameAnswer(s.linux, s.windows);
    EXPECT_NE(std::find(s.linuxTranscript.begin(), s.linuxTranscript.end(), "at^kjra=/sys/calc.jad"),
              s.linuxTranscript.end());
    EXPECT_EQ(s.windowsTranscript, s.linuxTranscript);
    EXPECT_EQ(s.windowsFlash, s.linuxFlash);
}

TEST_F(EmulatorUnderWine, ANoLoadSessionSwitchesOnAModuleThatIsOffAsOnLinux) {
    const fs::path hello = kit_.CopySampleApp("hello");
    Sessions s = RunBoth({"--off"}, {"-Xdescriptor:" + (hello / "hello.jad").string(), "-noload"},
                         {"-Xdescriptor:" + WinePath(hello / "hello.jad"), "-noload"});
    EXPECT_EQ(s.linux.status, 0) << s.linux.out << s.linux.err;
    ExpectSameAnswer(s.linux, s.windows);
    EXPECT_EQ(s.windowsTranscript, s.linuxTranscript);
    EXPECT_EQ(s.windowsFlash, s.linuxFlash);
}

TEST_F(EmulatorUnderWine, AMissingDialUpEntryEndsWithItsCodeAsOnLinux) {
    const fs::path calc = kit_.CopySampleApp("calc");
    RunResult linux = RunLinux({"-Xdescriptor:" + (calc / "calc.jad").string()});
    EXPECT_EQ(linux.status, sessiontest::StatusOf(1895)) << linux.out << linux.err;
    ExpectSameAnswer(linux, RunWindows({"-Xdescriptor:" + WinePath(calc / "calc.jad")}));
}

// There is no JVM for Windows under Wine, so the debug agent cannot start there; with a JDK that
// is not there on Linux either, both sessions upload the program, dial the module's direct link
// (held by modlink-linkd.exe under Wine), fail to start the agent and clean up alike.
TEST_F(EmulatorUnderWine, ADebugSessionDialsTheLinkAndEndsWithoutAJdkAsOnLinux) {
    const fs::path linkd = exe_.parent_path() / "modlink-linkd.exe";
    ASSERT_TRUE(fs::exists(linkd)) << linkd << " is not built";
    fs::copy_file(linkd, kit_.Bin() / "modlink-linkd.exe");
    extraEntryKeys_ = "LinkType=direct\n";
    const fs::path noJdk = kit_.Scratch() / "no-jdk";
    linuxEnv_ = {{"JAVA_HOME", noJdk.string()},
                 {"MODLINK_LINKD", (fs::path(MODLINK_BINARY_DIR) / "bin" / "modlink-linkd").string()},
                 {"MODLINK_LINK_DIR", (kit_.Scratch() / "links").string()}};
    windowsEnv_ = {{"JAVA_HOME", WinePath(noJdk)}};
    const fs::path calc = kit_.CopySampleApp("calc");
    const std::string jdwp = "-Xrunjdwp:transport=dt_socket,server=y,address=8000";
    Sessions s = RunBoth({}, {"-Xdebug", jdwp, "-Xdescriptor:" + (calc / "calc.jad").string()},
                         {"-Xdebug", jdwp, "-Xdescriptor:" + WinePath(calc / "calc.jad")});
    EXPECT_EQ(s.linux.status, sessiontest::StatusOf(1953)) << s.linux.out << s.linux.err;
    EXPECT_NE(s.linux.out.find("Starting Debug Agent..."), std::string::npos) << s.linux.out;
    EXPECT_TRUE(std::any_of(s.linuxTranscript.begin(), s.linuxTranscript.end(),
                            [](const std::string& line) { return line.rfind("ATD", 0) == 0; }));
    ExpectSameAnswer(s.linux, s.windows);
    EXPECT_EQ(s.windowsTranscript, s.linuxTranscript);
    EXPECT_EQ(s.windowsFlash, s.linuxFlash);
}

} // namespace
