#pragma once

// ASCII text helpers for names, keys and values from files and command lines. Only the ASCII
// letters change case: the texts these compare are section names, keys, model names and key
// names, and a locale must never change what matches.

#include <string>
#include <string_view>

namespace brasslane {

// Space, tab, carriage return, line feed, vertical tab and form feed.
bool IsAsciiBlank(char c);
// `text` without the blanks at either end.
std::string_view Trim(std::string_view text);

char AsciiLower(char c);
char AsciiUpper(char c);
std::string ToLower(std::string_view text);
std::string ToUpper(std::string_view text);

// Equal when each ASCII letter is taken without its case.
bool EqualsNoCase(std::string_view a, std::string_view b);

} // namespace brasslane
