// Whole emulator sessions against the module simulator: switch-on, baud agreement, family,
// program start and the debug configuration up to the dial step. Every session must leave the
// port closed: the simulator sees as many closes as opens.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/modsim_runner.h"

namespace {

using modsimtest::ModsimRunner;
using modsimtest::RunSession;
using modsimtest::SessionConfig;
using modsimtest::StatusOf;

const std::string Rule(57, '=');
const std::string Aborted = "File upload and debugging are aborted!\n";

std::string RunningBanner(const std::string& family) {
    return Rule + "\nStarting " + family + "x emulator for running application.\n" + Rule + "\n\n";
}

class ModuleSession : public ::testing::Test {
protected:
    void StartModsim(const std::vector<std::string>& options) {
        ASSERT_TRUE(modsim.Start(options)) << "modsim did not start";
    }
    void TearDown() override {
        EXPECT_TRUE(modsim.AllConnectionsClosed()) << "a session left the port open";
        EXPECT_TRUE(modsim.Stop()) << "modsim did not end cleanly on SIGTERM";
    }
    std::vector<std::string> RunArguments() const { return {"-Xdescriptor:" + modsimtest::HelloJad(), "-noload"}; }

    ModsimRunner modsim;
};

TEST_F(ModuleSession, AModuleThatIsOffIsSwitchedOnAndStartsTheJad) {
    StartModsim({"--off"});
    modsimtest::SessionResult result = RunSession(modsim, SessionConfig{}, RunArguments());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, RunningBanner("QRE") + "Using port " + modsim.Url() +
                              " with 115200 Baud.\n\nSwitching on module...\nConnecting to module...\n\n"
                              "Emulator is set to no download of Jar and Jad file!\n"
                              "Starting Java program inside the module...\n\n"
                              "Java program is started inside the module without debugging.\n"
                              "Emulator is closed, while the java program is running inside the module.\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(modsim.Transcript(),
              (std::vector<std::string>{"AT+IPR=115200", "ATI", "ATE0", "at^kjra=/sys/hello.jad"}));
    // The probe, the switch-on port, the trial, and the start each opened and closed the port.
    EXPECT_EQ(modsim.Connections(), 8 + 1 + 1 + 1);
}

TEST_F(ModuleSession, AModuleThatIsOnIsNotPulsed) {
    StartModsim({});
    modsimtest::SessionResult result = RunSession(modsim, SessionConfig{}, RunArguments());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.find("Switching on module..."), std::string::npos);
    EXPECT_NE(result.out.find("Connecting to module...\n"), std::string::npos);
    EXPECT_EQ(modsim.Transcript().back(), "at^kjra=/sys/hello.jad");
}

TEST_F(ModuleSession, AnOlderFamilyStartsTheJarFromDriveA) {
    StartModsim({"--ati", "Cellular Engine R2"});
    SessionConfig config;
    config.family = "QRB";
    modsimtest::SessionResult result = RunSession(modsim, config, RunArguments());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.substr(0, RunningBanner("QRB").size()), RunningBanner("QRB"));
    EXPECT_EQ(modsim.Transcript(), (std::vector<std::string>{"AT+IPR=115200", "ATI", "ATI", "ATI", "ATI", "ATI", "ATE0",
                                                             "at^kjra=a:/hello.jar"}));
}

TEST_F(ModuleSession, ARefusedProgramStartEndsWith1917) {
    StartModsim({"--fault", "at^kjra=error"});
    modsimtest::SessionResult result = RunSession(modsim, SessionConfig{}, RunArguments());
    EXPECT_EQ(result.status, StatusOf(1917));
    EXPECT_EQ(result.err, "\nStart of Java program is not possible!\n" + Aborted);
    EXPECT_EQ(modsim.Transcript().back(), "at^kjra=/sys/hello.jad");
}

TEST_F(ModuleSession, APortThatCannotBeOpenedEndsWith1903) {
    StartModsim({});
    for (const std::string& port : {std::string("/dev/ttyNoSuchModem0"), std::string("rfc2217://127.0.0.1:1")}) {
        SessionConfig config;
        config.port = port;
        modsimtest::SessionResult result = RunSession(modsim, config, RunArguments());
        EXPECT_EQ(result.status, StatusOf(1903)) << port;
        EXPECT_EQ(result.err, "\nFailed to access COM port!\n" + Aborted) << port;
        EXPECT_NE(result.out.find("Using port " + port + " with 115200 Baud.\n\n"), std::string::npos) << port;
    }
    EXPECT_TRUE(modsim.Transcript().empty());
}

TEST_F(ModuleSession, APortBelowTheTargetRateAgreesOnItsMaximum) {
    // The port goes up to 57600 and the session asks for 115200: the module is told 57600, and
    // the program start opens the port at that rate.
    StartModsim({"--max-baud", "57600"});
    std::vector<std::string> arguments = RunArguments();
    arguments.push_back("-emulog");
    modsimtest::SessionResult result = RunSession(modsim, SessionConfig{}, arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.log.find("Trying baudrate 57600..."), std::string::npos);
    EXPECT_EQ(result.log.find("Trying baudrate 115200..."), std::string::npos);
    EXPECT_EQ(modsim.Transcript(), (std::vector<std::string>{"AT+IPR=57600", "ATI", "ATE0", "at^kjra=/sys/hello.jad"}));
}

class DebugSession : public ModuleSession {
protected:
    std::vector<std::string> DebugArguments(const std::string& udpPort) const {
        std::vector<std::string> arguments = {"-Xdebug", "-Xrunjdwp:transport=dt_socket,server=y,address=8000",
                                              "-Xdescriptor:" + modsimtest::HelloJad(), "-noload"};
        if (!udpPort.empty()) {
            arguments.push_back("-udpport:" + udpPort);
        }
        return arguments;
    }
    static std::vector<std::string> ClassicCommands() {
        return {"ATE0", "at+cpin?", "at^kcfg=userware/debuginterface,\"192.168.0.2\",\"192.168.0.1\",\"0\"",
                "at^kcfg=userware/mode,\"debug\",\"/sys/hello.jar\",\"2000\""};
    }
    // The commands from the debug configuration on (after switch-on and identification).
    std::vector<std::string> ConfigurationPart() const {
        std::vector<std::string> transcript = modsim.Transcript();
        auto first = std::find(transcript.begin(), transcript.end(), "ATE0");
        std::vector<std::string> part(first, transcript.end());
        part.erase(std::remove_if(part.begin(), part.end(), [](const std::string& c) { return c.rfind("ATD", 0) == 0; }),
                   part.end());
        return part;
    }
};

TEST_F(DebugSession, TheClassicConfigurationWithAUdpPortSendsTheStdoutCommand) {
    StartModsim({"--fault", "ATD=error"});
    modsimtest::SessionResult result = RunSession(modsim, SessionConfig{}, DebugArguments("5555"));
    EXPECT_NE(result.out.find("Initializing module for debugging...\n"), std::string::npos);
    std::vector<std::string> expected = ClassicCommands();
    expected.push_back("at^kcfg=userware/stdout,UDP,5555");
    EXPECT_EQ(ConfigurationPart(), expected);
    EXPECT_EQ(result.status, StatusOf(1938)) << result.err;
}

TEST_F(DebugSession, TheClassicConfigurationWithoutAUdpPortSendsFourCommands) {
    StartModsim({"--fault", "ATD=error"});
    modsimtest::SessionResult result = RunSession(modsim, SessionConfig{}, DebugArguments(""));
    EXPECT_EQ(ConfigurationPart(), ClassicCommands());
    EXPECT_EQ(result.status, StatusOf(1938)) << result.err;
}

TEST_F(DebugSession, NoSimEndsWith1931) {
    StartModsim({"--no-sim"});
    modsimtest::SessionResult result = RunSession(modsim, SessionConfig{}, DebugArguments("5555"));
    EXPECT_EQ(result.status, StatusOf(1931));
    EXPECT_EQ(result.err,
              "\nPlease insert a SIM and disable PIN lock.\n\nFailed to initialize module for debugging!\n" + Aborted);
    EXPECT_EQ(modsim.Transcript().back(), "at+cpin?");
}

} // namespace
