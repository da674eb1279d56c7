#include "platform/KeyboardBackend.h"

#include "core/base/Strings.h"
#ifdef _WIN32
#include "platform/windows/WinHidBackend.h"
#else
#include "platform/linux/DeviceAccess.h"
#include "platform/linux/HidrawBackend.h"
#endif

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <system_error>

namespace brasslane {

namespace {

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

// A whole non-negative decimal number that fits an int.
std::optional<int> ParseCount(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

} // namespace

bool ParseSimFaults(std::string_view text, sim::SimFaults& faults, std::string* error) {
    sim::SimFaults result = faults;
    bool statusCountGiven = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view item = Trim(text.substr(start, comma - start));
        start = comma + 1;
        if (item.empty()) {
            continue;
        }
        const std::size_t equals = item.find('=');
        const std::string name = ToLower(Trim(item.substr(0, equals)));
        const bool hasValue = equals != std::string_view::npos;
        const std::string_view value = hasValue ? Trim(item.substr(equals + 1)) : std::string_view();
        const auto bad = [&](const std::string& why) {
            SetError(error, "simulator fault \"" + std::string(item) + "\": " + why);
            return false;
        };

        if (name == "never-answer" || name == "fail-writes") {
            if (hasValue) {
                return bad("takes no value");
            }
            (name == "never-answer" ? result.neverAnswer : result.failWrites) = true;
            continue;
        }
        if (name == "status") {
            const std::string byte = ToLower(value);
            if (byte == "ff" || byte == "0xff") {
                result.statusByte = 0xFF;
            } else if (byte == "fe" || byte == "0xfe") {
                result.statusByte = 0xFE;
            } else {
                return bad("the status byte must be ff or fe");
            }
            if (!statusCountGiven && result.statusCount == 0) {
                result.statusCount = 1;
            }
            continue;
        }
        const std::optional<int> count = hasValue ? ParseCount(value) : std::nullopt;
        const bool known = name == "no-answer" || name == "status-count" || name == "status-after" || name == "late" ||
                           name == "late-ms" || name == "unplug-after" || name == "latency-us" ||
                           name == "refuse-command" || name == "boot-return-ms" || name == "faults-after" ||
                           name == "corrupt-command" || name == "corrupt-after";
        if (!known) {
            return bad("unknown fault");
        }
        if (!count) {
            return bad("needs a whole number, as in " + name + "=3");
        }
        const int number = count.value_or(0);
        if (name == "no-answer") {
            result.noAnswer = number;
        } else if (name == "status-count") {
            result.statusCount = number;
            statusCountGiven = true;
        } else if (name == "status-after") {
            result.statusAfter = number;
        } else if (name == "late") {
            result.lateAnswers = number;
        } else if (name == "late-ms") {
            result.lateBy = std::chrono::milliseconds(number);
        } else if (name == "unplug-after") {
            // The simulator counts answers down to zero; 0 would mean "never".
            if (number == 0) {
                return bad("must be at least 1");
            }
            result.unplugAfter = number;
        } else if (name == "faults-after") {
            result.faultsAfter = number;
        } else if (name == "corrupt-after") {
            result.corruptAfter = number;
        } else if (name == "corrupt-command") {
            if (number == 0 || number > 0xFF) {
                return bad("names a command number, 1 to 255");
            }
            result.corruptCommand = static_cast<std::uint8_t>(number);
        } else if (name == "refuse-command") {
            if (number == 0 || number > 0xFF) {
                return bad("names a command number, 1 to 255");
            }
            result.refusedCommand = static_cast<std::uint8_t>(number);
        } else if (name == "boot-return-ms") {
            result.bootReturnAfter = std::chrono::milliseconds(number);
        } else {
            result.latencyPerReport = std::chrono::microseconds(number);
        }
    }
    faults = result;
    return true;
}

std::optional<sim::SimModel> ParseSimModel(std::string_view text) {
    const std::string name = ToLower(Trim(text));
    if (name == "7672" || name == "0c45:7672") {
        return sim::SimModel::k7672;
    }
    if (name == "505b" || name == "320f:505b") {
        return sim::SimModel::k505B;
    }
    return std::nullopt;
}

std::string SimModelName(sim::SimModel model) {
    return model == sim::SimModel::k7672 ? "7672" : "505b";
}

std::unique_ptr<KeyboardBackend> KeyboardBackend::Create(const KeyboardBackendOptions& options, std::string* error,
                                                         BackendError* kind) {
    const auto fail = [&](BackendError what, std::string text) -> std::unique_ptr<KeyboardBackend> {
        if (kind != nullptr) {
            *kind = what;
        }
        SetError(error, std::move(text));
        return nullptr;
    };
    if (kind != nullptr) {
        *kind = BackendError::kNone;
    }

    std::unique_ptr<KeyboardBackend> backend(new KeyboardBackend());
    if (!options.simulate) {
#ifdef _WIN32
        backend->m_hidraw = std::make_unique<WinHidBackend>();
#else
        backend->m_hidraw = std::make_unique<HidrawBackend>();
#endif
        return backend;
    }

    std::string faultText;
    if (options.faults) {
        faultText = *options.faults;
    } else if (const char* variable = std::getenv(kSimFaultsVariable); variable != nullptr) {
        faultText = variable;
    }
    sim::SimFaults faults;
    std::string problem;
    if (!ParseSimFaults(faultText, faults, &problem)) {
        return fail(BackendError::kBadFaults, std::string(kSimFaultsVariable) + ": " + problem);
    }

    backend->m_keyboard = std::make_unique<sim::SimKeyboard>(options.model.value_or(sim::SimModel::k7672));
    backend->m_stateFile = options.stateFile;
    if (!options.stateFile.empty()) {
        std::error_code ec;
        if (std::filesystem::exists(options.stateFile, ec)) {
            if (!backend->m_keyboard->LoadStateFile(options.stateFile, &problem)) {
                return fail(BackendError::kStateFile, problem);
            }
            backend->m_loaded = true;
        } else if (ec) {
            return fail(BackendError::kStateFile, "cannot look at " + options.stateFile.string() + ": " + ec.message());
        }
    }
    backend->m_keyboard->SetFaults(faults);
    backend->m_sim = std::make_unique<sim::SimHidBackend>(*backend->m_keyboard);
    return backend;
}

KeyboardBackend::~KeyboardBackend() {
    // The HID layer refers to the keyboard: it goes first.
    m_sim.reset();
    m_keyboard.reset();
}

HidBackend& KeyboardBackend::Hid() {
    if (m_sim) {
        return *m_sim;
    }
    return *m_hidraw;
}

bool KeyboardBackend::SaveState(std::string* error) const {
    if (!m_keyboard || m_stateFile.empty()) {
        return true;
    }
    return m_keyboard->SaveStateFile(m_stateFile, error);
}

std::string AccessDeniedHint(const std::string& node) {
#ifdef _WIN32
    return "the keyboard is there, but this user may not open " + node;
#else
    return DeviceAccessHint(node);
#endif
}

std::string KeyboardBackend::AccessDeniedInterface() const {
#ifdef _WIN32
    return {};
#else
    const auto* hidraw = dynamic_cast<const HidrawBackend*>(m_hidraw.get());
    return hidraw != nullptr ? hidraw->AccessDeniedNode() : std::string();
#endif
}

} // namespace brasslane
