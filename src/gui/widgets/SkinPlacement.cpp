#include "gui/widgets/SkinPlacement.h"

namespace brasslane::gui {

namespace {

QPoint FaceOriginOf(const SkinRect& rect) {
    const SkinPoint origin = FaceOrigin(rect);
    return {origin.x, origin.y};
}

} // namespace

QRect ToQRect(const SkinRect& rect) {
    return QRect(rect.x, rect.y, rect.w, rect.h);
}

void PlaceAndSkin(CPngButton& button, const SkinLayout& layout, std::string_view section, std::string_view key,
                  const StatePictures& pictures, FaceRule rule) {
    const SkinRect rect = layout.Rect(section, key);
    button.setGeometry(ToQRect(rect));
    button.SetFaces(pictures, FaceOriginOf(rect), QSize(rect.w, rect.h), rule);
    if (IsDisabledPlacement(rect)) {
        button.setEnabled(false);
    }
}

void Place(QWidget& control, const SkinLayout& layout, std::string_view section, std::string_view key) {
    control.setGeometry(ToQRect(layout.Rect(section, key)));
}

void Move(QWidget& control, const SkinLayout& layout, std::string_view section, std::string_view key) {
    const SkinRect rect = layout.Rect(section, key);
    control.move(rect.x, rect.y);
    control.update();
}

void PlaceWithFaceOrigin(CPngButton& button, const SkinLayout& layout, std::string_view rectKey,
                         std::string_view faceSection, std::string_view faceKey, const QImage& picture) {
    const SkinRect rect = layout.Rect(SkinLayout::kButtonSection, rectKey);
    const SkinRect face = layout.Rect(faceSection, faceKey);
    button.setGeometry(ToQRect(rect));
    button.SetSingleFace(picture, FaceOriginOf(face), QSize(rect.w, rect.h));
}

} // namespace brasslane::gui
