#pragma once

// Everything one run of brasslanectl works with: the session core that the desktop app builds
// too (paths, settings, language texts, and over the keyboard, real or simulated, the command
// link, the profile store, the lighting model and the per-key colours), and what is the tool's
// own: the exchange trace, the exit codes and the simulated keyboard's state file.

#include "CliUiSink.h"
#include "ExchangeTrace.h"

#include "core/app/SessionCore.h"
#include "platform/KeyboardBackend.h"

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
    std::string stateFile;     // with simulate: the simulated keyboard's state file, or empty
    std::string model;         // "7672" or "505b"; empty when not given
    std::string trace;         // file the exchanges are appended to, or empty
    bool verifyWrites = false; // key maps and macros written are read back and compared
};

// "brasslanectl: <step>: <text>" on standard error; returns `code`.
ExitCode Report(ExitCode code, std::string_view step, std::string_view text);

class Session {
public:
    explicit Session(GlobalOptions options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The language texts: the session core's once the keyboard was asked for; before that (and
    // for commands that never need it) those of a setup without the keyboard.
    Language& Texts();
    UiSink& Ui() { return m_ui; }

    // Creates the backend the options ask for, opens the trace and builds the session core over
    // the backend. Nothing is sent yet.
    ExitCode OpenBackend();
    HidBackend& Hid() { return m_backend->Hid(); }

    // OpenBackend, then finds and opens the keyboard's command interface and reads what the
    // connection handler reads on arrival (the default key map, the information block).
    ExitCode Connect();

    // Ends a keyboard command: writes the simulated keyboard's state back to its file. Returns
    // `result`, or kFile when the state could not be saved after a successful command.
    ExitCode Finish(ExitCode result);

    // The session core and its parts; only after OpenBackend succeeded.
    SessionCore& Core() { return *m_core; }
    DeviceLink& Link() { return m_core->Link(); }
    ConnectionState& Connection() { return m_core->Connection(); }
    ProfileStore& Store() { return m_core->Profiles(); }
    WorkingImage& Working() { return m_core->Working(); }
    LightingModel& Lighting() { return m_core->Lighting(); }
    ExchangeTrace& Trace() { return m_trace; }
    // The keyboard's hidraw node that this user was refused (no device rule), or empty.
    std::string AccessDeniedNode();
    // The DeviceStatus of the last failed exchange, in plain words.
    std::string FailureText();

    // The keyboard profile (0..2) that lighting commands address: `profile` (1..3) when given,
    // else the keyboard's active one. Then loads the lighting state as the panel does.
    ExitCode LoadLighting(std::optional<int> profile);

private:
    GlobalOptions m_options;
    CliUiSink m_ui;
    std::unique_ptr<KeyboardBackend> m_backend;
    std::ofstream m_traceFile;
    ExchangeTrace m_trace;
    std::unique_ptr<SessionCore> m_core;
    // Only for a run that asks for texts before (or without) the keyboard.
    std::unique_ptr<ProgramSetup> m_setup;
};

} // namespace brasslane::cli
