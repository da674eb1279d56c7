#pragma once

#include <cstdint>

namespace brasslane {

// A colour as the program holds it everywhere: red, green, blue. The keyboard keeps green
// before red; that exchange happens only where bytes meet the keyboard.
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    bool operator==(const Rgb&) const = default;
};

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

} // namespace brasslane
