// Environment expansion of REG_EXPAND_SZ text and the UTF-8/UTF-16 conversions behind it.
#include <gtest/gtest.h>

#include <map>

#include "expand_environment.h"
#include "platform/env.h"
#include "utf_convert.h"

namespace {

using regaccess::ExpandEnvironment;

std::u16string Expand(const std::u16string& text) {
    static const std::map<std::u16string, std::u16string> variables = {
        {u"HOME", u"/home/u"}, {u"EMPTY", u""}, {u"X", u"%HOME%"}, {u"ÄÖ", u"\U0001F600"}};
    return ExpandEnvironment(text, [](const std::u16string& name) -> std::optional<std::u16string> {
        auto found = variables.find(name);
        return found == variables.end() ? std::nullopt : std::optional<std::u16string>(found->second);
    });
}

TEST(ExpandEnvironment, ReplacesDefinedVariablesAndKeepsTheRestAsWritten) {
    EXPECT_EQ(Expand(u"%HOME%\\bin"), u"/home/u\\bin");
    EXPECT_EQ(Expand(u"a%EMPTY%b"), u"ab");
    EXPECT_EQ(Expand(u"%HOME%%HOME%"), u"/home/u/home/u");
    EXPECT_EQ(Expand(u"%ÄÖ%"), u"\U0001F600");
    EXPECT_EQ(Expand(u"%UNSET%"), u"%UNSET%");
    EXPECT_EQ(Expand(u"100%"), u"100%");
    EXPECT_EQ(Expand(u"%%"), u"%%");
    EXPECT_EQ(Expand(u""), u"");
    // The closing sign of an unknown name may open the next reference.
    EXPECT_EQ(Expand(u"%UNSET%HOME%"), u"%UNSET/home/u");
    // A value is not expanded again.
    EXPECT_EQ(Expand(u"%X%"), u"%HOME%");
}

TEST(ExpandEnvironment, UsesTheProcessEnvironment) {
    platform::SetEnv("REGACCESS_TEST_VARIABLE", "wert \xC3\xA4");
    EXPECT_EQ(ExpandEnvironment(u"<%REGACCESS_TEST_VARIABLE%>"), u"<wert ä>");
    platform::UnsetEnv("REGACCESS_TEST_VARIABLE");
    EXPECT_EQ(ExpandEnvironment(u"<%REGACCESS_TEST_VARIABLE%>"), u"<%REGACCESS_TEST_VARIABLE%>");
}

TEST(UtfConvert, RoundTripsAllPlanesAndReplacesMalformedInput) {
    const std::u16string text = u"a\u00E9\u4E2D\U0001F600";
    EXPECT_EQ(regaccess::Utf16ToUtf8(text), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(regaccess::Utf8ToUtf16(regaccess::Utf16ToUtf8(text)), text);
    EXPECT_EQ(regaccess::Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(regaccess::Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(regaccess::Utf8ToUtf16("\xC0\x80"), u"\uFFFD");       // overlong zero
    EXPECT_EQ(regaccess::Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");   // encoded surrogate
    EXPECT_EQ(regaccess::Utf8ToUtf16("\xE4\xB8"), u"\uFFFD");       // cut short
}

} // namespace
