#include "Faces.h"

#include <QFontMetrics>
#include <QPainterPath>
#include <QRadialGradient>

namespace brasslane::skingen {

FaceDrawer KeyFace(const QString& legend) {
    return [legend](QPainter& painter, const QRectF& face, Look look, int) { DrawKeycap(painter, face, look, legend); };
}

FaceDrawer PlateFace(const QString& text, std::optional<Icon> icon, double radius) {
    return [text, icon, radius](QPainter& painter, const QRectF& face, Look look, int) {
        const QColor content = DrawPlate(painter, face, look, radius);
        const QRectF inner = look == Look::Down ? face.translated(0, 1) : face;
        if (text.isEmpty()) {
            if (icon) {
                const double s = std::min(18.0, inner.height() - 12);
                DrawIcon(painter, QRectF(inner.center().x() - s / 2, inner.center().y() - s / 2 - 0.5, s, s), *icon,
                         content);
            }
            return;
        }
        const QFont font = UiFont(12, true);
        if (icon) {
            const double s = 16;
            const double textWidth = QFontMetrics(font).horizontalAdvance(text);
            const double total = s + 7 + textWidth;
            const double left = inner.center().x() - total / 2;
            DrawIcon(painter, QRectF(left, inner.center().y() - s / 2 - 0.5, s, s), *icon, content);
            painter.save();
            painter.setFont(font);
            painter.setPen(content);
            painter.drawText(QRectF(left + s + 7, inner.top(), textWidth + 2, inner.height() - 1),
                             Qt::AlignVCenter | Qt::AlignLeft, text);
            painter.restore();
        } else {
            DrawCentredText(painter, inner.adjusted(0, 0, 0, -1), text, font, content);
        }
    };
}

FaceDrawer IconPlateFace(Icon icon) {
    return [icon](QPainter& painter, const QRectF& face, Look look, int) {
        const QColor content = DrawPlate(painter, face, look);
        const QRectF inner = look == Look::Down ? face.translated(0, 1) : face;
        DrawIcon(painter, QRectF(inner.left() + 12, inner.center().y() - 8.5, 16, 16), icon, content);
    };
}

FaceDrawer GhostFace(Icon icon, bool danger) {
    return [icon, danger](QPainter& painter, const QRectF& face, Look look, int) {
        const QColor content = DrawGhost(painter, face, look, danger);
        const double s = std::min(face.width(), face.height()) * 0.55;
        DrawIcon(painter, QRectF(face.center().x() - s / 2, face.center().y() - s / 2, s, s), icon, content);
    };
}

FaceDrawer LockFace(const QString& label) {
    return [label](QPainter& painter, const QRectF& face, Look look, int) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        const bool lit = look == Look::Selected;
        const QPointF led(face.center().x(), face.top() + 12);
        if (lit) {
            QRadialGradient glow(led, 11);
            glow.setColorAt(0, QColor(0xF0, 0xBA, 0x5C, 150));
            glow.setColorAt(1, QColor(0xF0, 0xBA, 0x5C, 0));
            painter.setPen(Qt::NoPen);
            painter.setBrush(glow);
            painter.drawEllipse(led, 11, 11);
        }
        painter.setPen(QPen(lit ? colour::kAccentLight : QColor(0x3A, 0x42, 0x4C), 1.2));
        painter.setBrush(lit ? colour::kAccentLight : QColor(0x22, 0x27, 0x2D));
        painter.drawEllipse(led, 4, 4);
        painter.restore();
        DrawCentredText(painter, QRectF(face.left(), face.top() + 20, face.width(), face.height() - 20), label,
                        UiFont(9, true), lit ? colour::kText : colour::kTextMuted);
    };
}

FaceDrawer SwatchFace(const QColor& swatch) {
    return [swatch](QPainter& painter, const QRectF& face, Look look, int) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        const bool pressed = look == Look::Down;
        QRectF r = face.adjusted(2, 2, -2, -2);
        if (pressed) {
            r.adjust(1, 1, -1, -1);
        }
        if (look == Look::Over || look == Look::Selected) {
            painter.setPen(QPen(colour::kAccentLight, 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(face.adjusted(1, 1, -1, -1));
        }
        QRadialGradient fill(r.center() - QPointF(r.width() * 0.2, r.height() * 0.25), r.width() * 0.75);
        fill.setColorAt(0, swatch.lighter(125));
        fill.setColorAt(1, swatch.darker(pressed ? 135 : 110));
        painter.setPen(QPen(QColor(0, 0, 0, 120), 1));
        painter.setBrush(fill);
        painter.drawEllipse(r.adjusted(1.5, 1.5, -1.5, -1.5));
        painter.restore();
    };
}

FaceDrawer TabFace(int page) {
    return [page](QPainter& painter, const QRectF& face, Look look, int variant) {
        const bool open = variant == page;
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF r = face.adjusted(1, 1, -1, -1);
        QColor fill = open ? QColor(0x2E, 0x34, 0x3D) : QColor(0x1B, 0x1F, 0x25);
        QColor border = open ? QColor(0x3B, 0x43, 0x4E) : QColor(0x26, 0x2C, 0x33);
        if (look == Look::Over) {
            fill = QColor(0x36, 0x3D, 0x48);
            border = colour::kAccent;
        } else if (look == Look::Down) {
            fill = QColor(0x17, 0x1A, 0x1F);
        } else if (look == Look::Selected) {
            fill = QColor(0x30, 0x2A, 0x20);
            border = colour::kAccentDark;
        } else if (look == Look::Dimmed) {
            fill = QColor(0x19, 0x1C, 0x21);
        }
        painter.setPen(QPen(border, 1));
        painter.setBrush(fill);
        painter.drawPath(RoundedRect(r, 7));
        if (open || look == Look::Selected) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour::kAccent);
            painter.drawPath(RoundedRect(QRectF(r.left() + 14, r.bottom() - 3, r.width() - 28, 3), 1.5));
        }
        painter.restore();
    };
}

FaceDrawer OptionFace(bool round) {
    return [round](QPainter& painter, const QRectF& face, Look look, int) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        const double s = std::min(face.width(), face.height()) - 4;
        const QRectF box(face.center().x() - s / 2, face.center().y() - s / 2, s, s);
        const bool checked = look == Look::Down || look == Look::Selected;
        const QColor ring = look == Look::Over || checked ? colour::kAccent : QColor(0x5A, 0x63, 0x6E);
        painter.setPen(QPen(ring, 1.6));
        painter.setBrush(colour::kWell);
        if (round) {
            painter.drawEllipse(box);
        } else {
            painter.drawPath(RoundedRect(box, 4));
        }
        if (checked) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour::kAccentLight);
            if (round) {
                painter.drawEllipse(box.center(), s * 0.24, s * 0.24);
            } else {
                painter.restore();
                DrawIcon(painter, box.adjusted(2, 2, -2, -2), Icon::Check, colour::kAccentLight);
                return;
            }
        }
        painter.restore();
    };
}

FaceDrawer OnVariants(unsigned variants, FaceDrawer draw) {
    return [variants, draw](QPainter& painter, const QRectF& face, Look look, int variant) {
        if ((variants >> variant) & 1U) {
            draw(painter, face, look, variant);
        }
    };
}

} // namespace brasslane::skingen
