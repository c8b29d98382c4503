// Reading the UEI options into the session records.
#include <gtest/gtest.h>

#include <vector>

#include "session/command_line.h"
#include "core/records.h"

namespace {

// An argument vector that lives as long as the test.
class Arguments {
public:
    explicit Arguments(std::vector<std::string> values) : values_(std::move(values)) {
        for (auto& value : values_) {
            pointers_.push_back(value.data());
        }
        pointers_.push_back(nullptr);
    }
    int Count() const { return static_cast<int>(values_.size()); }
    char** Vector() { return pointers_.data(); }

private:
    std::vector<std::string> values_;
    std::vector<char*> pointers_;
};

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings = SessionSettings();
        Application = ApplicationRecord();
        SelectedDevice = -1;
        QueryDeviceName = "IMP_NG_DefaultDevice";
    }

    void Parse(std::vector<std::string> values) {
        values.insert(values.begin(), "emulator");
        Arguments arguments(std::move(values));
        ParseCommandLine(arguments.Count(), arguments.Vector());
    }
};

} // namespace

TEST(RunJdwpItems, AcceptedIgnoredAndAddress) {
    RunJdwpOptions options = ParseRunJdwpItems("transport=dt_socket,address=8000,server=y,suspend=n");
    EXPECT_EQ(options.failureCode, 0);
    EXPECT_TRUE(options.hasAddress);
    EXPECT_EQ(options.address, "8000");

    options = ParseRunJdwpItems("address=host:8000");
    EXPECT_EQ(options.address, "host:8000");
    // Items are prefix matches; the last address counts.
    options = ParseRunJdwpItems("server=yes,suspend=nope,address=1,address=2");
    EXPECT_EQ(options.failureCode, 0);
    EXPECT_EQ(options.address, "2");

    options = ParseRunJdwpItems("suspend=y,server=n");
    EXPECT_EQ(options.failureCode, 0);
    EXPECT_FALSE(options.hasAddress);
}

TEST(RunJdwpItems, FailuresStopAtTheFirstBadItem) {
    EXPECT_EQ(ParseRunJdwpItems("address=").failureCode, 817);
    EXPECT_EQ(ParseRunJdwpItems("address=,server=y").failureCode, 817);
    EXPECT_EQ(ParseRunJdwpItems("transport=dt_shmem").failureCode, 834);
    EXPECT_EQ(ParseRunJdwpItems("").failureCode, 834);
    EXPECT_EQ(ParseRunJdwpItems("server=y,").failureCode, 834);
    EXPECT_EQ(ParseRunJdwpItems("Address=8000").failureCode, 834);
    // The first failure decides which one is reported.
    EXPECT_EQ(ParseRunJdwpItems("bogus,address=").failureCode, 834);
    EXPECT_EQ(ParseRunJdwpItems("address=,bogus").failureCode, 817);
}

TEST(VerboseOption, LevelsOneToNine) {
    EXPECT_EQ(VerboseOptionOf("-v", "5"), " -v 5");
    EXPECT_EQ(VerboseOptionOf("-v", "9x"), " -v 9x");
    EXPECT_EQ(VerboseOptionOf("--verbose", "1"), " --verbose 1");
    EXPECT_EQ(VerboseOptionOf("-v", "0"), "");
    EXPECT_EQ(VerboseOptionOf("-v", "10"), "");
    EXPECT_EQ(VerboseOptionOf("-v", "x"), "");
    EXPECT_EQ(VerboseOptionOf("-v", nullptr), "");
}

TEST_F(CommandLineTest, OptionsFillTheRecords) {
    Parse({"-noload", "-Xdebug", "-udpport:4000", "-Xrunjdwp:address=pc:9000,server=y", "-emulog",
           "-classpath", "dist\\app.jar", "MainClass", "-Xverbose:-v", "3", "-Xdevice:IMP_NG_DefaultDevice"});
    EXPECT_EQ(Settings.NoLoad, 1);
    EXPECT_EQ(Settings.DebugMode, 1);
    EXPECT_EQ(Settings.UdpPortText, "4000");
    EXPECT_EQ(Settings.DebugServerAddress, "pc:9000");
    EXPECT_EQ(Settings.VerboseOption, " -v 3");
    EXPECT_EQ(Application.JarPath, "dist/app.jar");
    EXPECT_EQ(SelectedDevice, 0);
}

TEST_F(CommandLineTest, EmptyUdpPortAndClasspathValueThatLooksLikeAnOption) {
    Parse({"-udpport:", "-classpath", "-noload"});
    EXPECT_EQ(Settings.UdpPortText, "");
    // The value after -classpath is taken whatever it looks like.
    EXPECT_EQ(Application.JarPath, "-noload");
    EXPECT_EQ(Settings.NoLoad, 0);
}

TEST_F(CommandLineTest, EndingOptionsAndTheirStatuses) {
    const auto status = [](int code) { return (-code) & 0xFF; };
    EXPECT_EXIT(Parse({"-classpath"}), ::testing::ExitedWithCode(status(938)), "");
    EXPECT_EXIT(Parse({"-Xrunjdwp:address="}), ::testing::ExitedWithCode(status(817)), "");
    EXPECT_EXIT(Parse({"-Xrunjdwp:transport=shmem"}), ::testing::ExitedWithCode(status(834)), "");
    EXPECT_EXIT(Parse({"-Xdevice:Other"}), ::testing::ExitedWithCode(status(890)), "");
    EXPECT_EXIT(Parse({"-help", "-classpath"}), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(Parse({"-Xbogus", "-classpath"}), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(Parse({"-"}), ::testing::ExitedWithCode(0), "");
}
