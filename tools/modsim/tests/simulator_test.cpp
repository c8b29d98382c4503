// The simulator's command set, options and connection handling, on an in-memory channel.
#include <gtest/gtest.h>

#include <deque>
#include <thread>

#include "extensions.h"
#include "simulator.h"

namespace {

using modsim::Simulator;

// Hands the interpreter prepared input and keeps what it wrote; reading past the input ends the
// connection.
class MemoryChannel : public modsim::ByteChannel {
public:
    explicit MemoryChannel(std::string input, uint32_t rate = 115200) : input_(std::move(input)), rate_(rate) {}
    long Read(void* buffer, std::size_t size, uint32_t) override {
        if (input_.empty()) {
            return -1;
        }
        std::size_t count = input_.size() < size ? input_.size() : size;
        input_.copy(static_cast<char*>(buffer), count);
        input_.erase(0, count);
        return static_cast<long>(count);
    }
    bool Write(const void* data, std::size_t size) override {
        output.append(static_cast<const char*>(data), size);
        return true;
    }
    uint32_t BaudRate() const override { return rate_; }
    std::string output;

private:
    std::string input_;
    uint32_t rate_;
};

class SimulatorTest : public ::testing::Test {
protected:
    bool Start(const std::vector<std::string>& extra) {
        std::vector<std::string> arguments = {"--listen", "127.0.0.1:0"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        std::string error;
        modsim::InstallObexServer(simulator);
        modsim::InstallDebugLink(simulator);
        return simulator.ParseArguments(arguments, &error) && simulator.Prepare(&error);
    }
    std::string Serve(const std::string& input, uint32_t rate = 115200) {
        MemoryChannel channel(input, rate);
        simulator.ServeConnection(channel);
        return channel.output;
    }
    Simulator simulator;
};

TEST_F(SimulatorTest, AnswersTheSessionCommandsAsAModule) {
    ASSERT_TRUE(Start({"--no-echo", "--ati", "QRD7", "--model", "QRD-X", "--drives", "2"}));
    EXPECT_EQ(Serve("ATI\r"), "\r\nQRD7\r\nREVISION 01.000\r\n\r\nOK\r\n");
    EXPECT_EQ(Serve("AT+CGMM\r"), "\r\nQRD-X\r\n\r\nOK\r\n");
    EXPECT_EQ(Serve("AT^KQWE=100\r"), "\r\n^KQWE: 2\r\n\r\nOK\r\n");
    EXPECT_EQ(Serve("at+cpin?\r"), "\r\n+CPIN: READY\r\n\r\nOK\r\n");
    EXPECT_EQ(Serve("AT+NOSUCH\r"), "\r\nERROR\r\n");
    EXPECT_EQ(Serve("at^kjra=/sys/app.jad\r"), "\r\nOK\r\n");
    EXPECT_EQ(simulator.state().startedProgram, "/sys/app.jad");
    // Lines that are not commands get nothing, and line feeds after CR are ignored.
    EXPECT_EQ(Serve("hello\r\n\nAT\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(simulator.transcript().Lines(),
              (std::vector<std::string>{"ATI", "AT+CGMM", "AT^KQWE=100", "at+cpin?", "AT+NOSUCH", "at^kjra=/sys/app.jad",
                                        "AT"}));
}

TEST_F(SimulatorTest, EchoFollowsAte0AndAtf) {
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(Serve("ATE0\rAT\rAT&F\rAT\r"), "ATE0\r\r\nOK\r\n\r\nOK\r\n\r\nOK\r\nAT\r\r\nOK\r\n");
}

TEST_F(SimulatorTest, RemembersTheDebugConfiguration) {
    ASSERT_TRUE(Start({"--no-echo"}));
    Serve("at^kcfg=userware/debuginterface,\"192.168.0.2\",\"192.168.0.1\",\"0\"\r"
          "at^kcfg=userware/mode,\"debug\",\"a:/app.jar\",\"2000\"\r"
          "at^kcfg=userware/stdout,UDP,5555\r");
    const auto& kcfg = simulator.state().kcfg;
    EXPECT_EQ(kcfg.at("userware/debuginterface"), "\"192.168.0.2\",\"192.168.0.1\",\"0\"");
    EXPECT_EQ(kcfg.at("userware/mode"), "\"debug\",\"a:/app.jar\",\"2000\"");
    EXPECT_EQ(kcfg.at("userware/stdout"), "UDP,5555");
    EXPECT_EQ(Serve("at^kcfg=userware/stdout\r"), "\r\n^KCFG: userware/stdout,UDP,5555\r\n\r\nOK\r\n");
}

TEST_F(SimulatorTest, SwitchingDebugModeRestartsTheModule) {
    ASSERT_TRUE(Start({"--no-echo", "--restart-ms", "200"}));
    EXPECT_EQ(Serve("at^kcfg=\"Userware/DebugMode\"\r"), "\r\n^KCFG: \"Userware/DebugMode\",\"off\"\r\n\r\nOK\r\n");
    // The answer goes out, then the module restarts and ignores what follows until it is up.
    EXPECT_EQ(Serve("at^kcfg=\"Userware/DebugMode\",\"on\"\rAT\r"), "\r\nOK\r\n");
    EXPECT_EQ(simulator.state().resets, 1);
    EXPECT_TRUE(simulator.Booting());
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(Serve("at^kcfg=\"Userware/DebugMode\"\r"), "\r\n^KCFG: \"Userware/DebugMode\",\"on\"\r\n\r\nOK\r\n");
    // Setting the mode it already has restarts nothing.
    EXPECT_EQ(Serve("at^kcfg=\"Userware/DebugMode\",\"on\"\r"), "\r\nOK\r\n");
    EXPECT_EQ(simulator.state().resets, 1);
}

TEST_F(SimulatorTest, AUsbPortGoesAwayDuringARestart) {
    ASSERT_TRUE(Start({"--no-echo", "--usb", "--restart-ms", "200"}));
    EXPECT_EQ(Serve("at+cfun=1,1\rAT\r"), "\r\nOK\r\n");
    EXPECT_TRUE(simulator.PortUnavailable());
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_FALSE(simulator.PortUnavailable());
    EXPECT_EQ(Serve("AT\r"), "\r\nOK\r\n");
}

TEST_F(SimulatorTest, InjectedFaultsReplaceTheAnswer) {
    ASSERT_TRUE(Start({"--no-echo", "--fault", "at^kjra=error", "--fault", "AT+CGMM=cme:21", "--fault", "ATI=silent"}));
    EXPECT_EQ(Serve("AT^KJRA=a:/x.jar\r"), "\r\nERROR\r\n");
    EXPECT_EQ(Serve("AT+CGMM\r"), "\r\n+CME ERROR: 21\r\n");
    EXPECT_EQ(Serve("ATI\r"), "");
    EXPECT_TRUE(simulator.state().startedProgram.empty());
    EXPECT_EQ(simulator.transcript().Lines().size(), 3u);
}

TEST_F(SimulatorTest, NoSimAndAFixedModuleRate) {
    ASSERT_TRUE(Start({"--no-echo", "--no-sim", "--module-baud", "9600"}));
    EXPECT_EQ(Serve("at+cpin?\r", 9600), "\r\n+CME ERROR: 10\r\n");
    // At another rate the bytes are noise to the module.
    EXPECT_EQ(Serve("AT\r", 115200), "");
    EXPECT_EQ(Serve("AT+IPR=115200\r", 9600), "\r\nOK\r\n");
    EXPECT_EQ(Serve("AT\r", 115200), "\r\nOK\r\n");
    EXPECT_EQ(Serve("AT+IPR=12345678\r", 115200), "\r\nERROR\r\n");
}

TEST_F(SimulatorTest, AModuleThatIsOffHearsNothing) {
    ASSERT_TRUE(Start({"--off"}));
    EXPECT_EQ(Serve("AT\r"), "");
    EXPECT_TRUE(simulator.transcript().Lines().empty());
}

TEST_F(SimulatorTest, ObexModeTakesTheBytesBehindItsCommandAndLastsUntilTheEscape) {
    ASSERT_TRUE(Start({"--no-echo"}));
    // A CONNECT glued to the command in the same read belongs to the OBEX side.
    const char input[] = "AT^KQWE=3\r\x80\x00\x07\x10\x00\x02\x00+++";
    MemoryChannel channel(std::string(input, sizeof(input) - 1) + "AT\r");
    simulator.ServeConnection(channel);
    ASSERT_GE(channel.output.size(), 7u);
    EXPECT_EQ(channel.output.substr(0, 6), "\r\nOK\r\n");
    EXPECT_EQ(static_cast<unsigned char>(channel.output[6]), 0xA0) << "CONNECT answered with success";
    EXPECT_EQ(Serve("AT\r"), "\r\nOK\r\n");
}

TEST(SimulatorOptions, BadArgumentsAreNamed) {
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {{}, "give exactly one of --listen ADDRESS:PORT and --pty"},
        {{"--pty", "--listen", "127.0.0.1:1"}, "give exactly one of --listen ADDRESS:PORT and --pty"},
        {{"--listen", "127.0.0.1"}, "--listen needs ADDRESS:PORT, not \"127.0.0.1\""},
        {{"--pty", "--max-baud", "fast"}, "option --max-baud needs a number, not \"fast\""},
        {{"--pty", "--fault", "ATI=loud"}, "--fault needs PREFIX=error|cme:N|silent or drop|silent|badlength, not \"ATI=loud\""},
        {{"--pty", "--fault", "drop"}, "--fault drop|silent|badlength and --fault-at N (N from 1) go together"},
        {{"--pty", "--fault-at", "3"}, "--fault drop|silent|badlength and --fault-at N (N from 1) go together"},
        {{"--pty", "--drives"}, "option --drives needs a value"},
        {{"--pty", "--bogus"}, "unknown option \"--bogus\""},
    };
    for (const Case& c : cases) {
        Simulator simulator;
        std::string error;
        EXPECT_FALSE(simulator.ParseArguments(c.arguments, &error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(SimulatorOptions, ExtensionsRegisterTheirOwn) {
    Simulator simulator;
    simulator.RegisterOption("flash-limit", true, "bytes the flash holds");
    simulator.RegisterOption("vm", false, "start a VM");
    std::string error;
    ASSERT_TRUE(simulator.ParseArguments({"--pty", "--flash-limit", "4096", "--vm"}, &error)) << error;
    EXPECT_EQ(simulator.options().extensionValues.at("flash-limit"), "4096");
    EXPECT_EQ(simulator.options().extensionValues.at("vm"), "1");
    EXPECT_NE(simulator.Usage().find("--flash-limit VALUE  bytes the flash holds"), std::string::npos);
}

TEST(SimulatorPacing, LineTimeIsTenBitsPerByte) {
    EXPECT_EQ(modsim::LineTimeMs(1152, 115200), 100u);
    EXPECT_EQ(modsim::LineTimeMs(960, 9600), 1000u);
    EXPECT_EQ(modsim::LineTimeMs(10, 0), 0u);
}

} // namespace
