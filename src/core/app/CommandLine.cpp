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
