#include "core/lighting/LightingPanelRules.h"

#include <cctype>

namespace brasslane {

namespace {

constexpr EffectParameters kNothing{};

EffectParameters SpeedOnly() {
    EffectParameters p;
    p.speed = true;
    return p;
}

EffectParameters SpeedAndColour() {
    EffectParameters p;
    p.speed = true;
    p.pair = ColourPair::kFirst;
    p.colourButton = true;
    p.colourfulToggle = true;
    return p;
}

EffectParameters SecondPair() {
    EffectParameters p;
    p.pair = ColourPair::kSecond;
    p.colourButton = true;
    p.colourfulToggle = true;
    return p;
}

} // namespace

EffectParameters ParametersOf(int effect) {
    EffectParameters p;
    switch (effect) {
    case 1:
    case 2:
        p = SpeedAndColour();
        p.direction = DirectionKind::kLeftRight;
        return p;
    case 3:
        p = SpeedAndColour();
        p.colourButton = false;
        p.direction = DirectionKind::kLeftRight;
        return p;
    case 4:
    case 10:
    case 11:
        return SpeedOnly();
    case 5:
    case 7:
    case 8:
    case 9:
    case 13:
    case 14:
    case 15:
        return SpeedAndColour();
    case 6:
    case 16:
        return SecondPair();
    case 12:
        p = SpeedOnly();
        p.direction = DirectionKind::kUpDown;
        return p;
    case 17:
        p.fourColour = true;
        return p;
    case 18:
        p.direction = DirectionKind::kSpreadConverge;
        return p;
    case 20:
        p.perKey = true;
        return p;
    default:
        return kNothing;
    }
}

SelectionWrite SelectionWriteOf(int effect) {
    switch (effect) {
    case 1:
    case 2:
    case 3:
    case 5:
    case 7:
    case 8:
    case 9:
    case 13:
    case 14:
    case 15:
        return SelectionWrite::kEffectAndColourful;
    case 4:
    case 6:
    case 10:
    case 11:
    case 12:
    case 16:
    case 17:
    case 18:
        return SelectionWrite::kEffectOnly;
    case 20:
        return SelectionWrite::kEffectAndRepaint;
    default:
        return SelectionWrite::kNothing;
    }
}

PanelVisibility VisibilityFor(int effect) {
    const EffectParameters p = ParametersOf(effect);
    PanelVisibility v;
    v.brightness = (effect >= 1 && effect <= 18) || effect == 20;
    v.speed = p.speed;
    v.direction = p.direction;
    v.firstColour = p.pair == ColourPair::kFirst && p.colourButton;
    v.firstToggle = p.pair == ColourPair::kFirst && p.colourfulToggle;
    v.secondPair = p.pair == ColourPair::kSecond;
    v.fourColour = p.fourColour;
    v.userMode = p.perKey;
    return v;
}

DirectionControls DirectionControlsFor(DirectionKind kind) {
    switch (kind) {
    case DirectionKind::kLeftRight:
        return {"CONTROL_BLFXStatic2",
                {"CONTROL_BLFXLStaPic2", "CONTROL_BLFXRStaPic2"},
                {"leftup.bmp", "rightup.bmp"},
                {"leftdown.bmp", "rightdown.bmp"}};
    case DirectionKind::kUpDown:
        return {"CONTROL_BLFXStatic3",
                {"CONTROL_BLFXLStaPic3", "CONTROL_BLFXRStaPic3"},
                {"upup.bmp", "downup.bmp"},
                {"updown.bmp", "downdown.bmp"}};
    case DirectionKind::kSpreadConverge:
        return {"CONTROL_BLFXStatic",
                {"CONTROL_BLFXLStaPic", "CONTROL_BLFXRStaPic"},
                {"kuosan.bmp", "julong.bmp"},
                {"kuosandown.bmp", "julongdown.bmp"}};
    case DirectionKind::kNone:
        break;
    }
    return {};
}

std::string ColourFieldText(std::string_view text) {
    // Only a field that is a number (surrounding blanks allowed) is judged; the value is
    // compared digit by digit so that no length of input can overflow.
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    if (begin == end) {
        return std::string(text);
    }
    unsigned value = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return std::string(text);
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value >= 256) {
            return "255";
        }
    }
    return std::string(text);
}

} // namespace brasslane
