// Run and debug sessions of the built emulator as far as they get without a module: the
// settings from the dial-up entry, the modem and the INI file, the file names, and the first
// module step, which fails on a port that does not exist.
#include <gtest/gtest.h>

#include "support/emulator_runner.h"

using namespace sessiontest;

namespace {

const char Entry[] = "IP connection for remote debugging of QRCx";
const char Aborted[] = "File upload and debugging are aborted!\n";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = kit.CopySampleApp("hello");
        jad = "-Xdescriptor:" + (app / "hello.jad").string();
    }

    void InstallEntry(const std::string& entryKeys = "ConnectBPS=115200\n",
                      const std::string& modemKeys = "AttachedTo=/dev/ttyS7\nMaximumPortSpeed=115200\n") {
        kit.AddDialUpEntry(Entry, entryKeys, modemKeys);
    }

    TestToolkit kit;
    std::filesystem::path app;
    std::string jad;
};

} // namespace

TEST_F(SessionTest, RunSessionReachesTheModulePortAndEndsThere) {
    InstallEntry();
    RunResult result = kit.Run({jad, "-emulog"});
    EXPECT_EQ(result.status, StatusOf(1903));
    const std::string rule(57, '=');
    // The port does not exist, so the module step fails right after the banner.
    EXPECT_EQ(result.out.rfind(rule + "\nStarting QRCx emulator for running application.\n" + rule + "\n\n", 0),
              0u);
    EXPECT_TRUE(Contains(result.err, Aborted));
    const std::string log = ReadFileText(kit.LogFile());
    EXPECT_TRUE(Contains(log, "Selected IDE Jar filename: hello.jar\r\n"));
    EXPECT_TRUE(Contains(log, "Selected IDE Jad filename: hello.jad\r\n"));
    EXPECT_TRUE(Contains(log, "Used Debug Agent delay timer with: \"0 ms\"\r\n"));
    EXPECT_TRUE(Contains(log, "Server port is: \r\n"));
    EXPECT_TRUE(Contains(log, "CleanUp(): Given iExitCode: 1903\r\n"));
}

TEST_F(SessionTest, DebugSessionBannerAndServerPortWithoutHostName) {
    InstallEntry();
    RunResult result = kit.Run({jad, "-Xdebug", "-Xrunjdwp:transport=dt_socket,address=myhost:8000", "-emulog"});
    EXPECT_EQ(result.status, StatusOf(1903));
    EXPECT_TRUE(Contains(result.out, "Starting QRCx emulator for debugging application.\n"));
    EXPECT_TRUE(Contains(ReadFileText(kit.LogFile()),
                         "Server port is set without \"<computername>:\" to: 8000\r\n"));
}

TEST_F(SessionTest, NoEntryInstalledEndsWith1895) {
    RunResult result = kit.Run({jad});
    EXPECT_EQ(result.status, StatusOf(1895));
    EXPECT_EQ(result.out, "");
    // The "not installed" lines come once from the entry check, then again from the port lookup.
    const std::string lines = "\nDebug RAS connection is not installed!"
                              "\nPlease start Brelmont HRZN setup in maintenance mode and select \"Repair\".\n";
    EXPECT_EQ(result.err, lines + lines + Aborted);
}

TEST_F(SessionTest, EachPortSettingFailureEndsWith1895) {
    struct Case {
        const char* name;
        std::string entryKeys;
        std::string modemKeys;
        std::vector<std::string> extra;
        const char* message;
    } cases[] = {
        {"no modem", "ConnectBPS=115200\n", "", {}, "\nDebug modem device is not installed!"},
        {"no modem speed", "ConnectBPS=115200\n", "AttachedTo=/dev/ttyS7\n", {},
         "\nFailed to access debug modem device!"},
        {"no ConnectBPS", "", "AttachedTo=/dev/ttyS7\nMaximumPortSpeed=115200\n", {},
         "\nFailed to access debug RAS connection!"},
        {"debug speed mismatch", "ConnectBPS=57600\n", "AttachedTo=/dev/ttyS7\nMaximumPortSpeed=115200\n",
         {"-Xdebug"}, "\nModem baud rate setting differs from RAS baud rate setting!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestToolkit caseKit;
        caseKit.AddDialUpEntry(Entry, c.entryKeys, c.modemKeys);
        std::vector<std::string> arguments = {jad};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        RunResult result = caseKit.Run(arguments);
        EXPECT_EQ(result.status, StatusOf(1895));
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(Contains(result.err, c.message)) << result.err;
        EXPECT_TRUE(Contains(result.err, Aborted));
    }
    // A running session takes the lower of two different speeds and goes on.
    InstallEntry("ConnectBPS=57600\n");
    RunResult lower = kit.Run({jad, "-emulog"});
    EXPECT_EQ(lower.status, StatusOf(1903));
    EXPECT_TRUE(Contains(ReadFileText(kit.LogFile()), "Used baudrate: 57600\r\n"));
}

TEST_F(SessionTest, FileNamesThatCannotGoIntoTheModule) {
    InstallEntry();
    // -classpath alone names no JAD.
    RunResult noJad = kit.Run({"-classpath", (app / "hello.jar").string()});
    EXPECT_EQ(noJad.status, StatusOf(1895));
    EXPECT_TRUE(Contains(noJad.err, "\nNo IDE Jad filename included in given xdescriptor \"\"\n"));

    // The last of -Xdescriptor and -classpath decides the JAR; this one is no JAR.
    RunResult noJar = kit.Run({jad, "-classpath", (app / "hello.zip").string()});
    EXPECT_EQ(noJar.status, StatusOf(1895));
    EXPECT_TRUE(Contains(noJar.err, "\nNo IDE Jar filename included in given classpath \"" +
                                        (app / "hello.zip").string() + "\"\n"));

    // ".jar" anywhere in the name is enough.
    RunResult backup = kit.Run({jad, "-classpath", (app / "hello.jar.bak").string()});
    EXPECT_EQ(backup.status, StatusOf(1903));

    // A name with a character outside GSM 03.38.
    WriteFileText(app / "h\xe2llo.jad", "MIDlet-Jar-URL: hello.jar\n");
    RunResult gsm = kit.Run({"-Xdescriptor:" + (app / "h\xe2llo.jad").string()});
    EXPECT_EQ(gsm.status, StatusOf(1895));
    EXPECT_TRUE(Contains(gsm.err, "\nFailed to convert jad filename to GSM character set!\n"));
}

TEST_F(SessionTest, DebugAgentDelayRange) {
    InstallEntry();
    WriteFileText(kit.Ini(), "[debug]\n  debugagentdelay = 120000  \n");
    RunResult inRange = kit.Run({jad, "-emulog"});
    EXPECT_EQ(inRange.status, StatusOf(1903));
    EXPECT_FALSE(Contains(inRange.err, "out of range"));
    EXPECT_TRUE(Contains(ReadFileText(kit.LogFile()), "Used Debug Agent delay timer with: \"120000 ms\"\r\n"));

    const std::string rangeMessages =
        "\nDebug Agent delay timer is out of range (0, 120000)!"
        "\nThe Debug Agent is started without any delay!"
        "\nPlease change Debug Agent delay timer value in file \"WM_Debug_config.ini\".\n\n";
    for (const char* value : {"120001", "-5"}) {
        SCOPED_TRACE(value);
        WriteFileText(kit.Ini(), std::string("[Debug]\nDebugAgentDelay=") + value + "\n");
        RunResult outOfRange = kit.Run({jad});
        EXPECT_EQ(outOfRange.status, StatusOf(1903));
        EXPECT_TRUE(Contains(outOfRange.err, rangeMessages));
    }
}

TEST_F(SessionTest, IniWithOddLinesStillGivesItsValues) {
    InstallEntry();
    WriteFileText(kit.Ini(), std::string("garbage line\n\x01\x02\xff\n[Other]\nDebugAgentDelay=999999\n"
                                         "[Debug\n[Debug]\n=novalue\nDebugAgentDelay\n"
                                         "DebugAgentDelay=250\n"));
    RunResult result = kit.Run({jad, "-emulog"});
    EXPECT_EQ(result.status, StatusOf(1903));
    EXPECT_TRUE(Contains(ReadFileText(kit.LogFile()), "Used Debug Agent delay timer with: \"250 ms\"\r\n"));
}
