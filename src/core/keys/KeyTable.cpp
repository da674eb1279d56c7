#include "core/keys/KeyTable.h"

#include "core/base/Strings.h"
#include "core/resources/Language.h"
#include "core/resources/SkinKeys.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace brasslane {

namespace {

// A listed key: scan code, key id, HID code, virtual key and its Num Lock-off form, language
// key, English label and shifted (or Num Lock-off) label. Rows not listed are empty.
struct KeySource {
    ScanCode scanCode;
    std::uint16_t keyId;
    std::uint8_t hidCode;
    std::uint8_t virtualKey;
    std::uint8_t alternateVirtualKey;
    std::string_view languageKey;
    std::string_view label;
    std::string_view alternateLabel;
};

constexpr KeySource kKeySources[] = {
    {0x001, 0x0025, 0x29, 0x1B, 0x1B, "IDS_KEYBOARD_ESC", "Esc", ""},
    {0x002, 0x001A, 0x1E, 0x31, 0x31, "IDS_KEYBOARD_1", "1", "!"},
    {0x003, 0x001B, 0x1F, 0x32, 0x32, "IDS_KEYBOARD_2", "2", "@"},
    {0x004, 0x001C, 0x20, 0x33, 0x33, "IDS_KEYBOARD_3", "3", "#"},
    {0x005, 0x001D, 0x21, 0x34, 0x34, "IDS_KEYBOARD_4", "4", "$"},
    {0x006, 0x001E, 0x22, 0x35, 0x35, "IDS_KEYBOARD_5", "5", "%"},
    {0x007, 0x001F, 0x23, 0x36, 0x36, "IDS_KEYBOARD_6", "6", "^"},
    {0x008, 0x0020, 0x24, 0x37, 0x37, "IDS_KEYBOARD_7", "7", "&"},
    {0x009, 0x0021, 0x25, 0x38, 0x38, "IDS_KEYBOARD_8", "8", "*"},
    {0x00A, 0x0022, 0x26, 0x39, 0x39, "IDS_KEYBOARD_9", "9", "("},
    {0x00B, 0x0023, 0x27, 0x30, 0x30, "IDS_KEYBOARD_0", "0", ")"},
    {0x00C, 0x0029, 0x2D, 0xBD, 0xBD, "IDS_KEYBOARD_MINUS", "-", "_"},
    {0x00D, 0x002A, 0x2E, 0xBB, 0xBB, "IDS_KEYBOARD_EQU", "=", "+"},
    {0x00E, 0x0026, 0x2A, 0x08, 0x08, "IDS_KEYBOARD_BS", "Backspace", ""},
    {0x00F, 0x0027, 0x2B, 0x09, 0x09, "IDS_KEYBOARD_TAB", "Tab", ""},
    {0x010, 0x0010, 0x14, 0x51, 0x51, "IDS_KEYBOARD_Q", "Q", "Q"},
    {0x011, 0x0016, 0x1A, 0x57, 0x57, "IDS_KEYBOARD_W", "W", "W"},
    {0x012, 0x0004, 0x08, 0x45, 0x45, "IDS_KEYBOARD_E", "E", "E"},
    {0x013, 0x0011, 0x15, 0x52, 0x52, "IDS_KEYBOARD_R", "R", "R"},
    {0x014, 0x0013, 0x17, 0x54, 0x54, "IDS_KEYBOARD_T", "T", "T"},
    {0x015, 0x0018, 0x1C, 0x59, 0x59, "IDS_KEYBOARD_Y", "Y", "Y"},
    {0x016, 0x0014, 0x18, 0x55, 0x55, "IDS_KEYBOARD_U", "U", "U"},
    {0x017, 0x0008, 0x0C, 0x49, 0x49, "IDS_KEYBOARD_I", "I", "I"},
    {0x018, 0x000E, 0x12, 0x4F, 0x4F, "IDS_KEYBOARD_O", "O", "O"},
    {0x019, 0x000F, 0x13, 0x50, 0x50, "IDS_KEYBOARD_P", "P", "P"},
    {0x01A, 0x002B, 0x2F, 0xDB, 0xDB, "IDS_KEYBOARD_SB1", "[", "{"},
    {0x01B, 0x002C, 0x30, 0xDD, 0xDD, "IDS_KEYBOARD_SB2", "]", "}"},
    {0x01C, 0x0024, 0x28, 0x0D, 0x0D, "IDS_KEYBOARD_ENTER", "Enter", ""},
    {0x01D, 0x0062, 0xE0, 0xA2, 0xA2, "IDS_KEYBOARD_LCTRL", "Ctrl", ""},
    {0x01E, 0x0000, 0x04, 0x41, 0x41, "IDS_KEYBOARD_A", "A", "A"},
    {0x01F, 0x0012, 0x16, 0x53, 0x53, "IDS_KEYBOARD_S", "S", "S"},
    {0x020, 0x0003, 0x07, 0x44, 0x44, "IDS_KEYBOARD_D", "D", "D"},
    {0x021, 0x0005, 0x09, 0x46, 0x46, "IDS_KEYBOARD_F", "F", "F"},
    {0x022, 0x0006, 0x0A, 0x47, 0x47, "IDS_KEYBOARD_G", "G", "G"},
    {0x023, 0x0007, 0x0B, 0x48, 0x48, "IDS_KEYBOARD_H", "H", "H"},
    {0x024, 0x0009, 0x0D, 0x4A, 0x4A, "IDS_KEYBOARD_J", "J", "J"},
    {0x025, 0x000A, 0x0E, 0x4B, 0x4B, "IDS_KEYBOARD_K", "K", "K"},
    {0x026, 0x000B, 0x0F, 0x4C, 0x4C, "IDS_KEYBOARD_L", "L", "L"},
    {0x027, 0x002E, 0x33, 0xBA, 0xBA, "IDS_KEYBOARD_SEM", ";", ":"},
    {0x028, 0x002F, 0x34, 0xDE, 0xDE, "IDS_KEYBOARD_QUOT", "'", "\""},
    {0x029, 0x0030, 0x35, 0xC0, 0xC0, "IDS_KEYBOARD_AID1", "`", "~"},
    {0x02A, 0x0063, 0xE1, 0xA0, 0xA0, "IDS_KEYBOARD_LSHIFT", "Shift", ""},
    {0x02B, 0x002D, 0x32, 0xDC, 0xDC, "IDS_KEYBOARD_AV", "\\", "|"},
    {0x02C, 0x0019, 0x1D, 0x5A, 0x5A, "IDS_KEYBOARD_Z", "Z", "Z"},
    {0x02D, 0x0017, 0x1B, 0x58, 0x58, "IDS_KEYBOARD_X", "X", "X"},
    {0x02E, 0x0002, 0x06, 0x43, 0x43, "IDS_KEYBOARD_C", "C", "C"},
    {0x02F, 0x0015, 0x19, 0x56, 0x56, "IDS_KEYBOARD_V", "V", "V"},
    {0x030, 0x0001, 0x05, 0x42, 0x42, "IDS_KEYBOARD_B", "B", "B"},
    {0x031, 0x000D, 0x11, 0x4E, 0x4E, "IDS_KEYBOARD_N", "N", "N"},
    {0x032, 0x000C, 0x10, 0x4D, 0x4D, "IDS_KEYBOARD_M", "M", "M"},
    {0x033, 0x0031, 0x36, 0xBC, 0xBC, "IDS_KEYBOARD_COMMA", ",", "<"},
    {0x034, 0x0032, 0x37, 0xBE, 0xBE, "IDS_KEYBOARD_PER", ".", ">"},
    {0x035, 0x0033, 0x38, 0xBF, 0xBF, "IDS_KEYBOARD_VIR", "/", "?"},
    {0x036, 0x0067, 0xE5, 0xA1, 0xA1, "IDS_KEYBOARD_RSHIFT", "Right Shift", ""},
    {0x037, 0x0051, 0x55, 0x6A, 0x6A, "IDS_KEYBOARD_S_AST", "Num *", ""},
    {0x038, 0x0064, 0xE2, 0xA4, 0xA4, "IDS_KEYBOARD_LALT", "Alt", ""},
    {0x039, 0x0028, 0x2C, 0x20, 0x20, "IDS_KEYBOARD_SPACE", "Space", ""},
    {0x03A, 0x004E, 0x39, 0x14, 0x14, "IDS_KEYBOARD_CAPS", "Caps Lock", ""},
    {0x03B, 0x0034, 0x3A, 0x70, 0x70, "IDS_KEYBOARD_F1", "F1", ""},
    {0x03C, 0x0035, 0x3B, 0x71, 0x71, "IDS_KEYBOARD_F2", "F2", ""},
    {0x03D, 0x0036, 0x3C, 0x72, 0x72, "IDS_KEYBOARD_F3", "F3", ""},
    {0x03E, 0x0037, 0x3D, 0x73, 0x73, "IDS_KEYBOARD_F4", "F4", ""},
    {0x03F, 0x0038, 0x3E, 0x74, 0x74, "IDS_KEYBOARD_F5", "F5", ""},
    {0x040, 0x0039, 0x3F, 0x75, 0x75, "IDS_KEYBOARD_F6", "F6", ""},
    {0x041, 0x003A, 0x40, 0x76, 0x76, "IDS_KEYBOARD_F7", "F7", ""},
    {0x042, 0x003B, 0x41, 0x77, 0x77, "IDS_KEYBOARD_F8", "F8", ""},
    {0x043, 0x003C, 0x42, 0x78, 0x78, "IDS_KEYBOARD_F9", "F9", ""},
    {0x044, 0x003D, 0x43, 0x79, 0x79, "IDS_KEYBOARD_F10", "F10", ""},
    {0x045, 0x0041, 0x48, 0x13, 0x13, "IDS_KEYBOARD_PAUSE", "Pause", ""},
    {0x046, 0x004D, 0x47, 0x91, 0x91, "IDS_KEYBOARD_SCROLL", "Scroll Lock", ""},
    {0x047, 0x005B, 0x5F, 0x67, 0x24, "IDS_KEYBOARD_S_7", "Num 7", "Home"},
    {0x048, 0x005C, 0x60, 0x68, 0x26, "IDS_KEYBOARD_S_8", "Num 8", "↑"},
    {0x049, 0x005D, 0x61, 0x69, 0x21, "IDS_KEYBOARD_S_9", "Num 9", "Page Up"},
    {0x04A, 0x0052, 0x56, 0x6D, 0x6D, "IDS_KEYBOARD_S_MINUS", "Num -", ""},
    {0x04B, 0x0058, 0x5C, 0x64, 0x25, "IDS_KEYBOARD_S_4", "Num 4", "←"},
    {0x04C, 0x0059, 0x5D, 0x65, 0x0C, "IDS_KEYBOARD_S_5", "Num 5", "Clear"},
    {0x04D, 0x005A, 0x5E, 0x66, 0x27, "IDS_KEYBOARD_S_6", "Num 6", "→"},
    {0x04E, 0x0053, 0x57, 0x6B, 0x6B, "IDS_KEYBOARD_S_PLUS", "Num +", ""},
    {0x04F, 0x0055, 0x59, 0x61, 0x23, "IDS_KEYBOARD_S_1", "Num 1", "End"},
    {0x050, 0x0056, 0x5A, 0x62, 0x28, "IDS_KEYBOARD_S_2", "Num 2", "↓"},
    {0x051, 0x0057, 0x5B, 0x63, 0x22, "IDS_KEYBOARD_S_3", "Num 3", "Page Down"},
    {0x052, 0x005E, 0x62, 0x60, 0x2D, "IDS_KEYBOARD_S_0", "Num 0", "Insert"},
    {0x053, 0x005F, 0x63, 0x6E, 0x2E, "IDS_KEYBOARD_S_DEL", "Num .", "Delete"},
    {0x054, 0x8012, 0x00, 0x2C, 0x2C, "IDS_KEYBOARD_SYSREQ", "Sys Req", ""},
    {0x056, 0x0060, 0x64, 0xE2, 0xE2, "IDS_KEYBOARD_K45", "K45", ""},
    {0x057, 0x003E, 0x44, 0x7A, 0x7A, "IDS_KEYBOARD_F11", "F11", ""},
    {0x058, 0x003F, 0x45, 0x7B, 0x7B, "IDS_KEYBOARD_F12", "F12", ""},
    {0x064, 0x802D, 0x00, 0x7C, 0x7C, "", "F13", ""},
    {0x070, 0x8018, 0x88, 0xFF, 0xFF, "IDS_KEYBOARD_ROMA", "ROMA (133)", ""},
    {0x071, 0x8019, 0x91, 0xE9, 0xE9, "IDS_KEYBOARD_KL", "KL", ""},
    {0x072, 0x801A, 0x90, 0xFF, 0xFF, "IDS_KEYBOARD_KR", "KR", ""},
    {0x073, 0x8014, 0x87, 0xC1, 0xC1, "IDS_KEYBOARD_K56", "K56", ""},
    {0x079, 0x8017, 0x8A, 0xFF, 0xFF, "IDS_KEYBOARD_CHG", "CHG (132)", ""},
    {0x07B, 0x8016, 0x8B, 0xEB, 0xEB, "IDS_KEYBOARD_N_CHG", "N-CHG (131)", ""},
    {0x07D, 0x8013, 0x89, 0xFF, 0xFF, "IDS_KEYBOARD_K14", "K14", ""},
    {0x07E, 0x8015, 0x85, 0xC2, 0xC2, "IDS_KEYBOARD_K107", "K107", ""},
    {0x110, 0x8021, 0xD0, 0xB1, 0xB1, "MEDIA_PREV_TRACK_4", "Prev Track", ""},
    {0x119, 0x8022, 0xD1, 0xB0, 0xB0, "MEDIA_Next_TRACK_5", "Next Track", ""},
    {0x11C, 0x0054, 0x58, 0x0D, 0x0D, "IDS_KEYBOARD_S_ENTER", "Num Enter", ""},
    {0x11D, 0x0066, 0xE4, 0xA3, 0xA3, "IDS_KEYBOARD_RCTRL", "Right Ctrl", ""},
    {0x120, 0x8025, 0xCD, 0xAD, 0xAD, "MEDIA_MUTE_8", "Mute", ""},
    {0x121, 0x801C, 0xC4, 0xB7, 0xB7, "MEDIA_CALC_17", "Calc", ""},
    {0x122, 0x801F, 0xCE, 0xB3, 0xB3, "MEDIA_PALY_PAUSE_2", "Play/Pause", ""},
    {0x124, 0x8020, 0xCF, 0xB2, 0xB2, "MEDIA_STOP_PALY_3", "Stop Play", ""},
    {0x12E, 0x8024, 0xC1, 0xAE, 0xAE, "MEDIA_V_LOW_6", "V-", ""},
    {0x130, 0x8023, 0xC0, 0xAF, 0xAF, "MEDIA_V_ADD_7", "V+", ""},
    {0x132, 0x8026, 0xC7, 0xAC, 0xAC, "MEDIA_WWW_HOME_9", "WWW Home", ""},
    {0x135, 0x0050, 0x54, 0x6F, 0x6F, "IDS_KEYBOARD_S_VIR", "Num /", ""},
    {0x136, 0x0067, 0xE5, 0xA1, 0xA1, "IDS_KEYBOARD_RSHIFT", "Right Shift", ""},
    {0x137, 0x0040, 0x46, 0x2C, 0x2C, "IDS_KEYBOARD_PRINT", "Print Screen", ""},
    {0x138, 0x0068, 0xE6, 0xA5, 0xA5, "IDS_KEYBOARD_RALT", "Right Alt", ""},
    {0x145, 0x004F, 0x53, 0x90, 0x90, "IDS_KEYBOARD_NUM", "Num Lock", ""},
    {0x146, 0x0042, 0x48, 0x03, 0x03, "IDS_KEYBOARD_BREAK", "Break", ""},
    {0x147, 0x0045, 0x4A, 0x24, 0x24, "IDS_KEYBOARD_HOME", "Home", ""},
    {0x148, 0x0049, 0x52, 0x26, 0x26, "IDS_KEYBOARD_UP", "↑", ""},
    {0x149, 0x0047, 0x4B, 0x21, 0x21, "IDS_KEYBOARD_PAGE_UP", "Page Up", ""},
    {0x14B, 0x004B, 0x50, 0x25, 0x25, "IDS_KEYBOARD_LEFT", "←", ""},
    {0x14D, 0x004C, 0x4F, 0x27, 0x27, "IDS_KEYBOARD_RIGHT", "→", ""},
    {0x14F, 0x0046, 0x4D, 0x23, 0x23, "IDS_KEYBOARD_END", "End", ""},
    {0x150, 0x004A, 0x51, 0x28, 0x28, "IDS_KEYBOARD_DOWN", "↓", ""},
    {0x151, 0x0048, 0x4E, 0x22, 0x22, "IDS_KEYBOARD_PAGE_DOWN", "Page Down", ""},
    {0x152, 0x0043, 0x49, 0x2D, 0x2D, "IDS_KEYBOARD_INSERT", "Insert", ""},
    {0x153, 0x0044, 0x4C, 0x2E, 0x2E, "IDS_KEYBOARD_DELETE", "Delete", ""},
    {0x15B, 0x0065, 0xE3, 0x5B, 0x5B, "IDS_KEYBOARD_LWIN", "Win", ""},
    {0x15C, 0x0069, 0xE7, 0x5C, 0x5C, "IDS_KEYBOARD_RWIN", "Right Win", ""},
    {0x15D, 0x0061, 0x65, 0x5D, 0x5D, "IDS_KEYBOARD_APP", "App", ""},
    {0x15E, 0x8001, 0x81, 0xFF, 0xFF, "IDS_KEYBOARD_POWER", "Power", ""},
    {0x15F, 0x8002, 0x82, 0x5F, 0x5F, "IDS_KEYBOARD_SLEEP", "Sleep", ""},
    {0x161, 0x006D, 0xF4, 0xD1, 0xD1, "IDS_KEYBOARD_ROLL_UP", "Roll Up", ""},
    {0x162, 0x006E, 0xF5, 0xD2, 0xD2, "IDS_KEYBOARD_ROLL_DOWN", "Roll Down", ""},
    {0x163, 0x8003, 0x83, 0xFF, 0xFF, "IDS_KEYBOARD_WAKE", "Wake", ""},
    {0x165, 0x802C, 0xC6, 0xAA, 0xAA, "MEDIA_WWW_SEARCH_15", "WWW Search", ""},
    {0x166, 0x802B, 0xCC, 0xAB, 0xAB, "MEDIA_WWW_FAVORITE_14", "WWW Favorite", ""},
    {0x167, 0x8027, 0xCB, 0xA8, 0xA8, "MEDIA_WWW_REFRESH_10", "WWW Refresh", ""},
    {0x168, 0x8028, 0xCA, 0xA9, 0xA9, "MEDIA_WWW_STOP_11", "WWW Stop", ""},
    {0x169, 0x802A, 0xC9, 0xA7, 0xA7, "MEDIA_WWW_FORWARD_13", "WWW Forward", ""},
    {0x16A, 0x8029, 0xC8, 0xA6, 0xA6, "MEDIA_WWW_BACK_12", "WWW Back", ""},
    {0x16B, 0x801B, 0xC5, 0xB6, 0xB6, "MEDIA_MY_PC_16", "My PC", ""},
    {0x16C, 0x801D, 0xC3, 0xB4, 0xB4, "MEDIA_MAIL_18", "Mail", ""},
    {0x16D, 0x801E, 0xC2, 0xB5, 0xB5, "MEDIA_PALYER_1", "Media Player", ""},
    {0x16E, 0x8005, 0x00, 0x88, 0x88, "IDS_KEYBOARD_MOU_PANLEFT", "Pan Left", ""},
    {0x16F, 0x8006, 0x00, 0x89, 0x89, "IDS_KEYBOARD_MOU_PANRIGHT", "Pan Right", ""},
    {0x170, 0x8004, 0x00, 0x8A, 0x8A, "IDS_KEYBOARD_MOU_DBCLICK", "Double Click", ""},
    {0x171, 0x006A, 0xF1, 0x01, 0x01, "IDS_KEYBOARD_MOU_LEFT", "Left Button", ""},
    {0x172, 0x006B, 0xF2, 0x02, 0x02, "IDS_KEYBOARD_MOU_RIGHT", "Right Button", ""},
    {0x173, 0x006C, 0xF3, 0x04, 0x04, "IDS_KEYBOARD_MOU_MIDDLE", "Middle Button", ""},
    {0x174, 0x8007, 0xD2, 0x8B, 0x8B, "IDS_KEYBOARD_FUNC_ZOOMOUT", "Zoom-", ""},
    {0x175, 0x8008, 0xD3, 0x8C, 0x8C, "IDS_KEYBOARD_FUNC_ZOOMIN", "Zoom+", ""},
    {0x176, 0x8009, 0x00, 0x97, 0x97, "IDS_KEYBOARD_FUNC_COPY", "Copy", ""},
    {0x177, 0x800A, 0x00, 0x98, 0x98, "IDS_KEYBOARD_FUNC_CUT", "Cut", ""},
    {0x178, 0x800B, 0x00, 0x99, 0x99, "IDS_KEYBOARD_FUNC_PASTE", "Paste", ""},
    {0x179, 0x800C, 0x00, 0x9A, 0x9A, "IDS_KEYBOARD_FUNC_MINI", "Minimize", ""},
    {0x17A, 0x800D, 0x00, 0x9B, 0x9B, "IDS_KEYBOARD_FUNC_MAXI", "Maximize", ""},
    {0x17B, 0x800E, 0xD4, 0x9C, 0x9C, "IDS_KEYBOARD_FUNC_WORD", "Word", ""},
    {0x17C, 0x800F, 0xD5, 0x9D, 0x9D, "IDS_KEYBOARD_FUNC_EXCEL", "Excel", ""},
    {0x17D, 0x8010, 0x00, 0x9E, 0x9E, "IDS_KEYBOARD_FUNC_POWERPOINT", "PowerPoint", ""},
    {0x17E, 0x8011, 0x00, 0x9F, 0x9F, "IDS_KEYBOARD_FUNC_CALENDAR", "Calendar", ""},
};

constexpr std::uint16_t ScanIndexOf(ScanCode code) {
    if (code < 0x100) {
        return code;
    }
    if (code < 0x200) {
        return static_cast<std::uint16_t>((code - 0x80) & 0xFF);
    }
    return static_cast<std::uint16_t>(code - 0x100);
}

constexpr ScanCode ScanCodeOfIndex(std::uint16_t index) {
    if (index < 0x80) {
        return index;
    }
    if (index < 0x100) {
        return static_cast<ScanCode>(index + 0x80);
    }
    return static_cast<ScanCode>(index + 0x100);
}

// The one-byte ASCII code of keys that type a character or a control code.
constexpr std::uint8_t AsciiKeyCode(const KeySource& key) {
    switch (key.scanCode) {
    case 0x01:
        return 0x1B; // Esc
    case 0x0E:
        return 0x08; // Backspace
    case 0x0F:
        return 0x09; // Tab
    case 0x1C:
        return 0x0D; // Enter
    case 0x39:
        return 0x20; // Space
    default:
        break;
    }
    if (key.label.size() == 1 && key.keyId < 0x8000) {
        const char c = key.label[0];
        if (c >= 'A' && c <= 'Z') {
            return static_cast<std::uint8_t>(c - 'A' + 'a');
        }
        if (c > 0x20 && c < 0x7F) {
            return static_cast<std::uint8_t>(c);
        }
    }
    return 0;
}

constexpr ShiftKind ShiftKindOf(const KeySource& key) {
    if (key.alternateVirtualKey != key.virtualKey) {
        return ShiftKind::kKeypad;
    }
    if (key.label.size() == 1 && key.label[0] >= 'A' && key.label[0] <= 'Z') {
        return ShiftKind::kLetter;
    }
    if (!key.alternateLabel.empty()) {
        return ShiftKind::kSymbol;
    }
    return ShiftKind::kNone;
}

constexpr std::array<KeyRow, kKeyTableRows> BuildKeyTable() {
    std::array<KeyRow, kKeyTableRows> table{};
    // Keys without an ASCII code get their own code from 0x81 up, in scan-code order.
    std::uint8_t nextCode = 0x81;
    for (const KeySource& key : kKeySources) {
        KeyRow row;
        row.virtualKey = key.virtualKey;
        row.keyId = key.keyId;
        row.englishLabel = key.label;
        row.shiftKind = ShiftKindOf(key);
        row.alternateVirtualKey = key.alternateVirtualKey;
        row.secondHidByte = 0;
        row.hidCode = key.hidCode;
        row.alternateLabel = key.alternateLabel;
        row.languageKey = key.languageKey;
        if (key.scanCode >= 0x171 && key.scanCode <= 0x173) {
            row.keyCode = key.virtualKey; // the mouse buttons: 0x01, 0x02, 0x04
        } else if (const std::uint8_t ascii = AsciiKeyCode(key); ascii != 0) {
            row.keyCode = ascii;
        } else {
            row.keyCode = nextCode++;
        }
        table[ScanIndexOf(key.scanCode)] = row;
    }
    return table;
}

constexpr auto kKeyTable = BuildKeyTable();
constexpr KeyRow kEmptyRow{};

// Virtual keys that name no key of their own: none, the mouse buttons, and the unassigned
// Windows values that only label pseudo keys.
constexpr bool IsUnmappedVirtualKey(std::uint8_t virtualKey) {
    return virtualKey == 0xFF || virtualKey == 0x01 || virtualKey == 0x02 || virtualKey == 0x04 ||
           (virtualKey >= 0x88 && virtualKey <= 0x8C) || (virtualKey >= 0x97 && virtualKey <= 0x9F);
}

constexpr std::array<ScanCode, 256> BuildVirtualKeyMap() {
    std::array<ScanCode, 256> map{};
    // The first key with a virtual key wins; Num Lock-off codes only fill what no key claims.
    for (std::uint16_t i = 0; i < kKeyTableRows; ++i) {
        const KeyRow& row = kKeyTable[i];
        if (!row.IsEmpty() && !IsUnmappedVirtualKey(row.virtualKey) && map[row.virtualKey] == 0) {
            map[row.virtualKey] = ScanCodeOfIndex(i);
        }
    }
    for (std::uint16_t i = 0; i < kKeyTableRows; ++i) {
        const KeyRow& row = kKeyTable[i];
        if (!row.IsEmpty() && !IsUnmappedVirtualKey(row.alternateVirtualKey) && map[row.alternateVirtualKey] == 0) {
            map[row.alternateVirtualKey] = ScanCodeOfIndex(i);
        }
    }
    // The generic Shift, Ctrl and Alt codes stand for the left keys; Enter is the main key, not
    // Num Enter; the print key is Print Screen, not Sys Req; Right Shift is its plain code.
    map[0x10] = 0x2A;
    map[0x11] = 0x1D;
    map[0x12] = 0x38;
    map[0x0D] = 0x1C;
    map[0x2C] = 0x137;
    map[0xA1] = 0x36;
    return map;
}

constexpr auto kVirtualKeyMap = BuildVirtualKeyMap();

// HID code -> the first key (in scan-index order) that carries it; 0 for none.
constexpr std::array<ScanCode, 256> BuildHidCodeMap() {
    std::array<ScanCode, 256> map{};
    for (std::uint16_t i = 0; i < kKeyTableRows; ++i) {
        const std::uint8_t hid = kKeyTable[i].hidCode;
        if (hid != 0 && map[hid] == 0) {
            map[hid] = ScanCodeOfIndex(i);
        }
    }
    return map;
}

constexpr auto kHidCodeMap = BuildHidCodeMap();

constexpr std::array<std::uint16_t, 32> kConsumerList{
    0x00E9, 0x00EA, 0x0183, 0x018A, 0x0192, 0x0194, 0x0221, 0x0223, 0x0224,
    0x0225, 0x0226, 0x0227, 0x022A, 0x00E2, 0x00CD, 0x00B7, 0x00B6, 0x00B5,
};
constexpr std::size_t kConsumerSlotsUsed = 18;

// The modifier byte's bits in order: Left Ctrl, Left Shift, Left Alt, Left Win, Right Ctrl,
// Right Shift, Right Alt, Right Win.
constexpr std::array<ScanCode, 8> kModifierKeys{0x1D, 0x2A, 0x38, 0x15B, 0x11D, 0x36, 0x138, 0x15C};

constexpr std::array<KeyButton, kKeyButtonCount> BuildKeyButtons() {
    struct Place {
        std::uint8_t row;
        std::uint8_t column;
        ScanCode scanCode;
    };
    constexpr Place places[] = {
        {0, 0, 0x01},   {0, 1, 0x3B},   {0, 2, 0x3C},   {0, 3, 0x3D},   {0, 4, 0x3E},   {0, 5, 0x3F},  {0, 6, 0x40},
        {0, 7, 0x41},   {0, 8, 0x42},   {0, 9, 0x43},   {0, 10, 0x44},  {0, 11, 0x57},  {0, 12, 0x58}, {0, 14, 0x137},
        {0, 15, 0x46},  {0, 16, 0x45},

        {1, 0, 0x29},   {1, 1, 0x02},   {1, 2, 0x03},   {1, 3, 0x04},   {1, 4, 0x05},   {1, 5, 0x06},  {1, 6, 0x07},
        {1, 7, 0x08},   {1, 8, 0x09},   {1, 9, 0x0A},   {1, 10, 0x0B},  {1, 11, 0x0C},  {1, 12, 0x0D}, {1, 13, 0x0E},
        {1, 14, 0x152}, {1, 15, 0x147}, {1, 16, 0x149}, {1, 17, 0x145}, {1, 18, 0x135}, {1, 19, 0x37}, {1, 20, 0x4A},

        {2, 0, 0x0F},   {2, 1, 0x10},   {2, 2, 0x11},   {2, 3, 0x12},   {2, 4, 0x13},   {2, 5, 0x14},  {2, 6, 0x15},
        {2, 7, 0x16},   {2, 8, 0x17},   {2, 9, 0x18},   {2, 10, 0x19},  {2, 11, 0x1A},  {2, 12, 0x1B}, {2, 13, 0x2B},
        {2, 14, 0x153}, {2, 15, 0x14F}, {2, 16, 0x151}, {2, 17, 0x47},  {2, 18, 0x48},  {2, 19, 0x49}, {2, 20, 0x4E},

        {3, 0, 0x3A},   {3, 1, 0x1E},   {3, 2, 0x1F},   {3, 3, 0x20},   {3, 4, 0x21},   {3, 5, 0x22},  {3, 6, 0x23},
        {3, 7, 0x24},   {3, 8, 0x25},   {3, 9, 0x26},   {3, 10, 0x27},  {3, 11, 0x28},  {3, 13, 0x1C}, {3, 17, 0x4B},
        {3, 18, 0x4C},  {3, 19, 0x4D},

        {4, 0, 0x2A},   {4, 1, 0x56},   {4, 2, 0x2C},   {4, 3, 0x2D},   {4, 4, 0x2E},   {4, 5, 0x2F},  {4, 6, 0x30},
        {4, 7, 0x31},   {4, 8, 0x32},   {4, 9, 0x33},   {4, 10, 0x34},  {4, 11, 0x35},  {4, 13, 0x36}, {4, 15, 0x148},
        {4, 17, 0x4F},  {4, 18, 0x50},  {4, 19, 0x51},  {4, 20, 0x11C},

        {5, 0, 0x1D},   {5, 1, 0x15B},  {5, 2, 0x38},   {5, 3, 0x39},   {5, 4, 0x138},  {5, 6, 0x15D}, {5, 7, 0x15C},
        {5, 8, 0x11D},  {5, 14, 0x14B}, {5, 15, 0x150}, {5, 16, 0x14D}, {5, 18, 0x52},  {5, 19, 0x53},
    };
    static_assert(std::size(places) == kKeyButtonCount);
    std::array<KeyButton, kKeyButtonCount> buttons{};
    for (std::size_t i = 0; i < kKeyButtonCount; ++i) {
        buttons[i] = {places[i].scanCode, static_cast<std::uint8_t>(places[i].row * 21 + places[i].column)};
    }
    return buttons;
}

constexpr auto kKeyButtons = BuildKeyButtons();

constexpr std::array<ScanCode, kKeyButtonCount> BuildKeyButtonScanCodes() {
    std::array<ScanCode, kKeyButtonCount> codes{};
    for (std::size_t i = 0; i < kKeyButtonCount; ++i) {
        codes[i] = kKeyButtons[i].scanCode;
    }
    return codes;
}

constexpr auto kKeyButtonScanCodes = BuildKeyButtonScanCodes();

// Cuts UTF-8 text to at most `maxChars` code points, never inside a sequence.
std::string CutToCharacters(std::string text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == maxChars) {
                text.resize(i);
                break;
            }
            ++chars;
        }
    }
    return text;
}

std::optional<std::uint32_t> ParseHexCode(std::string_view text) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X') || text.size() > 6) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (char c : text.substr(2)) {
        const char u = AsciiUpper(c);
        int digit;
        if (u >= '0' && u <= '9') {
            digit = u - '0';
        } else if (u >= 'A' && u <= 'F') {
            digit = u - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

} // namespace

std::uint16_t ToScanIndex(ScanCode code) {
    return ScanIndexOf(code);
}

ScanCode FromScanIndex(std::uint16_t index) {
    return ScanCodeOfIndex(index);
}

std::span<const KeyRow, kKeyTableRows> KeyTable() {
    return kKeyTable;
}

const KeyRow& KeyRowOf(ScanCode code) {
    const std::uint16_t index = ScanIndexOf(code);
    return index < kKeyTableRows ? kKeyTable[index] : kEmptyRow;
}

std::uint16_t KeyIdOf(ScanCode code) {
    return KeyRowOf(code).keyId;
}

ScanCode ScanCodeOfKeyId(std::uint16_t keyId) {
    for (std::uint16_t i = 0; i < kKeyTableRows; ++i) {
        if (kKeyTable[i].keyId == keyId && !kKeyTable[i].IsEmpty()) {
            return ScanCodeOfIndex(i);
        }
    }
    return 0;
}

HidPair ScanCodeToHidPair(ScanCode code) {
    const std::uint8_t hid = KeyRowOf(code).hidCode;
    if (hid == 0x00 || hid == 0xFF) {
        return {kPageNone, 0};
    }
    if (hid >= 0x81 && hid <= 0x83) {
        return {kPageGenericDesktop, hid};
    }
    if (hid >= 0xF1 && hid <= 0xF8) {
        return {kPageMouse, hid};
    }
    return {kPageKeyboard, hid};
}

ScanCode HidPairToScanCode(HidPair pair) {
    std::uint16_t hid = 0;
    switch (pair.page) {
    case kPageKeyboard:
        hid = pair.usage;
        break;
    case kPageGenericDesktop:
        hid = (pair.usage >= 0x81 && pair.usage <= 0x83) ? pair.usage : 0;
        break;
    case kPageConsumer:
        if (pair.usage != 0) {
            for (std::size_t slot = 0; slot < kConsumerSlotsUsed; ++slot) {
                if (kConsumerList[slot] == pair.usage) {
                    hid = static_cast<std::uint16_t>(0xC0 + slot);
                    break;
                }
            }
        }
        break;
    default:
        break;
    }
    // Usages above 0xFF cannot be a one-byte HID code.
    return hid <= 0xFF ? kHidCodeMap[hid] : ScanCode{0};
}

std::span<const std::uint16_t, 32> ConsumerList() {
    return kConsumerList;
}

std::uint8_t ModifierMaskOf(ScanCode code) {
    for (std::size_t bit = 0; bit < kModifierKeys.size(); ++bit) {
        if (kModifierKeys[bit] == code) {
            return static_cast<std::uint8_t>(1u << bit);
        }
    }
    return 0;
}

ScanCode ModifierScanCode(std::uint8_t mask) {
    for (std::size_t bit = 0; bit < kModifierKeys.size(); ++bit) {
        if (mask & (1u << bit)) {
            return kModifierKeys[bit];
        }
    }
    return 0;
}

std::span<const ScanCode, 256> VirtualKeyMap() {
    return kVirtualKeyMap;
}

ScanCode ScanCodeOfVirtualKey(std::uint8_t virtualKey) {
    return kVirtualKeyMap[virtualKey];
}

ScanCode KeyboardEventScanCode(std::uint32_t virtualKey, std::uint32_t eventWord) {
    const ScanCode scan = static_cast<ScanCode>((eventWord >> 16) & 0x1FF);
    const ScanCode mapped = virtualKey <= 0xFF ? kVirtualKeyMap[virtualKey] : 0;
    // Right Shift reports a plain scan code with the virtual key of either shift.
    if (scan == 0x36) {
        return 0x36;
    }
    if (virtualKey == 0xFF) {
        return scan;
    }
    // Injected events carry no hardware scan code.
    if (((eventWord >> 16) & 0xFF) == 0) {
        return mapped;
    }
    const KeyRow& row = KeyRowOf(scan);
    if (!row.IsEmpty() && (virtualKey == row.virtualKey || virtualKey == row.alternateVirtualKey)) {
        return scan;
    }
    if ((scan & 0xFF) == ScanIndexOf(mapped)) {
        return scan;
    }
    return mapped;
}

ScanCode MouseMessageScanCode(std::uint32_t message) {
    switch (message) {
    case 0x201:
    case 0x202:
        return 0x171;
    case 0x204:
    case 0x205:
        return 0x172;
    case 0x207:
    case 0x208:
        return 0x173;
    default:
        return 0;
    }
}

bool IsMouseReleaseMessage(std::uint32_t message) {
    return message == 0x202 || message == 0x205 || message == 0x208;
}

bool IsReleaseOnlyKey(ScanCode code) {
    return code == 0x54 || code == 0x71 || code == 0x72 || code == 0x137;
}

std::string KeyDisplayName(ScanCode code, Language& language, std::size_t bufferChars) {
    const KeyRow& row = KeyRowOf(code);
    std::string name;
    if (!row.languageKey.empty()) {
        name = language.Text(row.languageKey);
    }
    if (name.empty()) {
        name = FormatText(language.Text("UNKNOWN_KEY"), static_cast<long long>(code));
    }
    return CutToCharacters(std::move(name), bufferChars == 0 ? 0 : bufferChars - 1);
}

std::string KeyIdDisplayName(std::uint16_t keyId, Language& language) {
    const ScanCode code = ScanCodeOfKeyId(keyId);
    if (code == 0) {
        return {};
    }
    const KeyRow& row = KeyRowOf(code);
    return row.languageKey.empty() ? std::string{} : language.Text(row.languageKey);
}

std::string KeyLayoutName(ScanCode code) {
    return skin::KeyLayoutKey(ScanIndexOf(code));
}

std::string GKeyLayoutName(int number) {
    return skin::GKeyLayoutKey(number);
}

std::optional<ScanCode> FindKeyByName(std::string_view name) {
    name = Trim(name);
    if (name.empty()) {
        return std::nullopt;
    }
    if (const auto value = ParseHexCode(name)) {
        if (*value > 0xFFFF || KeyRowOf(static_cast<ScanCode>(*value)).IsEmpty() ||
            FromScanIndex(ScanIndexOf(static_cast<ScanCode>(*value))) != *value) {
            return std::nullopt;
        }
        return static_cast<ScanCode>(*value);
    }
    constexpr std::string_view kPrefix = "IDS_KEYBOARD_";
    for (std::uint16_t i = 0; i < kKeyTableRows; ++i) {
        const KeyRow& row = kKeyTable[i];
        if (row.IsEmpty()) {
            continue;
        }
        const bool prefixed = row.languageKey.substr(0, kPrefix.size()) == kPrefix;
        if (EqualsNoCase(name, row.englishLabel) || EqualsNoCase(name, row.languageKey) ||
            (prefixed && EqualsNoCase(name, row.languageKey.substr(kPrefix.size())))) {
            return ScanCodeOfIndex(i);
        }
    }
    return std::nullopt;
}

std::span<const KeyButton, kKeyButtonCount> KeyButtons() {
    return kKeyButtons;
}

std::span<const ScanCode, kKeyButtonCount> KeyButtonScanCodes() {
    return kKeyButtonScanCodes;
}

} // namespace brasslane
