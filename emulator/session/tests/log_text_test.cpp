// How a message is shaped for the console and for the log file.
#include <gtest/gtest.h>

#include "core/log_text.h"

TEST(ConsoleText, LineEndsBecomeLineFeeds) {
    bool atLineStart = true;
    EXPECT_EQ(ConsoleText("a\r\nb\rc\n", nullptr, atLineStart), "a\nb\nc\n");
    EXPECT_TRUE(atLineStart);
    EXPECT_EQ(ConsoleText("\r\r\n", nullptr, atLineStart), "\n\n");
    EXPECT_EQ(ConsoleText("no end", nullptr, atLineStart), "no end");
    EXPECT_FALSE(atLineStart);
    // Without a prefix nothing but the line ends changes.
    EXPECT_EQ(ConsoleText("100% %d\n", nullptr, atLineStart), "100% %d\n");
    EXPECT_TRUE(atLineStart);
}

TEST(ConsoleText, PrefixFollowsLineStartsAcrossMessages) {
    bool atLineStart = true;
    EXPECT_EQ(ConsoleText("a\nb\n", "  ", atLineStart), "  a\n  b\n");
    EXPECT_TRUE(atLineStart);
    EXPECT_EQ(ConsoleText("c", "  ", atLineStart), "  c");
    EXPECT_FALSE(atLineStart);
    // The line is continued, so no prefix in front; the final line feed gets none either.
    EXPECT_EQ(ConsoleText("d\n", "  ", atLineStart), "d\n");
    EXPECT_TRUE(atLineStart);
    EXPECT_EQ(ConsoleText("x\r\ny", "  ", atLineStart), "  x\n  y");
    // A message of only a line end ends the continued line.
    EXPECT_EQ(ConsoleText("\n", "  ", atLineStart), "\n");
    EXPECT_TRUE(atLineStart);
    // A message without prefix still moves the line-start state.
    EXPECT_EQ(ConsoleText("partial", nullptr, atLineStart), "partial");
    EXPECT_EQ(ConsoleText("rest\n", "  ", atLineStart), "rest\n");
}

TEST(LogFileText, LineFeedsAreStoredAsCrLfOnce) {
    bool lastWasCr = false;
    EXPECT_EQ(LogFileText("a\nb\n", lastWasCr), "a\r\nb\r\n");
    EXPECT_EQ(LogFileText("c\r\nd\r\n", lastWasCr), "c\r\nd\r\n");
    EXPECT_EQ(LogFileText("\n\n", lastWasCr), "\r\n\r\n");
    // A carriage return at the end of one message pairs with the line feed opening the next.
    EXPECT_EQ(LogFileText("e\r", lastWasCr), "e\r");
    EXPECT_TRUE(lastWasCr);
    EXPECT_EQ(LogFileText("\nf", lastWasCr), "\nf");
    EXPECT_FALSE(lastWasCr);
    EXPECT_EQ(LogFileText("lone\rcr\n", lastWasCr), "lone\rcr\r\n");
}
