#include "core/app/ProfileManagerModel.h"

#include "core/app/AppCore.h"
#include "core/app/MainWindowModel.h"
#include "core/profiles/UserFolder.h"

#include <cstdio>

namespace brasslane {

namespace {

// "PROFILE" and the number in two digits at least: PROFILE00 holds the row count, PROFILE01..
// the rows' paths.
std::string EntryName(std::size_t number) {
    char digits[24];
    std::snprintf(digits, sizeof(digits), "%02zu", number);
    return std::string("PROFILE") + digits;
}

} // namespace

std::string ProfileManagerRow::Name() const {
    return path.stem().string();
}

std::string ProfileManagerRow::Folder() const {
    return path.parent_path().string();
}

ProfileManagerModel::ProfileManagerModel(AppCore& core, MainWindowModel& main)
    : m_core(core), m_main(main), m_flags(main.ManagerFlags()) {}

void ProfileManagerModel::Open() {
    ++m_flags.openCount;
    m_rows.clear();
    const std::filesystem::path cache = m_core.Profiles().ProfileCacheFile();
    for (int profile = 0; profile < kProfileCount; ++profile) {
        m_rows.push_back({cache, profile});
    }
    SyncCount();
    const int active = m_core.State().activeProfile.load();
    m_flags.checkedRow = active >= 0 && active < kProfileCount ? active : -1;
    SetUnapplied(false);
}

void ProfileManagerModel::Close() {
    if (m_flags.openCount > 0) {
        --m_flags.openCount;
    }
    SetUnapplied(false);
}

bool ProfileManagerModel::IsOpen() const {
    return m_flags.openCount > 0;
}

int ProfileManagerModel::CheckedRow() const {
    const int checked = m_flags.checkedRow;
    return checked >= 0 && static_cast<std::size_t>(checked) < m_rows.size() ? checked : -1;
}

bool ProfileManagerModel::HasUnappliedChanges() const {
    return m_flags.unappliedChanges;
}

void ProfileManagerModel::SetUnapplied(bool unapplied) {
    m_flags.unappliedChanges = unapplied;
}

void ProfileManagerModel::SyncCount() {
    m_flags.rowCount = static_cast<int>(m_rows.size());
}

bool ProfileManagerModel::SetChecked(int row, bool checked) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) {
        return false;
    }
    const int before = CheckedRow();
    if (checked) {
        m_flags.checkedRow = row;
    } else if (before == row) {
        m_flags.checkedRow = -1;
    }
    if (CheckedRow() != before) {
        SetUnapplied(true);
    }
    return true;
}

std::filesystem::path ProfileManagerModel::UserFolder() {
    const AppPaths& paths = m_core.Paths();
    EnsureUserFolder(paths.userFolder, paths.skinsFolder);
    return paths.userFolder;
}

std::filesystem::path ProfileManagerModel::NewFileSuggestion() {
    return UserFolder() / m_core.Text().Text("PROFILE_NEW");
}

bool ProfileManagerModel::AddNewFile(const std::filesystem::path& path) {
    // A row for a file that was never written would later be applied (and stored in the
    // settings) as if it existed.
    if (!m_core.Profiles().CreateDefaultImage(path)) {
        m_core.Ui().ShowMessage("Cannot write the profile file " + path.string() + ".", std::string(),
                                MessageButtons::kOk);
        return false;
    }
    AddExistingFile(path);
    return true;
}

void ProfileManagerModel::AddExistingFile(const std::filesystem::path& path) {
    m_rows.push_back({path, -1});
    SyncCount();
    SetUnapplied(true);
}

bool ProfileManagerModel::RemoveRow(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) {
        return false;
    }
    const int checked = CheckedRow();
    m_rows.erase(m_rows.begin() + row);
    // The check stays with its row, wherever the row moves to.
    if (checked == row) {
        m_flags.checkedRow = -1;
    } else if (checked > row) {
        m_flags.checkedRow = checked - 1;
    }
    SyncCount();
    SetUnapplied(true);
    return true;
}

bool ProfileManagerModel::Apply() {
    SettingsStore& settings = m_core.Settings();
    for (std::size_t n = 0; n < m_rows.size(); ++n) {
        settings.WriteString(SettingsStore::kProfilesSection, EntryName(n + 1), m_rows[n].path.string());
    }
    settings.WriteString(SettingsStore::kProfilesSection, EntryName(0), std::to_string(m_rows.size()));

    // Reading the keyboard back (or loading a file) replaces the working image: edits the main
    // window has not applied yet would be lost without a word.
    if (m_main.IsModified()) {
        const MessageAnswer answer =
            m_core.Ui().ShowMessage(m_core.Text().Text("PROFILE_SELECT_PROMPT"), std::string(), MessageButtons::kYesNo);
        if (answer == MessageAnswer::kYes && !m_main.Apply()) {
            return false;
        }
    }

    const int checked = CheckedRow();
    if (checked >= 0 && m_rows[static_cast<std::size_t>(checked)].profile < 0) {
        if (!m_main.Import(m_rows[static_cast<std::size_t>(checked)].path)) {
            return false;
        }
    } else {
        ProfileStore& profiles = m_core.Profiles();
        if (checked >= 0 && !profiles.SetActiveProfile(m_rows[static_cast<std::size_t>(checked)].profile)) {
            m_core.Ui().ShowMessage(m_core.Text().Text("MAIN_NO_DEVICE_PROMPT"), std::string(), MessageButtons::kOk);
            return false;
        }
        profiles.SyncFromKeyboard(false);
    }
    m_main.ShowActiveProfile();
    SetUnapplied(false);
    return true;
}

} // namespace brasslane
