// The message function in this process: channels, the console switch, the log file's life and
// the lock that keeps messages of two threads apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/env.h"
#include "core/log.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

constexpr const char* TemporaryFolderVariables[] = {"TMPDIR", "TMP", "TEMP"};

class LogPrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("modlink-log-" + std::to_string(platform::CurrentProcessId()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        // The temporary folder is TMPDIR's on POSIX systems and TMP's (or TEMP's) on Windows.
        for (const char* name : TemporaryFolderVariables) {
            saved[name] = platform::GetEnv(name);
            platform::SetEnv(name, folder.string());
        }
        ForgetLogFile();
        LogEnabled = true;
        ConsoleEnabled = true;
    }

    void TearDown() override {
        LogEnabled = false;
        ConsoleEnabled = true;
        ForgetLogFile();
        for (const auto& [name, value] : saved) {
            if (value) {
                platform::SetEnv(name, *value);
            } else {
                platform::UnsetEnv(name);
            }
        }
        fs::remove_all(folder);
    }

    fs::path LogFile() const { return folder / "PVXLogfile.log"; }

    fs::path folder;
    std::map<std::string, std::optional<std::string>> saved;
};

} // namespace

TEST_F(LogPrintTest, ChannelsReachTheirStreamsAndAlwaysTheLog) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    LogPrint(LogChannel::Log, "log only %d\n", 1);
    LogPrint(LogChannel::Out, "out %s\r\n", "two");
    LogPrint(LogChannel::Err, "err %c\n", '3');
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "out two\n");
    EXPECT_EQ(err, "err 3\n");
    EXPECT_EQ(ReadAll(LogFile()), "log only 1\r\nout two\r\nerr 3\r\n");
    EXPECT_EQ(CurrentLogFilePath(), LogFile().string());
}

TEST_F(LogPrintTest, ConsoleSwitchAndEmptyTexts) {
    ::testing::internal::CaptureStderr();
    ConsoleEnabled = false;
    LogPrint(LogChannel::Err, "hidden error\n");
    ConsoleEnabled = true;
    LogPrint(LogChannel::Err, "%s", "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(ReadAll(LogFile()), "hidden error\r\n");
}

TEST_F(LogPrintTest, ArgumentsAreNeverReadAsFormats) {
    ::testing::internal::CaptureStdout();
    LogPrintPrefixed(LogChannel::Out, "  ", "%s", "50%d %s %n\n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "  50%d %s %n\n");
    EXPECT_EQ(ReadAll(LogFile()), "50%d %s %n\r\n");
}

TEST_F(LogPrintTest, FirstMessageEmptiesAnOldLogAndLongTextsAreWhole) {
    {
        std::ofstream old(LogFile(), std::ios::binary);
        old << "previous run\r\n";
    }
    const std::string big(100000, 'x');
    LogPrint(LogChannel::Log, "%s\n", big.c_str());
    LogPrint(LogChannel::Log, "after\n");
    EXPECT_EQ(ReadAll(LogFile()), big + "\r\nafter\r\n");
}

TEST_F(LogPrintTest, WithoutLoggingNoFileIsMade) {
    LogEnabled = false;
    ::testing::internal::CaptureStdout();
    LogPrint(LogChannel::Out, "console only\n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "console only\n");
    EXPECT_FALSE(fs::exists(LogFile()));
    EXPECT_EQ(CurrentLogFilePath(), "");
}

TEST_F(LogPrintTest, MessagesOfTwoThreadsStayWhole) {
    constexpr int Count = 400;
    auto writer = [](char mark) {
        const std::string line(60, mark);
        for (int i = 0; i < Count; ++i) {
            LogPrint(LogChannel::Log, "%s %d\n", line.c_str(), i);
        }
    };
    std::thread first(writer, 'a');
    std::thread second(writer, 'b');
    first.join();
    second.join();
    std::istringstream lines(ReadAll(LogFile()));
    std::string line;
    int a = 0, b = 0;
    while (std::getline(lines, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r');
        const char mark = line[0];
        ASSERT_TRUE(mark == 'a' || mark == 'b');
        const int expected = mark == 'a' ? a++ : b++;
        ASSERT_EQ(line, std::string(60, mark) + " " + std::to_string(expected) + "\r");
    }
    EXPECT_EQ(a, Count);
    EXPECT_EQ(b, Count);
}
