#pragma once

// The lighting panel's bitmaps and the tray icons.

#include "WindowSkin.h"

#include <QImage>
#include <QString>

#include <utility>
#include <vector>

namespace brasslane::skingen {

// Every lighting-panel bitmap by file name. Each is drawn over the part of the main window's
// background it is shown on, so that the pictures sit seamlessly in the panel.
std::vector<std::pair<QString, QImage>> RenderLightingBitmaps(const QImage& mainBackground, const WindowSkin& main);

// Level picture k: 0-5 the six brightness stops, 6-10 the five speed positions, 11-25 a
// fifteen-stop scale.
constexpr int kLevelPictureCount = 26;
constexpr int kBusyFrameCount = 10;

enum class TrayState { NoKeyboard, Connected, Highlight };
QImage RenderTrayIcon(TrayState state, int size = 64);

} // namespace brasslane::skingen
