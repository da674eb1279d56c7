#include "core/base/Utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace brasslane {
namespace {

TEST(Utf8Test, LenientConversions) {
    EXPECT_EQ(utf8::ToUtf16("a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"), u"a\u00e4\u20ac\U0001F600");
    EXPECT_EQ(utf8::FromUtf16(u"a\u00e4\u20ac\U0001F600"), "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
    // Malformed input becomes U+FFFD and never swallows what follows.
    EXPECT_EQ(utf8::ToUtf16("\xFF"
                            "b"),
              u"\uFFFDb");
    EXPECT_EQ(utf8::ToUtf16("\xC3"), u"\uFFFD");
    EXPECT_EQ(utf8::ToUtf16("\xE2\x82"
                            "c"),
              u"\uFFFDc");
    EXPECT_EQ(utf8::ToUtf16("\xC0\xAF"), u"\uFFFD");     // overlong
    EXPECT_EQ(utf8::ToUtf16("\xED\xA0\x80"), u"\uFFFD"); // encoded surrogate
    EXPECT_EQ(utf8::FromUtf16(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(utf8::FromUtf16(std::u16string(1, u'\xDC00')), "\xEF\xBF\xBD");
}

TEST(Utf8Test, CheckedConversionsRefuseWhatLenientOnesReplace) {
    EXPECT_EQ(utf8::ToUtf16Checked("a\xC3\xA4\xF0\x9F\x98\x80"), u"a\u00e4\U0001F600");
    EXPECT_EQ(utf8::FromUtf16Checked(u"a\u00e4\U0001F600"), "a\xC3\xA4\xF0\x9F\x98\x80");
    for (const char* bad : {"\xFF", "\xC3", "\xE2\x82x", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
        EXPECT_EQ(utf8::ToUtf16Checked(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(utf8::FromUtf16Checked(std::u16string(1, u'\xD800') + u"x"), std::nullopt);
    EXPECT_EQ(utf8::FromUtf16Checked(std::u16string(1, u'\xDC00')), std::nullopt);
    // A text that converts both ways comes back unchanged.
    const std::u16string text = u"Makro \u20ac \U0001F600 \u00fc";
    EXPECT_EQ(utf8::ToUtf16Checked(*utf8::FromUtf16Checked(text)), text);
}

TEST(Utf8Test, CountingCuttingAndSanitizing) {
    EXPECT_EQ(utf8::CountCodePoints("a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"), 4u);
    EXPECT_EQ(utf8::CountCodePoints("\xFF\xFE"), 2u);
    EXPECT_EQ(utf8::CutToCodePoints("a\xC3\xA4\xE2\x82\xAC", 2), "a\xC3\xA4");
    EXPECT_EQ(utf8::CutToCodePoints("ab", 5), "ab");
    EXPECT_EQ(utf8::Sanitize("a\xFF"
                             "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(utf8::Sanitize("\xC3\xA4"), "\xC3\xA4");
}

TEST(Utf8Test, Utf16BytesInEitherOrder) {
    const std::vector<std::uint8_t> little = {'H', 0, 0xE4, 0, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8};
    EXPECT_EQ(utf8::FromUtf16(little, false), "H\xC3\xA4\xF0\x9F\x98\x80\xEF\xBF\xBD");
    const std::vector<std::uint8_t> big = {0, 'H', 0, 0xE4, 0};
    EXPECT_EQ(utf8::FromUtf16(big, true), "H\xC3\xA4"); // the odd trailing byte is dropped
}

} // namespace
} // namespace brasslane
