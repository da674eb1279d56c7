#include "gui/KeyButtonLayout.h"

#include "core/keys/KeyTable.h"

namespace brasslane::gui {

std::string KeyButtonLayoutKey(KeyButtonId button) {
    switch (button.kind) {
    case KeyButtonId::Kind::kKey:
        return KeyLayoutName(button.scanCode);
    case KeyButtonId::Kind::kGKey:
        return GKeyLayoutName(button.gKey);
    case KeyButtonId::Kind::kFn:
        break;
    }
    return "KEY_FN";
}

} // namespace brasslane::gui
