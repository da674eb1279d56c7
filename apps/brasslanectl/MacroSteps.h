#pragma once

// The steps of a macro as a user writes them for brasslanectl: JSON (an array of steps, or an
// object with "steps", each step {"key": KEY, "action": "press"|"release", "delay": MS}, as the
// profile JSON writes them) or one line of text such as "A down, 120ms, A up", where a pause
// follows the step it waits after. Only the form is checked here: the key list, the step limit
// and the delay rules are the macro editor's, applied when the steps are added.

#include "core/keys/KeyTable.h"
#include "core/keys/MacroBlock.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brasslane::cli {

struct WrittenStep {
    ScanCode key = 0;
    std::uint16_t state = 0; // 0 press, 1 release
    std::string delay;       // the pause after the step as written, in milliseconds ("0" when none)
};

struct StepsInput {
    std::vector<WrittenStep> steps;
    std::optional<std::string> repeat; // "repeat" of a JSON macro object
};

// Reads the steps; false with `error` set (a position and what is wrong) when the text is
// neither form or names a key that does not exist.
bool ParseMacroSteps(std::string_view text, StepsInput& input, std::string* error);

// The text form of steps: "A down, 120ms, A up"; a pause is written after each step that has one.
std::string FormatMacroSteps(std::span<const MacroStep> steps);

} // namespace brasslane::cli
