#pragma once

// The main window: a skinned picture of the keyboard on which every key is a button, with the
// profile buttons, the window commands and the lighting controls. A thin view over
// MainWindowModel: clicks, private messages and timers go to the model, which tells the window
// what to redraw. Lives hidden behind the tray icon for most of its life.

#include "gui/JobControls.h"
#include "gui/widgets/CBaseDialog.h"
#include "gui/widgets/CPngButton.h"
#include "gui/widgets/SkinPictures.h"

#include "core/app/MainWindowModel.h"

#include <QImage>
#include <QPixmap>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QMenu;
class QTimer;

namespace brasslane {
class AppCore;
class FirmwareUpdateModel;
class ProfileManagerModel;
} // namespace brasslane

namespace brasslane::gui {

class AutoProfileController;
class CAboutDlg;
class ColorStatic;
class CPictureStatic;
class CTrayIcon;
class CVarnel_DlgProfile;
class CVarnel_DlgUpdate;
class LightingPanelView;
class QtUiSink;
class Varnel_DlgComposite;
class WindowLights;

// The changes in the window's life that the application object hears of.
enum class WindowState {
    kHiddenInTray,      // start-up finished; the window waits hidden behind the tray icon
    kShown,             // the window was opened
    kHidden,            // the window was hidden after being shown
    kKeyboardConnected, // the keyboard arrived and was read
    kKeyboardLost,      // the keyboard went away
    kClosing,           // the close sequence reached its end
    kUpdateDialog,      // the firmware update dialog opened
};

// The state's name as the program traces it ("hidden-in-tray", "shown", "hidden",
// "keyboard-connected", "keyboard-lost", "closing", "update-dialog").
std::string_view WindowStateName(WindowState state);

class CVarnelDlg : public CBaseDialog, public MainWindowView {
    Q_OBJECT

public:
    // What the application object does for the window. Each may be empty.
    struct Hooks {
        // Close sequence: give up the single instance (before the tray icon goes).
        std::function<void()> releaseInstance;
        // Close sequence, last step: stop the device threads, save what must be saved and end
        // the event loop.
        std::function<void()> quit;
        // Called on every change of the window's life.
        std::function<void(WindowState state)> stateChanged;
        // Opens the key assignment dialog for `record` of the working image instead of the
        // window's own key dialog.
        std::function<void(KeyButtonId button, std::size_t record, bool isG9)> openKeyDialog;
    };

    // A key assignment dialog request, as last made by the model.
    struct KeyDialogRequest {
        KeyButtonId button;
        std::size_t record = 0;
        bool isG9 = false;
    };

    // `core` and `sink` must outlive the window. Routes the sink's calls to this window.
    CVarnelDlg(AppCore& core, QtUiSink& sink, QWidget* parent = nullptr);
    ~CVarnelDlg() override;

    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // The window's initialisation: skin, device threads, the main window's pictures, every
    // control laid out from the skin, the per-user folder, texts, then MSG_INIT posted to itself
    // and the preview timer started. False when the skin's background or mask or one of the
    // main window's pictures cannot be loaded: the program then ends quietly (exit code 0); the
    // device threads may have been started and must be stopped by the caller.
    bool Initialise();

    MainWindowModel& Model() { return *m_model; }

    // A private message from the sink, a second instance or the window itself.
    std::intptr_t HandleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // Starts (or restarts) timer `id` with the period `milliseconds` (one-shot for 1051 and
    // 1053). A period of 0 or less fires as soon as the event loop runs, as the keyboard's
    // notifications ask for.
    void StartTimer(int id, int milliseconds);
    void StopTimer(int id);
    bool TimerActive(int id) const;
    // The tray picture the device threads asked for; kept until the tray icon exists.
    void SetTrayIconResource(int resourceId);

    // Controls by their layout key ("CONTROL_OK", "KEY_01E", "CONTROL_XGcombox", ...).
    CPngButton* Button(std::string_view key) const;
    QWidget* Control(std::string_view key) const;
    CPngButton* KeyButton(KeyButtonId button) const;
    // The layout keys of every lighting control (kept hidden until the lighting panel acts).
    const std::vector<std::string>& LightingControlKeys() const { return m_lightingKeys; }
    // The lighting panel's view over the lighting controls.
    LightingPanelView& LightingPanel() { return *m_lightingPanel; }

    CTrayIcon* TrayIcon() const { return m_tray.get(); }
    // Automatic profiles; made with the tray icon (MSG_INIT), null before.
    AutoProfileController* AutoProfiles() const { return m_autoProfiles.get(); }
    // The lock lights and the animated arrows.
    WindowLights* Lights() const { return m_lights; }
    CAboutDlg* AboutBox() const { return m_about; }
    // Creates the about box the first time, then shows it.
    void OpenAboutBox();
    // The menu of "CONTROL_MENU": restore, back up and, after a separator, the about box.
    QMenu* BackupMenu() const { return m_backupMenu.get(); }
    void ImportFromFile();
    void ExportToFile();
    // The profile menu (command 1009), rebuilt from the model's menu.
    QMenu* ProfilePopup() const { return m_profileMenu.get(); }
    void ShowProfileMenu(const QPoint& globalPosition);

    // The busy indicator: shown, its frame (0..9), and how often an apply started it.
    bool BusyShown() const;
    int BusyFrame() const { return m_busyFrame; }
    int BusyStarts() const { return m_busyStarts; }

    // The profile manager ("FUNC_PROFILES"); created the first time it opens. False when its
    // pictures are missing (the user was told).
    bool OpenProfileManager();
    CVarnel_DlgProfile* ProfileManager() const { return m_profileDlg; }
    // A command id from another program: 32780 opens the firmware update dialog. False for any
    // other id.
    bool HandleCommand(std::uint32_t command);
    CVarnel_DlgUpdate* UpdateDialog() const { return m_updateDlg; }
    FirmwareUpdateModel& FirmwareUpdate() { return *m_firmwareUpdate; }

    std::optional<KeyDialogRequest> LastKeyDialogRequest() const { return m_lastKeyDialog; }
    // Set while the key assignment dialog is open.
    void SetKeyDialogOpen(bool open) { m_keyDialogOpen = open; }
    // The key assignment dialog, once a key click has made it; null before.
    Varnel_DlgComposite* CompositeDialog() const { return m_composite; }

    // MainWindowView.
    void RefreshKeyButtons() override;
    void SetApplyEnabled(bool enabled) override;
    void SetProfileButtons(int selected) override;
    void SetSwitchCaption(const std::string& caption) override;
    void SetFlip(int flip) override;
    void PaintKeyColours(std::span<const KeyButtonColour> colours) override;
    void RefreshLightingPanel() override;
    void RefreshProfileMenu() override;
    bool CloseSubDialogs() override;
    bool IsKeyDialogOpen() const override { return m_keyDialogOpen; }
    void OpenKeyDialog(KeyButtonId button, std::size_t record, bool isG9) override;
    void ShowWindow() override;
    void HideWindow() override;
    void ShowBusy(bool show) override;
    void EndApplication() override;
    void SetJobRunning(bool running) override;

    // The progress text beside the busy indicator ("37 / 240" while the keyboard is written).
    QString ProgressShown() const;

public slots:
    // Enter and Escape are swallowed before they get here; what remains (the window's own
    // close request) hides the window like Cancel. Nothing accepts the dialog.
    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString Text(std::string_view key) const;
    bool LoadMainPictures();
    void LayOutControls();
    void LayOutKeyButtons();
    void LayOutWindowButtons();
    void LayOutLightingControls();
    CPngButton* AddButton(std::string_view key, FaceRule rule);
    void Remember(std::string_view key, QWidget* control);
    // Enables a button unless its skin placement disabled it for good.
    void SetButtonEnabled(CPngButton* button, bool enabled);
    void LoadBusyFrames(const QSize& size);
    void ApplyLanguage();
    void CreateTrayIcon();
    void OnTimer(int id);
    void OpenHelp();
    void OpenLink();
    void TrayCommand(std::uint32_t command);
    void NotifyState(WindowState state);
    void OpenCompositeDialog(KeyButtonId button, std::size_t record, bool isG9);
    // The preview timer runs only while the lighting switch is on and the window is shown.
    void UpdatePreviewTimer();

    AppCore& m_core;
    QtUiSink& m_sink;
    std::unique_ptr<MainWindowModel> m_model;
    Hooks m_hooks;

    StatePictures m_pictures;
    QImage m_arrowPicture;
    QImage m_colour0; // key-selection face, flag clear
    QImage m_colour1; // key-selection face, flag set
    QString m_link;

    std::map<std::string, QWidget*, std::less<>> m_controls;
    std::map<std::string, CPngButton*, std::less<>> m_buttons;
    std::vector<std::pair<KeyButtonId, CPngButton*>> m_keyButtons;
    std::vector<std::string> m_lightingKeys;
    std::vector<CPngButton*> m_placementDisabled;

    CPictureStatic* m_busy = nullptr;
    ColorStatic* m_progress = nullptr;
    JobControls m_jobControls;
    WindowLights* m_lights = nullptr;
    std::vector<QPixmap> m_busyFrames;
    int m_busyFrame = 0;
    int m_busyStarts = 0;

    std::map<int, QTimer*> m_timers;

    std::unique_ptr<CTrayIcon> m_tray;
    int m_trayIconId;
    CAboutDlg* m_about = nullptr;
    std::unique_ptr<QMenu> m_backupMenu;
    std::unique_ptr<QMenu> m_profileMenu;

    bool m_keyDialogOpen = false;
    Varnel_DlgComposite* m_composite = nullptr;
    CPngButton* m_keyDialogButton = nullptr; // shown pressed while its dialog is open
    std::optional<KeyDialogRequest> m_lastKeyDialog;

    std::unique_ptr<ProfileManagerModel> m_profileManager;
    CVarnel_DlgProfile* m_profileDlg = nullptr;
    std::unique_ptr<FirmwareUpdateModel> m_firmwareUpdate;
    std::unique_ptr<LightingPanelView> m_lightingPanel;
    CVarnel_DlgUpdate* m_updateDlg = nullptr;
    // Last, so that the watcher's thread stops before anything it reports to goes.
    std::unique_ptr<AutoProfileController> m_autoProfiles;
};

} // namespace brasslane::gui
