// Splitting the Java command line, including program paths with blanks that are not quoted.
#include <set>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "command_words.h"

namespace launcher {
namespace {

using ::testing::ElementsAre;

auto FilesAre(std::set<std::string> files) {
    return [files](const std::string& path) { return files.count(path) != 0; };
}

TEST(SplitCommandWords, FindsAnUnquotedProgramPathWithBlanks) {
    auto isFile = FilesAre({"/opt/my jdk/bin/java"});
    EXPECT_THAT(SplitCommandWords("/opt/my jdk/bin/java  -cp \"a b\" x", PosixConventions(), isFile),
                ElementsAre("/opt/my jdk/bin/java", "-cp", "a b", "x"));
    EXPECT_THAT(SplitCommandWords("/opt/my jdk/bin/java", PosixConventions(), isFile),
                ElementsAre("/opt/my jdk/bin/java"));
    // The shortest existing prefix wins, as when Windows starts a command line.
    EXPECT_THAT(SplitCommandWords("/opt/my jdk/bin/java -x", PosixConventions(), FilesAre({"/opt/my", "/opt/my jdk/bin/java"})),
                ElementsAre("/opt/my", "jdk/bin/java", "-x"));
}

TEST(SplitCommandWords, WindowsAlsoTriesTheProgramWithExe) {
    auto isFile = FilesAre({"C:\\Program Files\\Java\\bin\\javaw.exe", "C:\\Program Files\\tool.exe"});
    EXPECT_THAT(SplitCommandWords("C:\\Program Files\\Java\\bin\\javaw.exe  -cp \"C:\\a b\" Main", WindowsConventions(), isFile),
                ElementsAre("C:\\Program Files\\Java\\bin\\javaw.exe", "-cp", "C:\\a b", "Main"));
    EXPECT_THAT(SplitCommandWords("C:\\Program Files\\tool x", WindowsConventions(), isFile),
                ElementsAre("C:\\Program Files\\tool", "x"));
    EXPECT_THAT(SplitCommandWords("C:\\Program Files\\tool x", PosixConventions(), isFile),
                ElementsAre("C:\\Program", "Files\\tool", "x"));
}

TEST(SplitCommandWords, OtherwiseSplitsAsTheCommandLineSplitterDoes) {
    auto none = FilesAre({});
    EXPECT_THAT(SplitCommandWords("java -cp 'x' \"a b\"", PosixConventions(), none), ElementsAre("java", "-cp", "'x'", "a b"));
    EXPECT_THAT(SplitCommandWords("\"/opt/my jdk/java\" -x", PosixConventions(), FilesAre({"/opt/my"})),
                ElementsAre("/opt/my jdk/java", "-x"));
    EXPECT_THAT(SplitCommandWords("/no such/java -x", PosixConventions(), none), ElementsAre("/no", "such/java", "-x"));
    EXPECT_THAT(SplitCommandWords("   ", PosixConventions(), none), ElementsAre());
    // A quote ends the part that can hold the program.
    EXPECT_THAT(SplitCommandWords("/opt/my \"jdk\"/java", PosixConventions(), FilesAre({"/opt/my jdk/java"})),
                ElementsAre("/opt/my", "jdk/java"));
}

} // namespace
} // namespace launcher
