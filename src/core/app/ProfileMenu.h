#pragma once

// The profile menu of the main window: the default entry, a separator and one entry per
// keyboard profile, with the active profile's entry checked. Also gives the caption and
// tooltip of the "FUNC_PROFILES" button, which show the checked entry.

#include "core/base/Keyboard.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brasslane {

class Language;

struct ProfileMenuEntry {
    std::uint32_t command = 0; // 0 for the separator
    std::string text;
    bool separator = false;
    bool checked = false;
};

class ProfileMenu {
public:
    // Entries: 9000 "DEFAULT_PROFILE_NAME", a separator, then 9001 + i for profile i, each
    // showing the file name (without folder and extension) of `profilePath`, which is the same
    // cache file for all three profiles. The entry at position activeProfile + 2 is checked;
    // the first entry when the active profile is not 0..2.
    void Build(int activeProfile, const std::filesystem::path& profilePath, Language& language);

    const std::vector<ProfileMenuEntry>& Entries() const { return m_entries; }
    // Caption of the "FUNC_PROFILES" button: the checked entry's text.
    const std::string& ButtonCaption() const { return m_caption; }
    // Its tooltip: the language text "PROFILE_TIP".
    const std::string& ButtonTooltip() const { return m_tooltip; }

    // The profile a menu command chooses: 9000 + k gives k - 1 (so the default entry gives -1);
    // nullopt for any command that is not one of the menu's.
    static std::optional<int> ProfileOfCommand(std::uint32_t command);

private:
    std::vector<ProfileMenuEntry> m_entries;
    std::string m_caption;
    std::string m_tooltip;
};

} // namespace brasslane
