#pragma once

// The Num, Caps and Scroll Lock state as the keyboards show it: the kernel's LED class devices
// ("<sysfs>/class/leds/input3::capslock/brightness"). A lock is lit when any keyboard lights
// its LED; without such a device (no keyboard, or a system that does not expose them) it reads
// off. Readable without special rights, on X11 and Wayland alike.

#include <filesystem>

namespace brasslane::platform {

struct LockLeds {
    bool num = false;
    bool caps = false;
    bool scroll = false;
    bool operator==(const LockLeds&) const = default;
};

// `sysfsRoot` is "/sys" on a real system (BRASSLANE_SYSFS_ROOT when set, as for the hidraw
// backend); tests point it at a folder of their own.
LockLeds ReadLockLeds(const std::filesystem::path& sysfsRoot);
LockLeds ReadLockLeds();

} // namespace brasslane::platform
