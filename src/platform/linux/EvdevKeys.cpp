#include "platform/linux/EvdevKeys.h"

#include <algorithm>
#include <array>

namespace brasslane::platform {

namespace {

// The evdev code of a key and its ScanCode. Codes 1..83 follow the PC make codes of the main
// block and keypad, except Num Lock, which the key table keeps as an E0 key (0x145) beside
// Pause (0x45).
constexpr std::array<EvdevKey, 147> kTable{{
    {1, 0x01},    // KEY_ESC
    {2, 0x02},    // KEY_1
    {3, 0x03},    // KEY_2
    {4, 0x04},    // KEY_3
    {5, 0x05},    // KEY_4
    {6, 0x06},    // KEY_5
    {7, 0x07},    // KEY_6
    {8, 0x08},    // KEY_7
    {9, 0x09},    // KEY_8
    {10, 0x0A},   // KEY_9
    {11, 0x0B},   // KEY_0
    {12, 0x0C},   // KEY_MINUS
    {13, 0x0D},   // KEY_EQUAL
    {14, 0x0E},   // KEY_BACKSPACE
    {15, 0x0F},   // KEY_TAB
    {16, 0x10},   // KEY_Q
    {17, 0x11},   // KEY_W
    {18, 0x12},   // KEY_E
    {19, 0x13},   // KEY_R
    {20, 0x14},   // KEY_T
    {21, 0x15},   // KEY_Y
    {22, 0x16},   // KEY_U
    {23, 0x17},   // KEY_I
    {24, 0x18},   // KEY_O
    {25, 0x19},   // KEY_P
    {26, 0x1A},   // KEY_LEFTBRACE
    {27, 0x1B},   // KEY_RIGHTBRACE
    {28, 0x1C},   // KEY_ENTER
    {29, 0x1D},   // KEY_LEFTCTRL
    {30, 0x1E},   // KEY_A
    {31, 0x1F},   // KEY_S
    {32, 0x20},   // KEY_D
    {33, 0x21},   // KEY_F
    {34, 0x22},   // KEY_G
    {35, 0x23},   // KEY_H
    {36, 0x24},   // KEY_J
    {37, 0x25},   // KEY_K
    {38, 0x26},   // KEY_L
    {39, 0x27},   // KEY_SEMICOLON
    {40, 0x28},   // KEY_APOSTROPHE
    {41, 0x29},   // KEY_GRAVE
    {42, 0x2A},   // KEY_LEFTSHIFT
    {43, 0x2B},   // KEY_BACKSLASH
    {44, 0x2C},   // KEY_Z
    {45, 0x2D},   // KEY_X
    {46, 0x2E},   // KEY_C
    {47, 0x2F},   // KEY_V
    {48, 0x30},   // KEY_B
    {49, 0x31},   // KEY_N
    {50, 0x32},   // KEY_M
    {51, 0x33},   // KEY_COMMA
    {52, 0x34},   // KEY_DOT
    {53, 0x35},   // KEY_SLASH
    {54, 0x36},   // KEY_RIGHTSHIFT
    {55, 0x37},   // KEY_KPASTERISK
    {56, 0x38},   // KEY_LEFTALT
    {57, 0x39},   // KEY_SPACE
    {58, 0x3A},   // KEY_CAPSLOCK
    {59, 0x3B},   // KEY_F1
    {60, 0x3C},   // KEY_F2
    {61, 0x3D},   // KEY_F3
    {62, 0x3E},   // KEY_F4
    {63, 0x3F},   // KEY_F5
    {64, 0x40},   // KEY_F6
    {65, 0x41},   // KEY_F7
    {66, 0x42},   // KEY_F8
    {67, 0x43},   // KEY_F9
    {68, 0x44},   // KEY_F10
    {69, 0x145},  // KEY_NUMLOCK
    {70, 0x46},   // KEY_SCROLLLOCK
    {71, 0x47},   // KEY_KP7
    {72, 0x48},   // KEY_KP8
    {73, 0x49},   // KEY_KP9
    {74, 0x4A},   // KEY_KPMINUS
    {75, 0x4B},   // KEY_KP4
    {76, 0x4C},   // KEY_KP5
    {77, 0x4D},   // KEY_KP6
    {78, 0x4E},   // KEY_KPPLUS
    {79, 0x4F},   // KEY_KP1
    {80, 0x50},   // KEY_KP2
    {81, 0x51},   // KEY_KP3
    {82, 0x52},   // KEY_KP0
    {83, 0x53},   // KEY_KPDOT
    {86, 0x56},   // KEY_102ND
    {87, 0x57},   // KEY_F11
    {88, 0x58},   // KEY_F12
    {89, 0x73},   // KEY_RO
    {92, 0x79},   // KEY_HENKAN
    {93, 0x70},   // KEY_KATAKANAHIRAGANA
    {94, 0x7B},   // KEY_MUHENKAN
    {96, 0x11C},  // KEY_KPENTER
    {97, 0x11D},  // KEY_RIGHTCTRL
    {98, 0x135},  // KEY_KPSLASH
    {99, 0x137},  // KEY_SYSRQ: Print Screen
    {100, 0x138}, // KEY_RIGHTALT
    {102, 0x147}, // KEY_HOME
    {103, 0x148}, // KEY_UP
    {104, 0x149}, // KEY_PAGEUP
    {105, 0x14B}, // KEY_LEFT
    {106, 0x14D}, // KEY_RIGHT
    {107, 0x14F}, // KEY_END
    {108, 0x150}, // KEY_DOWN
    {109, 0x151}, // KEY_PAGEDOWN
    {110, 0x152}, // KEY_INSERT
    {111, 0x153}, // KEY_DELETE
    {113, 0x120}, // KEY_MUTE
    {114, 0x12E}, // KEY_VOLUMEDOWN
    {115, 0x130}, // KEY_VOLUMEUP
    {116, 0x15E}, // KEY_POWER
    {119, 0x45},  // KEY_PAUSE
    {121, 0x7E},  // KEY_KPCOMMA
    {122, 0x72},  // KEY_HANGEUL
    {123, 0x71},  // KEY_HANJA
    {124, 0x7D},  // KEY_YEN
    {125, 0x15B}, // KEY_LEFTMETA
    {126, 0x15C}, // KEY_RIGHTMETA
    {127, 0x15D}, // KEY_COMPOSE: the App key
    {128, 0x168}, // KEY_STOP: WWW Stop
    {133, 0x176}, // KEY_COPY
    {135, 0x178}, // KEY_PASTE
    {137, 0x177}, // KEY_CUT
    {140, 0x121}, // KEY_CALC
    {142, 0x15F}, // KEY_SLEEP
    {143, 0x163}, // KEY_WAKEUP
    {144, 0x16B}, // KEY_FILE: My PC as USB keyboards report it
    {155, 0x16C}, // KEY_MAIL
    {156, 0x166}, // KEY_BOOKMARKS: WWW Favorite
    {157, 0x16B}, // KEY_COMPUTER: My PC as PS/2 keyboards report it
    {158, 0x16A}, // KEY_BACK
    {159, 0x169}, // KEY_FORWARD
    {163, 0x119}, // KEY_NEXTSONG
    {164, 0x122}, // KEY_PLAYPAUSE
    {165, 0x110}, // KEY_PREVIOUSSONG
    {166, 0x124}, // KEY_STOPCD
    {171, 0x16D}, // KEY_CONFIG: Media Player as USB keyboards report it
    {172, 0x132}, // KEY_HOMEPAGE
    {173, 0x167}, // KEY_REFRESH
    {183, 0x64},  // KEY_F13
    {215, 0x16C}, // KEY_EMAIL: Mail as PS/2 keyboards report it
    {217, 0x165}, // KEY_SEARCH
    {226, 0x16D}, // KEY_MEDIA: Media Player as PS/2 keyboards report it
    {397, 0x17E}, // KEY_CALENDAR
    {418, 0x175}, // KEY_ZOOMIN
    {419, 0x174}, // KEY_ZOOMOUT
    {421, 0x17B}, // KEY_WORDPROCESSOR
    {423, 0x17C}, // KEY_SPREADSHEET
    {425, 0x17D}, // KEY_PRESENTATION
}};

// X11 and Wayland number their keycodes from 8 upwards: keycode = evdev code + 8.
constexpr std::uint32_t kNativeOffset = 8;

} // namespace

std::span<const EvdevKey> EvdevKeyTable() {
    return kTable;
}

std::uint16_t EvdevToScanCode(std::uint32_t evdev) {
    const auto found = std::lower_bound(kTable.begin(), kTable.end(), evdev,
                                        [](const EvdevKey& key, std::uint32_t code) { return key.evdev < code; });
    return found != kTable.end() && found->evdev == evdev ? found->scanCode : 0;
}

std::uint16_t NativeScanCodeToScanCode(std::uint32_t nativeScanCode) {
    return nativeScanCode < kNativeOffset ? 0 : EvdevToScanCode(nativeScanCode - kNativeOffset);
}

std::optional<std::uint16_t> ScanCodeToEvdev(std::uint16_t scanCode) {
    for (const EvdevKey& key : kTable) {
        if (key.scanCode == scanCode) {
            return key.evdev;
        }
    }
    return std::nullopt;
}

} // namespace brasslane::platform
