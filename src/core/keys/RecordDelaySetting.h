#pragma once

// The macro recorder's record-delay mode as the settings keep it: section "PROFILES", under the
// value whose name is the language text of "MACRO_ACTION_RECORD_DELAY", as a decimal number.

#include <cstdint>

namespace brasslane {

class Language;
class SettingsStore;

// The stored mode; a missing value (or one that is not a number) reads as 0.
std::uint32_t ReadRecordDelayMode(const SettingsStore& settings, Language& language);

// The check box was clicked: 1 becomes 0 and any other mode becomes 1. The new mode is stored
// and returned; it holds for this run even when the settings file cannot be written.
std::uint32_t ToggleRecordDelayMode(SettingsStore& settings, Language& language, std::uint32_t mode);

} // namespace brasslane
