#include "platform/windows/SystemLanguage.h"

#include <windows.h>

namespace brasslane {

std::uint16_t SystemLanguageId() {
    const LANGID id = GetUserDefaultUILanguage();
    return id == 0 ? kEnglishUnitedStates : static_cast<std::uint16_t>(id);
}

} // namespace brasslane
