#include "platform/linux/SystemLanguage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace brasslane {
namespace {

TEST(SystemLanguageTest, LocaleNames) {
    struct Case {
        const char* locale;
        std::uint16_t id;
    };
    const Case cases[] = {
        {"en_US", 0x0409},
        {"en_GB.UTF-8", 0x0809},
        {"de_DE.utf8", 0x0407},
        {"de_AT@euro", 0x0C07},
        {"fr_FR", 0x040C},
        {"fr_CA", 0x0C0C},
        {"zh_CN.GB2312", 0x0804},
        {"zh_TW.UTF-8", 0x0404},
        {"zh_HK", 0x0C04},
        {"zh_SG", 0x1004},
        {"ja_JP.eucJP", 0x0411},
        {"ko_KR", 0x0412},
        {"es_ES", 0x0C0A},
        {"es_MX", 0x080A},
        {"it_IT", 0x0410},
        {"ru_RU.KOI8-R", 0x0419},
        {"pt_BR", 0x0416},
        {"pt_PT", 0x0816},
        {"sr_RS@latin", 0x241A},
        {"sr_RS", 0x281A},
        {"de-CH", 0x0807},
        {"DE_de", 0x0407},
        {"de", 0x0407},
        {"de_XX", 0x0407},
        {"zh", 0x0804},
        {"C", 0x0409},
        {"C.UTF-8", 0x0409},
        {"POSIX", 0x0409},
        {"", 0x0409},
        {"xx_YY", 0x0409},
        {"_", 0x0409},
        {"@", 0x0409},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LanguageIdFromLocaleName(c.locale), c.id) << '"' << c.locale << '"';
    }
}

TEST(SystemLanguageTest, VariablePrecedence) {
    EXPECT_EQ(LanguageIdFromLocale("de_DE", "fr_FR", "ja_JP"), 0x0407);
    EXPECT_EQ(LanguageIdFromLocale("", "fr_FR", "ja_JP"), 0x040C);
    EXPECT_EQ(LanguageIdFromLocale("", "", "ja_JP"), 0x0411);
    EXPECT_EQ(LanguageIdFromLocale("", "", ""), 0x0409);
    // LC_ALL=C overrides a localised LANG, as it does for every other program.
    EXPECT_EQ(LanguageIdFromLocale("C", "", "zh_SG"), 0x0409);

    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::optional<std::string> saved[3];
    for (int i = 0; i < 3; ++i) {
        if (const char* value = std::getenv(names[i])) {
            saved[i] = value;
        }
    }
    ::unsetenv("LC_ALL");
    ::setenv("LC_MESSAGES", "", 1);
    ::setenv("LANG", "zh_SG.UTF-8", 1);
    const std::uint16_t fromEnvironment = SystemLanguageId();
    for (int i = 0; i < 3; ++i) {
        if (saved[i]) {
            ::setenv(names[i], saved[i]->c_str(), 1);
        } else {
            ::unsetenv(names[i]);
        }
    }
    EXPECT_EQ(fromEnvironment, 0x1004);
}

} // namespace
} // namespace brasslane
