#pragma once

// The main window's logic without a window: what each control, private message and timer of
// the main window does to the working image, the keyboard and the settings. The Qt window
// implements MainWindowView and forwards every click, message and timer to this model; the
// model tells the view what to redraw. Used from the user-interface thread only.

#include "core/app/MainWindowButtons.h"
#include "core/app/ProfileMenu.h"
#include "core/app/ProfileSwitch.h"
#include "core/lighting/Rgb.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace brasslane {

class AppCore;

// What one button shows, read from the active profile's area of the working image.
struct KeyButtonState {
    bool exists = false;        // false for an id that names no button of the picture
    bool assigned = false;      // the entry's type is not 0: the button shows its selected face
    bool selectionFlag = false; // the entry's selection flag (shown only in key-selection mode)
    std::string caption;        // tooltip: the key's name and what it is assigned to
    // The key's colour of the current profile when the lighting switch is on and the keyboard's
    // per-key effect is selected; empty otherwise (and always for G buttons).
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
    // Shows the flip setting (0: F1..F4 enabled, D1..D6 disabled; 1: the reverse).
    virtual void SetFlip(int flip) = 0;
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
};

class MainWindowModel {
public:
    // `core` and `view` must outlive the model. Installs the profile store's sync hooks.
    MainWindowModel(AppCore& core, MainWindowView& view);
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
    // Section "PROFILES" entry "Flip" as the window shows it: 0 or 1 (anything else shows as 0).
    int FlipSetting() const;
    // True once MSG_INIT has been handled.
    bool StartupFinished() const { return m_startupFinished; }

    // ---- controls
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
    // mode, and switches the keyboard to p unless it is already active. True when p is the
    // active profile afterwards; false for other p and when the switch was refused or failed.
    bool ProfileButton(int profile);
    // "FUNC_DEFAULT": asks first. Clears the key and G buttons' entries (G bank A, the bank the
    // window shows; bank B keeps its entries; G slots keep their G codes) of the active
    // profile, resets the lighting, applies. False when answered No or when the active profile
    // cannot be known (nothing changed).
    bool RestoreDefaults();
    // The apply flow. True when nothing was pending or both the cache file and the keyboard were
    // written (the modified flag is then clear); false when something failed (the flag stays).
    bool Apply();
    // "CONTROL_OK": apply, then hide the window (also when the apply failed: the edit stays
    // pending and Apply enabled).
    void Ok();
    // "CONTROL_CANCEL" and the window's own close request: hide; nothing is undone.
    void Cancel();
    // The lighting switch of the lighting panel. Switching on first selects the keyboard's
    // current profile again through the profile switch (which may ask about pending edits);
    // false when that was refused (the switch then stays on, as stored). Switching off
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
    // A profile menu command: 9001..9003 switch to profile 0..2; 9000 (the default entry)
    // switches nothing. False for other commands and when the switch was refused.
    bool MenuCommand(std::uint32_t command);
    // The profile switch (ProfileSwitch::Switch): profiles 3 and above are taken as 0. False when
    // refused (key dialog open, negative profile, pending edits that could not be applied) or
    // when the keyboard did not take the profile.
    bool SwitchProfile(int profile);
    // Rebuilds the profile menu from the active profile and tells the view.
    void RebuildProfileMenu();

    // "FLIP_1", "FLIP_2": stores 1 - setting and shows it. Returns the new setting.
    int ToggleFlip();

    // ---- messages and timers
    // A private message; wParam must carry its code (MSG_DEVICE_LOST: 0), else it is ignored.
    // Returns 1 when handled, 0 when the message or its code is not one of ours.
    //   MSG_OPEN: Open(). MSG_KILL: CloseSequence().
    //   MSG_INIT: clears the modified flag, shows the flip setting and the switch caption,
    //     builds the profile menu and hides the window; the view creates its tray icon itself.
    //   MSG_PROFILE_SYNC: reads the keyboard into the working image, marks the active profile,
    //     reads the lighting switch and loads the lighting (with the user modes).
    //   MSG_DEVICE_LOST: asks the view to close its sub-dialogs.
    //   MSG_LANGUAGE: refreshes the switch caption, menu and tooltips; the view re-applies its
    //     own texts.
    std::intptr_t OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // The tray menu's commands: 32771 open, 32774 exit. 32773 (about) is the view's. True when
    // handled.
    bool TrayCommand(std::uint32_t command);
    // Timers 1051 (lighting changed on the keyboard) and 1053 (keyboard reset its settings).
    // Other ids are the view's (busy frames, preview) and are ignored here; false for them.
    bool OnTimer(int id);

    // MSG_OPEN's handling: show the window when a keyboard is connected, else the no-device
    // prompt.
    void Open();
    // The close sequence. False when a sub-dialog refused to close (the program keeps running,
    // hidden); else the images are freed and the view's EndApplication has run.
    bool CloseSequence();

private:
    void SwitchOffSteps();
    void OnProfileSync();
    void OnSettingsReset();
    bool PerKeyShown() const;

    AppCore& m_core;
    MainWindowView& m_view;
    ProfileManagerFlags m_managerFlags;
    ProfileMenu m_menu;
    ProfileSwitch m_switch;
    bool m_modified = false;
    bool m_startupFinished = false;
};

} // namespace brasslane
