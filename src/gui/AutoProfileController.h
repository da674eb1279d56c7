#pragma once

// Automatic profiles in the desktop app: the active-window watcher's thread, the switcher that
// acts on its reports, the tray menu's "Automatic profiles" switch and rules command, and the
// tray tooltip's line naming the profile and the rule that chose it. Owned by the main window,
// which hands it the watcher's messages and the settle timer.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QMenu;

namespace brasslane {
class AppCore;
class AutoProfileSwitcher;
class MainWindowModel;
class MainWindowView;
class SteadyWaitClock;
class UiSink;
namespace platform {
class X11ActiveWindowWatcher;
}
} // namespace brasslane

namespace brasslane::gui {

class AutoProfileDialog;
class CTrayIcon;

class AutoProfileController : public QObject {
    Q_OBJECT

public:
    // Every reference must outlive the controller. `watch` false leaves the watcher stopped (the
    // feature then says that the focused window cannot be known).
    AutoProfileController(AppCore& core, MainWindowModel& model, MainWindowView& view, UiSink& sink,
                          QWidget* dialogParent, bool watch, QObject* parent = nullptr);
    ~AutoProfileController() override;

    // Adds the switch and the rules command to the tray menu (before its last command, exit) and
    // keeps the tray's tooltip up to date. `tray` must outlive the controller.
    void AttachTray(CTrayIcon& tray);
    // Writes the tooltip again: the language's "KEYBOARD_TRAY_DESC", and on a second line the
    // switcher's note when there is one.
    void RefreshToolTip();

    // MSG_ACTIVE_WINDOW from the watcher's thread.
    std::intptr_t HandleMessage(std::uintptr_t wParam, std::intptr_t lParam);
    // The settle timer (kTimerAutoProfile).
    void OnTimer();

    AutoProfileSwitcher& Switcher() { return *m_switcher; }
    QAction* ToggleAction() const { return m_toggle; }
    QAction* RulesAction() const { return m_rules; }
    // The rules dialog; created the first time it opens. False when its skin is missing.
    bool OpenDialog();
    AutoProfileDialog* Dialog() const { return m_dialog; }
    // Stops the watcher's thread (the close sequence); safe more than once.
    void Stop();

private:
    void Toggle(bool on);
    void UpdateMenu();
    QString Text(const char* key) const;

    AppCore& m_core;
    UiSink& m_sink;
    QWidget* m_dialogParent;
    std::unique_ptr<SteadyWaitClock> m_clock;
    std::unique_ptr<AutoProfileSwitcher> m_switcher;
    std::unique_ptr<platform::X11ActiveWindowWatcher> m_watcher;
    CTrayIcon* m_tray = nullptr;
    QAction* m_toggle = nullptr;
    QAction* m_rules = nullptr;
    AutoProfileDialog* m_dialog = nullptr;
};

} // namespace brasslane::gui
