#pragma once

// The names the dialogs look up in the skin folder: the layout files, the keys of their
// "BUTTONINFO" sections and the whole-window state pictures of each dialog. Kept in one place so
// that the skin generator and the tests that check a skin use the same lists as the dialogs.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brasslane::skin {

// Layout files, relative to the program folder.
constexpr std::string_view kMainLayout = "Skins/Main.ini";
constexpr std::string_view kProfileLayout = "Skins/Profile.ini";
constexpr std::string_view kCompositeLayout = "Skins/Composite.ini";
constexpr std::string_view kUpdateLayout = "Skins/UpdateDlg.ini";
constexpr std::string_view kAutoProfileLayout = "Skins/AutoProfile.ini";

// "KEY_%03X" with a key's scan index (0..255), e.g. "KEY_01E" for A; "" outside 0..255.
std::string KeyLayoutKey(int scanIndex);
// "FUNC_G%d" for the macro keys G1..G9; "" outside 1..9.
std::string GKeyLayoutKey(int number);
// The "BUTTONINFO2" key of an arrow frame, "%s%d" of a kArrowOriginBases entry and 1 or 2.
std::string ArrowOriginKey(std::string_view base, int frame);

constexpr std::array<int, 2> kArrowFrames{1, 2};

// The six buttons D1..D6 that the flip setting turns on in place of F1..F4: "FUNC_D1".."FUNC_D6".
constexpr int kDButtonCount = 6;

// Main window, "BUTTONINFO": every fixed key. The per-key buttons ("KEY_%03X") and the G keys
// ("FUNC_G%d") come from the key table and the helpers above.
constexpr auto kMainWindowKeys = std::to_array<std::string_view>({
    "CONTROL_OK",     "CONTROL_CANCEL", "CONTROL_HELP", "CONTROL_CLOSE", "CONTROL_MINIMIZE", "CONTROL_MENU",
    "CONTROL2_APPLY", "FUNC_PROFILES",  "FUNC_MACRO",   "LORVEN_LINK",   "LORVEN_VER",       "FUNC_PROFILE1",
    "FUNC_PROFILE2",  "FUNC_PROFILE3",  "FUNC_DEFAULT", "FUNC_SWITCH",   "FLIP_0",           "FLIP_1",
    "FLIP_2",         "LOCK_CAPS",      "LOCK_NUM",     "LOCK_SCROLL",   "LOCK_AB",          "KEY_FN",
    "LEFT_ARROW",     "RIGHT_ARROW",    "FUNC_REPORT1", "FUNC_REPORT2",  "FUNC_REPORT3",     "FUNC_REPORT4",
    "COLOR_R",        "COLOR_G",        "COLOR_B",      "FUNC_D1",       "FUNC_D2",          "FUNC_D3",
    "FUNC_D4",        "FUNC_D5",        "FUNC_D6",
});

// What kind of control a lighting panel key places, so that the main window builds the right
// widget for each key.
enum class LightingControlKind : std::uint8_t {
    kLabel,            // text label
    kPicture,          // picture showing a normal or a chosen bitmap (switch, toggles, directions)
    kBusyPicture,      // the progress picture shown while an apply runs
    kList,             // drop-down list (effects, user modes)
    kBrightnessSlider, // picture slider, positions 0..5
    kSpeedSlider,      // picture slider, positions 0..4
    kColourButton,     // colour chooser button
    kColourPreset,     // colour preset button, its face from its own bitmap
    kWebButton,        // skinned push button that opens a web page
};

struct LightingPanelControl {
    std::string_view key;
    LightingControlKind kind;
    std::string_view face = {}; // kColourPreset: the face bitmap in the skin folder
};

// Main window, "BUTTONINFO": the lighting panel, each key with the kind of control it places.
constexpr auto kLightingPanelControls = std::to_array<LightingPanelControl>({
    {"CONTROL_UsbStatic", LightingControlKind::kLabel},
    {"CONTROL_RGBStatic", LightingControlKind::kLabel},
    {"CONTROL_DengStatic", LightingControlKind::kLabel},
    {"CONTROL_DengStaPic", LightingControlKind::kPicture},
    {"CONTROL_XGcombox", LightingControlKind::kList},
    {"CONTROL_JDTStatic", LightingControlKind::kBusyPicture},
    {"CONTROL_LightStatic", LightingControlKind::kLabel},
    {"CONTROL_LightSlider", LightingControlKind::kBrightnessSlider},
    {"CONTROL_SpeedStatic", LightingControlKind::kLabel},
    {"CONTROL_SpeedSlider", LightingControlKind::kSpeedSlider},
    {"CONTROL_BLFXStatic", LightingControlKind::kLabel},
    {"CONTROL_BLFXLStaPic", LightingControlKind::kPicture},
    {"CONTROL_BLFXRStaPic", LightingControlKind::kPicture},
    {"CONTROL_BLFXStatic2", LightingControlKind::kLabel},
    {"CONTROL_BLFXLStaPic2", LightingControlKind::kPicture},
    {"CONTROL_BLFXRStaPic2", LightingControlKind::kPicture},
    {"CONTROL_BLFXStatic3", LightingControlKind::kLabel},
    {"CONTROL_BLFXLStaPic3", LightingControlKind::kPicture},
    {"CONTROL_BLFXRStaPic3", LightingControlKind::kPicture},
    {"CONTROL_FYYSStatic", LightingControlKind::kLabel},
    {"CONTROL_FYYSButton", LightingControlKind::kColourButton},
    {"CONTROL_FYSJSStaPic", LightingControlKind::kPicture},
    {"CONTROL_FYSJSStatic", LightingControlKind::kLabel},
    {"CONTROL_FYCFStatic", LightingControlKind::kLabel},
    {"CONTROL_FYdjcfStatic", LightingControlKind::kLabel},
    {"CONTROL_FYggcfStatc", LightingControlKind::kLabel},
    {"CONTROL_FYdjcfStaPic", LightingControlKind::kPicture},
    {"CONTROL_FYggcfStaPic", LightingControlKind::kPicture},
    {"CONTROL_HONGPIC", LightingControlKind::kPicture},
    {"CONTROL_HUANGPIC", LightingControlKind::kPicture},
    {"CONTROL_LVPIC", LightingControlKind::kPicture},
    {"CONTROL_LANPIC", LightingControlKind::kPicture},
    {"CONTROL_HXysStatic", LightingControlKind::kLabel},
    {"CONTROL_HXysButton", LightingControlKind::kColourButton},
    {"CONTROL_HXsjsStatic", LightingControlKind::kLabel},
    {"CONTROL_HXsjsStaPic", LightingControlKind::kPicture},
    {"CONTROL_JTysStatic", LightingControlKind::kLabel},
    {"CONTROL_JTysButton", LightingControlKind::kColourButton},
    {"CONTROL_USERysStatic", LightingControlKind::kLabel},
    {"CONTROL_USERysButton", LightingControlKind::kColourButton},
    {"CONTROL_USERjsStatic", LightingControlKind::kLabel},
    {"CONTROL_USERjsButton", LightingControlKind::kColourButton},
    {"CONTROL_USERgjStatic", LightingControlKind::kLabel},
    {"CONTROL_USERgjStaPic1", LightingControlKind::kPicture},
    {"CONTROL_USERgjStaPic2", LightingControlKind::kPicture},
    {"CONTROL_Color1", LightingControlKind::kColourPreset, "Color1.bmp"},
    {"CONTROL_Color2", LightingControlKind::kColourPreset, "Color2.bmp"},
    {"CONTROL_Color3", LightingControlKind::kColourPreset, "Color3.bmp"},
    {"CONTROL_Color4", LightingControlKind::kColourPreset, "Color4.bmp"},
    {"CONTROL_Color5", LightingControlKind::kColourPreset, "Color5.bmp"},
    {"CONTROL_Color6", LightingControlKind::kColourPreset, "Color6.bmp"},
    {"CONTROL_Color7", LightingControlKind::kColourPreset, "Color7.bmp"},
    {"CONTROL_Color8", LightingControlKind::kColourPreset, "Color8.bmp"},
    {"CONTROL_Network", LightingControlKind::kWebButton},
    {"CONTROL_Facebook", LightingControlKind::kWebButton},
    {"CONTROL_twitter", LightingControlKind::kWebButton},
    {"CONTROL_TSysStatic", LightingControlKind::kLabel},
    {"CONTROL_TSysButton", LightingControlKind::kColourButton},
    {"CONTROL_TSsjsStatic", LightingControlKind::kLabel},
    {"CONTROL_TSsjsStaPic", LightingControlKind::kPicture},
    {"CONTROL_CDysStatic", LightingControlKind::kLabel},
    {"CONTROL_CDysButton", LightingControlKind::kColourButton},
    {"CONTROL_CDsjsStatic", LightingControlKind::kLabel},
    {"CONTROL_CDsjsStaPic", LightingControlKind::kPicture},
    {"CONTROL_umCombo", LightingControlKind::kList},
});

// The keys of kLightingPanelControls alone, for the checks that only need the names.
constexpr auto kLightingPanelKeys = [] {
    std::array<std::string_view, kLightingPanelControls.size()> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keys[i] = kLightingPanelControls[i].key;
    }
    return keys;
}();

// Main window, "BUTTONINFO2": the arrows' face origins, each with frame 1 and 2 appended.
constexpr auto kArrowOriginBases = std::to_array<std::string_view>({
    "UP_ARROW_LEFT",
    "DOWN_ARROW_LEFT",
    "UP_ARROW_RIGHT",
    "DOWN_ARROW_RIGHT",
});

constexpr auto kProfileDialogKeys = std::to_array<std::string_view>({
    "CONTROL_OK",
    "CONTROL_CANCEL",
    "CONTROL2_APPLY",
    "FUNC_ADD",
    "FUNC_LOAD",
    "FUNC_DELETE",
    "PROGRAM_LIST",
});

constexpr auto kCompositeDialogKeys = std::to_array<std::string_view>({
    "CONTROL_MASK",
    "CONTROL_TITLE",
    "CONTROL_OSK",
    "CONTROL_CLEAR",
    "CONTROL_KEY",
    "CONTROL_MACRO",
    "CONTROL_MEDIA",
    "CONTROL_FUNCTION",
    "CONTROL_OK",
    "CONTROL_CANCEL",
    "FUNC_MACRO_ADD",
    "FUNC_MACRO_DELETE",
    "FUNC_MACRO_DELETE2",
    "FUNC_MACRO_CLEAR",
    "FUNC_MACRO_UP_TOP",
    "FUNC_MACRO_UP",
    "FUNC_MACRO_DOWN",
    "FUNC_MACRO_DOWN_BOTTOM",
    "FUNC_MACRO_RECORD",
    "FUNC_MACRO_RECORD_DELAY",
    "FUNC_MACRO_RECORD_DELAY2",
    "FUNC_MACRO_LIST",
    "FUNC_MACRO_LIST2",
    "FUNC_MACRO_CYCLES",
    "FUNC_MACRO_CYCLES_PROMPT",
    "TISHI_SINGLE_STATIC",
    "MARCO_NAME_SETTING",
    "KEY_SETTING",
    "MEDIA_SETTING_TISHI",
    "FUNCTION_KEY_SETTING_TISHI",
    "FUNC_KEY_INPUT",
    "FUNC_KEY_RADIO_KB",
    "FUNC_KEY_RADIO_KB_STATIC",
    "FUNC_KEY_RADIO_MOU",
    "FUNC_KEY_RADIO_MOU_STATIC",
    "FUNC_KEY_COMBO_MOU",
    "FUNC_MEDIA_SELECT",
    "FUNC_FUNCTION_SELECT",
});

constexpr auto kUpdateDialogKeys = std::to_array<std::string_view>({
    "CONTROL_UPStatic",
    "CONTROL_UPCombox",
    "CONTROL_CUPButton",
    "CONTROL_UPButton",
    "CONTROL_OPENButton",
    "CONTROL_BACKUPButton",
});

constexpr auto kAutoProfileDialogKeys = std::to_array<std::string_view>({
    "FUNC_AUTO_ENABLED",
    "AUTO_ENABLED_TEXT",
    "AUTO_DEFAULT_TEXT",
    "AUTO_DEFAULT",
    "PROGRAM_LIST",
    "AUTO_MATCH",
    "AUTO_PATTERN",
    "AUTO_PROFILE",
    "FUNC_ADD",
    "FUNC_CHANGE",
    "FUNC_DELETE",
    "FUNC_UP",
    "FUNC_DOWN",
    "FUNC_PICK",
    "AUTO_STATUS",
    "CONTROL_OK",
    "CONTROL_CANCEL",
    "CONTROL2_APPLY",
});

// Whole-window state pictures, relative to the skin folder.
constexpr auto kMainWindowPictures = std::to_array<std::string_view>({
    "main_normal.jpg",
    "main_over.jpg",
    "main_down.jpg",
    "main_disable.jpg",
    "Arrow.jpg",
    "main_color0.jpg",
    "main_color1.jpg",
});

constexpr auto kCompositeDialogPictures = std::to_array<std::string_view>({
    "key_normal.jpg",
    "key_over.jpg",
    "key_down.jpg",
    "macro_normal.jpg",
    "macro_over.jpg",
    "macro_down.jpg",
    "macro_disable.jpg",
    "macro2_normal.jpg",
    "macro2_over.jpg",
    "macro2_down.jpg",
    "macro2_disable.jpg",
    "media_normal.jpg",
    "media_over.jpg",
    "media_down.jpg",
    "function_normal.jpg",
    "function_over.jpg",
    "function_down.jpg",
});

constexpr auto kAutoProfileDialogPictures = std::to_array<std::string_view>({
    "AutoProfile_normal.jpg",
    "AutoProfile_over.jpg",
    "AutoProfile_down.jpg",
});

constexpr auto kProfileDialogPictures = std::to_array<std::string_view>({
    "Profile_normal.jpg",
    "Profile_over.jpg",
    "Profile_down.jpg",
});

constexpr auto kUpdateDialogPictures = std::to_array<std::string_view>({
    "update_normal.jpg",
    "update_over.jpg",
});

} // namespace brasslane::skin
