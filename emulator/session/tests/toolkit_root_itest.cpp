// Finding the toolkit root from the program's own path, from MIDP_HOME, or from the current
// folder when no lib folder lies above the program.
#include <gtest/gtest.h>

#include "support/emulator_runner.h"

using namespace sessiontest;
namespace fs = std::filesystem;

namespace {

const char Warnings[] =
    "Warning: Failed to find PVX root directory!\n"
    "Please specify MIDP_HOME environment variable with the root of your PVX folder.\n\n";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(ToolkitRoot, MidpHomeIsUsedAsItIs) {
    TestToolkit kit;
    ScratchFolder other;
    WriteFileText(other.Path() / "bin" / "WM_Debug_config.ini", "[Debug]\n");
    // No lib folder there, yet it is the root.
    RunResult result = kit.Run({"-emulog", "-version"}, {{"MIDP_HOME", other.Path().string() + "///"}});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(Contains(ReadFileText(kit.LogFile()), "MIDP_HOME: " + other.Path().string() + "\r\n"));
    // An empty MIDP_HOME also counts: the INI file is then looked for below the file-system root.
    EXPECT_EQ(kit.Run({"-version"}, {{"MIDP_HOME", ""}}).status, StatusOf(1871));
}

TEST(ToolkitRoot, ProgramFoundThroughPathOrANestedFolder) {
    TestToolkit kit;
    // Started by bare name, as a shell finds it on PATH.
    RunResult byName = kit.Run({"-emulog", "-version"},
                               {{"PATH", kit.Bin().string() + ":/usr/bin:/bin"}}, "emulator");
    EXPECT_EQ(byName.status, 0) << byName.err;
    EXPECT_TRUE(Contains(ReadFileText(kit.LogFile()), "MIDP_HOME: " + kit.Root().string() + "\r\n"));

    // A program deeper below the root climbs until it meets the lib folder.
    fs::create_directories(kit.Root() / "bin" / "x86");
    fs::create_symlink(BuiltEmulator(), kit.Root() / "bin" / "x86" / "emulator");
    RunResult nested = kit.Run({"-emulog", "-version"}, {}, kit.Root() / "bin" / "x86" / "emulator");
    EXPECT_EQ(nested.status, 0);
    EXPECT_TRUE(Contains(ReadFileText(kit.LogFile()), "MIDP_HOME: " + kit.Root().string() + "\r\n"));
}

TEST(ToolkitRoot, NoLibFolderAboveTheProgramFallsBackToTheCurrentFolder) {
    ScratchFolder place;
    fs::create_directories(place.Path() / "tools");
    fs::create_symlink(BuiltEmulator(), place.Path() / "tools" / "emulator");
    TestToolkit kit;
    RunResult result = kit.Run({"-emulog", "-version"}, {}, place.Path() / "tools" / "emulator", kit.Root());
    ASSERT_FALSE(fs::exists(fs::path(place.Path()).parent_path() / "lib"));
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(Contains(result.err, Warnings));
    EXPECT_TRUE(Contains(ReadFileText(kit.LogFile()), "MIDP_HOME: " + kit.Root().string() + "\r\n"));
}
