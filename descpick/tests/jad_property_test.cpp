// The line rules of DescPick's lookup.
#include "jad_property.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using descpick::FindProperty;

TEST(FindProperty, BlanksAroundNameColonAndValueAreIgnored) {
    for (const char* line : {"MIDlet-Name:Demo", "MIDlet-Name: Demo", "  MIDlet-Name  :  Demo  ",
                             "\tMIDlet-Name\t:\tDemo\t\v\f"}) {
        EXPECT_EQ(FindProperty(std::string("A: 1\r\n") + line + "\r\nB: 2\r\n", "MIDlet-Name"), "Demo")
            << line;
    }
}

TEST(FindProperty, OnlyTheFirstColonSplitsAndNamesMatchExactly) {
    std::string jad = "MIDlet-Jar-URL: http://host:8080/app.jar\nMIDlet-Name: Demo\n";
    EXPECT_EQ(FindProperty(jad, "MIDlet-Jar-URL"), "http://host:8080/app.jar");
    EXPECT_EQ(FindProperty(jad, "midlet-name"), "");
    EXPECT_EQ(FindProperty(jad, "MIDlet"), "");
    // The asked name is not trimmed, so a blank in it never matches a trimmed name.
    EXPECT_EQ(FindProperty(jad, " MIDlet-Name"), "");
}

TEST(FindProperty, FirstOccurrenceWinsAndEmptyValuesAreEmpty) {
    EXPECT_EQ(FindProperty("K: first\nK: second\n", "K"), "first");
    EXPECT_EQ(FindProperty("K:    \nK: later\n", "K"), "");
    EXPECT_EQ(FindProperty("", "K"), "");
    EXPECT_EQ(FindProperty("\r\n\r\n\n\r", "K"), "");
}

TEST(FindProperty, EveryKindOfLineEndSeparatesLines) {
    for (const char* jad : {"A: 1\rK: v\rB: 2", "A: 1\nK: v\nB: 2", "A: 1\r\n\r\nK: v\r\nB: 2",
                            "A: 1\n\rK: v"}) {
        EXPECT_EQ(FindProperty(jad, "K"), "v");
        EXPECT_EQ(FindProperty(jad, "A"), "1");
    }
}

TEST(FindProperty, ContinuationLinesAreSeparateLines) {
    std::string jad = "MIDlet-Description: first part\n second: part\nNext: x\n";
    EXPECT_EQ(FindProperty(jad, "MIDlet-Description"), "first part");
    EXPECT_EQ(FindProperty(jad, "second"), "part");
}

TEST(FindProperty, LinesWithoutColonAreNotAttributes) {
    EXPECT_EQ(FindProperty("K value\nK: real\n", "K value"), "");
    EXPECT_EQ(FindProperty("K value\nK: real\n", "K"), "real");
}

TEST(ReadJadFile, ReadsTheWholeFileAndRefusesOneLargerThanAnyDescriptor) {
    const std::string path = ::testing::TempDir() + "descpick_read_test.jad";
    {
        std::ofstream file(path, std::ios::binary);
        file << std::string("MIDlet-Name: Demo\r\n\0x", 21);
    }
    std::string content;
    ASSERT_TRUE(descpick::ReadJadFile(path, content));
    EXPECT_EQ(content, std::string("MIDlet-Name: Demo\r\n\0x", 21));
    {
        std::ofstream file(path, std::ios::binary | std::ios::app);
        file << std::string(descpick::LargestJadFile, ' ');
    }
    EXPECT_FALSE(descpick::ReadJadFile(path, content));
    EXPECT_TRUE(content.empty());
    std::remove(path.c_str());
}
