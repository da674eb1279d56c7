#include "gui/widgets/CSkinMenu.h"

namespace brasslane::gui {

CSkinMenu::CSkinMenu(QWidget* parent) : QMenu(parent) {
    setStyleSheet(QStringLiteral(
        "QMenu { background: #1d222a; color: #dadfe6; border: 1px solid #3a424d; border-radius: 8px; padding: 6px; }"
        "QMenu::item { padding: 6px 22px 6px 22px; border-radius: 5px; }"
        "QMenu::item:selected { background: #d99a3a; color: #1e180f; }"
        "QMenu::item:disabled { color: #5a626c; }"
        "QMenu::separator { height: 1px; background: #2a313a; margin: 5px 8px; }"
        "QMenu::indicator { width: 12px; height: 12px; left: 6px; }"));
}

} // namespace brasslane::gui
