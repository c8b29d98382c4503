// Whole run sessions against the module simulator: the upload order, the flash while the program
// starts and after the clean-up, and the failures of the upload.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/module_session.h"

using obextest::ModuleSession;
using obextest::ReadAll;
using obextest::Snapshot;

namespace {

int StatusOf(int code) { return (-code) & 0xFF; }

// The names of the files in the order their data went up (PUT packets with a Length header).
std::vector<std::string> UploadOrder(const std::vector<std::string>& lines) {
    std::vector<std::string> names;
    for (const std::string& line : lines) {
        if (line.rfind("OBEX PUT", 0) != 0 || line.find(" length=") == std::string::npos) continue;
        std::size_t at = line.find("name=\"") + 6;
        names.push_back(line.substr(at, line.find('"', at) - at));
    }
    return names;
}

void RunAndCheck(int drives) {
    ModuleSession module(drives);
    ASSERT_TRUE(module.Started());
    auto before = Snapshot(module.Flash());
    auto jad = module.MakeApplication();
    auto result = module.Run(jad);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Downloading Jar and Jad file...\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("Java program is started inside the module without debugging.\n"), std::string::npos);

    std::vector<std::string> expected = {"calc.jad", "calc.jar", "mathlib.jad", "mathlib.jar", "strlib.jad", "strlib.jar"};
    EXPECT_EQ(UploadOrder(module.ObexLines()), expected);

    ASSERT_TRUE(result.sawStart);
    for (const std::string& name : expected) {
        auto it = result.flashAtStart.find("A/" + name);
        ASSERT_NE(it, result.flashAtStart.end()) << name;
        EXPECT_EQ(it->second, ReadAll(jad.parent_path() / name)) << name;
    }
    EXPECT_EQ(Snapshot(module.Flash()), before); // the clean-up deleted what went up
    if (drives > 1) {
        // With two drives every request names drive A before the root.
        auto lines = module.ObexLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), "OBEX SETPATH final flags=00 name=\"A:\""), lines.end());
    }
}

// The sessions need the sample toolkit (component testkit) and the simulator.
class RunSession : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(std::string(MODLINK_BINARY_DIR) + "/testkit/toolkit/apps/calc/calc.jar") ||
            !std::filesystem::exists(std::string(MODLINK_BINARY_DIR) + "/bin/modsim")) {
            GTEST_SKIP() << "the sample toolkit or modsim is not built";
        }
    }
};

} // namespace

TEST_F(RunSession, UploadsAndCleansUpOnAOneDriveModule) { RunAndCheck(1); }

TEST_F(RunSession, UploadsAndCleansUpOnATwoDriveModule) { RunAndCheck(2); }

TEST_F(RunSession, AMissingLibletEndsWith524AndTheApplicationFilesGoAgain) {
    ModuleSession module(1);
    ASSERT_TRUE(module.Started());
    auto before = Snapshot(module.Flash());
    auto jad = module.MakeApplication();
    std::filesystem::remove(jad.parent_path() / "strlib.jar");
    auto result = module.Run(jad);
    EXPECT_EQ(result.status, StatusOf(524)) << result.output;
    EXPECT_NE(result.output.find("LIBlet file"), std::string::npos) << result.output;
    auto order = UploadOrder(module.ObexLines());
    EXPECT_EQ(order, (std::vector<std::string>{"calc.jad", "calc.jar", "mathlib.jad", "mathlib.jar"}));
    EXPECT_EQ(Snapshot(module.Flash()), before);
}

TEST_F(RunSession, FullModuleMemoryEndsWith513AndLeavesNoPartialFile) {
    // Room for the module's own file and the JAD, not for the JAR.
    ModuleSession module(1, {"--flash-limit", "600"});
    ASSERT_TRUE(module.Started());
    auto before = Snapshot(module.Flash());
    auto result = module.Run(module.MakeApplication());
    EXPECT_EQ(result.status, StatusOf(513)) << result.output;
    EXPECT_NE(result.output.find("Not enough memory"), std::string::npos) << result.output;
    EXPECT_FALSE(result.sawStart);
    EXPECT_EQ(Snapshot(module.Flash()), before);
}

TEST_F(RunSession, ALinkThatDropsInTheJarEndsTheSessionAndKeepsNoPartialFile) {
    // Small packets make listings, the JAD and the JAR take several each; the 14th request is
    // the JAR's second body packet.
    ModuleSession module(1, {"--obex-packet", "255", "--obex-drop-after", "14"});
    ASSERT_TRUE(module.Started());
    auto before = Snapshot(module.Flash());
    auto result = module.Run(module.MakeApplication());
    EXPECT_EQ(result.status, StatusOf(513)) << result.output;
    auto lines = module.ObexLines();
    auto dropped = std::find_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.find("(link dropped)") != std::string::npos; });
    ASSERT_NE(dropped, lines.end());
    EXPECT_EQ(dropped->rfind("OBEX PUT body=", 0), 0u) << *dropped;
    EXPECT_EQ(Snapshot(module.Flash()), before);
}

TEST_F(RunSession, AModuleThatNeverEntersObexModeFailsTheUpload) {
    ModuleSession module(1, {"--fault", "AT^KQWE=3=silent"});
    ASSERT_TRUE(module.Started());
    auto before = Snapshot(module.Flash());
    auto result = module.Run(module.MakeApplication());
    EXPECT_EQ(result.status, StatusOf(513)) << result.output;
    EXPECT_NE(result.output.find("Not enough memory"), std::string::npos) << result.output;
    auto lines = module.Transcript();
    // Every connect tries the switch three times before it gives up.
    auto tries = std::count(lines.begin(), lines.end(), "AT^KQWE=3");
    EXPECT_GE(tries, 3);
    EXPECT_EQ(tries % 3, 0);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("OBEX", 0) == 0; }), 0);
    EXPECT_EQ(Snapshot(module.Flash()), before);
}
