#pragma once

// The skinned dialog base: a frameless dialog whose size and outline come from its layout
// file's background and mask pictures, moved by dragging its background, with the placement
// operations bound to its own layout file.

#include "gui/widgets/CPngButton.h"
#include "gui/widgets/SkinPictures.h"

#include "core/resources/SkinLayout.h"

#include <QDialog>
#include <QImage>
#include <QPoint>

#include <filesystem>
#include <optional>
#include <string_view>

namespace brasslane::gui {

class CBaseDialog : public QDialog {
    Q_OBJECT

public:
    explicit CBaseDialog(QWidget* parent = nullptr);

    // Window-level set-up from `layoutFile`: reads SCREEN/Main and SCREEN/Mask, loads both
    // pictures from the layout file's folder (the background serves as mask when no mask is
    // named), resizes the window to the background keeping its position, and cuts the mask's
    // pure white pixels out of the window. Returns false, changing nothing, when either picture
    // cannot be loaded; the program then ends quietly.
    bool SetUpSkin(const std::filesystem::path& layoutFile);

    // Valid after a successful SetUpSkin.
    const SkinLayout& Layout() const { return *m_layout; }
    std::filesystem::path ImageFolder() const;
    const QImage& Background() const { return m_background; }

    // Loads state pictures from the image folder (see LoadStatePictures).
    bool LoadPictures(const QString& normal, const QString& over, const QString& down, const QString& disable,
                      StatePictures& pictures) const;

    // The placement operations on this dialog's layout file, section BUTTONINFO unless named.
    void PlaceAndSkin(CPngButton& button, std::string_view key, const StatePictures& pictures, FaceRule rule) const;
    void Place(QWidget& control, std::string_view key) const;
    void Move(QWidget& control, std::string_view key) const;
    void PlaceWithFaceOrigin(CPngButton& button, std::string_view rectKey, std::string_view faceSection,
                             std::string_view faceKey, const QImage& picture) const;

    // Swallow Enter and Escape so they neither press a default button nor close the dialog.
    void SetSwallowEnterAndEscape(bool swallow) { m_swallowEnterEscape = swallow; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::optional<SkinLayout> m_layout;
    QImage m_background;
    std::optional<QPoint> m_dragOffset; // pointer position relative to the window while dragging
    bool m_swallowEnterEscape = false;
};

} // namespace brasslane::gui
