#pragma once

// The desktop app's command line: the two switches "/Kill" and "/Start" (case ignored), and the
// choice of the simulated keyboard for runs without hardware.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brasslane {

struct CommandLine {
    bool kill = false;  // "/Kill": close the running copy
    bool start = false; // "/Start": do not open the window when the keyboard is found
    // "--simulate" or "--simulate=STATE.json": talk to the simulated keyboard, its state kept in
    // the named file between runs (empty: not kept).
    bool simulate = false;
    std::filesystem::path simulateState;
    // "--model 7672" or "--model 505b" (also "--model=..."): the product id of the simulated
    // keyboard.
    std::optional<std::uint16_t> model;
    // "--help" / "-h" and "--version": print and end without starting.
    bool help = false;
    bool version = false;
    // Arguments that are none of the above. They are ignored by the program, as any unknown
    // switch always was; kept so that a caller can warn about them.
    std::vector<std::string> ignored;
    // Set when an option was malformed ("--model" without a known model); the option is then
    // not applied.
    std::string error;
};

// What "brasslane --help" prints: the switches and options above, one line each.
std::string CommandLineHelp();
// What "brasslane --version" prints, from the version the build gives ("brasslane 0.1.0").
std::string VersionText(std::string_view version);
// The warning for an argument the program ignores ("brasslane: ignoring unknown argument "x"").
std::string IgnoredArgumentText(std::string_view argument);

// `arguments` excludes the program name.
CommandLine ParseCommandLine(std::span<const std::string_view> arguments);
CommandLine ParseCommandLine(int argc, const char* const* argv);

} // namespace brasslane
