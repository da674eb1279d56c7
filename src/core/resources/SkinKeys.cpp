#include "core/resources/SkinKeys.h"

#include "core/base/Keyboard.h"

#include <cstdio>

namespace brasslane::skin {

std::string KeyLayoutKey(int scanIndex) {
    if (scanIndex < 0 || scanIndex > 0xFF) {
        return {};
    }
    char key[16];
    std::snprintf(key, sizeof key, "KEY_%03X", static_cast<unsigned>(scanIndex));
    return key;
}

std::string GKeyLayoutKey(int number) {
    if (number < 1 || number > kGKeysPerBank) {
        return {};
    }
    return "FUNC_G" + std::to_string(number);
}

std::string ArrowOriginKey(std::string_view base, int frame) {
    return std::string(base) + std::to_string(frame);
}

} // namespace brasslane::skin
