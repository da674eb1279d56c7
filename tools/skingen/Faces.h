#pragma once

// Face drawers shared by the windows of the skin.

#include "SkinStyle.h"
#include "WindowSkin.h"

#include <QColor>
#include <QString>

#include <optional>

namespace brasslane::skingen {

FaceDrawer KeyFace(const QString& legend);
// A plate; `text` is drawn on it (empty for plates whose caption the program sets), `icon` at
// its left when there is text, centred otherwise.
FaceDrawer PlateFace(const QString& text = {}, std::optional<Icon> icon = std::nullopt, double radius = 8.0);
// A plate with `icon` at its left edge, leaving the middle free for a caption set at run time.
FaceDrawer IconPlateFace(Icon icon);
FaceDrawer GhostFace(Icon icon, bool danger = false);
// A status light with its label underneath; lit when selected.
FaceDrawer LockFace(const QString& label);
// A colour swatch button.
FaceDrawer SwatchFace(const QColor& colour);
// A page tab: `page` is the variant on whose pictures the tab shows as the open page.
FaceDrawer TabFace(int page);
// A round or square option mark (radio button, check box); checked on the pressed picture.
FaceDrawer OptionFace(bool round);
// Only drawn on the pictures of the given variants (bit mask).
FaceDrawer OnVariants(unsigned variants, FaceDrawer draw);

// The faces of the colour presets, red, green, blue.
struct Rgb {
    int r, g, b;
};
inline constexpr Rgb kPresetColours[8] = {{235, 99, 30}, {255, 0, 0},   {0, 126, 255}, {90, 255, 0},
                                          {234, 255, 0}, {255, 192, 0}, {255, 0, 180}, {174, 0, 255}};

} // namespace brasslane::skingen
