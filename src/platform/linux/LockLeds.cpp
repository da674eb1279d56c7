#include "platform/linux/LockLeds.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

namespace brasslane::platform {

namespace {

// A brightness file holds a decimal number; anything above 0 is lit. An unreadable or
// malformed file counts as off.
bool Lit(const std::filesystem::path& file) {
    std::ifstream in(file);
    long value = 0;
    return in && (in >> value) && value > 0;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

LockLeds ReadLockLeds(const std::filesystem::path& sysfsRoot) {
    LockLeds leds;
    std::error_code ec;
    std::filesystem::directory_iterator it(sysfsRoot / "class" / "leds", ec);
    if (ec) {
        return leds;
    }
    for (const std::filesystem::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        bool* lock = nullptr;
        if (EndsWith(name, "::numlock")) {
            lock = &leds.num;
        } else if (EndsWith(name, "::capslock")) {
            lock = &leds.caps;
        } else if (EndsWith(name, "::scrolllock")) {
            lock = &leds.scroll;
        }
        if (lock != nullptr && !*lock) {
            *lock = Lit(entry.path() / "brightness");
        }
    }
    return leds;
}

LockLeds ReadLockLeds() {
    const char* root = std::getenv("BRASSLANE_SYSFS_ROOT");
    return ReadLockLeds(root != nullptr && root[0] == '/' ? std::filesystem::path(root)
                                                          : std::filesystem::path("/sys"));
}

} // namespace brasslane::platform
