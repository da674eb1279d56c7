#pragma once

// What each effect uses and what the lighting panel shows for it: pure rules, shared by the
// lighting model, the panel view and the command-line tool.

#include "core/lighting/Rgb.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace brasslane {

enum class DirectionKind {
    kNone,
    kLeftRight,      // effects 1-3
    kUpDown,         // effect 12
    kSpreadConverge, // effect 18
};

enum class ColourPair {
    kNone,
    kFirst,  // colour button and colourful toggle of the first pair
    kSecond, // the second pair (effects 6 and 16)
};

// The parameters an effect uses besides brightness (which every effect uses).
struct EffectParameters {
    bool speed = false;
    DirectionKind direction = DirectionKind::kNone;
    ColourPair pair = ColourPair::kNone;
    bool colourButton = false; // a colour can be chosen (effect 3 has only the toggle)
    bool colourfulToggle = false;
    bool fourColour = false; // effect 17: byte 17 picks green, yellow, red or blue
    bool perKey = false;     // effect 20: every key shows its own colour
};

// Unknown effects (0, 19, anything above 20) use nothing.
EffectParameters ParametersOf(int effect);

// What selecting an effect writes.
enum class SelectionWrite {
    kNothing,            // unknown effects and 19
    kEffectAndColourful, // effect byte, then the colourful flag
    kEffectOnly,
    kEffectAndRepaint, // effect 20: effect byte, then the key buttons show their own colours
};
SelectionWrite SelectionWriteOf(int effect);

struct PanelVisibility {
    bool brightness = false;
    bool speed = false;
    DirectionKind direction = DirectionKind::kNone; // kNone: direction label and pictures hidden
    bool firstColour = false;                       // first colour button and its label
    bool firstToggle = false;                       // first colourful toggle and its label
    bool secondPair = false;                        // second colour button and toggle, with labels
    bool fourColour = false;                        // the four colour pictures
    bool userMode = false;                          // user-mode list, its colour buttons and tools

    bool operator==(const PanelVisibility&) const = default;
};

// The lighting controls shown for `effect`; every control not named here stays hidden.
PanelVisibility VisibilityFor(int effect);

// Where the direction label and the two direction pictures are placed and what the pictures
// show. The first picture is left, up or spread; it shows its chosen bitmap while the direction
// byte is not the second direction's, the second picture otherwise.
struct DirectionControls {
    std::string_view label;                   // layout key the label moves to
    std::array<std::string_view, 2> pictures; // layout keys the first and second picture move to
    std::array<std::string_view, 2> normal;   // bitmap of each picture when not chosen
    std::array<std::string_view, 2> chosen;   // bitmap of each picture when chosen

    bool operator==(const DirectionControls&) const = default;
};

// Empty names for kNone: the direction controls are hidden.
DirectionControls DirectionControlsFor(DirectionKind kind);

// The eight colour preset buttons, in order.
constexpr std::array<Rgb, 8> kColourPresets{{
    {235, 99, 30},
    {255, 0, 0},
    {0, 126, 255},
    {90, 255, 0},
    {234, 255, 0},
    {255, 192, 0},
    {255, 0, 180},
    {174, 0, 255},
}};

// The four colours of effect 17, by the value of byte 17.
enum class FourColour : std::uint8_t { kGreen = 0, kYellow = 1, kRed = 2, kBlue = 3 };

// The text a colour value field keeps after the user typed `text`: a number of 256 or more
// becomes "255"; anything else stays as typed.
std::string ColourFieldText(std::string_view text);

} // namespace brasslane
