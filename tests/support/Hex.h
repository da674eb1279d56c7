#pragma once

// Report descriptors and reports written in tests as hexadecimal text: "05 01 09 02 A1 01".

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

namespace brasslane::test {

// The bytes of every pair of hexadecimal digits in `text`; anything else separates them.
inline std::vector<std::uint8_t> Hex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::string digits;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits.push_back(c);
        }
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

} // namespace brasslane::test
