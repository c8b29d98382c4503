// The session log file of the built emulator: where it is, its header and end lines, its CR LF
// line ends, and that a call without -emulog leaves it alone.
#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/process.h"
#include "support/emulator_runner.h"

using namespace sessiontest;

namespace {

// The text with every digit written as 9 and every letter as a (A for capitals).
std::string Shape(const std::string& text) {
    std::string shaped = text;
    for (char& c : shaped) {
        if (c >= '0' && c <= '9') {
            c = '9';
        } else if (c >= 'a' && c <= 'z') {
            c = 'a';
        } else if (c >= 'A' && c <= 'Z') {
            c = 'A';
        }
    }
    return shaped;
}

} // namespace

TEST(SessionLogFile, HeaderTraceAndEndLinesOfOneCall) {
    TestToolkit kit;
    WriteFileText(kit.LogFile(), "an older run\r\n");
    RunResult result = kit.Run({"-emulog", "-Xrunjdwp:address="});
    EXPECT_EQ(result.status, StatusOf(817));

    const std::string log = ReadFileText(kit.LogFile());
    const std::string program = kit.Program().string();
    const std::string rule(50, '=');
    // Clock readings and the build stamp are compared by their shape (digits as 9, letters as a);
    // the rest of the file is also checked as it stands below.
    const std::string expected =
        "\r\n" + rule + "\r\n"
        "Start logfile at      : 01.02.2030  04:05.06\r\n"
        "emulator build time   : Jan 01 2030  04:05:06\r\n"
        "emulator version      : 1.6.4.0, 64 bit\r\n" +
        rule + "\r\n"
        "\"COMPANY_NAME\" : Brelmont\r\n"
        "\"TOOL_KIT_NAME\": HRZN\r\n"
        "Commandline:\r\n" + program + " -emulog -Xrunjdwp:address=\r\n"
        "MIDP_HOME: " + kit.Root().string() + "\r\n"
        "Ini file name is set to \"" + kit.Ini().string() + "\"\r\n"
        "No entry for \"module type\" found!\r\n"
        "Set \"-version\" response to: \"Brelmont IMP-NG Module Workbench\"\r\n"
        "Set \"-Xquery\" response to: \"IMP_NG_DefaultDevice\"\r\n"
        "Set \"-Xdevice\" response to: \"Brelmont IMP-NG Default Device\"\r\n"
        "\r\nMissing port for address option!\r\n"
        "CleanUp(): Given iExitCode: 817\r\n"
        "File upload and debugging are aborted!\r\n"
        "\r\nTrace End time: 04:05:06.007\r\n" +
        rule + "\r\n\r\n";
    // A one-digit day of the build date is padded with a blank.
    std::string shaped = Shape(log);
    const std::size_t day = shaped.find("Aaa  9 9999");
    if (day != std::string::npos) {
        shaped.replace(day, 11, "Aaa 99 9999");
    }
    EXPECT_EQ(shaped, Shape(expected)) << log;
    EXPECT_NE(log.find("emulator version      : 1.6.4.0, " + std::to_string(sizeof(void*) * 8) + " bit\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("\"COMPANY_NAME\" : Brelmont\r\n\"TOOL_KIT_NAME\": HRZN\r\nCommandline:\r\n" + program +
                       " -emulog -Xrunjdwp:address=\r\nMIDP_HOME: " + kit.Root().string() + "\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("\r\nMissing port for address option!\r\nCleanUp(): Given iExitCode: 817\r\n"),
              std::string::npos);
    // The lines printed before the log started reach only the console.
    EXPECT_EQ(log.find("not installed"), std::string::npos);
    EXPECT_EQ(log.find("an older run"), std::string::npos);
}

TEST(SessionLogFile, WithoutEmulogNoFileIsTouched) {
    TestToolkit kit;
    kit.Run({"-version"});
    EXPECT_FALSE(std::filesystem::exists(kit.LogFile()));
    WriteFileText(kit.LogFile(), "kept\n");
    kit.Run({"-Xquery"});
    EXPECT_EQ(ReadFileText(kit.LogFile()), "kept\n");
}

TEST(SessionLogFile, TemporaryFolderFallsBackToTmp) {
    // With TMPDIR unset the log goes to /tmp; only check the program still answers and exits 0,
    // so a developer's /tmp/PVXLogfile.log is not overwritten by the test.
    TestToolkit kit;
    RunResult result = kit.Run({"-version"}, {{"TMPDIR", ""}});
    EXPECT_EQ(result.status, 0);
}

TEST(SessionLogFile, ArgumentsWithBlanksAreQuotedInTheCommandLine) {
    TestToolkit kit;
    kit.Run({"-emulog", "-Dspaced value", "-version"});
    const std::string log = ReadFileText(kit.LogFile());
    EXPECT_NE(log.find("Commandline:\r\n" + kit.Program().string() +
                       " -emulog \"-Dspaced value\" -version\r\n"),
              std::string::npos);
    // Query answers are in the log as well as on the console.
    EXPECT_NE(log.find("Version: 1.6.4.0\r\n"), std::string::npos);
}

TEST(SessionLogFile, ConsoleThatWentAwayDoesNotCutTheSessionShort) {
    TestToolkit kit;
    // The reader of stdout is gone before the emulator writes its answer.
    const std::filesystem::path statusFile = kit.Scratch() / "status";
    platform::ProcessOptions options;
    options.arguments = {"/bin/bash", "-c",
                         "(sleep 0.3; exec \"$0\" -emulog -Xquery 2>/dev/null) | true; "
                         "echo ${PIPESTATUS[0]} > \"$1\"",
                         kit.Program().string(), statusFile.string()};
    options.environment = platform::EnvironmentBlock();
    options.environment["MODLINK_CONFIG_DIR"] = kit.Config().string();
    options.environment["TMPDIR"] = kit.Temp().string();
    options.environment.erase("MIDP_HOME");
    options.replaceEnvironment = true;
    int error = 0;
    auto shell = platform::Process::Start(options, &error);
    ASSERT_TRUE(shell);
    int status = -1;
    ASSERT_TRUE(shell->Wait(30000, &status));
    EXPECT_EQ(ReadFileText(statusFile), "0\n");
    EXPECT_NE(ReadFileText(kit.LogFile()).find("CleanUp(): Given iExitCode: 0\r\n"), std::string::npos);
}
