#include "core/keys/RecordDelaySetting.h"

#include "core/keys/MacroEditor.h"
#include "core/resources/Language.h"
#include "core/resources/SettingsStore.h"

namespace brasslane {

std::uint32_t ReadRecordDelayMode(const SettingsStore& settings, Language& language) {
    return settings.ReadNumber(SettingsStore::kProfilesSection, language.Text("MACRO_ACTION_RECORD_DELAY"))
        .value_or(kRecordFixedPauses);
}

std::uint32_t ToggleRecordDelayMode(SettingsStore& settings, Language& language, std::uint32_t mode) {
    const std::uint32_t next = mode == kRecordMeasuredPauses ? kRecordFixedPauses : kRecordMeasuredPauses;
    settings.WriteNumber(SettingsStore::kProfilesSection, language.Text("MACRO_ACTION_RECORD_DELAY"), next);
    return next;
}

} // namespace brasslane
