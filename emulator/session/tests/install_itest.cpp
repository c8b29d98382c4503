// `cmake --install` lays out an installed toolkit: the installed emulator finds the toolkit root
// above its own folder, its settings in bin/, and the API libraries put into lib/.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/process.h"
#include "support/emulator_runner.h"

using namespace sessiontest;
namespace fs = std::filesystem;

namespace {

TEST(InstalledToolkit, ProgramsAndLibrariesLandInBinAndTheEmulatorFindsItsRoot) {
    TestToolkit kit;
    const fs::path prefix = kit.Scratch() / "installed";
    const std::string command = "cmake --install \"" + std::string(MODLINK_BINARY_DIR) +
                                "\" --prefix \"" + prefix.string() + "\" >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    EXPECT_TRUE(fs::is_regular_file(prefix / "bin" / "emulator"));
    EXPECT_TRUE(fs::is_regular_file(prefix / "bin" / "WM_Debug_config.ini"));
    EXPECT_TRUE(fs::is_directory(prefix / "lib"));
    for (const char* file : {"DescPick", "trayhost", "modlink-linkd", "libsublime-x64.so",
                             "libregaccess-x64.so"}) {
        if (fs::exists(fs::path(MODLINK_BINARY_DIR) / "bin" / file)) {
            EXPECT_TRUE(fs::is_regular_file(prefix / "bin" / file)) << file;
        }
    }

    // The sample toolkit's API libraries, put where the SDK puts them.
    for (const auto& jar : fs::directory_iterator(SampleToolkit() / "lib")) {
        fs::copy_file(jar.path(), prefix / "lib" / jar.path().filename());
    }
    const std::string lib = (prefix / "lib").string();
    RunResult query = kit.Run({"-Xdevice:IMP_NG_DefaultDevice", "-Xquery"}, {}, prefix / "bin" / "emulator",
                              kit.Scratch());
    EXPECT_EQ(query.status, 0) << query.err;
    EXPECT_NE(query.out.find(".bootclasspath: " + lib + "/cldc-1.1.jar," + lib + "/imp-ng-1.0.jar," +
                             lib + "/m2m-io-2.0.jar\n"),
              std::string::npos)
        << query.out;

    // -help is answered only when the settings file was found beside the program.
    RunResult help = kit.Run({"-help"}, {}, prefix / "bin" / "emulator", kit.Scratch());
    EXPECT_EQ(help.status, 0) << help.err;
}

} // namespace
