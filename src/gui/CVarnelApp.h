#pragma once

// The application object of the desktop app: the command line, the single running copy, the
// companion program, the process-wide core objects, the main window's start-up and the end of
// the close sequence. main() builds one, starts it and runs the event loop.

#include "core/app/CommandLine.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

class QSocketNotifier;
class QTimer;

namespace brasslane {
class AppCore;
class KeyboardBackend;
class WaitClock;
namespace platform {
class ClockChangeWatch;
class SingleInstance;
} // namespace platform
} // namespace brasslane

namespace brasslane::gui {

class CVarnelDlg;
enum class WindowState;
class QtUiSink;

// Where the program runs and what it may touch; FromSystem() in the program, temporary folders
// in tests.
struct VarnelAppEnvironment {
    std::filesystem::path executable;          // the running program
    std::filesystem::path installedDataFolder; // <prefix>/share/brasslane
    std::filesystem::path userDataHome;        // $XDG_DATA_HOME
    std::filesystem::path settingsFile;        // stands in for the registry
    std::filesystem::path runtimeFolder;       // single-instance lock and socket
    std::function<std::uint16_t()> systemLanguage;
    // Start "keywarden" beside the program when it is there.
    bool startCompanion = true;
    // Print every change of the window's life on standard output ("brasslane: state shown").
    // Set by BRASSLANE_TRACE_STATES=1; used by the end-to-end tests.
    bool traceStates = false;
    // End the program through its close sequence as soon as start-up has finished, after
    // printing the start-up time. Set by BRASSLANE_EXIT_AFTER_INIT=1; used by the start-up
    // measurement.
    bool exitAfterInit = false;
    // Times the device threads' checks and searches and the sink's waits for the GUI thread; the
    // steady clock when null. Tests hand in a faster clock so that a storm of plugs reaches the
    // connection monitor within seconds. Must outlive the program's core.
    WaitClock* deviceClock = nullptr;

    static VarnelAppEnvironment FromSystem();
};

class CVarnelApp {
public:
    // Called with each state the window goes through (see CVarnelDlg::Hooks::stateChanged).
    using StateObserver = std::function<void(WindowState state)>;

    explicit CVarnelApp(VarnelAppEnvironment environment);
    ~CVarnelApp();
    CVarnelApp(const CVarnelApp&) = delete;
    CVarnelApp& operator=(const CVarnelApp&) = delete;

    void SetStateObserver(StateObserver observer) { m_observer = std::move(observer); }

    // Everything before the event loop: "/Kill" and the single running copy (a second copy
    // hands its message to the first and ends), the companion program, the keyboard backend,
    // the core and the main window's initialisation, which posts MSG_INIT. True when the
    // program goes on to its event loop; false when it ends now with `*exitCode` (0 after a
    // message was handed to the first copy and when a skin picture is missing, 1 when the
    // keyboard backend cannot be set up).
    bool Start(const CommandLine& commandLine, int* exitCode);

    // Runs the event loop until the close sequence has ended. Returns the exit code.
    int Exec();
    // The close sequence has run to its end: threads stopped, simulator state saved.
    bool Finished() const { return m_finished; }

    CVarnelDlg* Window() { return m_window.get(); }
    AppCore* Core() { return m_core.get(); }
    KeyboardBackend* Keyboard() { return m_keyboard.get(); }
    QtUiSink* Sink() { return m_sink.get(); }
    platform::SingleInstance* Instance() { return m_instance.get(); }

private:
    // Hands `message` to the running copy. True when it took it.
    bool SendToFirst(std::uint32_t message, std::uint64_t wParam);
    void ReadInstanceMessages();
    void ReleaseInstance();
    // The last steps of the close sequence, after the window's own.
    void Finish();
    // Start-up failed after the threads may have started: stop them, give up the instance.
    void Abandon();
    void OnState(WindowState state);
    // Tells the user once when the keyboard is there but may not be opened (no device rule).
    void CheckDeviceAccess();

    VarnelAppEnvironment m_environment;
    std::chrono::steady_clock::time_point m_started;
    StateObserver m_observer;
    std::unique_ptr<platform::SingleInstance> m_instance;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<platform::ClockChangeWatch> m_clock;
    std::unique_ptr<QSocketNotifier> m_clockNotifier;
    std::unique_ptr<KeyboardBackend> m_keyboard;
    std::unique_ptr<QtUiSink> m_sink;
    std::unique_ptr<AppCore> m_core;
    std::unique_ptr<CVarnelDlg> m_window;
    std::unique_ptr<QTimer> m_accessCheck;
    bool m_finished = false;
    int m_exitCode = 0;
};

} // namespace brasslane::gui
