#pragma once

// UTF-8 <-> UTF-16 for the wide Windows calls.

#include <string>
#include <string_view>

namespace brasslane::platform {

std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

} // namespace brasslane::platform
