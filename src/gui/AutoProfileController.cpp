#include "gui/AutoProfileController.h"

#include "gui/AutoProfileDialog.h"
#include "gui/CTrayIcon.h"
#include "gui/MessageBox.h"

#include "core/app/AppCore.h"
#include "core/app/AutoProfileSwitcher.h"
#include "core/app/MainWindowModel.h"
#include "core/base/Messages.h"
#include "core/base/WaitClock.h"

#ifdef BRASSLANE_HAVE_X11
#include "platform/linux/X11ActiveWindowWatcher.h"
#endif

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

namespace brasslane::gui {

AutoProfileController::AutoProfileController(AppCore& core, MainWindowModel& model, MainWindowView& view, UiSink& sink,
                                             QWidget* dialogParent, bool watch, QObject* parent)
    : QObject(parent), m_core(core), m_sink(sink), m_dialogParent(dialogParent),
      m_clock(std::make_unique<SteadyWaitClock>()) {
    m_switcher = std::make_unique<AutoProfileSwitcher>(
        AutoProfileFile::BesideSettings(core.Settings().Path()), *m_clock, sink, core.Text(),
        static_cast<int>(QCoreApplication::applicationPid()),
        MainWindowAutoProfileHooks(model, view, core, [this](const std::string&) { RefreshToolTip(); }));
#ifdef BRASSLANE_HAVE_X11
    if (watch) {
        m_watcher = std::make_unique<platform::X11ActiveWindowWatcher>(sink);
        m_watcher->Start();
    } else {
        m_switcher->SetWatcherAvailable(false, "the active-window watcher is not started");
    }
#else
    (void)watch;
    m_switcher->SetWatcherAvailable(false, "this build has no X11 support");
#endif
}

AutoProfileController::~AutoProfileController() {
    Stop();
}

void AutoProfileController::Stop() {
#ifdef BRASSLANE_HAVE_X11
    if (m_watcher) {
        m_watcher->Stop();
    }
#endif
}

QString AutoProfileController::Text(const char* key) const {
    return QString::fromStdString(m_core.Text().Text(key));
}

void AutoProfileController::AttachTray(CTrayIcon& tray) {
    m_tray = &tray;
    QMenu* menu = tray.Menu();
    const QList<QAction*> actions = menu->actions();
    QAction* before = actions.isEmpty() ? nullptr : actions.back();
    menu->insertSeparator(before);
    m_toggle = new QAction(menu);
    m_toggle->setCheckable(true);
    menu->insertAction(before, m_toggle);
    m_rules = new QAction(menu);
    menu->insertAction(before, m_rules);
    menu->insertSeparator(before);
    connect(m_toggle, &QAction::triggered, this, &AutoProfileController::Toggle);
    connect(m_rules, &QAction::triggered, this, [this] { OpenDialog(); });
    connect(menu, &QMenu::aboutToShow, this, &AutoProfileController::UpdateMenu);
    UpdateMenu();
    RefreshToolTip();
}

void AutoProfileController::UpdateMenu() {
    if (m_toggle == nullptr) {
        return;
    }
    // The rules file may have been changed by brasslanectl since the last look.
    m_switcher->ReloadIfChanged();
    m_toggle->setText(Text("AUTO_PROFILE_MENU"));
    m_toggle->setChecked(m_switcher->Enabled());
    m_rules->setText(Text("AUTO_PROFILE_RULES_MENU"));
}

void AutoProfileController::RefreshToolTip() {
    if (m_tray == nullptr) {
        return;
    }
    QString tip = Text("KEYBOARD_TRAY_DESC");
    QString note = QString::fromStdString(m_switcher->TrayNote());
    if (m_switcher->Enabled() && !m_switcher->WatcherAvailable()) {
        note = Text("AUTO_PROFILE_UNKNOWABLE");
    }
    if (!note.isEmpty()) {
        tip += QLatin1Char('\n') + note;
    }
    m_tray->SetToolTip(tip);
}

void AutoProfileController::Toggle(bool on) {
    std::string error;
    if (!m_switcher->SetEnabled(on, &error)) {
        MessageBox::Show(m_dialogParent, QString::fromStdString(error), QString(), MessageButtons::kOk);
    }
    UpdateMenu();
    RefreshToolTip();
    if (m_dialog != nullptr) {
        m_dialog->Refresh();
    }
}

std::intptr_t AutoProfileController::HandleMessage(std::uintptr_t wParam, std::intptr_t lParam) {
    if (wParam != kCodeWind) {
        return 0;
    }
#ifdef BRASSLANE_HAVE_X11
    if (m_watcher) {
        if (lParam == kWindowUnknowable) {
            m_switcher->SetWatcherAvailable(false, m_watcher->Problem());
        } else {
            m_switcher->OnActiveWindow(m_watcher->Latest());
        }
    }
#else
    (void)lParam;
#endif
    RefreshToolTip();
    if (m_dialog != nullptr && m_dialog->isVisible()) {
        m_dialog->RefreshWindows();
    }
    return 1;
}

void AutoProfileController::OnTimer() {
    m_switcher->OnTimer();
}

bool AutoProfileController::OpenDialog() {
    if (m_dialog == nullptr) {
        m_dialog = new AutoProfileDialog(m_core, *m_switcher, m_dialogParent);
        connect(m_dialog, &AutoProfileDialog::Stored, this, [this] {
            UpdateMenu();
            RefreshToolTip();
        });
    }
    return m_dialog->Open();
}

} // namespace brasslane::gui
