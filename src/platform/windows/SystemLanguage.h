#pragma once

// The system's user-interface language as a Windows language id, the number the language files
// are named after (0x0409 -> Lang0409.ini): the user's UI language.

#include <cstdint>

namespace brasslane {

constexpr std::uint16_t kEnglishUnitedStates = 0x0409;

// GetUserDefaultUILanguage; 0x0409 when the system gives none.
std::uint16_t SystemLanguageId();

} // namespace brasslane
