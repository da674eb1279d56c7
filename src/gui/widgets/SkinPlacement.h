#pragma once

// The four ways a dialog puts a control where its skin's layout file says. Rectangles are read
// from the layout file at the moment of placement; a missing file or key gives (1, 1), 1 x 1.

#include "gui/widgets/CPngButton.h"
#include "gui/widgets/SkinPictures.h"

#include "core/resources/SkinLayout.h"

#include <QWidget>

#include <string_view>

namespace brasslane::gui {

QRect ToQRect(const SkinRect& rect);

// Places a skinned button at its rectangle and cuts its faces from `pictures` at (x - 1, y - 1)
// by `rule`. A button placed at (1, 1), which is also where a missing key puts it, is disabled.
void PlaceAndSkin(CPngButton& button, const SkinLayout& layout, std::string_view section, std::string_view key,
                  const StatePictures& pictures, FaceRule rule);

// Places a control (text, picture, slider, edit field, list) at its rectangle.
void Place(QWidget& control, const SkinLayout& layout, std::string_view section, std::string_view key);

// Moves a control to the position of `key`, keeping its size, and repaints it.
void Move(QWidget& control, const SkinLayout& layout, std::string_view section, std::string_view key);

// Places a button at the rectangle of `rectKey` (section BUTTONINFO) with one face for every
// state, cut from `picture` at (x - 1, y - 1) of `faceKey` in `faceSection`: the face origin is
// written like a control position.
void PlaceWithFaceOrigin(CPngButton& button, const SkinLayout& layout, std::string_view rectKey,
                         std::string_view faceSection, std::string_view faceKey, const QImage& picture);

} // namespace brasslane::gui
