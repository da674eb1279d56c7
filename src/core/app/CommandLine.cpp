#include "core/app/CommandLine.h"

#include "core/base/Strings.h"

#include <algorithm>
#include <cctype>

namespace brasslane {

namespace {

std::optional<std::uint16_t> ParseModel(std::string_view text) {
    if (EqualsNoCase(text, "7672")) {
        return 0x7672;
    }
    if (EqualsNoCase(text, "505b")) {
        return 0x505B;
    }
    return std::nullopt;
}

} // namespace

CommandLine ParseCommandLine(std::span<const std::string_view> arguments) {
    CommandLine line;
    constexpr std::string_view kSimulate = "--simulate";
    constexpr std::string_view kModel = "--model";
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view arg = arguments[i];
        if (EqualsNoCase(arg, "/Kill")) {
            line.kill = true;
        } else if (EqualsNoCase(arg, "/Start")) {
            line.start = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg == kSimulate) {
            line.simulate = true;
        } else if (arg.starts_with(kSimulate) && arg.size() > kSimulate.size() && arg[kSimulate.size()] == '=') {
            line.simulate = true;
            line.simulateState = std::filesystem::path(std::string(arg.substr(kSimulate.size() + 1)));
        } else if (arg == kModel ||
                   (arg.starts_with(kModel) && arg.size() > kModel.size() && arg[kModel.size()] == '=')) {
            std::optional<std::string_view> value;
            if (arg == kModel) {
                if (i + 1 < arguments.size()) {
                    value = arguments[++i];
                }
            } else {
                value = arg.substr(kModel.size() + 1);
            }
            const std::optional<std::uint16_t> model = value ? ParseModel(*value) : std::nullopt;
            if (model) {
                line.model = model;
            } else {
                line.error = value ? "unknown model \"" + std::string(*value) + "\" (use 7672 or 505b)"
                                   : std::string("--model needs a value (7672 or 505b)");
            }
        } else {
            line.ignored.emplace_back(arg);
        }
    }
    return line;
}

std::string CommandLineHelp() {
    return "Usage: brasslane [/Start] [/Kill] [--simulate[=STATE.json]] [--model 7672|505b]\n"
           "\n"
           "Configures the keyboard from a window behind its tray icon. Only one copy runs: a second\n"
           "start brings the running copy's window forward and ends.\n"
           "\n"
           "  /Start                   do not open the window when the keyboard is found\n"
           "  /Kill                    close the running copy (through its whole close sequence)\n"
           "  --simulate[=STATE.json]  use the simulated keyboard, its memory kept in STATE.json\n"
           "  --model 7672|505b        the model of a new simulated keyboard (126 or 128 keys)\n"
           "  -h, --help               show this help and end\n"
           "  --version                show the version and end\n"
           "\n"
           "The switches ignore case. Other arguments are ignored with a warning.\n"
           "See also brasslane(1) and brasslanectl(1).\n";
}

std::string VersionText(std::string_view version) {
    return "brasslane " + std::string(version) + "\n";
}

std::string IgnoredArgumentText(std::string_view argument) {
    return "brasslane: ignoring unknown argument \"" + std::string(argument) + "\"\n";
}

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    std::vector<std::string_view> arguments;
    for (int i = 1; i < argc && argv != nullptr; ++i) {
        if (argv[i] != nullptr) {
            arguments.emplace_back(argv[i]);
        }
    }
    return ParseCommandLine(std::span<const std::string_view>(arguments));
}

} // namespace brasslane
