// Passing calls to another emulator program in the toolkit's bin folder: every call goes to it
// with its arguments, its output is relayed unchanged, and the session ends with status 0.
#include <gtest/gtest.h>

#include "support/emulator_runner.h"

using namespace sessiontest;
namespace fs = std::filesystem;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void MakeExecutable(const fs::path& path) {
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

// Installs the hand-over fake as the toolkit's external emulator.
fs::path InstallSdkEmulator(const TestToolkit& kit) {
    const fs::path target = kit.Bin() / "sdk-emulator";
    fs::copy_file(HandoverFakes() / "sdk-emulator", target);
    MakeExecutable(target);
    return target;
}

} // namespace

TEST(Handover, QueryShowsOnlyTheExternalProgramsOutput) {
    TestToolkit kit;
    InstallSdkEmulator(kit);
    RunResult query = kit.Run({"-Xquery", "-emulog"});
    EXPECT_EQ(query.status, 0);
    EXPECT_EQ(query.out, "device.list: DefaultDevice\nDefaultDevice.description: stand-in device\n");
    EXPECT_EQ(ReadFileText(kit.Bin() / "emulator-calls.log"), "-Xquery -emulog\n");

    RunResult version = kit.Run({"-version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "SDK stand-in emulator 1.0\n");

    const std::string log = ReadFileText(kit.LogFile());
    EXPECT_TRUE(Contains(log, "Found external emulator: " + (kit.Bin() / "sdk-emulator").string() + "\r\n"));
    EXPECT_TRUE(Contains(log, "Passing control to external device emulator...\r\n"));
    EXPECT_TRUE(Contains(log, "Commandline:\r\n" + (kit.Bin() / "sdk-emulator").string() + " -Xquery -emulog\r\n"));
    EXPECT_TRUE(Contains(log, "\r\nEnd of debug session. Emulator is closed!\r\n"));
    EXPECT_TRUE(Contains(log, "CleanUp(): Given iExitCode: 0\r\n"));
}

TEST(Handover, OtherCallsArePassedOnWithTheirArgumentsAndOutput) {
    TestToolkit kit;
    InstallSdkEmulator(kit);
    // The external program's own exit code does not change the session's.
    RunResult run = kit.Run({"-Xdescriptor:/apps/my app.jad", "-Xdebug", "-emulog", "quote\"d"},
                            {{"SDK_EMULATOR_EXIT", "3"}});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Contains(run.out, "Passing control to external device emulator...\n"
                                  "sdk-emulator: -Xdescriptor:/apps/my app.jad -Xdebug -emulog quote\"d\n"
                                  "\nEnd of debug session. Emulator is closed!\n"));
    EXPECT_EQ(ReadFileText(kit.Bin() / "emulator-calls.log"),
              "-Xdescriptor:/apps/my app.jad -Xdebug -emulog quote\"d\n");
    // The log shows the command line with the blank-holding argument quoted.
    EXPECT_TRUE(Contains(ReadFileText(kit.LogFile()),
                         "Commandline:\r\n" + (kit.Bin() / "sdk-emulator").string() +
                             " \"-Xdescriptor:/apps/my app.jad\" -Xdebug -emulog quote\"d\r\n"));
}

TEST(Handover, OutputIsRelayedAsItStandsAndTheProgramPathIsQuotedWhenItHasBlanks) {
    TestToolkit kit;
    const fs::path spaced = kit.Bin() / "my emulator";
    WriteFileText(spaced, "#!/bin/sh\nprintf '100%% %%d done\\n'\nprintf 'to stderr\\n' >&2\nexit 7\n");
    MakeExecutable(spaced);
    RunResult result = kit.Run({"-emulog", "-Xquery"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "100% %d done\nto stderr\n");
    EXPECT_TRUE(Contains(ReadFileText(kit.LogFile()), "Commandline:\r\n\"" + spaced.string() + "\" -emulog -Xquery\r\n"));
}

TEST(Handover, OwnProgramAndNonExecutableFilesAreNotExternalEmulators) {
    TestToolkit kit;
    // A copy named like the program itself, and a file that cannot be run, are passed over.
    WriteFileText(kit.Bin() / "emulator.txt", "notes\n");
    WriteFileText(kit.Bin() / "Emulator", "#!/bin/sh\necho wrong\n");
    MakeExecutable(kit.Bin() / "Emulator");
    fs::create_directories(kit.Bin() / "old-emulator");
    RunResult version = kit.Run({"-version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(Contains(version.out, "Version: 1.6.4.0\n"));
}

TEST(Handover, ProgramThatCannotBeStartedEndsWith1793) {
    TestToolkit kit;
    const fs::path broken = kit.Bin() / "broken-emulator";
    WriteFileText(broken, "#!/nonexistent/interpreter\n");
    MakeExecutable(broken);
    RunResult result = kit.Run({"-Xdebug"});
    EXPECT_EQ(result.status, StatusOf(1793));
    EXPECT_TRUE(Contains(result.err, "\nFailed to execute external emulator!\n"));
    EXPECT_TRUE(Contains(result.err, "File upload and debugging are aborted!\n"));

    // Without the INI file the hand-over does not happen at all.
    fs::remove(kit.Ini());
    EXPECT_EQ(kit.Run({"-Xquery"}).status, StatusOf(1871));
}
