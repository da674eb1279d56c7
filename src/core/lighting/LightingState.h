#pragma once

// The program's mirror of the current profile's lighting, as last read from the keyboard and
// changed by every lighting action since.

#include "core/device/DeviceStatus.h"
#include "core/lighting/LightingBlock.h"
#include "core/lighting/Rgb.h"

#include <array>
#include <cstdint>

namespace brasslane {

struct LightingState {
    bool loaded = false; // false until the first successful load from the keyboard

    std::uint8_t effect = 0;     // 1..20 as read; not limited, the keyboard may know more
    std::uint8_t brightness = 0; // 0..kMaxBrightness, as the brightness control shows it
    std::uint8_t speed = 0;      // 0..kMaxSpeed (the speed control shows 4 - speed)
    // The brightness and speed bytes the keyboard holds, as read or last written successfully. They can lie
    // outside the controls' ranges; a control's change is judged against them, so that moving
    // a control to the position it shows still corrects such a byte.
    std::uint8_t storedBrightness = 0;
    std::uint8_t storedSpeed = 0;
    std::uint8_t direction = 0; // kDirectionFirst, kDirectionSecond or what the keyboard holds
    bool colourful = false;
    Rgb colour;                  // the single colour, red, green, blue
    std::uint8_t reportRate = 0; // 0..kMaxReportRate
    std::uint8_t fourColour = 0; // 0..kMaxFourColour (FourColour)
    int profile = 0;             // 0..2: the profile every lighting write addresses

    std::array<LightingBlock, kLightingProfileCount> blocks{}; // the three blocks as last read

    // Status of the last transaction that wrote to or read from the keyboard, so that a view or
    // the command-line tool can report it; the lighting actions themselves never fail on it.
    DeviceStatus lastStatus = kStatusSuccess;

    bool DirectionIsFirst() const { return direction != kDirectionSecond; }
    // Position of the speed control for the state's speed.
    int SpeedPosition() const { return kMaxSpeed - speed; }
};

} // namespace brasslane
