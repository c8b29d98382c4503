// The registry compares names in their simple upper-case form over all of Unicode.
#include <gtest/gtest.h>

#include "platform/unicode_case.h"

#ifdef REGACCESS_HAVE_ICU
#include <unicode/uchar.h>
#endif

namespace {

using platform::UpcaseCodePoint;
using platform::UpcaseUtf16;

TEST(UnicodeCase, MapsLettersOfManyScriptsToTheirUpperCase) {
    EXPECT_EQ(UpcaseCodePoint(U'a'), U'A');
    EXPECT_EQ(UpcaseCodePoint(U'z'), U'Z');
    EXPECT_EQ(UpcaseCodePoint(U'é'), U'É');
    EXPECT_EQ(UpcaseCodePoint(U'ÿ'), U'Ÿ');      // U+00FF maps out of Latin-1, to U+0178
    EXPECT_EQ(UpcaseCodePoint(U'ā'), U'Ā');      // alternating pairs of Latin Extended-A
    EXPECT_EQ(UpcaseCodePoint(U'ς'), U'Σ');      // final sigma
    EXPECT_EQ(UpcaseCodePoint(U'ж'), U'Ж');
    EXPECT_EQ(UpcaseCodePoint(U'ſ'), U'S');      // long s
    EXPECT_EQ(UpcaseCodePoint(U'\U00010428'), U'\U00010400'); // Deseret, outside the BMP
    EXPECT_EQ(UpcaseCodePoint(U'\U0001E922'), U'\U0001E900'); // Adlam
}

TEST(UnicodeCase, LeavesCharactersWithoutASimpleUpperCaseAlone) {
    EXPECT_EQ(UpcaseCodePoint(U'A'), U'A');
    EXPECT_EQ(UpcaseCodePoint(U'1'), U'1');
    EXPECT_EQ(UpcaseCodePoint(U'ß'), U'ß');      // only a full (two letter) mapping exists
    EXPECT_EQ(UpcaseCodePoint(U'\u212A'), U'\u212A'); // Kelvin sign is already upper case
    EXPECT_EQ(UpcaseCodePoint(U'\U0001F600'), U'\U0001F600');
    EXPECT_EQ(UpcaseCodePoint(0x110000), char32_t{0x110000});
}

TEST(UnicodeCase, Utf16KeepsSurrogatePairsTogetherAndLoneSurrogatesAsTheyAre) {
    EXPECT_EQ(UpcaseUtf16(u"Software\\wow6432node"), u"SOFTWARE\\WOW6432NODE");
    EXPECT_EQ(UpcaseUtf16(u"\U00010428x"), u"\U00010400X");
    const std::u16string lone = {u'a', char16_t(0xD801), u'b', char16_t(0xDC28)};
    const std::u16string loneUpper = {u'A', char16_t(0xD801), u'B', char16_t(0xDC28)};
    EXPECT_EQ(UpcaseUtf16(lone), loneUpper);
}

#ifdef REGACCESS_HAVE_ICU
// The table is generated from ICU; this catches a stale or badly folded table.
TEST(UnicodeCase, AgreesWithIcuForEveryCodePoint) {
    int differences = 0;
    for (UChar32 c = 0; c <= 0x10FFFF; ++c) {
        const char32_t ours = UpcaseCodePoint(static_cast<char32_t>(c));
        const char32_t icu = static_cast<char32_t>(u_toupper(c));
        if (ours != icu && ++differences <= 5) {
            ADD_FAILURE() << std::hex << "U+" << c << ": ours " << static_cast<std::uint32_t>(ours) << ", ICU "
                          << static_cast<std::uint32_t>(icu);
        }
        // Names keep their length in code units, which the store relies on for ordering.
        EXPECT_EQ(ours < 0x10000, c < 0x10000) << std::hex << c;
    }
    EXPECT_EQ(differences, 0);
}
#endif

} // namespace
