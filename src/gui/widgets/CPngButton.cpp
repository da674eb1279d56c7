#include "gui/widgets/CPngButton.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace brasslane::gui {

namespace {

QPixmap Cut(const QImage& picture, const QPoint& origin, const QSize& size) {
    if (picture.isNull() || size.isEmpty()) {
        return {};
    }
    return QPixmap::fromImage(picture.copy(QRect(origin, size)));
}

int Index(Face face) {
    return static_cast<int>(face);
}

// Light text on dark faces, dark text on light ones, judged by the face's average brightness.
QColor CaptionColourFor(const QPixmap& face) {
    if (face.isNull()) {
        return QColor(0xDA, 0xDF, 0xE6);
    }
    const QImage tiny = face.toImage().scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QColor average = tiny.pixelColor(0, 0);
    const double luma = 0.299 * average.red() + 0.587 * average.green() + 0.114 * average.blue();
    return luma > 140 ? QColor(0x1E, 0x18, 0x0F) : QColor(0xDA, 0xDF, 0xE6);
}

} // namespace

CPngButton::CPngButton(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
}

void CPngButton::SetFaces(const StatePictures& pictures, const QPoint& origin, const QSize& size, FaceRule rule) {
    m_origin = origin;
    m_faceSize = size;
    m_rule = rule;
    const QPixmap normal = Cut(pictures.normal, origin, size);
    const QPixmap over = Cut(pictures.over, origin, size);
    const QPixmap down = Cut(pictures.down, origin, size);
    const QPixmap disable = Cut(pictures.disable, origin, size);
    switch (rule) {
    case FaceRule::Push:
        m_faces[Index(Face::Normal)] = normal, m_faces[Index(Face::Over)] = over, m_faces[Index(Face::Down)] = down;
        m_faces[Index(Face::Disabled)] = normal, m_faces[Index(Face::Selected)] = normal;
        break;
    case FaceRule::Apply:
        m_faces[Index(Face::Normal)] = normal, m_faces[Index(Face::Over)] = over, m_faces[Index(Face::Down)] = down;
        m_faces[Index(Face::Disabled)] = disable, m_faces[Index(Face::Selected)] = normal;
        break;
    case FaceRule::Choice:
        m_faces[Index(Face::Normal)] = normal, m_faces[Index(Face::Over)] = over, m_faces[Index(Face::Down)] = down;
        m_faces[Index(Face::Disabled)] = normal, m_faces[Index(Face::Selected)] = disable;
        break;
    case FaceRule::LockIndicator:
        for (Face face : {Face::Normal, Face::Over, Face::Down, Face::Disabled}) {
            m_faces[Index(face)] = normal;
        }
        m_faces[Index(Face::Selected)] = over;
        break;
    }
    UpdateCaptionColours();
    update();
}

void CPngButton::UpdateCaptionColours() {
    for (int i = 0; i < 5; ++i) {
        m_captionColours[i] = CaptionColourFor(m_faces[i]);
    }
}

void CPngButton::SetSingleFace(const QImage& picture, const QPoint& origin, const QSize& size) {
    m_origin = origin;
    m_faceSize = size;
    const QPixmap face = Cut(picture, origin, size);
    for (QPixmap& slot : m_faces) {
        slot = face;
    }
    UpdateCaptionColours();
    update();
}

void CPngButton::SetFacePicture(const QImage& picture) {
    const QPixmap face = QPixmap::fromImage(picture);
    for (QPixmap& slot : m_faces) {
        slot = face;
    }
    m_faceSize = picture.size();
    UpdateCaptionColours();
    update();
}

void CPngButton::SetOverridePicture(const QImage& picture) {
    m_override = Cut(picture, m_origin, m_faceSize.isEmpty() ? size() : m_faceSize);
    m_overrideCaptionColour = CaptionColourFor(m_override);
    update();
}

void CPngButton::ClearOverridePicture() {
    m_override = QPixmap();
    update();
}

void CPngButton::SetSelected(bool selected) {
    if (m_selected != selected) {
        m_selected = selected;
        update();
    }
}

void CPngButton::SetTint(std::optional<QColor> tint, std::optional<QColor> legend) {
    if (m_tint == tint && m_legend == legend) {
        return;
    }
    m_tint = tint;
    m_legend = tint ? legend : std::nullopt;
    // A lit key paints its whole opaque face: the window beneath need not be painted first,
    // which keeps a preview frame of a hundred keys cheap.
    const QPixmap& normal = m_faces[Index(Face::Normal)];
    setAttribute(Qt::WA_OpaquePaintEvent,
                 m_tint && m_legend && !normal.isNull() && !normal.hasAlphaChannel() && normal.size() == size());
    update();
}

const QImage& CPngButton::CapPicture(const QColor& colour) {
    if (m_capMask.size() != size()) {
        m_capMask = QImage(size(), QImage::Format_Alpha8);
        m_capMask.fill(0);
        QPainter painter(&m_capMask);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(2.5, 2, -2.5, -4), 5, 5);
        // Nearly opaque: the cap's shading still shows a little through the light.
        painter.fillPath(path, QColor(0, 0, 0, 235));
        m_capPicture = QImage();
    }
    if (m_capPicture.isNull() || m_capPictureColour != colour.rgb()) {
        m_capPicture = QImage(m_capMask.size(), QImage::Format_ARGB32_Premultiplied);
        m_capPicture.fill(colour);
        QPainter painter(&m_capPicture);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.drawImage(0, 0, m_capMask);
        m_capPictureColour = colour.rgb();
    }
    return m_capPicture;
}

const QPixmap& CPngButton::LegendPicture(const QPixmap& face, const QColor& colour) {
    if (face.cacheKey() != m_legendFace || m_legendMask.isNull()) {
        // The legends are the light pixels of the dark key cap; the cap's own highlight stays
        // below the threshold.
        constexpr int kFrom = 110;
        constexpr int kSpan = 70;
        const QImage source = face.toImage().convertToFormat(QImage::Format_ARGB32);
        m_legendMask = QImage(source.size(), QImage::Format_Alpha8);
        for (int y = 0; y < source.height(); ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
            uchar* out = m_legendMask.scanLine(y);
            for (int x = 0; x < source.width(); ++x) {
                const int light = qGray(in[x]);
                out[x] = static_cast<uchar>(std::clamp((light - kFrom) * 255 / kSpan, 0, 255) * qAlpha(in[x]) / 255);
            }
        }
        m_legendFace = face.cacheKey();
        m_legendPicture = QPixmap();
    }
    if (m_legendPicture.isNull() || m_legendPictureColour != colour.rgb()) {
        QImage picture(m_legendMask.size(), QImage::Format_ARGB32_Premultiplied);
        picture.fill(colour);
        QPainter painter(&picture);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.drawImage(0, 0, m_legendMask);
        painter.end();
        m_legendPicture = QPixmap::fromImage(picture);
        m_legendPictureColour = colour.rgb();
    }
    return m_legendPicture;
}

void CPngButton::SetTextColour(std::optional<QColor> colour) {
    m_textColour = colour;
    update();
}

Face CPngButton::CurrentFace() const {
    if (!isEnabled()) {
        return Face::Disabled;
    }
    if (isDown()) {
        return Face::Down;
    }
    if (m_selected || (isCheckable() && isChecked())) {
        return Face::Selected;
    }
    if (m_hover) {
        return Face::Over;
    }
    return Face::Normal;
}

const QPixmap& CPngButton::FacePixmap(Face face) const {
    return m_faces[Index(face)];
}

QSize CPngButton::sizeHint() const {
    return m_faceSize.isEmpty() ? QSize(80, 24) : m_faceSize;
}

void CPngButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Face current = CurrentFace();
    const bool overridden = !m_override.isNull();
    // A lit key shows its plain cap under the light, whatever its assignment face.
    const bool lit = m_tint && m_legend;
    const QPixmap& face = overridden ? m_override : m_faces[Index(lit ? Face::Normal : current)];
    if (!face.isNull()) {
        painter.drawPixmap(0, 0, face);
    }
    if (lit && !face.isNull()) {
        // Pictures, not a path: an antialiased path is filled span by span, which Qt hands to
        // its thread pool for every key of every preview frame.
        painter.drawImage(0, 0, CapPicture(*m_tint));
        painter.drawPixmap(0, 0, LegendPicture(face, *m_legend));
    } else if (m_tint) {
        // Screen blending colours the key while its legend stays readable as a lighter shade.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setCompositionMode(QPainter::CompositionMode_Screen);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(2.5, 2, -2.5, -4), 5, 5);
        painter.fillPath(path, *m_tint);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    const bool veiled = !isEnabled() && m_rule != FaceRule::LockIndicator;
    if (veiled) {
        // Most skins draw no face of their own for a disabled button (a key the flip setting
        // takes away, Apply without a pending edit would look live): a dark veil shows it.
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 5, 5);
        painter.fillPath(path, QColor(0x0B, 0x0D, 0x10, 170));
    }
    if (!text().isEmpty()) {
        painter.setFont(font());
        painter.setPen(
            veiled ? QColor(0x5A, 0x62, 0x6C)
                   : m_textColour.value_or(overridden ? m_overrideCaptionColour : m_captionColours[Index(current)]));
        QRect area = rect();
        if (current == Face::Down) {
            area.translate(0, 1);
        }
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, text());
    }
}

void CPngButton::enterEvent(QEnterEvent* event) {
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CPngButton::leaveEvent(QEvent* event) {
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CPngButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        m_hover = m_hover && isEnabled();
        update();
    }
    QAbstractButton::changeEvent(event);
}

} // namespace brasslane::gui
