#pragma once

// The system's user-interface language as a Windows language id, the number the language files
// are named after (0x0409 -> Lang0409.ini). On Linux it comes from the locale variables.

#include <cstdint>
#include <string_view>

namespace brasslane {

constexpr std::uint16_t kEnglishUnitedStates = 0x0409;

// The language id of one locale name ("language[_TERRITORY][.codeset][@modifier]", a '-' is
// accepted for the '_'): the id of language and territory when the table has it, else the
// language's main id, else 0x0409. "C", "POSIX" and empty names give 0x0409.
std::uint16_t LanguageIdFromLocaleName(std::string_view locale);

// The locale that decides the message language, in the order POSIX gives the variables: LC_ALL,
// then LC_MESSAGES, then LANG; an empty variable counts as unset. Its language id.
std::uint16_t LanguageIdFromLocale(std::string_view lcAll, std::string_view lcMessages, std::string_view lang);

// LanguageIdFromLocale over the process environment.
std::uint16_t SystemLanguageId();

} // namespace brasslane
