#pragma once

// Macro names are UTF-16 in the profile image and on the keyboard, while language texts and
// everything shown are UTF-8. Both conversions accept any input: malformed sequences and
// unpaired surrogates become U+FFFD.

#include <string>
#include <string_view>

namespace brasslane {

std::u16string MacroTextFromUtf8(std::string_view text);
std::string MacroTextToUtf8(std::u16string_view text);

} // namespace brasslane
