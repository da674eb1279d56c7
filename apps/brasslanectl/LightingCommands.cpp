#include "Commands.h"

#include "core/keys/KeyNames.h"
#include "core/lighting/KeyColourTable.h"
#include "core/lighting/LightingModel.h"
#include "core/lighting/LightingPanelRules.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <iostream>

namespace brasslane::cli {

namespace {

constexpr std::array<std::string_view, 4> kFourColourNames{"green", "yellow", "red", "blue"};

std::optional<int> ParseInt(std::string_view text, int minimum, int maximum) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < minimum || value > maximum) {
        return std::nullopt;
    }
    return value;
}

std::optional<Rgb> ParseColour(std::string_view text) {
    if (!text.empty() && text.front() == '#') {
        text.remove_prefix(1);
    }
    if (text.size() != 6 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 3> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned value = 0;
        std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, value, 16);
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    return Rgb{bytes[0], bytes[1], bytes[2]};
}

std::string ColourText(Rgb colour) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", colour.red, colour.green, colour.blue);
    return text;
}

std::optional<std::size_t> IndexOf(std::span<const std::string_view> names, std::string_view text) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == text) {
            return i;
        }
    }
    return std::nullopt;
}

// The direction words: which button they press and which effects have them.
struct DirectionWord {
    std::string_view word;
    bool first;
    DirectionKind kind;
};
constexpr std::array<DirectionWord, 6> kDirections{{
    {"left", true, DirectionKind::kLeftRight},
    {"right", false, DirectionKind::kLeftRight},
    {"up", true, DirectionKind::kUpDown},
    {"down", false, DirectionKind::kUpDown},
    {"spread", true, DirectionKind::kSpreadConverge},
    {"converge", false, DirectionKind::kSpreadConverge},
}};

const DirectionWord* FindDirection(std::string_view word) {
    for (const DirectionWord& d : kDirections) {
        if (d.word == word) {
            return &d;
        }
    }
    return nullptr;
}

std::string_view DirectionName(DirectionKind kind, bool first) {
    switch (kind) {
    case DirectionKind::kLeftRight:
        return first ? "left" : "right";
    case DirectionKind::kUpDown:
        return first ? "up" : "down";
    case DirectionKind::kSpreadConverge:
        return first ? "spread" : "converge";
    case DirectionKind::kNone:
        break;
    }
    return first ? "first (left, up, spread)" : "second (right, down, converge)";
}

std::string_view DirectionWords(DirectionKind kind) {
    switch (kind) {
    case DirectionKind::kLeftRight:
        return "left or right";
    case DirectionKind::kUpDown:
        return "up or down";
    case DirectionKind::kSpreadConverge:
        return "spread or converge";
    case DirectionKind::kNone:
        break;
    }
    return "none";
}

std::string EffectName(Session& session, int effect) {
    const std::string name = session.Texts().Mode(effect);
    return std::to_string(effect) + " " + (name == Language::kMissingText ? "(unknown effect)" : name);
}

std::string Uses(const EffectParameters& p) {
    std::string uses = "brightness";
    if (p.speed) {
        uses += ", speed";
    }
    if (p.direction != DirectionKind::kNone) {
        uses += ", direction (" + std::string(DirectionWords(p.direction)) + ")";
    }
    if (p.colourButton) {
        uses += ", colour";
    }
    if (p.colourfulToggle) {
        uses += ", colourful";
    }
    if (p.fourColour) {
        uses += ", four-colour";
    }
    if (p.perKey) {
        uses += ", key colours";
    }
    return uses;
}

ExitCode Usage(std::string_view option, std::string_view value, std::string_view why) {
    return Report(ExitCode::kUsage, "lighting set",
                  "--" + std::string(option) + " " + std::string(value) + ": " + std::string(why));
}

// Checks what can be checked without the keyboard: every value's form and range.
ExitCode CheckSyntax(const LightingOption& option) {
    const std::string& v = option.value;
    bool good = true;
    std::string_view expected;
    if (option.name == "effect") {
        good = ParseInt(v, 1, 255).has_value();
        expected = "must be an effect number";
    } else if (option.name == "brightness") {
        good = ParseInt(v, 0, kMaxBrightness).has_value();
        expected = "must be 0 to 5";
    } else if (option.name == "speed") {
        good = ParseInt(v, 0, kMaxSpeed).has_value();
        expected = "must be 0 to 4";
    } else if (option.name == "direction") {
        good = FindDirection(v) != nullptr;
        expected = "must be left, right, up, down, spread or converge";
    } else if (option.name == "colour") {
        good = ParseColour(v).has_value();
        expected = "must be six hexadecimal digits RRGGBB";
    } else if (option.name == "colourful") {
        good = v == "on" || v == "off";
        expected = "must be on or off";
    } else if (option.name == "rate") {
        good = ParseInt(v, 1, kMaxReportRate + 1).has_value();
        expected = "must be 1 to 4";
    } else if (option.name == "four-colour") {
        good = IndexOf(kFourColourNames, v).has_value();
        expected = "must be green, yellow, red or blue";
    } else {
        good = false;
        expected = "unknown option";
    }
    return good ? ExitCode::kSuccess : Usage(option.name, v, expected);
}

} // namespace

ExitCode LightingShow(Session& session, std::optional<int> profile) {
    if (const ExitCode connected = session.Connect(); connected != ExitCode::kSuccess) {
        return connected;
    }
    if (const ExitCode loaded = session.LoadLighting(profile); loaded != ExitCode::kSuccess) {
        return loaded;
    }
    const LightingModel& model = session.Lighting();
    const LightingState& state = model.State();
    const EffectParameters parameters = ParametersOf(state.effect);
    std::cout << "Profile:      " << state.profile + 1;
    if (model.KeyboardProfile() >= 0) {
        std::cout << (model.KeyboardProfile() == state.profile ? " (active)" : " (not active)");
    }
    std::cout << '\n';
    std::cout << "Effect:       " << EffectName(session, state.effect)
              << (model.EffectIndex().PositionOf(state.effect) < 0 ? " (not offered by this keyboard)" : "") << '\n';
    std::cout << "Uses:         " << Uses(parameters) << '\n';
    std::cout << "Brightness:   " << int{state.brightness} << '\n';
    std::cout << "Speed:        " << state.SpeedPosition() << '\n';
    std::cout << "Direction:    " << DirectionName(parameters.direction, state.DirectionIsFirst()) << '\n';
    std::cout << "Colour:       " << ColourText(state.colour) << '\n';
    std::cout << "Colourful:    " << (state.colourful ? "on" : "off") << '\n';
    std::cout << "Report rate:  " << state.reportRate + 1 << '\n';
    std::cout << "Four colour:  " << kFourColourNames[std::min<std::size_t>(state.fourColour, 3)] << '\n';
    return ExitCode::kSuccess;
}

ExitCode LightingSet(Session& session, std::optional<int> profile, const std::vector<LightingOption>& options) {
    if (options.empty()) {
        return Report(ExitCode::kUsage, "lighting set", "name at least one setting to change (see --help)");
    }
    for (const LightingOption& option : options) {
        if (const ExitCode checked = CheckSyntax(option); checked != ExitCode::kSuccess) {
            return checked;
        }
    }
    if (const ExitCode connected = session.Connect(); connected != ExitCode::kSuccess) {
        return connected;
    }
    if (const ExitCode loaded = session.LoadLighting(profile); loaded != ExitCode::kSuccess) {
        return loaded;
    }
    LightingModel& model = session.Lighting();

    // Everything is checked against the keyboard before the first write, following the
    // effect that each option will find selected.
    int effect = model.State().effect;
    for (const LightingOption& option : options) {
        if (option.name == "effect") {
            const int wanted = *ParseInt(option.value, 1, 255);
            if (model.EffectIndex().PositionOf(wanted) < 0) {
                std::string offered;
                for (const std::uint8_t type : model.EffectIndex().Types()) {
                    offered += (offered.empty() ? "" : ", ") + std::to_string(type);
                }
                return Usage(option.name, option.value, "this keyboard offers effects " + offered);
            }
            if (SelectionWriteOf(wanted) == SelectionWrite::kNothing) {
                return Usage(option.name, option.value, "this effect has no setting the keyboard takes");
            }
            effect = wanted;
        } else if (option.name == "direction") {
            const DirectionKind kind = ParametersOf(effect).direction;
            if (FindDirection(option.value)->kind != kind) {
                return Usage(option.name, option.value,
                             "effect " + EffectName(session, effect) + " takes direction " +
                                 std::string(DirectionWords(kind)));
            }
        }
    }

    for (const LightingOption& option : options) {
        const std::string& v = option.value;
        DeviceStatus status = kStatusSuccess;
        if (option.name == "effect") {
            status = model.SelectEffect(model.EffectIndex().PositionOf(*ParseInt(v, 1, 255)));
        } else if (option.name == "brightness") {
            status = model.SetBrightness(*ParseInt(v, 0, kMaxBrightness));
        } else if (option.name == "speed") {
            status = model.SetSpeed(*ParseInt(v, 0, kMaxSpeed));
        } else if (option.name == "direction") {
            status = model.SetDirection(FindDirection(v)->first);
        } else if (option.name == "colour") {
            status = model.SetColour(*ParseColour(v));
        } else if (option.name == "colourful") {
            // The panel's toggle flips the flag; pressing it is only needed when it differs.
            if (model.State().colourful != (v == "on")) {
                status = model.ToggleColourful();
            }
        } else if (option.name == "rate") {
            status = model.SetReportRate(*ParseInt(v, 1, kMaxReportRate + 1) - 1);
        } else if (option.name == "four-colour") {
            status = model.SetFourColour(static_cast<int>(*IndexOf(kFourColourNames, v)));
        }
        if (status != kStatusSuccess) {
            return Report(ExitCode::kKeyboard, "lighting set --" + option.name + " " + v, DeviceStatusText(status));
        }
    }
    return ExitCode::kSuccess;
}

ExitCode LightingReset(Session& session, std::optional<int> profile) {
    if (const ExitCode connected = session.Connect(); connected != ExitCode::kSuccess) {
        return connected;
    }
    if (const ExitCode loaded = session.LoadLighting(profile); loaded != ExitCode::kSuccess) {
        return loaded;
    }
    // The reset reports only its last write, so every failure on the way is counted here.
    const std::size_t failuresBefore = session.Trace().Failures();
    const LightingResetResult reset = session.Core().ResetLighting();
    ExitCode result = ExitCode::kSuccess;
    if (!reset.modeFileError.empty()) {
        result = Report(ExitCode::kFile, "lighting reset",
                        "the user lighting modes of profile " + std::to_string(session.Lighting().State().profile + 1) +
                            " were not restored: " + reset.modeFileError);
    }
    if (reset.status != kStatusSuccess) {
        return Report(ExitCode::kKeyboard, "lighting reset", DeviceStatusText(reset.status));
    }
    if (session.Trace().Failures() != failuresBefore) {
        return Report(ExitCode::kKeyboard, "lighting reset", session.FailureText());
    }
    return result;
}

ExitCode KeyColour(Session& session, std::optional<int> profile, const std::vector<std::string>& pairs) {
    if (pairs.empty() || pairs.size() % 2 != 0) {
        return Report(ExitCode::kUsage, "key-colour", "give pairs of KEY RRGGBB");
    }
    struct Paint {
        std::string key;
        int index;
        Rgb colour;
    };
    std::vector<Paint> paints;
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
        const std::string& key = pairs[i];
        int index = -1;
        std::string normal;
        for (const char c : key) {
            normal.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
        if (normal == "fn") {
            index = kFnColourIndex;
        } else if (const std::optional<std::uint32_t> code = ParseScanCode(key)) {
            index = KeyColourIndexOf(static_cast<std::uint16_t>(*code));
        } else {
            return Report(ExitCode::kUsage, "key-colour", "unknown key \"" + key + "\" (see brasslanectl keys)");
        }
        if (index < 0 || !IsKeyButtonColourIndex(index)) {
            return Report(ExitCode::kUsage, "key-colour", "key \"" + key + "\" has no light of its own");
        }
        const std::optional<Rgb> colour = ParseColour(pairs[i + 1]);
        if (!colour) {
            return Report(ExitCode::kUsage, "key-colour",
                          key + " " + pairs[i + 1] + ": the colour must be six hexadecimal digits RRGGBB");
        }
        paints.push_back(Paint{key, index, *colour});
    }

    if (const ExitCode connected = session.Connect(); connected != ExitCode::kSuccess) {
        return connected;
    }
    if (const ExitCode loaded = session.LoadLighting(profile); loaded != ExitCode::kSuccess) {
        return loaded;
    }
    for (const Paint& paint : paints) {
        if (const DeviceStatus status = session.Lighting().SetKeyColour(paint.index, paint.colour);
            status != kStatusSuccess) {
            return Report(ExitCode::kKeyboard, "key-colour " + paint.key, DeviceStatusText(status));
        }
    }
    return ExitCode::kSuccess;
}

} // namespace brasslane::cli
