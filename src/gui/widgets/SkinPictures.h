#pragma once

// Pictures of a skin: loading them from a skin folder and the whole-window state pictures from
// which skinned buttons cut their faces.

#include <QImage>
#include <QRegion>
#include <QString>

#include <filesystem>

namespace brasslane::gui {

// The state pictures of one dialog, all of the background's size. A picture the dialog does
// not have stays null; faces cut from a null picture are empty and show the background.
struct StatePictures {
    QImage normal;
    QImage over;
    QImage down;
    QImage disable;
};

QString ToQString(const std::filesystem::path& path);

// Loads a JPEG, BMP, PNG or GIF picture. Returns false (and leaves `picture` null) when the
// file is missing or cannot be decoded.
bool LoadSkinPicture(const std::filesystem::path& file, QImage& picture);

// Loads the named pictures from `folder`; an empty name leaves that picture null. Returns false
// when a named picture cannot be loaded.
bool LoadStatePictures(const std::filesystem::path& folder, const QString& normal, const QString& over,
                       const QString& down, const QString& disable, StatePictures& pictures);

// The window shape a mask picture gives a window of `windowSize`: the whole window less every
// pure white pixel (red, green and blue all 255) of the mask.
QRegion RegionWithoutWhite(const QImage& mask, const QSize& windowSize);

} // namespace brasslane::gui
