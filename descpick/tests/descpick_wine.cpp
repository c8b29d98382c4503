// DescPick.exe under Wine answers byte for byte like the Linux DescPick: each case runs both
// programs on the same files and compares standard output and exit status. The Windows program is
// the x86_64 build (scripts/build-windows.sh); scripts/wine-tests.sh sets MODLINK_WINDOWS_BIN to
// its folder and prepares the Wine prefix.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/env.h"
#include "platform/process.h"

namespace {

struct Answer {
    std::string output;
    int status = -100;
};

Answer RunProgram(std::vector<std::string> command) {
    platform::ProcessOptions options;
    options.arguments = std::move(command);
    options.output = platform::ChildOutput::Pipe;
    options.inheritInput = false;
    Answer answer;
    int error = 0;
    answer.status = platform::RunToEnd(options, &answer.output, &error);
    return answer;
}

class DescPickUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        auto bin = platform::GetEnv("MODLINK_WINDOWS_BIN");
        if (!bin) {
            GTEST_SKIP() << "MODLINK_WINDOWS_BIN is not set: run scripts/wine-tests.sh";
        }
        windowsProgram_ = *bin + "/DescPick.exe";
        ASSERT_TRUE(std::filesystem::exists(windowsProgram_)) << windowsProgram_;
        folder_ = std::filesystem::temp_directory_path() /
                  ("descpick_wine_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        if (!folder_.empty()) {
            std::filesystem::remove_all(folder_);
        }
    }
    std::string Jad(const std::string& content) {
        std::string path = (folder_ / "app.jad").string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    // Runs both programs with the same arguments; the Windows one must answer alike.
    void ExpectSameAnswer(const std::vector<std::string>& arguments) {
        std::vector<std::string> onLinux{MODLINK_BINARY_DIR "/bin/DescPick"};
        std::vector<std::string> underWine{platform::GetEnv("MODLINK_WINE").value_or("/usr/lib/wine/wine64"),
                                         windowsProgram_};
        onLinux.insert(onLinux.end(), arguments.begin(), arguments.end());
        underWine.insert(underWine.end(), arguments.begin(), arguments.end());
        Answer expected = RunProgram(onLinux);
        Answer actual = RunProgram(underWine);
        std::string shown = arguments.empty() ? "(no arguments)" : arguments[0];
        EXPECT_EQ(actual.output, expected.output) << shown;
        EXPECT_EQ(actual.status, expected.status) << shown;
    }
    std::filesystem::path folder_;
    std::string windowsProgram_;
};

TEST_F(DescPickUnderWine, UsageForAWrongArgumentCount) {
    for (auto arguments : std::vector<std::vector<std::string>>{{}, {"a.jad"}, {"a.jad", "K", "extra"}}) {
        ExpectSameAnswer(arguments);
    }
}

TEST_F(DescPickUnderWine, FileErrors) {
    ExpectSameAnswer({(folder_ / "missing.jad").string(), "MIDlet-Name"});
    ExpectSameAnswer({folder_.string(), "MIDlet-Name"});
}

TEST_F(DescPickUnderWine, ValuesAsStored) {
    std::string jad = Jad("MIDlet-Name:  Demo 100%s %d%%  \r\nMIDlet-Jar-URL: http://h:80/a.jar\r\n");
    ExpectSameAnswer({jad, "MIDlet-Name"});
    ExpectSameAnswer({jad, "MIDlet-Jar-URL"});
}

TEST_F(DescPickUnderWine, MissingOrEmptyProperties) {
    struct Case {
        std::string content, property;
    };
    for (const Case& c : {Case{"MIDlet-Name: Demo\n", "midlet-name"}, Case{"MIDlet-Name:   \n", "MIDlet-Name"},
                          Case{"", "MIDlet-Name"}, Case{"MIDlet-Name: Demo\n", "%s%n%s"}}) {
        ExpectSameAnswer({Jad(c.content), c.property});
    }
}

TEST_F(DescPickUnderWine, LineEndsAndDuplicates) {
    for (const char* content : {"A: 1\rMIDlet-Name: Demo\rMIDlet-Name: Other\r",
                                "A: 1\nMIDlet-Name: Demo\nMIDlet-Name: Other\n"}) {
        ExpectSameAnswer({Jad(content), "MIDlet-Name"});
    }
}

} // namespace
