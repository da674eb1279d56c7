#include "SkinStyle.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace brasslane::skingen {

QFont UiFont(int pixelSize, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Droid Sans Fallback")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QPainterPath RoundedRect(const QRectF& rect, double radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

void DrawShadow(QPainter& painter, const QRectF& rect, double radius, int depth) {
    painter.save();
    painter.setPen(Qt::NoPen);
    for (int i = depth; i >= 1; --i) {
        QColor shade(0, 0, 0, 34 - std::min(30, i * 6));
        painter.setBrush(shade);
        painter.drawPath(RoundedRect(rect.adjusted(-i * 0.5, i * 0.8, i * 0.5, i * 1.0), radius + i * 0.5));
    }
    painter.restore();
}

namespace {

struct CapColours {
    QColor skirtTop, skirtBottom, border, topA, topB, highlight, legend;
};

CapColours CapFor(Look look) {
    switch (look) {
    case Look::Over:
        return {{0x2E, 0x34, 0x3D}, {0x24, 0x29, 0x30}, colour::kAccent,    {0x45, 0x4D, 0x59},
                {0x3A, 0x41, 0x4C}, {0x5C, 0x65, 0x72}, colour::kTextBright};
    case Look::Down:
        return {{0x18, 0x1B, 0x20}, {0x16, 0x19, 0x1D}, {0x0A, 0x0C, 0x0F},  {0x25, 0x2A, 0x31},
                {0x2A, 0x30, 0x38}, {0x25, 0x2A, 0x31}, colour::kAccentLight};
    case Look::Selected:
        return {{0xA8, 0x72, 0x26}, {0x80, 0x55, 0x19}, {0x3A, 0x28, 0x0C}, {0xEA, 0xAE, 0x52},
                {0xCC, 0x8D, 0x32}, {0xF6, 0xCB, 0x80}, colour::kOnAccent};
    case Look::Marked:
        return {{0x25, 0x86, 0x7B}, {0x1B, 0x63, 0x5B}, {0x0B, 0x2A, 0x27}, {0x45, 0xC9, 0xB8},
                {0x2F, 0xA6, 0x97}, {0x7E, 0xE0, 0xD2}, {0x0C, 0x1C, 0x1A}};
    case Look::Dimmed:
        return {{0x1E, 0x22, 0x28}, {0x1A, 0x1D, 0x22}, {0x10, 0x12, 0x15}, {0x25, 0x29, 0x2F},
                {0x22, 0x26, 0x2C}, {0x2A, 0x2F, 0x36}, colour::kTextDim};
    case Look::Normal:
        break;
    }
    return {{0x27, 0x2C, 0x34}, {0x1D, 0x21, 0x27}, {0x0B, 0x0D, 0x10}, {0x38, 0x3F, 0x49},
            {0x2E, 0x34, 0x3D}, {0x4A, 0x52, 0x5E}, colour::kText};
}

} // namespace

void DrawKeycap(QPainter& painter, const QRectF& face, Look look, const QString& legend) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const CapColours c = CapFor(look);
    const bool pressed = look == Look::Down;
    const QRectF body = face.adjusted(1.5, 1.0, -1.5, -3.0);
    if (!pressed) {
        DrawShadow(painter, body, 6, 3);
    }
    const QRectF skirt = pressed ? body.adjusted(0, 1.5, 0, 1.5) : body;
    QLinearGradient skirtFill(skirt.topLeft(), skirt.bottomLeft());
    skirtFill.setColorAt(0, c.skirtTop);
    skirtFill.setColorAt(1, c.skirtBottom);
    painter.setPen(QPen(c.border, look == Look::Over ? 1.6 : 1.0));
    painter.setBrush(skirtFill);
    painter.drawPath(RoundedRect(skirt, 6));

    const QRectF top = pressed ? skirt.adjusted(3.5, 3.0, -3.5, -2.5) : skirt.adjusted(3.5, 1.8, -3.5, -4.5);
    QLinearGradient topFill(top.topLeft(), top.bottomLeft());
    topFill.setColorAt(0, c.topA);
    topFill.setColorAt(1, c.topB);
    painter.setPen(Qt::NoPen);
    painter.setBrush(topFill);
    painter.drawPath(RoundedRect(top, 4.5));
    if (pressed) {
        // The inner shadow along the upper edge is what makes the key look pushed in.
        QLinearGradient inner(top.topLeft(), top.topLeft() + QPointF(0, 6));
        inner.setColorAt(0, QColor(0, 0, 0, 110));
        inner.setColorAt(1, QColor(0, 0, 0, 0));
        painter.setBrush(inner);
        painter.drawPath(RoundedRect(top, 4.5));
    } else {
        painter.setPen(QPen(c.highlight, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawLine(QPointF(top.left() + 4, top.top() + 0.5), QPointF(top.right() - 4, top.top() + 0.5));
    }

    if (!legend.isEmpty()) {
        const QStringList parts = legend.split('\n');
        if (parts.size() == 2) {
            QFont small = UiFont(10);
            QFont big = UiFont(13, true);
            const QRectF upper(top.left(), top.top() + 1, top.width(), top.height() / 2);
            const QRectF lower(top.left(), top.center().y() - 1, top.width(), top.height() / 2);
            QColor muted = c.legend;
            muted.setAlpha(170);
            DrawCentredText(painter, upper, parts[0], small, muted);
            DrawCentredText(painter, lower, parts[1], big, c.legend);
        } else {
            const bool word = legend.size() > 2;
            const QFont font = word ? UiFont(legend.size() > 5 ? 10 : 11, true) : UiFont(14, true);
            DrawCentredText(painter, top, legend, font, c.legend);
        }
    }
    painter.restore();
}

QColor DrawPlate(QPainter& painter, const QRectF& rect, Look look, double radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect.adjusted(1, 1, -1, -2);
    QColor a, b, border, content;
    switch (look) {
    case Look::Over:
        a = {0x39, 0x40, 0x4B}, b = {0x31, 0x37, 0x41}, border = colour::kAccent, content = colour::kTextBright;
        break;
    case Look::Down:
        a = {0x1A, 0x1E, 0x23}, b = {0x1E, 0x22, 0x28}, border = {0x2A, 0x30, 0x38}, content = colour::kAccentLight;
        break;
    case Look::Selected:
        a = {0xEA, 0xAE, 0x52}, b = {0xC9, 0x8A, 0x30}, border = {0xF4, 0xC8, 0x7A}, content = colour::kOnAccent;
        break;
    case Look::Marked:
        a = {0x45, 0xC9, 0xB8}, b = {0x2F, 0xA6, 0x97}, border = {0x7E, 0xE0, 0xD2}, content = {0x0C, 0x1C, 0x1A};
        break;
    case Look::Dimmed:
        a = {0x1F, 0x23, 0x29}, b = {0x1D, 0x21, 0x26}, border = {0x29, 0x2E, 0x35}, content = colour::kTextDim;
        break;
    case Look::Normal:
        a = {0x2E, 0x34, 0x3D}, b = {0x27, 0x2C, 0x34}, border = {0x3B, 0x43, 0x4E}, content = colour::kText;
        break;
    }
    if (look != Look::Down && look != Look::Dimmed) {
        DrawShadow(painter, r, radius, 2);
    }
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, a);
    fill.setColorAt(1, b);
    painter.setPen(QPen(border, look == Look::Over ? 1.5 : 1.0));
    painter.setBrush(fill);
    painter.drawPath(RoundedRect(r, radius));
    if (look == Look::Down) {
        QLinearGradient inner(r.topLeft(), r.topLeft() + QPointF(0, 7));
        inner.setColorAt(0, QColor(0, 0, 0, 120));
        inner.setColorAt(1, QColor(0, 0, 0, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(inner);
        painter.drawPath(RoundedRect(r.adjusted(1, 1, -1, -1), radius - 1));
    } else if (look != Look::Dimmed) {
        QColor shine(255, 255, 255, look == Look::Selected ? 70 : 22);
        painter.setPen(QPen(shine, 1.0));
        painter.drawLine(QPointF(r.left() + radius, r.top() + 1.5), QPointF(r.right() - radius, r.top() + 1.5));
    }
    painter.restore();
    return content;
}

QColor DrawGhost(QPainter& painter, const QRectF& rect, Look look, bool danger) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect.adjusted(1, 1, -1, -1);
    QColor content = colour::kTextMuted;
    painter.setPen(Qt::NoPen);
    switch (look) {
    case Look::Over:
        painter.setBrush(danger ? colour::kDanger : QColor(0x34, 0x3B, 0x45));
        painter.drawPath(RoundedRect(r, 7));
        content = danger ? colour::kTextBright : colour::kAccentLight;
        break;
    case Look::Down:
        painter.setBrush(danger ? colour::kDanger.darker(130) : QColor(0x15, 0x18, 0x1C));
        painter.drawPath(RoundedRect(r, 7));
        content = danger ? colour::kText : colour::kAccent;
        break;
    case Look::Selected:
        painter.setBrush(colour::kAccent);
        painter.drawPath(RoundedRect(r, 7));
        content = colour::kOnAccent;
        break;
    case Look::Dimmed:
        content = colour::kTextDim;
        break;
    case Look::Marked:
    case Look::Normal:
        break;
    }
    painter.restore();
    return content;
}

void DrawCentredText(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                     const QColor& colour) {
    painter.save();
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(rect, Qt::AlignCenter, text);
    painter.restore();
}

void DrawIcon(QPainter& painter, const QRectF& rect, Icon icon, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = std::min(rect.width(), rect.height());
    const QPointF c = rect.center();
    const double u = s / 16.0; // icons are designed on a 16 x 16 grid
    auto p = [&](double x, double y) { return QPointF(c.x() + (x - 8) * u, c.y() + (y - 8) * u); };
    QPen pen(colour, std::max(1.3, 1.5 * u), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (icon) {
    case Icon::Close:
        painter.drawLine(p(4, 4), p(12, 12));
        painter.drawLine(p(12, 4), p(4, 12));
        break;
    case Icon::Minimize:
        painter.drawLine(p(4, 11), p(12, 11));
        break;
    case Icon::Help: {
        QPainterPath q;
        q.moveTo(p(5.5, 6));
        q.cubicTo(p(5.5, 2.5), p(10.5, 2.5), p(10.5, 6));
        q.cubicTo(p(10.5, 8), p(8, 8.3), p(8, 10.3));
        painter.drawPath(q);
        painter.setBrush(colour);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(p(8, 13), 1.1 * u, 1.1 * u);
        break;
    }
    case Icon::Menu:
        for (double y : {4.5, 8.0, 11.5}) {
            painter.drawLine(p(3.5, y), p(12.5, y));
        }
        break;
    case Icon::Globe:
        painter.drawEllipse(p(8, 8), 6 * u, 6 * u);
        painter.drawEllipse(p(8, 8), 2.6 * u, 6 * u);
        painter.drawLine(p(2, 8), p(14, 8));
        break;
    case Icon::Chat: {
        QPainterPath q;
        q.addRoundedRect(QRectF(p(2, 3), p(14, 11)), 2.5 * u, 2.5 * u);
        painter.drawPath(q);
        painter.drawLine(p(5, 11), p(4.5, 14));
        painter.drawLine(p(4.5, 14), p(8, 11));
        break;
    }
    case Icon::Share:
        painter.drawLine(p(4.5, 8), p(11.5, 4));
        painter.drawLine(p(4.5, 8), p(11.5, 12));
        painter.setBrush(colour);
        for (QPointF q : {p(4.5, 8), p(11.5, 4), p(11.5, 12)}) {
            painter.drawEllipse(q, 1.8 * u, 1.8 * u);
        }
        break;
    case Icon::ExternalLink:
        painter.drawLine(p(7, 4), p(4, 4));
        painter.drawLine(p(4, 4), p(4, 12));
        painter.drawLine(p(4, 12), p(12, 12));
        painter.drawLine(p(12, 12), p(12, 9));
        painter.drawLine(p(8, 8), p(13, 3));
        painter.drawLine(p(9.5, 3), p(13, 3));
        painter.drawLine(p(13, 3), p(13, 6.5));
        break;
    case Icon::Keyboard:
        painter.drawPath(RoundedRect(QRectF(p(1.5, 4), p(14.5, 12.5)), 1.8 * u));
        painter.setBrush(colour);
        painter.setPen(Qt::NoPen);
        for (int row = 0; row < 2; ++row) {
            for (int col = 0; col < 5; ++col) {
                painter.drawRect(QRectF(p(3.6 + col * 2, 5.8 + row * 2), QSizeF(1.1 * u, 1.1 * u)));
            }
        }
        painter.drawRect(QRectF(p(5, 10), QSizeF(6 * u, 1.1 * u)));
        break;
    case Icon::Eraser: {
        QPainterPath q;
        q.moveTo(p(2.5, 10));
        q.lineTo(p(8.5, 3.5));
        q.lineTo(p(13.5, 8.5));
        q.lineTo(p(9, 13));
        q.lineTo(p(5.5, 13));
        q.closeSubpath();
        painter.drawPath(q);
        painter.drawLine(p(5.5, 7), p(11, 12));
        painter.drawLine(p(9, 13), p(14, 13));
        break;
    }
    case Icon::Plus:
        painter.drawLine(p(8, 3.5), p(8, 12.5));
        painter.drawLine(p(3.5, 8), p(12.5, 8));
        break;
    case Icon::Minus:
        painter.drawLine(p(3.5, 8), p(12.5, 8));
        break;
    case Icon::Trash:
        painter.drawLine(p(3, 4.5), p(13, 4.5));
        painter.drawLine(p(6.5, 4.5), p(6.5, 2.8));
        painter.drawLine(p(6.5, 2.8), p(9.5, 2.8));
        painter.drawLine(p(9.5, 2.8), p(9.5, 4.5));
        painter.drawLine(p(4.3, 4.5), p(5, 13.5));
        painter.drawLine(p(5, 13.5), p(11, 13.5));
        painter.drawLine(p(11, 13.5), p(11.7, 4.5));
        painter.drawLine(p(7, 7), p(7, 11));
        painter.drawLine(p(9, 7), p(9, 11));
        break;
    case Icon::FolderOpen: {
        QPainterPath q;
        q.moveTo(p(2, 12.5));
        q.lineTo(p(2, 3.5));
        q.lineTo(p(6, 3.5));
        q.lineTo(p(7.5, 5));
        q.lineTo(p(12.5, 5));
        q.lineTo(p(12.5, 7));
        painter.drawPath(q);
        QPainterPath front;
        front.moveTo(p(2, 12.5));
        front.lineTo(p(4, 7));
        front.lineTo(p(14.5, 7));
        front.lineTo(p(12.5, 12.5));
        front.closeSubpath();
        painter.drawPath(front);
        break;
    }
    case Icon::Save: {
        QPainterPath q;
        q.moveTo(p(2.5, 2.5));
        q.lineTo(p(11, 2.5));
        q.lineTo(p(13.5, 5));
        q.lineTo(p(13.5, 13.5));
        q.lineTo(p(2.5, 13.5));
        q.closeSubpath();
        painter.drawPath(q);
        painter.drawRect(QRectF(p(5, 2.5), p(10, 6)));
        painter.drawRect(QRectF(p(4.5, 9), p(11.5, 13.5)));
        break;
    }
    case Icon::Record:
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xE0, 0x55, 0x4A));
        painter.drawEllipse(p(8, 8), 4.2 * u, 4.2 * u);
        break;
    case Icon::Layers: {
        for (int i = 0; i < 3; ++i) {
            const double y = 4 + i * 3;
            QPainterPath q;
            q.moveTo(p(8, y - 2.5));
            q.lineTo(p(14, y + 0.5));
            q.lineTo(p(8, y + 3.5));
            q.lineTo(p(2, y + 0.5));
            q.closeSubpath();
            QColor fillColour = colour;
            fillColour.setAlpha(i == 0 ? 90 : 0);
            painter.setBrush(fillColour);
            painter.drawPath(q);
        }
        break;
    }
    case Icon::Chip:
        painter.drawPath(RoundedRect(QRectF(p(4, 4), p(12, 12)), 1.5 * u));
        for (double t : {6.0, 8.0, 10.0}) {
            painter.drawLine(p(t, 1.5), p(t, 4));
            painter.drawLine(p(t, 12), p(t, 14.5));
            painter.drawLine(p(1.5, t), p(4, t));
            painter.drawLine(p(12, t), p(14.5, t));
        }
        break;
    case Icon::Upload:
        painter.drawLine(p(8, 11), p(8, 3));
        painter.drawLine(p(4.5, 6.5), p(8, 3));
        painter.drawLine(p(11.5, 6.5), p(8, 3));
        painter.drawLine(p(3, 13.5), p(13, 13.5));
        break;
    case Icon::Undo: {
        QPainterPath q;
        q.moveTo(p(4, 7));
        q.lineTo(p(10, 7));
        q.cubicTo(p(14, 7), p(14, 13), p(10, 13));
        q.lineTo(p(6, 13));
        painter.drawPath(q);
        painter.drawLine(p(4, 7), p(7, 4));
        painter.drawLine(p(4, 7), p(7, 10));
        break;
    }
    case Icon::Check:
        painter.drawLine(p(3.5, 8.5), p(6.8, 11.8));
        painter.drawLine(p(6.8, 11.8), p(12.8, 4.5));
        break;
    case Icon::Brush: {
        painter.drawLine(p(13, 3), p(7.5, 8.5));
        QPainterPath tip;
        tip.moveTo(p(7.5, 8.5));
        tip.cubicTo(p(5, 8), p(3.5, 10), p(4, 12.5));
        tip.cubicTo(p(3.5, 13.5), p(2.5, 13.5), p(2, 14));
        tip.cubicTo(p(5, 14.5), p(8.5, 13), p(7.5, 8.5));
        painter.setBrush(colour);
        painter.drawPath(tip);
        break;
    }
    case Icon::Pen: {
        QPainterPath q;
        q.moveTo(p(3, 13));
        q.lineTo(p(3.8, 10));
        q.lineTo(p(11, 2.8));
        q.lineTo(p(13.2, 5));
        q.lineTo(p(6, 12.2));
        q.closeSubpath();
        painter.drawPath(q);
        painter.drawLine(p(9.5, 4.3), p(11.7, 6.5));
        break;
    }
    }
    painter.restore();
}

void DrawWindowBackground(QPainter& painter, const QSize& size, double radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, size.width(), size.height());
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, colour::kWindowTop);
    fill.setColorAt(1, colour::kWindowBottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(RoundedRect(r, radius));

    QRadialGradient glow(QPointF(size.width() * 0.18, -size.height() * 0.15), size.width() * 0.55);
    glow.setColorAt(0, QColor(0xD9, 0x9A, 0x3A, 34));
    glow.setColorAt(1, QColor(0xD9, 0x9A, 0x3A, 0));
    painter.setBrush(glow);
    painter.drawPath(RoundedRect(r, radius));

    painter.setPen(QPen(QColor(0x3A, 0x42, 0x4D), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(RoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius));
    painter.restore();
}

void DrawCard(QPainter& painter, const QRectF& rect, double radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour::kCardBorder, 1.0));
    painter.setBrush(colour::kCardFill);
    painter.drawPath(RoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius));
    painter.restore();
}

void DrawWell(QPainter& painter, const QRectF& rect, double radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x2C, 0x33, 0x3C), 1.0));
    painter.setBrush(colour::kWell);
    painter.drawPath(RoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius));
    painter.restore();
}

void DrawLogo(QPainter& painter, const QRectF& rect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(rect.topLeft(), rect.bottomRight());
    fill.setColorAt(0, colour::kAccentLight);
    fill.setColorAt(1, colour::kAccentDark);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(RoundedRect(rect, rect.width() * 0.26));
    const double k = rect.width() / 28.0;
    painter.setBrush(colour::kOnAccent);
    for (int i = 0; i < 3; ++i) {
        painter.drawPath(
            RoundedRect(QRectF(rect.left() + (5 + i * 6.5) * k, rect.top() + 8 * k, 5 * k, 5 * k), 1.2 * k));
    }
    painter.drawPath(RoundedRect(QRectF(rect.left() + 7 * k, rect.top() + 16 * k, 14 * k, 4.5 * k), 1.2 * k));
    painter.restore();
}

} // namespace brasslane::skingen
