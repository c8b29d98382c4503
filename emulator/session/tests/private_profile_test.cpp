// INI reading must behave like the Windows private-profile functions, because the toolkit's
// configuration file and the phone book are written by tools that expect those rules.
#include "core/private_profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class ProfileFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("private_profile_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                   "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / "test.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    void Write(const std::string& text) {
        std::ofstream(path_, std::ios::binary) << text;
    }
    std::filesystem::path folder_;
    std::string path_;
};

TEST_F(ProfileFile, NamesMatchWithoutCaseAndBlanksAroundValuesAreDropped) {
    Write("[Debug]\r\n  udpPORT =   5000  \r\nLocalIpAddress=10.0.0.2\r\n");
    EXPECT_EQ(ReadProfileString(path_, "DEBUG", "UDPport", ""), "5000");
    EXPECT_EQ(ReadProfileString(path_, "debug", "localipaddress", "x"), "10.0.0.2");
    EXPECT_EQ(ReadProfileString(path_, "Debug", "DebugPort", "2000"), "2000");
    EXPECT_EQ(ReadProfileString(path_, "Other", "UDPport", "none"), "none");
}

TEST_F(ProfileFile, KeysBelongToTheirOwnSectionAndTheFirstOneWins) {
    Write("UDPport=1\n[A]\nKey=first\nKey=second\n[B]\nKey=b\n[a]\nKey=third\n");
    EXPECT_EQ(ReadProfileString(path_, "A", "Key", ""), "first");
    EXPECT_EQ(ReadProfileString(path_, "B", "Key", ""), "b");
    // A key before any section is in no section.
    EXPECT_EQ(ReadProfileString(path_, "", "UDPport", "none"), "none");
}

TEST_F(ProfileFile, LineEndsOfEveryKindAndOddLinesAreTolerated) {
    Write("garbage without equals\r[Debug\r[Debug]\rjunk\r; comment=1\rKey=cr-only\r\n\n"
          "[Next]  trailing text\nKey = lf\n");
    EXPECT_EQ(ReadProfileString(path_, "Debug", "Key", ""), "cr-only");
    EXPECT_EQ(ReadProfileString(path_, "Next", "Key", ""), "lf");
    EXPECT_EQ(ReadProfileString(path_, "Debug", "; comment", ""), "1");
}

TEST_F(ProfileFile, ValuesLoseOneQuotePairAndAreCutAt1023Characters) {
    Write("[S]\nQuoted=\"  a b  \"\nHalf=\"abc\nEmpty=\nLong=" + std::string(2000, 'x') + "\n");
    EXPECT_EQ(ReadProfileString(path_, "S", "Quoted", ""), "  a b  ");
    EXPECT_EQ(ReadProfileString(path_, "S", "Half", ""), "\"abc");
    EXPECT_EQ(ReadProfileString(path_, "S", "Empty", "default"), "");
    EXPECT_EQ(ReadProfileString(path_, "S", "Long", "").size(), ProfileValueLimit);
}

TEST_F(ProfileFile, MissingFileGivesTheDefault) {
    EXPECT_EQ(ReadProfileString(path_ + ".absent", "S", "K", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileInt(path_ + ".absent", "S", "K", -1), -1);
    EXPECT_FALSE(HasProfileSection(path_ + ".absent", "S"));
    EXPECT_TRUE(ReadProfileSectionNames(path_ + ".absent").empty());
}

TEST_F(ProfileFile, IntegersAreReadFromLeadingDigits) {
    Write("[S]\nPlain=115200\nSigned= -42\nTail=57600bps\nWord=fast\nEmpty=\nBig=4294967297\n");
    EXPECT_EQ(ReadProfileInt(path_, "S", "Plain", -1), 115200);
    EXPECT_EQ(ReadProfileInt(path_, "S", "Signed", -1), -42);
    EXPECT_EQ(ReadProfileInt(path_, "S", "Tail", -1), 57600);
    EXPECT_EQ(ReadProfileInt(path_, "S", "Word", -1), 0);
    EXPECT_EQ(ReadProfileInt(path_, "S", "Empty", -1), -1);
    EXPECT_EQ(ReadProfileInt(path_, "S", "Missing", 7), 7);
    EXPECT_EQ(ReadProfileInt(path_, "S", "Big", -1), 1); // wraps at 32 bits
}

TEST_F(ProfileFile, SectionNamesAreListedOnceInFileOrder) {
    Write("[IP connection for remote debugging of QRDx]\nDevice=m\n[Second]\n[ip connection for remote "
          "debugging of qrdx]\n");
    auto names = ReadProfileSectionNames(path_);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "IP connection for remote debugging of QRDx");
    EXPECT_EQ(names[1], "Second");
    EXPECT_TRUE(HasProfileSection(path_, "second"));
    EXPECT_FALSE(HasProfileSection(path_, "Third"));
}

TEST(ProfileText, ByteOrderMarkBeforeTheFirstSectionIsSkipped) {
    EXPECT_EQ(ProfileStringFromText("\xEF\xBB\xBF[Debug]\r\nUDPport=5000\r\n", "Debug", "UDPport", ""), "5000");
}

TEST(ProfileText, BinaryGarbageGivesTheDefault) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage += static_cast<char>((i * 7919) & 0xFF);
    }
    EXPECT_EQ(ProfileStringFromText(garbage, "Debug", "UDPport", "none"), "none");
}

} // namespace

TEST_F(ProfileFile, ALoadedProfileAnswersLikeTheFileFunctions) {
    // Duplicate sections and keys, case, quotes and a value past the length limit.
    std::string text = "[Modem 1]\nAttachedTo=/dev/a\nattachedto=/dev/b\n[MODEM 1]\nAttachedTo=/dev/c\n"
                       "PortType=usb\n[Two]\nPortType = 'usb' \nSpeed= -12x\nLong=" +
                       std::string(1500, 'x') + "\n";
    for (int n = 0; n < 2000; ++n) {
        text += "[Modem " + std::to_string(n + 3) + "]\nAttachedTo=/dev/" + std::to_string(n) + "\n";
    }
    Write(text);
    Profile profile;
    ASSERT_TRUE(profile.Load(path_));
    ASSERT_EQ(profile.SectionNames().size(), 2002u);
    EXPECT_EQ(profile.SectionNames(), ReadProfileSectionNames(path_));
    for (const char* section : {"modem 1", "Two", "Modem 2002", "Modem 2003", "None"}) {
        for (const char* key : {"AttachedTo", "PortType", "Speed", "Long", "None"}) {
            EXPECT_EQ(profile.String(section, key, "-"), ReadProfileString(path_, section, key, "-"))
                << section << " " << key;
            EXPECT_EQ(profile.Int(section, key, 7), ReadProfileInt(path_, section, key, 7));
        }
    }
    EXPECT_EQ(profile.String("Modem 1", "attachedTO", ""), "/dev/a");
    EXPECT_EQ(profile.String("Modem 1", "PortType", "none"), "none");
    EXPECT_EQ(profile.Int("Two", "Speed", 0), -12);
    EXPECT_EQ(profile.String("Modem 2002", "AttachedTo", ""), "/dev/1999");
}

TEST_F(ProfileFile, AFileLargerThanAnyConfigurationCountsAsMissing) {
    Write("[Debug]\nUDPport=5000\n" + std::string(ProfileFileLimit, ';'));
    EXPECT_EQ(ReadProfileString(path_, "Debug", "UDPport", "none"), "none");
    EXPECT_TRUE(ReadProfileSectionNames(path_).empty());
    Profile profile;
    EXPECT_FALSE(profile.Load(path_));
}
