#include "core/app/AutoProfileSwitcher.h"

#include "core/app/MainWindowModel.h"
#include "core/app/SessionCore.h"
#include "core/base/Messages.h"
#include "core/base/UiSink.h"
#include "core/base/WaitClock.h"
#include "core/resources/Language.h"

#include <algorithm>

namespace brasslane {

AutoProfileHooks MainWindowAutoProfileHooks(MainWindowModel& model, const MainWindowView& view, SessionCore& core,
                                            std::function<void(const std::string& note)> trayNote) {
    AutoProfileHooks hooks;
    // A job on the worker (an apply, a switch, a reset) counts as a dialog: the switch waits for
    // its end and is tried again.
    hooks.dialogOpen = [&model, &view] {
        return view.IsKeyDialogOpen() || model.ManagerFlags().openCount > 0 || model.JobRunning();
    };
    hooks.pendingEdits = [&model] { return model.IsModified() || model.ManagerFlags().unappliedChanges; };
    hooks.activeProfile = [&core] { return core.Profiles().GetActiveProfile(); };
    hooks.switchProfile = [&model](int profile) { return model.ProfileButton(profile); };
    hooks.trayNote = std::move(trayNote);
    return hooks;
}

AutoProfileSwitcher::AutoProfileSwitcher(std::filesystem::path rulesFile, WaitClock& clock, UiSink& ui,
                                         Language& language, int ownPid, AutoProfileHooks hooks)
    : m_file(std::move(rulesFile)), m_clock(clock), m_ui(ui), m_language(language), m_ownPid(ownPid),
      m_hooks(std::move(hooks)) {
    Load();
}

void AutoProfileSwitcher::Load() {
    std::vector<std::string> problems;
    std::string error;
    m_loadedChange = m_file.LastChange();
    AutoProfileSettings settings;
    if (!m_file.Load(settings, &problems, &error)) {
        // Unreadable: switch nothing rather than act on rules the user did not write, and never
        // write the file over, which would lose them.
        m_settings = AutoProfileSettings();
        m_problems = {error};
        m_unreadable = true;
        return;
    }
    m_unreadable = false;
    m_settings = std::move(settings);
    m_problems = std::move(problems);
}

bool AutoProfileSwitcher::ReloadIfChanged() {
    if (m_file.LastChange() == m_loadedChange) {
        return false;
    }
    Load();
    return true;
}

bool AutoProfileSwitcher::Store(const AutoProfileSettings& settings, std::string* error) {
    // The file may have been changed by hand since it was read: its unread lines are the ones
    // to keep, not those of the older copy.
    ReloadIfChanged();
    if (m_unreadable) {
        if (error) {
            *error = m_problems.front() + "; it is left as it is";
        }
        return false;
    }
    AutoProfileSettings stored = settings;
    stored.keptLines = m_settings.keptLines;
    if (!m_file.Save(stored, error)) {
        return false;
    }
    m_settings = std::move(stored);
    m_loadedChange = m_file.LastChange();
    return true;
}

bool AutoProfileSwitcher::SetEnabled(bool on, std::string* error) {
    ReloadIfChanged();
    AutoProfileSettings settings = m_settings;
    settings.enabled = on;
    if (!Store(settings, error)) {
        return false;
    }
    if (!on) {
        m_pending = false;
        SetNote(std::string());
    } else if (m_window.id != 0) {
        m_pending = true;
        Decide();
    }
    return true;
}

void AutoProfileSwitcher::SetWatcherAvailable(bool available, const std::string& reason) {
    m_watcherAvailable = available;
    m_watcherProblem = available ? std::string() : reason;
    if (!available) {
        m_pending = false;
        m_window = ActiveWindow();
    }
}

void AutoProfileSwitcher::OnActiveWindow(const ActiveWindow& window) {
    if (!m_watcherAvailable) {
        return;
    }
    if (window.pid != 0 && window.pid == m_ownPid) {
        // The user is working in this program: its own dialogs decide the profile.
        return;
    }
    if (window.id != 0) {
        std::erase_if(m_recent, [&](const ActiveWindow& seen) { return seen.id == window.id; });
        m_recent.push_front(window);
        if (m_recent.size() > kRecentCount) {
            m_recent.pop_back();
        }
    }
    if (window == m_window && !m_pending) {
        return;
    }
    m_window = window;
    m_changedAt = m_clock.Now();
    m_pending = window.id != 0;
    if (m_pending) {
        m_ui.SetTimer(kTimerAutoProfile, static_cast<int>(kSettle.count()));
    }
}

void AutoProfileSwitcher::OnTimer() {
    if (!m_pending) {
        return;
    }
    const auto settled = m_changedAt + kSettle;
    const auto now = m_clock.Now();
    if (now < settled) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(settled - now);
        m_ui.SetTimer(kTimerAutoProfile, static_cast<int>(std::max<long long>(1, left.count())));
        return;
    }
    Decide();
}

void AutoProfileSwitcher::Decide() {
    ReloadIfChanged();
    if (!m_settings.enabled || !m_watcherAvailable || m_window.id == 0) {
        m_pending = false;
        return;
    }
    const std::optional<std::size_t> rule = m_settings.FirstMatch(m_window);
    const std::optional<int> target =
        rule ? std::optional<int>(m_settings.rules[*rule].profile) : m_settings.defaultProfile;
    if (!target) {
        m_pending = false;
        SetNote(std::string());
        return;
    }
    if (m_hooks.dialogOpen()) {
        m_ui.SetTimer(kTimerAutoProfile, static_cast<int>(kRetry.count()));
        return;
    }
    if (m_hooks.pendingEdits()) {
        if (!m_waitNoticeShown) {
            m_waitNoticeShown = true;
            SetNote(m_language.Text("AUTO_PROFILE_WAITS_APPLY"));
        }
        m_ui.SetTimer(kTimerAutoProfile, static_cast<int>(kRetry.count()));
        return;
    }
    m_waitNoticeShown = false;
    m_pending = false;
    const int profile = *target - 1;
    const int active = m_hooks.activeProfile();
    if (active < 0) {
        // No keyboard, or one that does not say its profile: nothing to switch.
        return;
    }
    if (active != profile) {
        ++m_switches;
        if (!m_hooks.switchProfile(profile)) {
            return;
        }
    }
    SetNote(ProfileNote(*target, rule));
}

std::string AutoProfileSwitcher::ProfileNote(int profile, std::optional<std::size_t> rule) {
    std::string note = m_language.Text("PROFILE_" + std::to_string(profile)) + " \xE2\x80\x94 ";
    if (rule) {
        note += FormatText(m_language.Text("AUTO_PROFILE_BY_RULE"), DescribeRule(m_settings.rules[*rule]));
    } else {
        note += m_language.Text("AUTO_PROFILE_BY_DEFAULT");
    }
    return note;
}

void AutoProfileSwitcher::SetNote(std::string note) {
    if (note == m_note) {
        return;
    }
    m_note = std::move(note);
    if (m_hooks.trayNote) {
        m_hooks.trayNote(m_note);
    }
}

} // namespace brasslane
