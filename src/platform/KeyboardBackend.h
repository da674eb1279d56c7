#pragma once

// Which keyboard a program talks to: the real one (hidraw on Linux, the HID class driver on
// Windows), or the simulated one. The simulated keyboard's memory can be kept in a JSON state
// file, so that successive runs (of brasslanectl, or of the desktop app) see one keyboard.
// Shared by both programs.
//
// Testing aid: the environment variable BRASSLANE_SIM_FAULTS makes the simulated keyboard
// misbehave from its first request on (see ParseSimFaults). It has no effect on hidraw.

#include "core/device/HidBackend.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace brasslane {

constexpr const char* kSimFaultsVariable = "BRASSLANE_SIM_FAULTS";

struct KeyboardBackendOptions {
    bool simulate = false;
    // With `simulate`: where the simulated keyboard's memory is kept (loaded when the file
    // exists, created by SaveState otherwise). Empty: the keyboard lives in memory only.
    std::filesystem::path stateFile;
    // The model of a simulated keyboard that does not come from an existing state file.
    // nullopt: the 126-key model (0x0C45/0x7672).
    std::optional<sim::SimModel> model;
    // Simulator faults in the form ParseSimFaults reads. nullopt: taken from
    // BRASSLANE_SIM_FAULTS (unset or empty: no faults).
    std::optional<std::string> faults;
};

enum class BackendError {
    kNone,
    kBadFaults, // the fault description cannot be parsed
    kStateFile, // the state file exists but cannot be read or is not a keyboard state
};

// Parses a comma-separated fault list into `faults` (fields not named keep their values):
//   no-answer=N       the next N requests get no answer
//   never-answer      no request is answered
//   status=ff|fe      answers carry this status byte (refused) ...
//   status-count=N    ... for N requests (default 1) ...
//   status-after=N    ... after N requests were answered normally (default 0)
//   late=N            the next N answers come late ...
//   late-ms=N         ... by N milliseconds (default 400)
//   unplug-after=N    the keyboard is unplugged once N requests have been answered
//   faults-after=N    the faults above (but unplug-after) begin after N normal answers
//   corrupt-command=N the next write with command number N stores its first data byte
//                     changed while answering success ...
//   corrupt-after=N   ... after N such writes were stored faithfully (default 0)
//   latency-us=N      every report takes N microseconds more
//   fail-writes       every write fails
//   refuse-command=N  every request with command number N (1..255) is refused (status ff)
//   boot-return-ms=N  after the boot-mode command the keyboard comes back N ms later
// Spaces around items are ignored; an empty text means no faults. False (and `faults`
// unchanged) with `error` naming the item on any unknown name or bad number.
bool ParseSimFaults(std::string_view text, sim::SimFaults& faults, std::string* error);

// "7672" or "505b" (case ignored; "0c45:7672" and "320f:505b" too). nullopt otherwise.
std::optional<sim::SimModel> ParseSimModel(std::string_view text);
// "7672" or "505b".
std::string SimModelName(sim::SimModel model);

// What to tell a user whose keyboard interface `node` is there but may not be opened, with the
// command that gives access where there is one.
std::string AccessDeniedHint(const std::string& node);

class KeyboardBackend {
public:
    // The backend the options ask for. nullptr with `error` (plain words) and `kind` set when
    // the faults cannot be parsed or an existing state file cannot be loaded.
    static std::unique_ptr<KeyboardBackend> Create(const KeyboardBackendOptions& options, std::string* error,
                                                   BackendError* kind = nullptr);
    ~KeyboardBackend();
    KeyboardBackend(const KeyboardBackend&) = delete;
    KeyboardBackend& operator=(const KeyboardBackend&) = delete;

    // The HID layer to open the keyboard through; lives as long as this object.
    HidBackend& Hid();
    // A keyboard interface that is there but that this user may not open: "" when there is none,
    // for the simulated keyboard, and where the system does not ask (Windows).
    std::string AccessDeniedInterface() const;
    // The simulated keyboard, or nullptr for hidraw.
    sim::SimKeyboard* Simulated() { return m_keyboard.get(); }
    bool IsSimulated() const { return m_keyboard != nullptr; }

    const std::filesystem::path& StateFile() const { return m_stateFile; }
    // True when the simulated keyboard came from an existing state file.
    bool LoadedFromStateFile() const { return m_loaded; }

    // Writes the simulated keyboard's memory to the state file (temporary file and rename).
    // True without writing anything for hidraw or a keyboard without a state file.
    bool SaveState(std::string* error) const;

private:
    KeyboardBackend() = default;

    std::unique_ptr<HidBackend> m_hidraw;
    std::unique_ptr<sim::SimKeyboard> m_keyboard;
    std::unique_ptr<sim::SimHidBackend> m_sim;
    std::filesystem::path m_stateFile;
    bool m_loaded = false;
};

} // namespace brasslane
