#include "core/resources/Language.h"

#include "core/resources/SettingsStore.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace brasslane {
namespace {

using test::TempFolder;
using test::WriteBytes;

constexpr auto kSection = SettingsStore::kProgramSection;
constexpr auto kValue = Language::kLanguageIdValue;

class LanguageTest : public ::testing::Test {
protected:
    LanguageTest() : m_settings(m_dir / "config" / "Brasslane.ini") {
        WriteBytes(m_dir / "program" / "Lang0409.ini", "[TEXT]\nHELLO=Hello\nEMPTY=\n[LIGHT]\nSpeed=Speed\n"
                                                       "[MODE]\n5=Breathing\n");
    }

    Language Make(std::uint16_t systemId) {
        return Language(m_dir / "program", &m_settings, [this, systemId] {
            ++m_systemCalls;
            return systemId;
        });
    }

    TempFolder m_dir;
    SettingsStore m_settings;
    int m_systemCalls = 0;
};

TEST_F(LanguageTest, ChoosesFromSystemLanguageAndStoresIt) {
    struct Case {
        std::uint16_t system;
        std::uint16_t expected;
    };
    // Hong Kong and Singapore Chinese map to English; languages without a slot fall back to it.
    for (const Case c :
         {Case{0x1004, 1033}, Case{0x0C04, 1033}, Case{0x0407, 1033}, Case{0x0409, 1033}, Case{0x0000, 1033}}) {
        SCOPED_TRACE(c.system);
        std::filesystem::remove(m_settings.Path());
        Language language = Make(c.system);
        EXPECT_EQ(language.CurrentLanguageId(), c.expected);
        EXPECT_EQ(m_settings.ReadNumber(kSection, kValue), c.expected);
        EXPECT_EQ(language.CurrentLanguageIndex(), 0);
        EXPECT_EQ(language.Text("HELLO"), "Hello");
    }
}

TEST_F(LanguageTest, StoredChoiceIsUsedUnchanged) {
    ASSERT_TRUE(m_settings.WriteNumber(kSection, kValue, 0x0407));
    Language language = Make(0x0409);
    EXPECT_EQ(language.CurrentLanguageId(), 0x0407);
    EXPECT_EQ(m_settings.ReadNumber(kSection, kValue), 0x0407u);
    EXPECT_EQ(m_systemCalls, 0);
    // German has no slot: slot 0's file is read.
    EXPECT_EQ(language.CurrentLanguageIndex(), 0);
    EXPECT_EQ(language.Text("HELLO"), "Hello");

    // Zero means "not chosen"; a number that is no 16-bit id is no choice either.
    for (std::uint32_t stored : {0u, 0x10409u}) {
        ASSERT_TRUE(m_settings.WriteNumber(kSection, kValue, stored));
        EXPECT_EQ(Make(0x0C04).CurrentLanguageId(), 1033);
        EXPECT_EQ(m_settings.ReadNumber(kSection, kValue), 1033u);
    }
}

TEST_F(LanguageTest, FailedStoreChoosesAgainNextTime) {
    WriteBytes(m_dir / "blocker", "x");
    SettingsStore unwritable(m_dir / "blocker" / "Brasslane.ini");
    Language language(m_dir / "program", &unwritable, [this] {
        ++m_systemCalls;
        return std::uint16_t{0x1004};
    });
    EXPECT_EQ(language.CurrentLanguageId(), 1033);
    EXPECT_EQ(language.Text("HELLO"), "Hello");
    EXPECT_EQ(language.CurrentLanguageId(), 1033);
    EXPECT_GE(m_systemCalls, 2);

    Language withoutSettings(m_dir / "program", nullptr, [] { return std::uint16_t{0x0407}; });
    EXPECT_EQ(withoutSettings.CurrentLanguageId(), 1033);
    EXPECT_FALSE(std::filesystem::exists(m_settings.Path()));
}

TEST_F(LanguageTest, LookupRules) {
    Language language = Make(0x0409);
    EXPECT_EQ(language.Text("HELLO"), "Hello");
    EXPECT_EQ(language.Text("hello"), "Hello");
    EXPECT_EQ(language.Text("EMPTY"), "");
    EXPECT_EQ(language.Text("MISSING"), "#Error");
    EXPECT_EQ(language.Text("Speed"), "#Error"); // other section
    EXPECT_EQ(language.Light("Speed"), "Speed");
    EXPECT_EQ(language.Mode(5), "Breathing");
    EXPECT_EQ(language.Mode(19), "#Error");

    // Out-of-table and empty slots read slot 0's file.
    for (int index : {-1, 0, 1, 2, 3, 1000}) {
        EXPECT_EQ(language.FileFor(index), m_dir / "program" / "Lang0409.ini") << index;
        EXPECT_EQ(language.Lookup("TEXT", "HELLO", index), "Hello") << index;
    }
    EXPECT_EQ(Language::FileName(0x0804), "Lang0804.ini");
    EXPECT_EQ(Language::FileName(0xABCD), "LangABCD.ini");

    // No cache: an edit shows at the next lookup, a deleted file turns every text into "#Error".
    const std::string longText(400, 'w');
    WriteBytes(language.FileFor(0), "[TEXT]\nHELLO=Changed\nLONG=" + longText + "\n");
    EXPECT_EQ(language.Text("HELLO"), "Changed");
    EXPECT_EQ(language.Text("LONG"), longText.substr(0, 259));
    std::filesystem::remove(language.FileFor(0));
    EXPECT_EQ(language.Text("HELLO"), "#Error");
    EXPECT_EQ(language.Light("Speed"), "#Error");
}

TEST(FormatTextTest, NumberConversions) {
    struct Case {
        const char* format;
        long long number;
        const char* expected;
    };
    const Case cases[] = {
        {"Key 0x%03X", 0x55, "Key 0x055"},
        {"Key 0x%03X", 0x1FFF, "Key 0x1FFF"},
        {"at most %d macros", 100, "at most 100 macros"},
        {"%i", -7, "-7"},
        {"%+d", 5, "+5"},
        {"% d", 5, " 5"},
        {"%05d", -42, "-0042"},
        {"%-5d|", 42, "42   |"},
        {"%5d|", 42, "   42|"},
        {"%-05d|", 42, "42   |"},
        {"%#x", 255, "0xff"},
        {"%#06X", 255, "0X00FF"},
        {"%#x", 0, "0"},
        {"%u", 40000, "40000"},
        {"%u", -1, "18446744073709551615"},
        {"%ld ms", 40000, "40000 ms"},
        {"%lld", 9223372036854775807LL, "9223372036854775807"},
        {"%d", -9223372036854775807LL - 1, "-9223372036854775808"},
        {"%s", 12, "12"},
        {"100%% done %d", 3, "100% done 3"},
        {"%d%%", 5, "5%"},
        {"no conversion", 5, "no conversion"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatText(c.format, c.number), c.expected) << c.format;
    }
}

TEST(FormatTextTest, TextConversions) {
    EXPECT_EQ(FormatText("The file %s is bad.", "/home/u/a.fwc"), "The file /home/u/a.fwc is bad.");
    EXPECT_EQ(FormatText("[%6s]", "\xC3\xA4\xC3\xB6"), "[    \xC3\xA4\xC3\xB6]"); // width in characters
    EXPECT_EQ(FormatText("[%-4s]", "ab"), "[ab  ]");
    EXPECT_EQ(FormatText("[%d]", "text"), "[text]");
    EXPECT_EQ(FormatText("%s", "100%"), "100%");
    EXPECT_EQ(FormatText("%s and %s", "one"), "one and %s");
}

TEST(FormatTextTest, HostileFormatsAreShownAsWritten) {
    const char* literal[] = {"%n",    "%*d", "%.2f", "%q", "%",      "abc%", "%9999d",
                             "%llld", "%hd", "%-",   "%l", "%1000d", "%p",   "%c"};
    for (const char* format : literal) {
        EXPECT_EQ(FormatText(format, 7), format) << format;
        EXPECT_EQ(FormatText(format, "x"), format) << format;
    }
    // Only the first conversion takes the argument; a second one is never fed from memory.
    EXPECT_EQ(FormatText("%d %d %s %n", 1), "1 %d %s %n");
    EXPECT_EQ(FormatText("%n then %d", 2), "%n then 2");
    EXPECT_EQ(FormatText("%999d", 1).size(), 999u);

    const std::string flood(100000, '%');
    EXPECT_EQ(FormatText(flood, 1).size(), 50000u);
    std::string many;
    for (int i = 0; i < 1000; ++i) {
        many += "%s";
    }
    EXPECT_EQ(FormatText(many, "ab").size(), 2u + 999u * 2u);
}

} // namespace
} // namespace brasslane
