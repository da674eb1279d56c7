#pragma once

// The layout key of a button of the main window's keyboard picture.

#include "core/app/MainWindowButtons.h"

#include <string>

namespace brasslane::gui {

// "KEY_%03X" with the key's scan index, "FUNC_G%d" for G1..G9, "KEY_FN" for Fn.
std::string KeyButtonLayoutKey(KeyButtonId button);

} // namespace brasslane::gui
