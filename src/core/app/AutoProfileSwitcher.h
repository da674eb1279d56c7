#pragma once

// Automatic profiles: follows the window that has the focus and switches the keyboard to the
// profile the rules give it. Runs on the user-interface thread; the active-window watcher's
// thread only tells it, through the UI sink, that the focus moved.
//
// A switch waits until the focus has stayed on one window for kSettle, so running through
// windows with Alt+Tab sends nothing to the keyboard. It goes through the main window's profile
// switch, and never while a key, macro or profile dialog is open or while edits wait for Apply:
// such a decision is tried again every kRetry until it can be taken or the focus moves on. The
// program's own windows change nothing, and neither does a window that cannot be known.

#include "core/app/AutoProfileRules.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace brasslane {

class Language;
class MainWindowModel;
class MainWindowView;
class SessionCore;
class UiSink;
class WaitClock;

// The main window's part in an automatic switch. Every member but trayNote must be set.
struct AutoProfileHooks {
    // A key, macro or profile dialog is open, or a job of the main window runs on the worker.
    std::function<bool()> dialogOpen;
    // Edits wait for Apply (the main window's or the profile manager's).
    std::function<bool()> pendingEdits;
    // The keyboard's active profile, 0..2; -1 when unknown (no keyboard, or not yet read).
    std::function<int()> activeProfile;
    // Switches the keyboard to `profile` (0..2) as the profile buttons do. False when refused
    // or failed.
    std::function<bool(int profile)> switchProfile;
    // The tray tooltip's second line changed (empty: nothing to add). May be empty.
    std::function<void(const std::string& note)> trayNote;
};

// The hooks of the main window: a dialog is open while the key assignment dialog (with its macro
// page) or the profile manager is; edits are pending while the modified flag or the profile
// manager's Apply is set; a switch is a click on a profile button. Every reference must outlive
// the hooks.
AutoProfileHooks MainWindowAutoProfileHooks(MainWindowModel& model, const MainWindowView& view, SessionCore& core,
                                            std::function<void(const std::string& note)> trayNote);

class AutoProfileSwitcher {
public:
    static constexpr std::chrono::milliseconds kSettle{300};
    static constexpr std::chrono::milliseconds kRetry{1000};
    // How many recently focused windows are kept for "pick from a running window".
    static constexpr std::size_t kRecentCount = 12;

    // `clock`, `ui` and `language` must outlive the switcher. `ownPid` is this program's process:
    // focus on its windows is ignored. Reads the rules file.
    AutoProfileSwitcher(std::filesystem::path rulesFile, WaitClock& clock, UiSink& ui, Language& language, int ownPid,
                        AutoProfileHooks hooks);

    // The rules as last read; re-read when the file changed since (another program, such as
    // brasslanectl, wrote it). The messages are those of the last read.
    const AutoProfileSettings& Settings() const { return m_settings; }
    const std::vector<std::string>& Problems() const { return m_problems; }
    bool ReloadIfChanged();
    const std::filesystem::path& RulesFile() const { return m_file.Path(); }

    // Stores `settings` (keeping the lines the file could not read) and uses them. False with the
    // reason in `error` when the file cannot be written, or exists but could not be read (writing
    // it would lose what it holds); nothing changes then.
    bool Store(const AutoProfileSettings& settings, std::string* error);
    // Turns automatic switching on or off and stores it; turning it on decides for the window that
    // has the focus now.
    bool SetEnabled(bool on, std::string* error);
    bool Enabled() const { return m_settings.enabled; }

    // Whether the focused window can be known at all (an X server with a window manager that
    // names the active window). While it cannot, nothing is switched and `reason` says why.
    void SetWatcherAvailable(bool available, const std::string& reason);
    bool WatcherAvailable() const { return m_watcherAvailable; }
    const std::string& WatcherProblem() const { return m_watcherProblem; }

    // The focus moved to `window` (id 0: to a window that cannot be known). Starts the settle
    // timer through the UI sink.
    void OnActiveWindow(const ActiveWindow& window);
    // The settle timer (kTimerAutoProfile) fired.
    void OnTimer();

    // The windows that had the focus lately, newest first, one entry per window; not the
    // program's own.
    const std::deque<ActiveWindow>& RecentWindows() const { return m_recent; }
    // The current tray note ("Profile 2 (class steam_app_570)"), empty before any decision.
    const std::string& TrayNote() const { return m_note; }
    // How many switches the keyboard was asked for.
    int SwitchCount() const { return m_switches; }

private:
    void Load();
    void Decide();
    void SetNote(std::string note);
    std::string ProfileNote(int profile, std::optional<std::size_t> rule);

    AutoProfileFile m_file;
    WaitClock& m_clock;
    UiSink& m_ui;
    Language& m_language;
    const int m_ownPid;
    AutoProfileHooks m_hooks;

    AutoProfileSettings m_settings;
    std::vector<std::string> m_problems;
    std::optional<std::filesystem::file_time_type> m_loadedChange;
    bool m_unreadable = false; // the file exists but could not be read: it is never written
    bool m_watcherAvailable = true;
    std::string m_watcherProblem;

    ActiveWindow m_window;
    bool m_pending = false;
    std::chrono::steady_clock::time_point m_changedAt{};
    bool m_waitNoticeShown = false;
    std::deque<ActiveWindow> m_recent;
    std::string m_note;
    int m_switches = 0;
};

} // namespace brasslane
