#pragma once

// The profile manager's rules without a window: its list of rows (the keyboard's three profiles,
// then profile files the user added), which row is checked, the unapplied-changes flag, what
// Apply writes to the settings and to the keyboard, and the open counter. The Qt dialog shows
// the rows and forwards every click here. Used from the user-interface thread only.
//
// The checked row, the row count, the flag and the open counter live in the main window's
// ProfileManagerFlags, so that its profile switch sees them.
//
// A checked row that stands for one of the keyboard's profiles makes that profile active on
// Apply. A checked row of an added file loads that file, as a restore from file does: the
// working image, the cache file and all three of the keyboard's key maps and its macros take
// the file's contents, and the active profile stays as it is. The keyboard therefore only ever
// receives profile 0, 1 or 2, whichever rows were removed or added.

#include <filesystem>
#include <string>
#include <vector>

namespace brasslane {

class AppCore;
class MainWindowModel;
struct ProfileManagerFlags;

struct ProfileManagerRow {
    std::filesystem::path path; // the row's file, as chosen
    int profile = -1;           // the keyboard profile (0..2) the row stands for; -1 for an added file

    // File name without folder and extension (column "名称").
    std::string Name() const;
    // The folder the file is in (column "路径").
    std::string Folder() const;
};

class ProfileManagerModel {
public:
    static constexpr int kProfileCount = 3;

    // `core` and `main` must outlive the model; the flags are the main window's.
    ProfileManagerModel(AppCore& core, MainWindowModel& main);

    // Opening: raises the open counter, fills rows 0..2 with the profile cache file (the one file
    // that holds all three profiles), checks the active profile's row when it is known and
    // clears the unapplied-changes flag.
    void Open();
    // Closing without applying (Cancel, after OK, the keyboard leaving, the close sequence):
    // lowers the open counter. Changes not applied are dropped with the rows they belong to, so
    // the flag is cleared: a later profile switch does not ask about them.
    void Close();
    bool IsOpen() const;

    const std::vector<ProfileManagerRow>& Rows() const { return m_rows; }
    // The checked row, -1 for none.
    int CheckedRow() const;
    bool HasUnappliedChanges() const;

    // A check box was set or cleared. Setting one clears every other (one row at most). Sets the
    // flag when something changed; false for a row that does not exist.
    bool SetChecked(int row, bool checked);

    // The name a new profile file is first offered under: the language text "PROFILE_NEW" in the
    // per-user folder (which is created first when missing).
    std::filesystem::path NewFileSuggestion();
    // The folder the add-file dialog starts in: the per-user folder, created when missing.
    std::filesystem::path UserFolder();

    // "FUNC_ADD" confirmed: writes a default profile image to `path` and appends its row. When the
    // file cannot be written a message says so and no row is added (false).
    bool AddNewFile(const std::filesystem::path& path);
    // "FUNC_LOAD" confirmed: appends a row for `path`. The file is checked when it is applied.
    void AddExistingFile(const std::filesystem::path& path);
    // "FUNC_DELETE": removes `row` from the list (the file stays). False when there is no such
    // row.
    bool RemoveRow(int row);

    // "CONTROL2_APPLY" and the first step of "CONTROL_OK":
    //  1. writes PROFILE01.. (each row's full path) and PROFILE00 (the row count) to the
    //     settings section "PROFILES";
    //  2. when the main window has edits not yet applied, asks "PROFILE_SELECT_PROMPT": Yes
    //     applies them first (to the profile active until now), No lets them be replaced below;
    //  3. a checked keyboard-profile row makes that profile active and the working image is read
    //     again from the keyboard; a checked file row loads that file as described above; with
    //     no row checked the working image is read again from the keyboard;
    //  4. rebuilds the profile menu, marks the active profile on the main window and clears the
    //     flag.
    // False, with the flag still set, when the pending edits could not be applied, the keyboard
    // did not take the profile, or the file is not a valid profile file (its messages were
    // shown).
    bool Apply();

private:
    void SetUnapplied(bool unapplied);
    void SyncCount();

    AppCore& m_core;
    MainWindowModel& m_main;
    ProfileManagerFlags& m_flags;
    std::vector<ProfileManagerRow> m_rows;
};

} // namespace brasslane
