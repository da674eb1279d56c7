#pragma once

// Everything one run of brasslanectl works with: the program's paths, settings and language
// texts, and, for the commands that need it, the keyboard (real or simulated) behind the
// command link, with the profile store and the lighting model over it.

#include "CliUiSink.h"
#include "ExchangeTrace.h"

#include "core/app/AppPaths.h"
#include "core/base/AppState.h"
#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/keys/ProfileImage.h"
#include "core/profiles/ProfileStore.h"
#include "core/resources/Language.h"
#include "core/resources/SettingsStore.h"
#include "platform/KeyboardBackend.h"

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace brasslane {
class LightingModel;
}

namespace brasslane::cli {

// Exit status of the tool.
enum class ExitCode : int {
    kSuccess = 0,
    kKeyboard = 1, // the keyboard is absent or failed
    kUsage = 2,    // the command line is wrong
    kFile = 3,     // a file is invalid, unreadable or cannot be written
};

struct GlobalOptions {
    bool simulate = false;
    std::string stateFile; // with simulate: the simulated keyboard's state file, or empty
    std::string model;     // "7672" or "505b"; empty when not given
    std::string trace;     // file the exchanges are appended to, or empty
};

// "brasslanectl: <step>: <text>" on standard error; returns `code`.
ExitCode Report(ExitCode code, std::string_view step, std::string_view text);

class Session {
public:
    explicit Session(GlobalOptions options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const AppPaths& Paths() const { return m_paths; }
    Language& Texts() { return m_language; }
    UiSink& Ui() { return m_ui; }

    // Creates the backend the options ask for and opens the trace. Nothing is sent yet.
    ExitCode OpenBackend();
    HidBackend& Hid() { return m_backend->Hid(); }

    // OpenBackend, then finds and opens the keyboard's command interface and reads what the
    // connection handler reads on arrival (the default key map, the information block).
    ExitCode Connect();

    // Ends a keyboard command: writes the simulated keyboard's state back to its file. Returns
    // `result`, or kFile when the state could not be saved after a successful command.
    ExitCode Finish(ExitCode result);

    DeviceLink& Link() { return *m_link; }
    ConnectionState& Connection() { return m_connection; }
    ProfileStore& Store() { return *m_store; }
    WorkingImage& Working() { return m_working; }
    LightingModel& Lighting() { return *m_lighting; }
    ExchangeTrace& Trace() { return m_trace; }
    // The DeviceStatus of the last failed exchange, in plain words.
    std::string FailureText();

    // The keyboard profile (0..2) that lighting commands address: `profile` (1..3) when given,
    // else the keyboard's active one. Then loads the lighting state as the panel does.
    ExitCode LoadLighting(std::optional<int> profile);

private:
    GlobalOptions m_options;
    AppPaths m_paths;
    SettingsStore m_settings;
    Language m_language;
    CliUiSink m_ui;

    std::unique_ptr<KeyboardBackend> m_backend;
    std::ofstream m_traceFile;
    ExchangeTrace m_trace;
    std::unique_ptr<DeviceLink> m_link;
    ConnectionState m_connection;
    AppState m_appState;
    WorkingImage m_working;
    UploadSnapshot m_snapshot;
    std::unique_ptr<ProfileStore> m_store;
    std::unique_ptr<LightingModel> m_lighting;
};

} // namespace brasslane::cli
