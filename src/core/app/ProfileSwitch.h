#pragma once

// Switching the keyboard's active profile from the main window: refused while the key
// assignment dialog is open, asks what to do with pending edits, then makes the profile
// active, refreshes the key buttons and rebuilds the profile menu. The working image already
// holds all three profiles' areas, so nothing is read back from the keyboard.

#include <functional>

namespace brasslane {

class Language;
class ProfileStore;
class UiSink;
struct AppState;
struct WorkingImage;

// What the switch needs to know of the profile manager dialog.
struct ProfileManagerFlags {
    int openCount = 0;             // raised while the dialog is shown
    bool unappliedChanges = false; // mirrored by the dialog's Apply button
    int rowCount = 0;              // rows in its list (0 while it is not filled)
    int checkedRow = -1;           // the row whose check box is set, -1 for none
};

// The main window's part in a switch. Every member must be set.
struct ProfileSwitchHooks {
    std::function<bool()> keyDialogOpen;
    std::function<bool()> isModified;
    std::function<void()> clearModified;
    // The apply flow of the main window: pending edits go into the profile active before the
    // switch. False when they could not be written.
    std::function<bool()> apply;
    // Redraw the key buttons from `activeProfile`'s area. Called with the working lock held.
    std::function<void(int activeProfile)> refreshKeyButtons;
    std::function<void()> rebuildMenu;
};

// A switch decided on the user-interface thread (Ask) and carried out elsewhere (Carry, then
// Finish back on the user-interface thread).
struct SwitchPlan {
    enum class Edits { kNone, kApply, kDiscard };
    bool go = false;    // false: refused, nothing to carry out
    int profile = 0;    // 0..2
    bool asked = false; // the question about pending edits was answered
    Edits edits = Edits::kNone;
};

class ProfileSwitch {
public:
    // Every reference must outlive the switch.
    ProfileSwitch(ProfileStore& store, WorkingImage& working, UiSink& ui, Language& language,
                  ProfileManagerFlags& manager, ProfileSwitchHooks hooks);

    // Switches to `profile` (3 and above are taken as 0; a negative one is refused). False, with
    // nothing changed, when the key dialog is open (the text "PROFILE_SEELCT_PROMPT2" is shown)
    // or when the user chose to apply pending edits and that failed (they would otherwise be
    // left behind in the previous profile's area). Also false when the keyboard did not take
    // the profile (the active profile is then unknown, as the store leaves it); the key buttons
    // and the menu are refreshed in that case as after a switch.
    bool Switch(int profile);

    // Switch in three steps, for a switch run on a worker thread:
    // Ask (user-interface thread) refuses or asks the question about pending edits; a No clears
    // the modified flag and drops the edits there. The caller then writes the pending edits when
    // the plan says kApply (and stops when that failed), and Carry, which may run on any thread,
    // makes the profile active: true when the keyboard took it. Finish
    // (user-interface thread) refreshes the key buttons and the menu and returns `taken`.
    SwitchPlan Ask(int profile);
    bool Carry(const SwitchPlan& plan);
    bool Finish(const SwitchPlan& plan, bool taken);

    // True while the question about pending edits is showing: a second switch started from the
    // message loop under that box does not ask again.
    bool Asking() const { return m_asking; }

private:
    ProfileStore& m_store;
    WorkingImage& m_working;
    UiSink& m_ui;
    Language& m_language;
    ProfileManagerFlags& m_manager;
    ProfileSwitchHooks m_hooks;
    bool m_asking = false;
};

} // namespace brasslane
