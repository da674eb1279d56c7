#pragma once

// A skinned push button whose five faces (normal, hover, pressed, disabled, selected) are cut
// from whole-window state pictures at the button's face origin. The caption is drawn centred
// over the face, light or dark to suit the face.

#include "gui/widgets/SkinPictures.h"

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QPixmap>

#include <optional>

namespace brasslane::gui {

// Which state picture serves the disabled and the selected face.
enum class FaceRule {
    Push,          // disabled and selected: normal
    Apply,         // disabled: the "disable" picture; selected: normal
    Choice,        // selected: the "disable" picture; disabled: normal
    LockIndicator, // every face normal except selected, which is the "over" picture
};

enum class Face { Normal, Over, Down, Disabled, Selected };

class CPngButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit CPngButton(QWidget* parent = nullptr);

    // Cuts the faces of `size` at `origin` (pixels of the state pictures) by `rule`.
    void SetFaces(const StatePictures& pictures, const QPoint& origin, const QSize& size, FaceRule rule);
    // One picture region for every face (the animated arrows).
    void SetSingleFace(const QImage& picture, const QPoint& origin, const QSize& size);
    // A whole picture for every face (the colour presets' bitmaps).
    void SetFacePicture(const QImage& picture);

    // Shows a face cut from another whole-window picture, at the same origin, in every state
    // until cleared (the key-selection faces of the main window).
    void SetOverridePicture(const QImage& picture);
    void ClearOverridePicture();
    bool HasOverridePicture() const { return !m_override.isNull(); }

    void SetSelected(bool selected);
    bool IsSelected() const { return m_selected; }

    // A colour laid over the face (a key's lighting colour); nullopt clears it. With a legend
    // colour the key cap is filled with the tint and the face's light legend is drawn again in
    // `legend`, so that it stays readable over any tint; without one the tint is blended so
    // that the legend shows as a lighter shade.
    void SetTint(std::optional<QColor> tint, std::optional<QColor> legend = std::nullopt);
    std::optional<QColor> LegendColour() const { return m_legend; }
    std::optional<QColor> Tint() const { return m_tint; }

    // The caption colour; by default it follows the brightness of the face shown.
    void SetTextColour(std::optional<QColor> colour);

    // The face the button would paint now.
    Face CurrentFace() const;
    const QPixmap& FacePixmap(Face face) const;
    QPoint FaceOrigin() const { return m_origin; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateCaptionColours();
    // The light legend of `face` as a picture in `colour`, cached for the face last asked.
    const QPixmap& LegendPicture(const QPixmap& face, const QColor& colour);
    // The key cap's shape filled with `colour`, cached for the colour last asked.
    const QImage& CapPicture(const QColor& colour);

    QPixmap m_faces[5];
    QColor m_captionColours[5];
    QPixmap m_override;
    QColor m_overrideCaptionColour;
    QPoint m_origin;
    QSize m_faceSize;
    bool m_selected = false;
    bool m_hover = false;
    std::optional<QColor> m_tint;
    std::optional<QColor> m_legend;
    QImage m_legendMask; // alpha: how much each pixel of the face belongs to the legend
    qint64 m_legendFace = 0;
    QPixmap m_legendPicture;
    QRgb m_legendPictureColour = 0;
    QImage m_capMask;
    QImage m_capPicture;
    QRgb m_capPictureColour = 0;
    std::optional<QColor> m_textColour;
    FaceRule m_rule = FaceRule::Push; // how the faces were cut; lock indicators are never veiled
};

} // namespace brasslane::gui
