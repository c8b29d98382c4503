// Folder-listing parsing, permissions, dates and response codes of the file transfer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "obex/folder_listing.h"
#include "obex/module_path.h"
#include "obex/obex_encoding.h"

using namespace obex;

namespace {
const std::string kHead =
    "<?xml version=\"1.0\"?>\r\n<!DOCTYPE folder-listing SYSTEM \"obex-folder-listing.dtd\">\r\n"
    "<folder-listing version=\"1.0\">\r\n";
}

TEST(FolderListing, ReadsFilesFoldersAndTheirAttributes) {
    std::string text = kHead + "<parent-folder/>\r\n<folder name=\"sub\"/>\r\n"
                               "<file name=\"app.jar\" size=\"1055\" modified=\"20240102T030405\" user-perm=\"RW\" "
                               "group-perm=\"R\"/>\r\n</folder-listing>\r\n";
    FileList list;
    ASSERT_EQ(ParseFolderListing(text, &list), ListingParse::Entries);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, u"sub");
    EXPECT_EQ(list[0].attributes, kAttrFolder);
    EXPECT_EQ(list[1].name, u"app.jar");
    EXPECT_EQ(list[1].size, 1055u);
    EXPECT_EQ(list[1].attributes, kAttrSystem | kAttrArchive);
    EXPECT_DOUBLE_EQ(list[1].modified, CalendarToOleDate(2024, 1, 2, 3, 4, 5));
    EXPECT_DOUBLE_EQ(list[1].created, list[1].modified);
}

TEST(FolderListing, CreatedAfterModifiedWinsForCreatedOnly) {
    std::string text = kHead + "<file name=\"a\" modified=\"20240102T030405\" created=\"20230101T000000\" accessed=\"\"/>"
                               "</folder-listing>";
    FileList list;
    ASSERT_EQ(ParseFolderListing(text, &list), ListingParse::Entries);
    EXPECT_DOUBLE_EQ(list[0].created, CalendarToOleDate(2023, 1, 1, 0, 0, 0));
    EXPECT_DOUBLE_EQ(list[0].accessed, CalendarToOleDate(2024, 1, 2, 3, 4, 5));
    EXPECT_DOUBLE_EQ(list[0].modified, CalendarToOleDate(2024, 1, 2, 3, 4, 5));
}

TEST(FolderListing, EmptyListingsAndEmptyTexts) {
    FileList list;
    EXPECT_EQ(ParseFolderListing(kHead + "</folder-listing>", &list), ListingParse::Empty);
    EXPECT_EQ(ParseFolderListing("", &list), ListingParse::EmptyText);
    EXPECT_TRUE(list.empty());
}

TEST(FolderListing, MalformedListingsNeverReadPastTheText) {
    // Each cut of a listing is parsed from a buffer of exactly its length, so a read beyond it
    // would show under the address sanitizer; the parser must simply stop.
    std::string full = kHead + "<file name=\"x\xC3\xA9\" size=\"12\" modified=\"20240102T030405\"/>"
                               "<folder name=\"f\" user-perm=\"R\"/></folder-listing>";
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        std::unique_ptr<char[]> exact(new char[cut == 0 ? 1 : cut]);
        std::memcpy(exact.get(), full.data(), cut);
        FileList list;
        ParseFolderListing(std::string_view(exact.get(), cut), &list);
        EXPECT_LE(list.size(), 2u);
    }
    FileList list;
    ASSERT_EQ(ParseFolderListing(kHead + "<file name=\"unterminated size=\"3\"/>", &list), ListingParse::Entries);
    EXPECT_EQ(ParseFolderListing(kHead + "<file name=\"a\" size/></folder-listing>", &list), ListingParse::Entries);
}

TEST(FolderListing, NamesDecodeUtf8AndStrayBytesAndAreCut) {
    std::string longName(200, 'n');
    std::string text = kHead + "<file name=\"\xC3\xA9\xE2\x82\xAC\xE9x\"/><file name=\"" + longName +
                       "\"/><file name=\"\xC0\x80\"/></folder-listing>";
    FileList list;
    ASSERT_EQ(ParseFolderListing(text, &list), ListingParse::Entries);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, std::u16string(u"\u00E9\u20AC\u00E9x"));
    EXPECT_EQ(list[1].name.size(), kMaxEntryNameLength);
    EXPECT_EQ(list[2].name, std::u16string(u"\u00C0\u0080")); // an overlong form is two bytes, not a NUL
}

TEST(FolderListing, UtcTimesWithZSuffixAreShownInLocalTime) {
    double local = 0.0, utc = 0.0;
    ASSERT_TRUE(TimeTextToOleDate("20231114T221320", &local));
    ASSERT_TRUE(TimeTextToOleDate("20231114T221320Z", &utc));
    // The difference is the zone's offset: at most a day, whole quarter hours.
    double minutes = (utc - local) * 24 * 60;
    EXPECT_LE(std::fabs(minutes), 24 * 60.0);
    EXPECT_NEAR(std::fmod(std::fabs(minutes), 15.0), 0.0, 1e-6);
    EXPECT_FALSE(TimeTextToOleDate("2023111T221320", &local));
    EXPECT_FALSE(TimeTextToOleDate("20231114X221320", &local));
}

TEST(Permissions, BothDirections) {
    EXPECT_EQ(PermissionString(kAttrNormal), "\"RWD\"");
    EXPECT_EQ(PermissionString(0), "\"RWD\"\"\"");
    EXPECT_EQ(PermissionString(kAttrReadOnly | kAttrArchive), "\"RD\"\"R\"");
    EXPECT_EQ(PermissionString(kAttrHidden | kAttrSystem | kAttrFolder), "\"W\"\"W\"");
    EXPECT_EQ(ApplyUserPermissions(0, "RWD"), 0u);
    EXPECT_EQ(ApplyUserPermissions(0, "R"), kAttrReadOnly | kAttrSystem);
    EXPECT_EQ(ApplyGroupPermissions(0, "RW"), kAttrArchive | kAttrFolder);
}

TEST(Dates, OleDatesAndTimeTexts) {
    EXPECT_EQ(OleDateToTimeText(0.0), "00000000T000000");
    EXPECT_EQ(OleDateToTimeText(CalendarToOleDate(2024, 2, 29, 23, 59, 59)), "20240229T235959");
    EXPECT_DOUBLE_EQ(CalendarToOleDate(1899, 12, 30, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(CalendarToOleDate(1900, 1, 1, 12, 0, 0), 2.5);
    EXPECT_EQ(FileTimeToOleDate(0), 0.0);
    EXPECT_EQ(OleDateToFileTime(0.0), 0u);
    // A file time survives the round trip through local time to the millisecond.
    FileTime t = 133000000000000000ULL; // 2022-06-18
    EXPECT_EQ(OleDateToFileTime(FileTimeToOleDate(t)), t);
    EXPECT_EQ(OleDateToTimeText(1e12), "00000000T000000");
}

TEST(ResponseCodes, MapToTheirResults) {
    const std::pair<uint8_t, uint32_t> table[] = {
        {0x90, 0x01048090}, {0xA0, 0x010480A0}, {0xA2, 1},          {0xB1, 0x80030002}, {0xC4, 0x80030002},
        {0xB2, 0x80070022}, {0xC0, 0x80043004}, {0xC6, 0x80043004}, {0xC1, 0x8004300B}, {0xC3, 0x80070005},
        {0xC9, 0x800700B7}, {0xCA, 0x8007000F}, {0xD3, 0x80043008}, {0xE0, 0x80030070}, {0xE1, 0x8004300D},
        {0xD0, 0x80004005}, {0x00, 0x80004005}};
    for (auto [code, hr] : table) EXPECT_EQ(static_cast<uint32_t>(MapResponseCode(code)), hr) << int(code);
    EXPECT_TRUE(IsLinkFailure(kLinkFailure));
    EXPECT_TRUE(IsLinkFailure(kPortOpenFailed));
    EXPECT_FALSE(IsLinkFailure(kMediumFull));
    EXPECT_EQ(FoldResult(kObexOk), kOk);
    EXPECT_EQ(FoldResult(kFalse), kFalse);
}

TEST(ModulePaths, NormaliseAndValidateAgainstTheDriveCount) {
    EXPECT_EQ(NormaliseModulePath(u"A:\\app.jad", 1), u"\\app.jad");
    EXPECT_EQ(NormaliseModulePath(u"\\a:\\app.jad", 1), u"\\app.jad");
    EXPECT_EQ(NormaliseModulePath(u"A:\\app.jad", 2), u"A:\\app.jad");
    EXPECT_EQ(NormaliseModulePath(u"\\b:\\x", 2), u"B:\\x");
    EXPECT_EQ(NormaliseModulePath(u"C:\\x", 2), u"C:\\x"); // no third drive: left alone
    EXPECT_TRUE(ValidModulePath(u"\\app.jad", 1, false));
    EXPECT_FALSE(ValidModulePath(u"C:\\x", 2, false));
    EXPECT_TRUE(ValidModulePath(u"B:\\x", 2, false));
    EXPECT_TRUE(ValidModulePath(u"B:", 2, false));
    EXPECT_FALSE(ValidModulePath(u"\\a\\\\b", 1, false));
    EXPECT_FALSE(ValidModulePath(u"\\a\\", 1, false));
    EXPECT_FALSE(ValidModulePath(u"\\a*", 1, false));
    EXPECT_TRUE(ValidModulePath(u"\\a*", 1, true));
    EXPECT_FALSE(ValidModulePath(u"\\a*\\b", 1, true));
    EXPECT_FALSE(ValidModulePath(u"\\a|b", 1, false));
    EXPECT_FALSE(ValidModulePath(u"", 1, false));
}
