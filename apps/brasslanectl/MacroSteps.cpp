#include "MacroSteps.h"

#include "core/base/Strings.h"
#include "core/keys/KeyNames.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <charconv>

namespace brasslane::cli {

namespace {

using Json = nlohmann::json;

std::optional<std::uint16_t> ActionState(std::string_view word) {
    const std::string lower = ToLower(word);
    if (lower == "down" || lower == "press") {
        return 0;
    }
    if (lower == "up" || lower == "release") {
        return 1;
    }
    return std::nullopt;
}

bool KeyOf(std::string_view name, ScanCode& key, std::string* error, const std::string& where) {
    const std::optional<std::uint32_t> code = ParseScanCode(name);
    if (!code || *code == 0) {
        *error = where + ": \"" + std::string(name) + "\" is not a key (see 'brasslanectl keys')";
        return false;
    }
    key = static_cast<ScanCode>(*code);
    return true;
}

// A pause item of the text form: digits with an optional sign and "ms".
std::optional<std::string> PauseItem(std::string_view item) {
    std::string_view number = item;
    if (number.size() >= 2 && EqualsNoCase(number.substr(number.size() - 2), "ms")) {
        number = Trim(number.substr(0, number.size() - 2));
    }
    std::string_view digits = number;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(number);
}

// Adds two written pauses (a pause written twice in a row waits for both).
std::string AddPauses(const std::string& a, const std::string& b) {
    long long x = 0;
    long long y = 0;
    std::from_chars(a.data() + (a.starts_with('+') ? 1 : 0), a.data() + a.size(), x);
    std::from_chars(b.data() + (b.starts_with('+') ? 1 : 0), b.data() + b.size(), y);
    // Written pauses are short digit strings; their sum cannot overflow once each is capped.
    constexpr long long kCap = 1'000'000'000LL;
    return std::to_string(std::clamp(x, -kCap, kCap) + std::clamp(y, -kCap, kCap));
}

bool ParseText(std::string_view text, StepsInput& input, std::string* error) {
    std::size_t number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of(",\n;");
        const std::string_view item = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (item.empty()) {
            continue;
        }
        ++number;
        const std::string where = "item " + std::to_string(number);
        if (const std::optional<std::string> pause = PauseItem(item)) {
            if (input.steps.empty()) {
                *error = where + ": a pause must follow a step";
                return false;
            }
            std::string& delay = input.steps.back().delay;
            delay = delay == "0" ? *pause : AddPauses(delay, *pause);
            continue;
        }
        const std::size_t space = item.find_last_of(" \t");
        const std::optional<std::uint16_t> state =
            space == std::string_view::npos ? std::nullopt : ActionState(item.substr(space + 1));
        if (!state) {
            *error = where + ": \"" + std::string(item) + "\" is neither KEY down, KEY up nor a pause such as 120ms";
            return false;
        }
        WrittenStep step;
        step.state = *state;
        step.delay = "0";
        if (!KeyOf(Trim(item.substr(0, space)), step.key, error, where)) {
            return false;
        }
        input.steps.push_back(std::move(step));
    }
    return true;
}

bool ParseJsonStep(const Json& value, const std::string& where, WrittenStep& step, std::string* error) {
    if (!value.is_object()) {
        *error = where + ": a step is an object {\"key\", \"action\", \"delay\"}";
        return false;
    }
    for (const auto& [name, field] : value.items()) {
        if (name != "key" && name != "action" && name != "delay") {
            *error = where + ": unknown field \"" + name + "\"";
            return false;
        }
    }
    const auto key = value.find("key");
    if (key == value.end() || !key->is_string()) {
        *error = where + ".key: a key name is needed";
        return false;
    }
    if (!KeyOf(key->get<std::string>(), step.key, error, where + ".key")) {
        return false;
    }
    const auto action = value.find("action");
    const std::optional<std::uint16_t> state =
        action != value.end() && action->is_string() ? ActionState(action->get<std::string>()) : std::nullopt;
    if (!state) {
        *error = where + ".action: must be \"press\" or \"release\"";
        return false;
    }
    step.state = *state;
    step.delay = "0";
    if (const auto delay = value.find("delay"); delay != value.end()) {
        if (!delay->is_number_integer()) {
            *error = where + ".delay: must be a whole number of milliseconds";
            return false;
        }
        step.delay = delay->is_number_unsigned() ? std::to_string(delay->get<std::uint64_t>())
                                                 : std::to_string(delay->get<std::int64_t>());
    }
    return true;
}

bool ParseJson(std::string_view text, StepsInput& input, std::string* error) {
    const Json document = Json::parse(text.begin(), text.end(), nullptr, false);
    if (document.is_discarded()) {
        *error = "the steps are not valid JSON";
        return false;
    }
    const Json* steps = &document;
    std::string path = "steps";
    if (document.is_object()) {
        for (const auto& [name, field] : document.items()) {
            if (name != "steps" && name != "repeat" && name != "name" && name != "id") {
                *error = "unknown field \"" + name + "\"";
                return false;
            }
        }
        const auto found = document.find("steps");
        if (found == document.end()) {
            *error = "the object has no \"steps\"";
            return false;
        }
        steps = &*found;
        if (const auto repeat = document.find("repeat"); repeat != document.end()) {
            if (!repeat->is_number_integer()) {
                *error = "repeat: must be a whole number";
                return false;
            }
            input.repeat = repeat->dump();
        }
    }
    if (!steps->is_array()) {
        *error = path + ": must be an array of steps";
        return false;
    }
    for (std::size_t i = 0; i < steps->size(); ++i) {
        WrittenStep step;
        if (!ParseJsonStep((*steps)[i], path + "[" + std::to_string(i) + "]", step, error)) {
            return false;
        }
        input.steps.push_back(std::move(step));
    }
    return true;
}

} // namespace

bool ParseMacroSteps(std::string_view text, StepsInput& input, std::string* error) {
    input = {};
    std::string ignored;
    std::string* message = error != nullptr ? error : &ignored;
    const std::string_view trimmed = Trim(text);
    if (!trimmed.empty() && (trimmed.front() == '[' || trimmed.front() == '{')) {
        return ParseJson(trimmed, input, message);
    }
    return ParseText(trimmed, input, message);
}

std::string FormatMacroSteps(std::span<const MacroStep> steps) {
    std::string text;
    for (const MacroStep& step : steps) {
        if (!text.empty()) {
            text += ", ";
        }
        // The text form separates items with commas: the comma key (and any name with a
        // separator in it) is written as its code.
        std::string name = ScanCodeName(step.key);
        if (name.find_first_of(",;") != std::string::npos) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%03X", step.key);
            name = code;
        }
        text += name;
        text += step.state == 1 ? " up" : " down";
        if (step.delay != 0) {
            text += ", " + std::to_string(step.delay) + "ms";
        }
    }
    return text;
}

} // namespace brasslane::cli
