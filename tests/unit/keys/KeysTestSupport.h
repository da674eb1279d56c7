#pragma once

// The texts the keys tests show, over the shared language folder and recording UI sink.

#include "support/LanguageFolder.h"
#include "support/RecordingUiSink.h"

namespace brasslane::test {

// The texts the keys module shows, with recognisable values.
inline LanguageTexts StandardTexts() {
    return {
        {"UNKNOWN_KEY", "Unknown (%03X)"},
        {"IDS_KEYBOARD_A", "A"},
        {"IDS_KEYBOARD_RSHIFT", "Right Shift"},
        {"IDS_KEYBOARD_MOU_RIGHT", "Right Button"},
        {"MEDIA_MUTE_8", "Mute"},
        {"MEDIA_PALY_PAUSE_2", "Play/Pause"},
        {"IDS_KEYBOARD_ESC", "\xC3\xA4\xC3\xB6\xC3\xBC"},
        {"KEY_PROMPT_SET", "|set|"},
        {"KEY_PROMPT_SINGLE", "key("},
        {"KEY_PROMPT_MACRO", "macro("},
        {"KEY_PROMPT_MEDIA", "media("},
        {"KEY_PROMPT_FUNCTION", "function("},
        {"FUNC_KEY_DESC3", "Lock Win"},
        {"MACRO_NEW_PREFIX", "Macro"},
        {"MACRO_DELETE_CONFIRM_OF_KEYS", "Keys use this macro. Delete?"},
        {"EXTRA_MACRO_TOO_LONG", "Macros too long"},
        {"EXTRA_PROFILE_SPACE_TIGHT", "Names left out"},
        {"EXTRA_VERIFY_MACRO_AREA", "Macro area differs"},
        {"EXTRA_VERIFY_KEY_MAP", "Key map %d differs"},
    };
}

} // namespace brasslane::test
