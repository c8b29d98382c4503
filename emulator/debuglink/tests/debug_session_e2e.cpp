// Whole debug sessions: the built emulator against modsim, with jdb attached through the debug
// agent, and the ways such a session fails.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/process_control.h"
#include "platform/tcp_socket.h"
#include "platform/udp_socket.h"
#include "support/modsim_runner.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadTextFile;
using testsupport::WriteTextFile;

const std::string Entry = "IP connection for remote debugging of QREx";
const std::string EndLine = "\nEnd of debug session. Emulator is closed!\n";

int StatusOf(int code) { return (-code) & 0xFF; }

uint16_t FreeTcpPort() {
    int error = 0;
    auto listener = platform::TcpListener::Listen("127.0.0.1", 0, &error);
    return listener ? listener->LocalPort() : 0;
}

uint16_t FreeUdpPort() {
    platform::UdpOpenFailure failure;
    auto socket = platform::UdpSocket::Open("127.0.0.1", 0, &failure);
    return socket ? socket->LocalPort() : 0;
}

struct SessionResult {
    std::string out, err;
    int status = -1;
};

class DebugSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"emulator", "modlink-linkd", "modsim"}) {
            if (!platform::IsExecutableFile(testsupport::BinaryFolder + "/" + program)) {
                GTEST_SKIP() << program << " is not built";
            }
        }
        jdwpPort_ = FreeTcpPort();
        vmPort_ = FreeTcpPort();
        udpPort_ = FreeUdpPort();
        fs::create_directories(kit_ / "bin");
        fs::create_directories(kit_ / "lib");
        fs::copy_file(testsupport::TestkitFolder + "/debugagent/zdp.jar", kit_ / "bin/zdp.jar");
        fs::copy_file(testsupport::TestkitFolder + "/impng/impng.jar", kit_ / "lib/impng.jar");
        WriteTextFile(kit_ / "bin/WM_Debug_config.ini",
                      "[Debug]\nLocalIpAddress=127.0.0.1\nRemoteIpAddress=127.0.0.1\nDebugPort=" +
                          std::to_string(vmPort_) + "\nUDPport=" + std::to_string(udpPort_) + "\n");
        // The program is already in the module; the session runs with -noload.
        fs::create_directories(flash_ / "A");
        for (const char* file : {"counting.jar", "counting.jad"}) {
            fs::copy_file(testsupport::TestkitFolder + "/impng/" + file, app_ / file);
            fs::copy_file(testsupport::TestkitFolder + "/impng/" + file, flash_ / ("A/" + std::string(file)));
        }
    }

    void StartModule(const std::vector<std::string>& options) {
        modsim_ = std::make_unique<testsupport::Modsim>(flash_.Path(), options);
        ASSERT_FALSE(modsim_->PortName().empty());
        testsupport::WriteLinkConfig(config_.Path(), Entry, modsim_->PortName(), "LinkType=direct\n");
    }

    // Starts the emulator with stdout through a pipe and stderr into a file.
    // A shell other than /bin/sh stays the emulator's parent (it does not exec it).
    std::unique_ptr<platform::Process> StartEmulator(const std::vector<std::string>& arguments,
                                                     const std::map<std::string, std::string>& env = {},
                                                     const std::string& shell = "/bin/sh") {
        platform::ProcessOptions options;
        const std::string script = shell == "/bin/sh"
                                       ? "exec \"$0\" \"$@\" 2>\"$MODLINK_TEST_ERR\""
                                       : "\"$0\" \"$@\" 2>\"$MODLINK_TEST_ERR\"; exit $?";
        options.arguments = {shell, "-c", script, testsupport::BinaryFolder + "/emulator"};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.environment = platform::EnvironmentBlock();
        options.environment["MIDP_HOME"] = kit_.Path();
        options.environment["MODLINK_CONFIG_DIR"] = config_.Path();
        options.environment["MODLINK_LINK_DIR"] = links_.Path();
        options.environment["MODLINK_LINKD"] = testsupport::BinaryFolder + "/modlink-linkd";
        options.environment["MODLINK_TEST_ERR"] = kit_ / "stderr.txt";
        options.environment["TMPDIR"] = kit_.Path();
        for (const auto& [name, value] : env) {
            options.environment[name] = value;
        }
        options.replaceEnvironment = true;
        options.output = platform::ChildOutput::Pipe;
        options.inheritInput = false;
        int error = 0;
        return platform::Process::Start(options, &error);
    }

    SessionResult Finish(platform::Process& emulator, int timeoutMs = 90000) {
        SessionResult run;
        std::thread reader([&] {
            char buffer[4096];
            long count;
            while ((count = emulator.ReadOutput(buffer, sizeof(buffer))) > 0) {
                run.out.append(buffer, static_cast<std::size_t>(count));
            }
        });
        if (!emulator.Wait(timeoutMs, &run.status)) {
            emulator.Terminate(99);
            run.status = 99;
        }
        reader.join();
        run.err = ReadTextFile(kit_ / "stderr.txt");
        return run;
    }

    // With upload, the module starts without the program and the session puts it there.
    std::vector<std::string> DebugArguments(bool withAddress = true, bool upload = false) {
        std::string jdwp = "-Xrunjdwp:transport=dt_socket,server=y";
        if (withAddress) {
            jdwp += ",address=" + std::to_string(jdwpPort_);
        }
        std::vector<std::string> arguments = {"-Xdebug", jdwp, "-emulog",
                                              "-Xdescriptor:" + (app_ / "counting.jad")};
        if (upload) {
            fs::remove(flash_ / "A/counting.jar");
            fs::remove(flash_ / "A/counting.jad");
        } else {
            arguments.insert(arguments.begin() + 2, "-noload");
        }
        return arguments;
    }

    bool ProgramInFlash() {
        return fs::exists(flash_ / "A/counting.jar") || fs::exists(flash_ / "A/counting.jad");
    }

    // jdb through the agent: breakpoint in the MIDlet, a local printed, run to the end.
    std::string RunJdb(int* status) {
        platform::ProcessOptions options;
        options.arguments = {"/usr/bin/python3", MODLINK_SOURCE_DIR "/emulator/debuglink/tests/support/jdb_session.py",
                             "jdb", std::to_string(jdwpPort_), "sample.CountingMidlet:14", "total"};
        options.output = platform::ChildOutput::Pipe;
        options.inheritInput = false;
        int error = 0;
        auto jdb = platform::Process::Start(options, &error);
        std::string text;
        char buffer[4096];
        long count;
        while (jdb && (count = jdb->ReadOutput(buffer, sizeof(buffer))) > 0) {
            text.append(buffer, static_cast<std::size_t>(count));
        }
        if (!jdb || !jdb->Wait(30000, status)) {
            *status = -1;
        }
        return text;
    }

    bool LinkFolderEmpty() {
        std::error_code ec;
        return fs::is_empty(links_.Path(), ec) || !fs::exists(links_.Path());
    }

    testsupport::ScratchFolder kit_{"kit"};
    testsupport::ScratchFolder app_{"app"};
    testsupport::ScratchFolder config_{"cfg"};
    testsupport::ScratchFolder links_{"links"};
    testsupport::ScratchFolder flash_{"flash"};
    std::unique_ptr<testsupport::Modsim> modsim_;
    uint16_t jdwpPort_ = 0, vmPort_ = 0, udpPort_ = 0;
};

TEST_F(DebugSessionTest, JdbHitsABreakpointPrintsALocalAndTheSessionEndsInOrder) {
    StartModule({});
    auto emulator = StartEmulator(DebugArguments(true, true));
    ASSERT_NE(emulator, nullptr);
    int jdbStatus = -1;
    const std::string jdb = RunJdb(&jdbStatus);
    EXPECT_EQ(jdbStatus, 0) << jdb;
    EXPECT_NE(jdb.find("Breakpoint hit"), std::string::npos) << jdb;
    EXPECT_NE(jdb.find("total = 1"), std::string::npos) << jdb;
    SessionResult run = Finish(*emulator);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("  step 1 total 1\n  step 2 total 3\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  100% %d done\n"), std::string::npos) << run.out;
    ASSERT_GE(run.out.size(), EndLine.size());
    EXPECT_EQ(run.out.substr(run.out.size() - EndLine.size()), EndLine) << run.out;
    EXPECT_TRUE(LinkFolderEmpty()) << "the link was hung up";
    EXPECT_FALSE(ProgramInFlash()) << "the uploaded files are deleted";
    const std::string transcript = ReadTextFile(modsim_->Transcript());
    EXPECT_NE(transcript.find("at^kcfg=userware/stdout,UDP," + std::to_string(udpPort_)), std::string::npos)
        << transcript;
}

TEST_F(DebugSessionTest, WithoutDebuggerAddressTheSessionEndsBeforeDialling) {
    StartModule({});
    auto emulator = StartEmulator(DebugArguments(false, true));
    ASSERT_NE(emulator, nullptr);
    SessionResult run = Finish(*emulator);
    EXPECT_EQ(run.status, StatusOf(1926));
    // The program went up before the address was checked, and was deleted again.
    EXPECT_NE(ReadTextFile(modsim_->Transcript()).find("AT^KQWE=3"), std::string::npos);
    EXPECT_FALSE(ProgramInFlash());
    EXPECT_NE(run.err.find("\nDebug mode started without debug server address!\n"), std::string::npos) << run.err;
    EXPECT_EQ(ReadTextFile(modsim_->Transcript()).find("ATD"), std::string::npos);
}

TEST_F(DebugSessionTest, RefusedDialEndsWithBothMessages) {
    StartModule({"--refuse-atd"});
    auto emulator = StartEmulator(DebugArguments());
    ASSERT_NE(emulator, nullptr);
    SessionResult run = Finish(*emulator);
    EXPECT_EQ(run.status, StatusOf(1938));
    EXPECT_NE(run.err.find("\nEstablishment of TCP/IP connection failed!"
                           "\nCheck the COM connection and dial up network parameters!\n"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(LinkFolderEmpty());
}

TEST_F(DebugSessionTest, NoSimEndsBeforeDialling) {
    StartModule({"--no-sim"});
    auto emulator = StartEmulator(DebugArguments());
    ASSERT_NE(emulator, nullptr);
    SessionResult run = Finish(*emulator);
    EXPECT_EQ(run.status, StatusOf(1931)) << run.out << run.err;
    EXPECT_EQ(ReadTextFile(modsim_->Transcript()).find("ATD"), std::string::npos);
}

TEST_F(DebugSessionTest, WithoutJdkTheAgentFailsAndTheLinkIsHungUp) {
    StartModule({});
    auto emulator = StartEmulator(DebugArguments(), {{"JAVA_HOME", (kit_ / "no-jdk")}});
    ASSERT_NE(emulator, nullptr);
    SessionResult run = Finish(*emulator);
    EXPECT_EQ(run.status, StatusOf(1953)) << run.out << run.err;
    EXPECT_NE(run.err.find("\nFailed to start debug agent!\n"), std::string::npos) << run.err;
    const std::string log = ReadTextFile(kit_ / "PVXLogfile.log");
    // The relay's reader woke and was joined; nothing had to be abandoned.
    EXPECT_EQ(log.find("Wait for UdpReadThread() timed out!"), std::string::npos);
    EXPECT_TRUE(LinkFolderEmpty());
}

TEST_F(DebugSessionTest, LinkDropWhileTheAgentRunsEndsTheAgentAfterTenSeconds) {
    StartModule({"--drop-link-after", "1"});
    auto start = std::chrono::steady_clock::now();
    auto emulator = StartEmulator(DebugArguments());
    ASSERT_NE(emulator, nullptr);
    SessionResult run = Finish(*emulator);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const std::string log = ReadTextFile(kit_ / "PVXLogfile.log");
    EXPECT_NE(log.find("Debug agent not closed!"), std::string::npos) << log;
    EXPECT_TRUE(LinkFolderEmpty());
}

TEST_F(DebugSessionTest, LinkStayingUpAfterTheAgentEndedAbortsTheSession) {
    StartModule({"--keep-link"});
    auto emulator = StartEmulator(DebugArguments());
    ASSERT_NE(emulator, nullptr);
    int jdbStatus = -1;
    const std::string jdb = RunJdb(&jdbStatus);
    EXPECT_EQ(jdbStatus, 0) << jdb;
    SessionResult run = Finish(*emulator);
    EXPECT_EQ(run.status, StatusOf(1961)) << run.out << run.err;
    EXPECT_NE(run.err.find("\nDebugging is aborted, because of problem with debug IP connection!"
                           "\nPlease restart module and debug session.\n"),
              std::string::npos)
        << run.err;
    const std::string log = ReadTextFile(kit_ / "PVXLogfile.log");
    EXPECT_NE(log.find("Ras connection not disconnected!"), std::string::npos);
    // The clean-up hung the link up all the same.
    EXPECT_TRUE(LinkFolderEmpty());
}

} // namespace

namespace {

// The SDK's own emulator in the toolkit: emulator prepares the module and the link, registers
// the module's address and passes the call on; the link stays up for the SDK.
class HandoverSessionTest : public DebugSessionTest {
protected:
    void SetUp() override {
        DebugSessionTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        for (const char* tool : {"sdk-emulator", "netenlist"}) {
            fs::copy_file(testsupport::TestkitFolder + "/handover/bin/" + tool, kit_ / ("bin/" + std::string(tool)));
        }
        WriteTextFile(kit_ / "toolkit-lib/process/trayhost/device-adapter-CldcDevice/qrex.properties",
                      "productName: Simulated QREx Module\n");
    }

    void TearDown() override {
        // The link is meant to outlive the session; end its holder here.
        for (const std::string& name : platform::ListFolder(links_.Path(), "*.link")) {
            const std::string record = ReadTextFile(links_ / name);
            std::string::size_type holder = record.find("holder=");
            const int id = holder == std::string::npos ? 0 : std::atoi(record.c_str() + holder + 7);
            if (id > 0 && id != platform::CurrentProcessId()) {
                platform::KillProcess(id);
            }
        }
    }

    static std::size_t Count(const std::string& text, const std::string& what) {
        std::size_t count = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++count;
        }
        return count;
    }
};

TEST_F(HandoverSessionTest, LinkIsPreparedOnceAndLeftUpForTheSdk) {
    StartModule({"--debug-mode-on"});
    const std::vector<std::string> arguments = {"-Xdebug", "-Xrunjdwp:transport=dt_socket,server=y,address=" +
                                                               std::to_string(jdwpPort_),
                                                "-Xdescriptor:" + (app_ / "counting.jad")};
    auto first = StartEmulator(arguments);
    ASSERT_NE(first, nullptr);
    SessionResult run = Finish(*first);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Registering ip address \"127.0.0.1\" of remote debugging device...\n"),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Passing control to external device emulator...\n"), std::string::npos);
    EXPECT_NE(run.out.find("sdk-emulator: -Xdebug"), std::string::npos) << run.out;
    EXPECT_EQ(ReadTextFile(kit_ / "bin/netenlist.log"), "list\nadd ip 127.0.0.1\n");
    EXPECT_FALSE(LinkFolderEmpty()) << "the link stays up for the SDK";

    // A second call finds the link up: no module steps, no second dial, no second registration.
    auto second = StartEmulator(arguments);
    ASSERT_NE(second, nullptr);
    run = Finish(*second);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(ReadTextFile(kit_ / "bin/netenlist.log"), "list\nadd ip 127.0.0.1\nlist\n");
    EXPECT_EQ(Count(ReadTextFile(modsim_->Transcript()), "ATD"), 1u);
}

} // namespace

namespace {

TEST_F(HandoverSessionTest, QueryFromEclipseStopsTheDeviceManager) {
    // The link is up already (its holder is this test, which surely runs) and the address is
    // registered, so the query touches neither the module nor netenlist's registration.
    WriteTextFile(links_ / "IP_connection_for_remote_debugging_of_QREx.link",
                  "entry=" + Entry + "\nholder=" + std::to_string(platform::CurrentProcessId()) +
                      "\nstate=connected\nerror=0\nport=p\ntype=direct\n");
    WriteTextFile(kit_ / "bin/registered-addresses", "127.0.0.1\n");
    testsupport::WriteLinkConfig(config_.Path(), Entry, "rfc2217://127.0.0.1:1", "LinkType=direct\n");
    // Copies of the shell, so that the image names are their own: an IDE and a device manager
    // under a name nothing else on this machine uses.
    const std::string eclipse = kit_ / "eclipse";
    const std::string managerImage = "devmgr-" + std::to_string(platform::CurrentProcessId());
    fs::copy_file("/bin/sh", eclipse);
    fs::copy_file("/bin/sh", kit_ / managerImage);
    const std::map<std::string, std::string> env = {{"MODLINK_DEVICE_MANAGER_IMAGE", managerImage}};

    auto startManager = [&] {
        platform::ProcessOptions options;
        options.arguments = {kit_ / managerImage, "-c", "sleep 60 & wait"};
        options.inheritInput = false;
        int error = 0;
        return platform::Process::Start(options, &error);
    };
    auto manager = startManager();
    ASSERT_NE(manager, nullptr);
    auto plain = StartEmulator({"-Xquery"}, env);
    ASSERT_NE(plain, nullptr);
    SessionResult run = Finish(*plain);
    EXPECT_EQ(run.status, 0) << run.err;
    int exitCode = 0;
    EXPECT_FALSE(manager->Wait(200, &exitCode)) << "not started from Eclipse: the manager stays";

    auto fromEclipse = StartEmulator({"-Xquery"}, env, eclipse);
    ASSERT_NE(fromEclipse, nullptr);
    run = Finish(*fromEclipse);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("device.list: ", 0), 0u) << "only the SDK's answer: " << run.out;
    EXPECT_TRUE(manager->Wait(5000, &exitCode)) << "the device manager was stopped";
    manager->Terminate(0); // nothing left behind when it was not
}

} // namespace
