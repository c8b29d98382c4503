// The VM command file, the Java directory file and the IDE configuration.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "config_files.h"
#include "fatal_error.h"
#include "platform/files.h"

namespace launcher {
namespace {

namespace fs = std::filesystem;

std::string JdkHome(const std::string& configuration) {
    std::istringstream stream(configuration);
    return FindConfiguredJdkHome(stream);
}

TEST(FindConfiguredJdkHome, TakesTheFirstUncommentedLineWithTheKey) {
    EXPECT_EQ(JdkHome("a=b\nridgeline_jdkhome=\"/usr/lib/jvm/jdk\"\nridgeline_jdkhome=/other\n"), "/usr/lib/jvm/jdk");
    EXPECT_EQ(JdkHome("#ridgeline_jdkhome=/old\n  # ridgeline_jdkhome=/older\nridgeline_jdkhome=/new\n"), "/new");
    // A '#' after the key is part of the value, not a comment.
    EXPECT_EQ(JdkHome("ridgeline_jdkhome=/opt/jdk#1\n"), "/opt/jdk#1");
    EXPECT_EQ(JdkHome("other=1\n"), "");
    EXPECT_EQ(JdkHome(""), "");
}

TEST(FindConfiguredJdkHome, StripsQuotesBlanksAndControlCharactersAtBothEnds) {
    EXPECT_EQ(JdkHome("ridgeline_jdkhome = ' \"C:\\Program Files\\jdk\" '\r\n"), "C:\\Program Files\\jdk");
    EXPECT_EQ(JdkHome("ridgeline_jdkhome=\t/opt/jdk\x01\x7f"), "/opt/jdk\x01\x7f");
    // Letters outside ASCII are part of the folder's name and stay.
    EXPECT_EQ(JdkHome("ridgeline_jdkhome=\"/opt/jdk-caf\xc3\xa9\"\n"), "/opt/jdk-caf\xc3\xa9");
}

TEST(FindConfiguredJdkHome, ADecidingLineWithoutAUsableValueEndsTheSearch) {
    EXPECT_EQ(JdkHome("ridgeline_jdkhome\nridgeline_jdkhome=/later\n"), "");
    EXPECT_EQ(JdkHome("ridgeline_jdkhome=\"x\"\nridgeline_jdkhome=/later\n"), "");
    EXPECT_EQ(JdkHome("ridgeline_jdkhome=xy\n"), "xy");
    // Only the '=' after the key counts.
    EXPECT_EQ(JdkHome("a=b ridgeline_jdkhome\n"), "");
}

TEST(FindConfiguredJdkHome, LooksOnlyAtTheStartOfVeryLongLines) {
    std::string far(5000, ' ');
    EXPECT_EQ(JdkHome(far + "ridgeline_jdkhome=/hidden\nridgeline_jdkhome=/seen\n"), "/seen");
    // A line of many megabytes is skipped past, not held, and the lines after it still count.
    EXPECT_EQ(JdkHome(std::string(16u << 20, 'x') + "\nridgeline_jdkhome=/after\n"), "/after");
    EXPECT_EQ(JdkHome("ridgeline_jdkhome=/last-line-without-end"), "/last-line-without-end");
}

TEST(TrimmedFirstLine, EndsAtTheLineEndAndDropsTrailingSeparators) {
    EXPECT_EQ(TrimmedFirstLine("C:\\jdk\\ \r\nnext", '\\'), "C:\\jdk");
    EXPECT_EQ(TrimmedFirstLine("/usr/lib/jvm/jdk/\n", '/'), "/usr/lib/jvm/jdk");
    EXPECT_EQ(TrimmedFirstLine("\n/usr", '/'), "");
    EXPECT_EQ(TrimmedFirstLine(std::string(5000, 'j'), '/').size(), kFirstLineLimit);
}

class VmFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = platform::TempFolder() + "trayhost-vmfile-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        path_ = folder_ + "/trayhost.vm";
    }
    void TearDown() override { fs::remove_all(folder_); }
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string Message() {
        try {
            ReadCommandTemplate(path_, "built-in ");
        } catch (const FatalError& error) {
            return error.what();
        }
        return "<no error>";
    }
    std::string folder_;
    std::string path_;
};

TEST_F(VmFile, MissingOrEmptyFileGivesTheBuiltInTemplate) {
    EXPECT_EQ(ReadCommandTemplate(path_, "built-in "), "built-in ");
    Write("");
    EXPECT_EQ(ReadCommandTemplate(path_, "built-in "), "built-in ");
}

TEST_F(VmFile, FirstLineIsTheTemplateEvenWhenItIsOnlyALineEnd) {
    Write("\n%JAVA% second");
    EXPECT_EQ(ReadCommandTemplate(path_, "built-in "), "\n");
    Write("%JAVA% -x\r\nsecond\n");
    EXPECT_EQ(ReadCommandTemplate(path_, "built-in "), "%JAVA% -x\r\n");
    Write("no line end");
    EXPECT_EQ(ReadCommandTemplate(path_, "built-in "), "no line end");
}

TEST_F(VmFile, LongestLineFitsAndALongerOneIsRejected) {
    Write(std::string(kFirstLineLimit, 'a') + "\nnext");
    EXPECT_EQ(ReadCommandTemplate(path_, ""), std::string(kFirstLineLimit, 'a') + "\n");
    // Only the part before the first line end has to fit.
    Write("short\r" + std::string(2 * kFirstLineLimit, 'b'));
    EXPECT_EQ(ReadCommandTemplate(path_, ""), "short\r");
    Write(std::string(kFirstLineLimit, 'a'));
    EXPECT_EQ(ReadCommandTemplate(path_, "").size(), kFirstLineLimit);
    Write(std::string(kFirstLineLimit + 1, 'a'));
    EXPECT_EQ(Message(), "Buffer exceeds maximum allowed size (4096)");
}

TEST_F(VmFile, AFileThatCannotBeReadIsFatal) {
    fs::create_directories(path_);
    EXPECT_EQ(Message(), "Failed to load command from the vm file");
}

TEST(ReadJavaFolderFile, MissingFileGivesAnEmptyFolder) {
    EXPECT_EQ(ReadJavaFolderFile(platform::TempFolder() + "trayhost-no-such-file", '/'), "");
}

} // namespace
} // namespace launcher
