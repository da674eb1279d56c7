#pragma once

// The four skinned windows.

#include "WindowSkin.h"

#include <QImage>

namespace brasslane::skingen {

WindowSkin BuildMainSkin();
WindowSkin BuildCompositeSkin();
WindowSkin BuildProfileSkin();
WindowSkin BuildUpdateSkin();
WindowSkin BuildAutoProfileSkin();

// The animated arrows of the main window: all eight frames on one picture, at the origins the
// main window's BUTTONINFO2 names.
QImage RenderArrowPicture(const QImage& mainBackground, const WindowSkin& main);

// Variants of the key dialog's state pictures, one per page set.
enum CompositeVariant : int { kKeyPage = 0, kMacroPage = 1, kMacroOnlyPage = 2, kMediaPage = 3, kFunctionPage = 4 };

} // namespace brasslane::skingen
