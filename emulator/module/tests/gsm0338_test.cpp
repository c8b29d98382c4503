// The GSM 03.38 tables, checked character by character against the alphabet.
#include "module/gsm0338.h"

#include <gtest/gtest.h>

#include <map>

namespace {

std::string Encode(const std::string& input, bool expectSuccess = true) {
    std::string output = "stale";
    EXPECT_EQ(EncodeGsm0338(input, output), expectSuccess) << input;
    return output;
}

TEST(Gsm0338, PlainAsciiNamesStayTheSameExceptTheUnderscore) {
    EXPECT_EQ(Encode("HelloWorld-2.jar"), "HelloWorld-2.jar");
    EXPECT_EQ(Encode("my_app.jad"), "my\x11" "app.jad");
    EXPECT_EQ(Encode(""), "");
}

TEST(Gsm0338, EveryByteMapsAsTheAlphabetSays) {
    // Expected code for every byte that is in the tables; all others must fail.
    std::map<int, std::string> expected;
    for (int c : {0x08, 0x0A, 0x0D, 0x1B}) {
        expected[c] = std::string(1, static_cast<char>(c));
    }
    for (int c = 0x20; c <= 0x5A; ++c) {
        expected[c] = std::string(1, static_cast<char>(c));
    }
    for (int c = 0x61; c <= 0x7A; ++c) {
        expected[c] = std::string(1, static_cast<char>(c));
    }
    expected[0x24] = std::string(1, '\x02');
    expected[0x40] = std::string(1, '\0');
    expected[0x5F] = "\x11";
    const std::pair<int, const char*> escaped[] = {{'[', "\x1B\x3C"}, {'\\', "\x1B\x2F"}, {']', "\x1B\x3E"},
                                                   {'^', "\x1B\x14"}, {'{', "\x1B\x28"}, {'|', "\x1B\x40"},
                                                   {'}', "\x1B\x29"}, {'~', "\x1B\x3D"}};
    for (const auto& [c, code] : escaped) {
        expected[c] = code;
    }
    const std::pair<int, int> latin1[] = {
        {0xA1, 0x40}, {0xA3, 0x01}, {0xA4, 0x24}, {0xA5, 0x03}, {0xA7, 0x5F}, {0xBF, 0x60},
        {0xC4, 0x5B}, {0xC5, 0x0E}, {0xC6, 0x1C}, {0xC9, 0x1F}, {0xD1, 0x5D}, {0xD6, 0x5C},
        {0xD8, 0x0B}, {0xDC, 0x5E}, {0xDF, 0x1E}, {0xE0, 0x7F}, {0xE4, 0x7B}, {0xE5, 0x0F},
        {0xE6, 0x1D}, {0xE7, 0x09}, {0xE8, 0x04}, {0xE9, 0x05}, {0xEC, 0x07}, {0xF1, 0x7D},
        {0xF2, 0x08}, {0xF6, 0x7C}, {0xF8, 0x0C}, {0xF9, 0x06}, {0xFC, 0x7E}};
    for (const auto& [c, code] : latin1) {
        expected[c] = std::string(1, static_cast<char>(code));
    }
    for (int c = 1; c < 256; ++c) {
        std::string input(1, static_cast<char>(c));
        std::string output;
        auto it = expected.find(c);
        if (it == expected.end()) {
            EXPECT_FALSE(EncodeGsm0338(input, output)) << "byte 0x" << std::hex << c;
            EXPECT_EQ(output, "");
        } else {
            EXPECT_TRUE(EncodeGsm0338(input, output)) << "byte 0x" << std::hex << c;
            EXPECT_EQ(output, it->second) << "byte 0x" << std::hex << c;
        }
    }
}

TEST(Gsm0338, FailureKeepsWhatWasConvertedAndIsLogged) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Encode("ab`cd", false), "ab");
    EXPECT_EQ(Encode("x\x80y", false), "x");
    // The message goes to the log only, never to the console.
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(Gsm0338, MixedNameWithTildeAndUmlaut) {
    EXPECT_EQ(Encode("~b\xE4r.jar"), "\x1B\x3D" "b\x7Br.jar");
}

TEST(Gsm0338, TextEndsAtItsFirstZeroByte) {
    EXPECT_EQ(Encode(std::string("ab\0`", 4)), "ab");
}

} // namespace
