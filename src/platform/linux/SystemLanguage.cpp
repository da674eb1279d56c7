#include "platform/linux/SystemLanguage.h"

#include "core/base/Strings.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

namespace brasslane {

namespace {

struct LocaleId {
    std::string_view language;  // lower case
    std::string_view territory; // upper case; "" is the language's main id
    std::uint16_t id;
};

// The common locales. The entry without territory gives a language's main id and is also used
// for territories the table does not list.
constexpr auto kLocaleIds = std::to_array<LocaleId>({
    {"af", "", 0x0436},   {"ar", "", 0x0401},   {"ar", "SA", 0x0401}, {"ar", "EG", 0x0C01}, {"ar", "AE", 0x3801},
    {"ar", "MA", 0x1801}, {"bg", "", 0x0402},   {"ca", "", 0x0403},   {"cs", "", 0x0405},   {"da", "", 0x0406},
    {"de", "", 0x0407},   {"de", "DE", 0x0407}, {"de", "CH", 0x0807}, {"de", "AT", 0x0C07}, {"de", "LU", 0x1007},
    {"de", "LI", 0x1407}, {"el", "", 0x0408},   {"en", "", 0x0409},   {"en", "US", 0x0409}, {"en", "GB", 0x0809},
    {"en", "AU", 0x0C09}, {"en", "CA", 0x1009}, {"en", "NZ", 0x1409}, {"en", "IE", 0x1809}, {"en", "ZA", 0x1C09},
    {"en", "IN", 0x4009}, {"en", "SG", 0x4809}, {"es", "", 0x0C0A},   {"es", "ES", 0x0C0A}, {"es", "MX", 0x080A},
    {"es", "AR", 0x2C0A}, {"es", "CO", 0x240A}, {"es", "CL", 0x340A}, {"es", "PE", 0x280A}, {"es", "VE", 0x200A},
    {"es", "US", 0x540A}, {"et", "", 0x0425},   {"eu", "", 0x042D},   {"fa", "", 0x0429},   {"fi", "", 0x040B},
    {"fr", "", 0x040C},   {"fr", "FR", 0x040C}, {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C},
    {"fr", "LU", 0x140C}, {"ga", "", 0x083C},   {"gl", "", 0x0456},   {"he", "", 0x040D},   {"hi", "", 0x0439},
    {"hr", "", 0x041A},   {"hu", "", 0x040E},   {"id", "", 0x0421},   {"is", "", 0x040F},   {"it", "", 0x0410},
    {"it", "IT", 0x0410}, {"it", "CH", 0x0810}, {"ja", "", 0x0411},   {"ko", "", 0x0412},   {"lt", "", 0x0427},
    {"lv", "", 0x0426},   {"ms", "", 0x043E},   {"nb", "", 0x0414},   {"nl", "", 0x0413},   {"nl", "NL", 0x0413},
    {"nl", "BE", 0x0813}, {"nn", "", 0x0814},   {"no", "", 0x0414},   {"pl", "", 0x0415},   {"pt", "", 0x0416},
    {"pt", "BR", 0x0416}, {"pt", "PT", 0x0816}, {"ro", "", 0x0418},   {"ru", "", 0x0419},   {"sk", "", 0x041B},
    {"sl", "", 0x0424},   {"sr", "", 0x281A},   {"sv", "", 0x041D},   {"sv", "SE", 0x041D}, {"sv", "FI", 0x081D},
    {"th", "", 0x041E},   {"tr", "", 0x041F},   {"uk", "", 0x0422},   {"vi", "", 0x042A},   {"zh", "", 0x0804},
    {"zh", "CN", 0x0804}, {"zh", "TW", 0x0404}, {"zh", "HK", 0x0C04}, {"zh", "SG", 0x1004}, {"zh", "MO", 0x1404},
});

// Serbian written in Latin letters has an id of its own.
constexpr std::uint16_t kSerbianLatin = 0x241A;

std::string_view Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string_view{} : std::string_view(value);
}

} // namespace

std::uint16_t LanguageIdFromLocaleName(std::string_view locale) {
    std::string_view modifier;
    if (const std::size_t at = locale.find('@'); at != std::string_view::npos) {
        modifier = locale.substr(at + 1);
        locale = locale.substr(0, at);
    }
    if (const std::size_t dot = locale.find('.'); dot != std::string_view::npos) {
        locale = locale.substr(0, dot);
    }
    std::string_view territory;
    if (const std::size_t sep = locale.find_first_of("_-"); sep != std::string_view::npos) {
        territory = locale.substr(sep + 1);
        locale = locale.substr(0, sep);
    }
    const std::string language = ToLower(locale);
    const std::string region = ToUpper(territory);
    if (language == "sr" && ToLower(modifier) == "latin") {
        return kSerbianLatin;
    }
    std::uint16_t mainId = 0;
    for (const LocaleId& entry : kLocaleIds) {
        if (entry.language != language) {
            continue;
        }
        if (!region.empty() && entry.territory == region) {
            return entry.id;
        }
        if (entry.territory.empty()) {
            mainId = entry.id;
        }
    }
    // "C", "POSIX" and anything unknown fall back to English.
    return mainId != 0 ? mainId : kEnglishUnitedStates;
}

std::uint16_t LanguageIdFromLocale(std::string_view lcAll, std::string_view lcMessages, std::string_view lang) {
    for (std::string_view value : {lcAll, lcMessages, lang}) {
        if (!value.empty()) {
            return LanguageIdFromLocaleName(value);
        }
    }
    return kEnglishUnitedStates;
}

std::uint16_t SystemLanguageId() {
    return LanguageIdFromLocale(Environment("LC_ALL"), Environment("LC_MESSAGES"), Environment("LANG"));
}

} // namespace brasslane
