// The progress line: what it says, how often it is redrawn and that it leaves nothing behind.
#include "session/upload_progress_display.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(UploadProgressFormat, FiguresRateAndTimeLeft) {
    // 4096 of 12288 bytes in 400 ms: 10240 bytes a second, 8192 bytes left need 0.8 s, shown as 1 s.
    EXPECT_EQ(FormatUploadProgress("calc.jar", 4096, 12288, 400), "calc.jar  4096/12288 bytes  33%  10.0 KB/s  0:01 left");
    // Nothing measured yet.
    EXPECT_EQ(FormatUploadProgress("calc.jad", 0, 300, 0), "calc.jad  0/300 bytes  0%  -- KB/s  --:-- left");
    EXPECT_EQ(FormatUploadProgress("calc.jad", 0, 300, 5000), "calc.jad  0/300 bytes  0%  -- KB/s  --:-- left");
    // Done, an empty file, and a count beyond the total (a file that grew) stay at 100%.
    EXPECT_EQ(FormatUploadProgress("a", 300, 300, 1000), "a  300/300 bytes  100%  0.3 KB/s  0:00 left");
    EXPECT_EQ(FormatUploadProgress("empty.jad", 0, 0, 0), "empty.jad  0/0 bytes  100%  -- KB/s  --:-- left");
    EXPECT_EQ(FormatUploadProgress("a", 900, 300, 1000), "a  300/300 bytes  100%  0.3 KB/s  0:00 left");
    // Slow links show minutes and hours.
    EXPECT_EQ(FormatUploadProgress("big.jar", 1000, 2000000, 1000), "big.jar  1000/2000000 bytes  0%  1.0 KB/s  33:19 left");
    EXPECT_EQ(FormatUploadProgress("big.jar", 1, 100000, 1000), "big.jar  1/100000 bytes  0%  0.0 KB/s  27:46:39 left");
}

TEST(UploadProgressFormat, LongNamesAreShortenedInTheMiddle) {
    const std::string name = std::string(100, 'n') + "-tail.jar";
    const std::string line = FormatUploadProgress(name, 10, 20, 10);
    EXPECT_EQ(line.size(), ProgressLineWidth);
    EXPECT_EQ(line.rfind(std::string(10, 'n'), 0), 0u);
    EXPECT_NE(line.find("...", 0), std::string::npos);
    EXPECT_NE(line.find("-tail.jar  10/20 bytes  50%"), std::string::npos) << line;
}

TEST(UploadProgressFormat, RedrawsAtMostTenTimesASecondAcrossTheTickWrap) {
    EXPECT_FALSE(RedrawDue(1000, 1099));
    EXPECT_TRUE(RedrawDue(1000, 1100));
    EXPECT_FALSE(RedrawDue(0xFFFFFFF0u, 0x00000010u));
    EXPECT_TRUE(RedrawDue(0xFFFFFFF0u, 0x00000060u));
}

class Display : public ::testing::Test {
protected:
    platform::FakeClock clock{5000};
    std::vector<std::string> writes;
    UploadProgressDisplay display{clock, [this](const std::string& text) { writes.push_back(text); }};
};

TEST_F(Display, OneLineRedrawnInPlaceAndClearedWhenTheFileIsDone) {
    display.FileStarted("calc.jar", 10000);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], "\r" + FormatUploadProgress("calc.jar", 0, 10000, 0));

    // Packets acknowledged faster than the redraw interval draw nothing until it has passed.
    for (int i = 1; i <= 9; ++i) {
        clock.Advance(10);
        display.BytesSent(i * 100);
    }
    EXPECT_EQ(writes.size(), 1u);
    clock.Advance(10);
    display.BytesSent(1000);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1], "\r" + FormatUploadProgress("calc.jar", 1000, 10000, 100));
    EXPECT_EQ(writes[1].find('\n'), std::string::npos);

    clock.Advance(50);
    display.BytesSent(10000);
    EXPECT_EQ(writes.size(), 2u);
    display.FileFinished();
    ASSERT_EQ(writes.size(), 3u);
    const std::size_t widest = std::max(writes[0].size(), writes[1].size()) - 1;
    EXPECT_EQ(writes[2], "\r" + std::string(widest, ' ') + "\r");

    // Reports outside a file (a delete, say) show nothing; a second finish clears nothing.
    display.BytesSent(5);
    display.FileFinished();
    EXPECT_EQ(writes.size(), 3u);
}

TEST_F(Display, AShorterLineCoversTheLongerOneBeforeIt) {
    display.FileStarted("app.jar", 0);
    clock.Advance(200);
    display.FileFinished();
    writes.clear();
    display.FileStarted("x.jad", 123456);
    clock.Advance(1000);
    display.BytesSent(100000);
    ASSERT_EQ(writes.size(), 2u);
    // Each file starts a fresh line: the clearing left nothing to cover.
    EXPECT_EQ(writes[0], "\r" + FormatUploadProgress("x.jad", 0, 123456, 0));
    const std::string first = FormatUploadProgress("x.jad", 0, 123456, 0);
    const std::string second = FormatUploadProgress("x.jad", 100000, 123456, 1000);
    std::string expected = "\r" + second;
    if (second.size() < first.size()) expected.append(first.size() - second.size(), ' ');
    EXPECT_EQ(writes[1], expected);
}

} // namespace
