#include "core/app/ProfileMenu.h"

#include "core/base/Messages.h"
#include "core/resources/Language.h"

namespace brasslane {

void ProfileMenu::Build(int activeProfile, const std::filesystem::path& profilePath, Language& language) {
    m_entries.clear();
    m_entries.push_back({kCommandProfileBase, language.Text("DEFAULT_PROFILE_NAME"), false, false});
    m_entries.push_back({0, {}, true, false});
    const std::string name = profilePath.stem().string();
    for (int i = 0; i < kProfileCount; ++i) {
        m_entries.push_back({kCommandProfileBase + 1 + static_cast<std::uint32_t>(i), name, false, false});
    }
    // Checked by position: the two leading entries come before profile 0's.
    const std::size_t checked =
        activeProfile >= 0 && activeProfile < kProfileCount ? static_cast<std::size_t>(activeProfile) + 2 : 0;
    m_entries[checked].checked = true;
    m_caption = m_entries[checked].text;
    m_tooltip = language.Text("PROFILE_TIP");
}

std::optional<int> ProfileMenu::ProfileOfCommand(std::uint32_t command) {
    if (command < kCommandProfileBase || command > kCommandProfileBase + kProfileCount) {
        return std::nullopt;
    }
    return static_cast<int>(command - kCommandProfileBase) - 1;
}

} // namespace brasslane
