#pragma once

// Message numbers, four-letter codes, timer ids and icon resources shared by the device
// threads, the main window and a second instance of the program. The numbers are fixed:
// a second copy of the program and outside tools send them.

#include <cstdint>

namespace brasslane {

// Four-letter codes carried in wParam; their bytes spell the word in memory order.
constexpr std::uint32_t kCodeProf = 0x50524F46;       // "PROF"
constexpr std::uint32_t kCodeOpen = 0x4F50454E;       // "OPEN"
constexpr std::uint32_t kCodeKill = 0x4C4C494B;       // "KILL"
constexpr std::uint32_t kCodeInit = 0x494E4954;       // "INIT"
constexpr std::uint32_t kCodeLang = 0x4C414E47;       // "LANG"
constexpr std::uint32_t kCodeWind = 0x57494E44;       // "WIND"
constexpr std::uint32_t kCodeDone = 0x454E4F44;       // "DONE"
constexpr std::uint32_t kMainWindowMark = 0x4D41494E; // "MAIN"

constexpr std::uint32_t MSG_OPEN = 0x5350;
constexpr std::uint32_t MSG_KILL = 0x4D4B;
constexpr std::uint32_t MSG_INIT = 0x4D4E;
constexpr std::uint32_t MSG_PROFILE_SYNC = 0x5452;
constexpr std::uint32_t MSG_DEVICE_LOST = 0x4753;
constexpr std::uint32_t MSG_LANGUAGE = 0x5041;
// The active-window watcher saw the focus move (lParam kWindowChanged) or found that the
// focused window cannot be known (lParam kWindowUnknowable); posted with kCodeWind.
constexpr std::uint32_t MSG_ACTIVE_WINDOW = 0x4157;
constexpr std::intptr_t kWindowChanged = 1;
constexpr std::intptr_t kWindowUnknowable = 2;
// Posted by the main window's worker thread when its job (an apply, an import, a backup) has
// run; the window then takes the result on its own thread.
constexpr std::uint32_t MSG_JOB_DONE = 0x4A42;

// Command ids of the main window that arrive from outside or from menus.
constexpr std::uint32_t kCommandFirmwareUpdate = 32780;
constexpr std::uint32_t kCommandProfileMenu = 1009;
constexpr std::uint32_t kCommandTrayOpen = 32771;
constexpr std::uint32_t kCommandTrayAbout = 32773;
constexpr std::uint32_t kCommandTrayExit = 32774;
constexpr std::uint32_t kCommandProfileBase = 9000; // 9000 + k chooses profile k - 1

// Main window timers.
constexpr int kTimerBusy = 1050;           // busy indicator frames, 50 ms
constexpr int kTimerLightingReload = 1051; // keyboard changed its lighting itself
constexpr int kTimerPreview = 1052;        // lighting preview, 100 ms then 50 ms
constexpr int kTimerSettingsReset = 1053;  // keyboard reset its settings itself
constexpr int kTimerAutoProfile = 1054;    // automatic profiles: the focus settled, one-shot

// Tray icon resources.
constexpr int kIconNoKeyboard = 128;
constexpr int kIconConnected = 141;
constexpr int kIconKeyboardState = 142;

// Usages the keyboard reports on its consumer-control interface.
constexpr std::uint16_t kUsageLightingChanged = 0x0401;
constexpr std::uint16_t kUsageSettingsReset = 0x0402;
constexpr std::uint16_t kUsageStateOn = 0x1811;
constexpr std::uint16_t kUsageStateOff = 0x1810;

} // namespace brasslane
