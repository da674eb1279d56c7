#pragma once

// The main window's logic without a window: what each control, private message and timer of
// the main window does to the working image, the keyboard and the settings. The Qt window
// implements MainWindowView and forwards every click, message and timer to this model; the
// model tells the view what to redraw. Used from the user-interface thread only.

#include "core/app/BackgroundJob.h"
#include "core/app/MainWindowButtons.h"
#include "core/app/ProfileMenu.h"
#include "core/app/ProfileSwitch.h"
#include "core/device/DeviceLink.h"
#include "core/lighting/PreviewEngine.h"
#include "core/lighting/Rgb.h"
#include "core/profiles/WriteSequence.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brasslane {

class SessionCore;

// What one button shows, read from the active profile's area of the working image.
struct KeyButtonState {
    bool exists = false;        // false for an id that names no button of the picture
    bool assigned = false;      // the entry's type is not 0: the button shows its selected face
    bool selectionFlag = false; // the entry's selection flag
    // Key-selection mode is on and the button has an entry: it shows the selection face of
    // selectionFlag instead of its own.
    bool selectionFace = false;
    // False for the keys the flip setting takes away (F1..F4 while it is 1).
    bool enabled = true;
    std::string caption; // tooltip: the key's name and what it is assigned to
    // The key's colour of the current profile when the lighting switch is on and the keyboard's
    // per-key effect is selected; empty otherwise (and always for G buttons).
    std::optional<Rgb> colour;
};

// One key button's colour in a frame of the lighting preview; nullopt clears it.
struct KeyButtonColour {
    KeyButtonId button;
    std::optional<Rgb> colour;
};

class MainWindowView {
public:
    virtual ~MainWindowView() = default;

    // Redraw every key and G button: faces and tooltips from MainWindowModel::ButtonState.
    virtual void RefreshKeyButtons() = 0;
    // Mirrors the settings-modified flag.
    virtual void SetApplyEnabled(bool enabled) = 0;
    // Marks profile button `selected` (0..2) chosen and the others not; -1 marks none.
    virtual void SetProfileButtons(int selected) = 0;
    virtual void SetSwitchCaption(const std::string& caption) = 0;
    // Shows the flip setting on the flip buttons. Which key buttons it disables comes with
    // the key buttons' state (KeyButtonState::enabled).
    virtual void SetFlip(int flip) = 0;
    // Paints the listed key buttons with their preview colours; buttons not listed keep theirs.
    virtual void PaintKeyColours(std::span<const KeyButtonColour> colours) = 0;
    // Redraw the lighting panel from the lighting model and the lighting switch.
    virtual void RefreshLightingPanel() = 0;
    // The profile menu was rebuilt (MainWindowModel::Menu()); update the "FUNC_PROFILES" button.
    virtual void RefreshProfileMenu() = 0;
    // Ask the about box, the profile manager and the key assignment dialog to close. False when
    // one of them refuses.
    virtual bool CloseSubDialogs() = 0;
    // Is the key assignment (composite) dialog open? A profile switch is refused while it is.
    virtual bool IsKeyDialogOpen() const = 0;
    // Open the key assignment dialog modally for the entry `record` of the working image.
    virtual void OpenKeyDialog(KeyButtonId button, std::size_t record, bool isG9) = 0;
    // Show the window (with a task-bar button) and bring it to the front; hide it.
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
    // Start or stop the busy indicator.
    virtual void ShowBusy(bool show) = 0;
    // The last step of the close sequence: remove the tray icon, give up the single instance and
    // end the program's event loop.
    virtual void EndApplication() = 0;
    // A long job (apply, import, backup) started or ended on the worker thread: while it runs the
    // controls that would change the working image or talk to the keyboard are disabled.
    virtual void SetJobRunning(bool running) { static_cast<void>(running); }
};

// The words a user reads when a backup could not be written to `path`; `error` is the file
// layer's own reason, kept at the end for whoever needs the detail.
std::string BackupFailureReason(const std::filesystem::path& path, const std::string& error);

class MainWindowModel {
public:
    // `core` and `view` must outlive the model. Installs the profile store's sync hooks.
    MainWindowModel(SessionCore& core, MainWindowView& view);
    ~MainWindowModel();
    MainWindowModel(const MainWindowModel&) = delete;
    MainWindowModel& operator=(const MainWindowModel&) = delete;

    // ---- what the view shows
    KeyButtonState ButtonState(KeyButtonId button);
    // The record of the button's entry in the working image (active profile's area; profile 0's
    // when the active profile is unknown); nullopt for Fn and for ids that name no button.
    std::optional<std::size_t> RecordOf(KeyButtonId button);
    bool IsModified() const { return m_modified; }
    // Sets the settings-modified flag (every edit of the working image does) and the Apply button.
    void SetModified(bool modified);
    bool KeySelectionMode() const;
    bool LightingSwitchOn() const;
    const ProfileMenu& Menu() const { return m_menu; }
    ProfileManagerFlags& ManagerFlags() { return m_managerFlags; }
    // Section "PROFILES" entry "Flip" as stored: 0 or 1 (anything else reads as 0).
    int FlipSetting() const;
    // Reads the flip setting and shows it: the flip buttons and the key buttons it disables.
    void ShowFlip();
    // True once MSG_INIT has been handled.
    bool StartupFinished() const { return m_startupFinished; }

    // ---- controls
    // While a job runs on the worker (JobRunning) the controls that edit the working image or
    // talk to the keyboard do nothing and return false: the view has disabled them anyway.
    // A click on a key, G or Fn button: lighting mode paints the key (effect 20 only); else opens
    // the key assignment dialog through the view (the buttons are refreshed when it returns),
    // or in key-selection mode flips the selection flag of the button's own
    // entry. Edits need the active profile: it is read from the keyboard when not known, and
    // the click does nothing when the keyboard does not tell it.
    void KeyClicked(KeyButtonId button);
    // The key assignment dialog wrote an entry (OK or Apply): the edit is pending for Apply and
    // the key buttons show it.
    void KeyDialogApplied();
    // "FUNC_MACRO": the same as a click on G9.
    void MacroButton() { KeyClicked(KeyButtonId::G(9)); }
    // "FUNC_SWITCH".
    void ToggleKeySelectionMode();
    // "FUNC_PROFILE1".."FUNC_PROFILE3", p = 0..2: shows profile p's lighting, leaves lighting
    // mode, and switches the keyboard to p on the worker (StartSwitch) unless it is already
    // active; when the switch has ended the profile buttons mark p. True when p is already active
    // or the switch started; false for other p, while a job runs and when the switch was refused.
    bool ProfileButton(int profile);
    // "FUNC_DEFAULT": asks first. Clears the key and G buttons' entries (G bank A, the bank the
    // window shows; bank B keeps its entries; G slots keep their G codes) of the active
    // profile, resets the lighting, applies on the worker (StartApply). False when answered No or
    // when the active profile cannot be known (nothing changed).
    bool RestoreDefaults();
    // The apply flow. True when nothing was pending or both the cache file and the keyboard were
    // written (the modified flag is then clear); false when something failed (the flag stays).
    bool Apply();
    // What the last write into the keyboard (by Apply or Import) did: which part failed, if any.
    const WriteResult& LastWrite() const { return m_lastWrite; }
    // "CONTROL_OK": apply on the worker, then hide the window. When the apply failed the window
    // stays open with the message and Apply enabled, so the user sees that nothing was written.
    void Ok();
    // "CONTROL_CANCEL" and the window's own close request: hide; nothing is undone.
    void Cancel();
    // The lighting switch of the lighting panel. Switching on first selects the keyboard's
    // current profile again through the profile switch on the worker (which may ask about pending
    // edits); the panel shows lighting mode when it has ended. False when that was refused (the
    // switch then stays on, as stored). Switching off
    // restores the key-assignment faces and hides the lighting controls.
    bool SetLightingSwitch(bool on);

    // ---- menus
    // Import a profile file chosen by the user: loaded, saved to the cache file and written to
    // the keyboard (all three key maps). False, with the working image unchanged, when the file
    // is not a valid profile file: the file check's own message (for a readable but damaged
    // file) and then "MAIN_PROMPT_INPORT" are shown. When the cache file or the keyboard could
    // not be written the import stays pending (modified flag set) for Apply.
    bool Import(const std::filesystem::path& path);
    // Export the working image to `path`. False (with `error` set) when the file could not be
    // written; nothing is sent to the keyboard.
    bool Export(const std::filesystem::path& path, std::string* error = nullptr);
    // ---- the same jobs on the worker thread (BackgroundJob), for the window's controls. Each
    // returns false, doing nothing, while another job runs. The view is told SetJobRunning(true)
    // and shows the busy indicator; when the worker posts MSG_JOB_DONE, OnMessage takes the
    // result on this thread: a failure is said in a message naming what failed, the modified flag
    // and Apply are set as the synchronous calls set them, and `done` (if any) gets the outcome.
    // Key refreshes, a keyboard arrival and the keyboard's own notifications that come in while
    // the job runs are handled after it.
    bool StartApply(std::function<void(bool ok)> done = {});
    bool StartImport(const std::filesystem::path& path);
    bool StartExport(const std::filesystem::path& path);
    bool JobRunning() const { return m_job.Running(); }
    // How far the keyboard write of the running job has come (exchanges done of total; total 0
    // while nothing is being written).
    LinkProgress Progress() const;

    // A profile menu command: 9001..9003 switch to profile 0..2; 9000 (the default entry)
    // switches nothing. False for other commands and when the switch was refused.
    bool MenuCommand(std::uint32_t command);
    // The profile switch on the worker: the question about pending edits is asked here (Yes,
    // No), then the worker writes the pending edits into the profile active before the switch
    // (Yes) and makes `profile` active (3 and above are taken as 0). When MSG_JOB_DONE has come,
    // the key buttons and the menu are refreshed, a failed write of the edits is said as an
    // apply's is, and `done` gets whether the keyboard took the profile (false, with nothing
    // switched, when the edits could not be written). Returns false, doing nothing, while a job
    // runs or when refused (key dialog open, negative profile).
    bool StartSwitch(int profile, std::function<void(bool taken)> done = {});
    // The same switch run to its end on this thread (ProfileSwitch::Switch). False when refused,
    // when pending edits could not be applied or when the keyboard did not take the profile.
    bool SwitchProfile(int profile);
    // Rebuilds the profile menu from the active profile and tells the view.
    void RebuildProfileMenu();
    // The active profile was changed elsewhere (the profile manager): marks its profile button,
    // shows its lighting and rebuilds the profile menu.
    void ShowActiveProfile();

    // "FLIP_1", "FLIP_2": stores 1 - setting and shows it. Returns the new setting.
    int ToggleFlip();

    // One frame of the lighting preview of the selected effect on the key buttons, painted
    // through the view. Nothing while the lighting switch is off. Every effect selection since
    // the last frame starts the preview afresh. The view calls it from its preview timer while
    // the window is shown.
    void PreviewTick();

    // The system's clock was set: the apply flow runs (on the worker when an edit is pending), as
    // it does for the system's time-change notification. Nothing while a job runs.
    void ClockChanged() { StartApply(); }

    // ---- messages and timers
    // A private message; wParam must carry its code (MSG_DEVICE_LOST: 0), else it is ignored.
    // Returns 1 when handled, 0 when the message or its code is not one of ours.
    //   MSG_OPEN: Open(). MSG_KILL: CloseSequence().
    //   MSG_INIT: clears the modified flag, shows the flip setting and the switch caption,
    //     builds the profile menu and hides the window; the view creates its tray icon itself.
    //   MSG_PROFILE_SYNC: reads the keyboard into the working image, marks the active profile,
    //     reads the lighting switch and loads the lighting (with the user modes).
    //   MSG_DEVICE_LOST: asks the view to close its sub-dialogs.
    //   MSG_LANGUAGE: refreshes the switch caption, menu and tooltips, and loads the lighting
    //     again so that the panel is rebuilt with the new texts (after a running job); the view
    //     re-applies its own texts.
    std::intptr_t OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // The tray menu's commands: 32771 open, 32774 exit. 32773 (about) is the view's. True when
    // handled.
    bool TrayCommand(std::uint32_t command);
    // Timers 1051 (lighting changed on the keyboard) and 1053 (keyboard reset its settings:
    // every profile's key buttons cleared, the keyboard's own profile taken as the active one
    // with its lighting, the user modes restored; the keyboard is read and written on the worker,
    // and the window shows the outcome when the job has ended).
    // Other ids are the view's (busy frames, preview) and are ignored here; false for them.
    bool OnTimer(int id);

    // MSG_OPEN's handling: show the window when a keyboard is connected, else the no-device
    // prompt.
    void Open();
    // The close sequence. False when a sub-dialog refused to close (the program keeps running,
    // hidden); else the images are freed and the view's EndApplication has run.
    // While a job runs the close sequence waits for it: it runs when the job has ended.
    bool CloseSequence();

private:
    enum class JobKind { kNone, kApply, kImport, kExport, kSwitch, kSettingsReset };
    bool RunJob(JobKind kind, std::function<void()> work, std::function<void(bool ok)> done);
    void OnJobDone();
    void ReportWriteFailure();
    void SwitchOffSteps();
    void OnProfileSync();
    void OnSettingsReset();
    void SettingsResetDone();
    void ReloadLighting();
    bool PerKeyShown() const;

    SessionCore& m_core;
    MainWindowView& m_view;
    ProfileManagerFlags m_managerFlags;
    ProfileMenu m_menu;
    ProfileSwitch m_switch;
    bool m_modified = false;
    bool m_startupFinished = false;
    WriteResult m_lastWrite;
    int m_flip = 0; // the flip setting as last shown
    PreviewEngine m_preview;
    std::uint64_t m_previewSelections = 0; // the lighting's effect selections the preview has seen

    // The running job. The worker writes the m_job* results; this thread reads them after
    // BackgroundJob::Finish has joined it.
    BackgroundJob m_job;
    JobKind m_jobKind = JobKind::kNone;
    std::function<void(bool ok)> m_jobDone;
    std::filesystem::path m_jobPath;
    bool m_jobValid = false; // import: the file was a valid profile file and was loaded
    bool m_jobSaved = false; // apply, import: cache file written; export: the backup written
    std::string m_jobError;
    WriteResult m_jobWrite;
    SwitchPlan m_jobPlan;    // switch: what was decided before the job
    bool m_jobTaken = false; // switch: the keyboard took the profile
    int m_jobProfile = -1;   // settings reset: the profile the keyboard is on after it
    // What came in while the job ran and waits for its end.
    bool m_syncPending = false;
    bool m_closePending = false;
    bool m_languagePending = false;
    std::vector<int> m_timersPending;
};

} // namespace brasslane
