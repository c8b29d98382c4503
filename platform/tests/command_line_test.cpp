#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/process.h"

using platform::QuoteArgument;
using platform::SplitCommandLine;

TEST(SplitCommandLine, FollowsWindowsQuotingRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine(""), V{});
    EXPECT_EQ(SplitCommandLine("  a   b\t c "), (V{"a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine("\"a b\" c"), (V{"a b", "c"}));
    EXPECT_EQ(SplitCommandLine("x\"a b\"y"), (V{"xa by"}));
    EXPECT_EQ(SplitCommandLine("\"\""), (V{""}));
    EXPECT_EQ(SplitCommandLine("a\\\\b"), (V{"a\\\\b"}));
    EXPECT_EQ(SplitCommandLine("a\\\"b"), (V{"a\"b"}));
    EXPECT_EQ(SplitCommandLine("\"a\\\\\" b"), (V{"a\\", "b"}));
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\x\" -cp \"a;b\""),
              (V{"C:\\Program Files\\x", "-cp", "a;b"}));
    EXPECT_EQ(SplitCommandLine("\"say \"\"hi\"\"\""), (V{"say \"hi\""}));
}

TEST(QuoteArgument, RoundTripsThroughSplit) {
    for (std::string arg : {"plain", "", "with blank", "quote\"in", "trail\\", "both \\\" x\\\\"}) {
        auto words = SplitCommandLine(QuoteArgument(arg) + " next");
        ASSERT_EQ(words.size(), 2u) << arg;
        EXPECT_EQ(words[0], arg);
    }
}

TEST(MatchesWildcard, StarsAndQuestionMarks) {
    EXPECT_TRUE(platform::MatchesWildcard("api.jar", "*.jar", false));
    EXPECT_FALSE(platform::MatchesWildcard("api.jar.txt", "*.jar", false));
    EXPECT_TRUE(platform::MatchesWildcard("my-emulator-x", "*emulator*", false));
    EXPECT_TRUE(platform::MatchesWildcard("ab", "a?", false));
    EXPECT_FALSE(platform::MatchesWildcard("a", "a?", false));
    EXPECT_TRUE(platform::MatchesWildcard("API.JAR", "*.jar", true));
    EXPECT_FALSE(platform::MatchesWildcard("API.JAR", "*.jar", false));
}
