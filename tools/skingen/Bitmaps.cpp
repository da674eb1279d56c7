#include "Bitmaps.h"

#include "Faces.h"
#include "SkinStyle.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <functional>
#include <stdexcept>

namespace brasslane::skingen {
namespace {

using Drawer = std::function<void(QPainter&, const QRectF&)>;

class BitmapSet {
public:
    BitmapSet(const QImage& background, const WindowSkin& main) : m_background(background), m_main(main) {}

    void Add(const QString& file, const QString& placeKey, const Drawer& draw) {
        const QRect place = m_main.RectOf(placeKey);
        if (place.isEmpty()) {
            throw std::logic_error("no place for bitmap " + file.toStdString());
        }
        QImage image = m_background.copy(place);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        draw(painter, QRectF(0, 0, place.width(), place.height()));
        painter.end();
        m_images.emplace_back(file, image);
    }

    std::vector<std::pair<QString, QImage>> Take() { return std::move(m_images); }

private:
    const QImage& m_background;
    const WindowSkin& m_main;
    std::vector<std::pair<QString, QImage>> m_images;
};

// A small tile: dark when off, brass when chosen.
void DrawTile(QPainter& painter, const QRectF& r, bool chosen, const std::function<void(const QColor&)>& glyph) {
    const QColor content = DrawPlate(painter, r.adjusted(0, 0, 0, 1), chosen ? Look::Selected : Look::Normal, 7);
    glyph(content);
}

void DrawArrow(QPainter& painter, const QRectF& r, double angleDegrees, const QColor& colour) {
    painter.save();
    painter.translate(r.center());
    painter.rotate(angleDegrees);
    QPen pen(colour, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.drawLine(QPointF(-8, 0), QPointF(8, 0));
    painter.drawLine(QPointF(8, 0), QPointF(3, -5));
    painter.drawLine(QPointF(8, 0), QPointF(3, 5));
    painter.restore();
}

// Two arrows pointing away from (spread) or towards (converge) a centre dot.
void DrawSpread(QPainter& painter, const QRectF& r, bool outward, const QColor& colour) {
    painter.save();
    painter.translate(r.center());
    QPen pen(colour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    for (int side : {-1, 1}) {
        const double tip = outward ? side * 14.0 : side * 5.0;
        const double tail = outward ? side * 5.0 : side * 14.0;
        const double back = outward ? -side * 4.0 : side * 4.0;
        painter.drawLine(QPointF(tail, 0), QPointF(tip, 0));
        painter.drawLine(QPointF(tip, 0), QPointF(tip + back, -4));
        painter.drawLine(QPointF(tip, 0), QPointF(tip + back, 4));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(0, 0), 2, 2);
    painter.restore();
}

void DrawSwitch(QPainter& painter, const QRectF& r, bool on, bool rainbow) {
    const QRectF track = r.adjusted(2, 3, -2, -3);
    const double radius = track.height() / 2;
    if (on && rainbow) {
        QLinearGradient fill(track.topLeft(), track.topRight());
        const QColor stops[] = {
            {0xE8, 0x4A, 0x4A}, {0xF0, 0xB4, 0x3C}, {0x5C, 0xD0, 0x6A}, {0x3C, 0x9C, 0xF0}, {0xA8, 0x5C, 0xF0}};
        for (int i = 0; i < 5; ++i) {
            fill.setColorAt(i / 4.0, stops[i]);
        }
        painter.setBrush(fill);
    } else if (on) {
        QLinearGradient fill(track.topLeft(), track.bottomLeft());
        fill.setColorAt(0, colour::kAccentLight);
        fill.setColorAt(1, colour::kAccent);
        painter.setBrush(fill);
    } else {
        painter.setBrush(QColor(0x2A, 0x30, 0x38));
    }
    painter.setPen(QPen(on ? QColor(0, 0, 0, 90) : QColor(0x3A, 0x42, 0x4C), 1));
    painter.drawPath(RoundedRect(track, radius));
    const double knobRadius = radius - 3;
    const QPointF knob(on ? track.right() - radius : track.left() + radius, track.center().y());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 70));
    painter.drawEllipse(knob + QPointF(0, 1.2), knobRadius, knobRadius);
    painter.setBrush(on ? QColor(0xF4, 0xF1, 0xEA) : QColor(0x8A, 0x93, 0x9E));
    painter.drawEllipse(knob, knobRadius, knobRadius);
}

void DrawFourColour(QPainter& painter, const QRectF& r, const QColor& colour, bool chosen) {
    const QRectF dot = r.adjusted(5, 5, -5, -5);
    if (chosen) {
        painter.setPen(QPen(colour::kAccentLight, 2.2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(r.adjusted(1.5, 1.5, -1.5, -1.5));
    }
    QRadialGradient fill(dot.center() - QPointF(4, 5), dot.width() * 0.8);
    fill.setColorAt(0, colour.lighter(130));
    fill.setColorAt(1, colour.darker(115));
    painter.setPen(QPen(QColor(0, 0, 0, 110), 1));
    painter.setBrush(fill);
    painter.drawEllipse(dot);
    if (chosen) {
        DrawIcon(painter, dot.adjusted(4, 4, -4, -4), Icon::Check, QColor(0x18, 0x1A, 0x1E));
    }
}

// A level picture: a track with the part up to the thumb lit, a dot per stop.
void DrawLevel(QPainter& painter, const QRectF& r, int level, int stops) {
    const double left = r.left() + 11;
    const double right = r.right() - 11;
    const double y = r.center().y();
    const double x = stops > 1 ? left + (right - left) * level / (stops - 1) : left;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x0C, 0x0E, 0x11));
    painter.drawPath(RoundedRect(QRectF(left - 3, y - 3, right - left + 6, 6), 3));
    QLinearGradient lit(QPointF(left, y), QPointF(right, y));
    lit.setColorAt(0, colour::kAccentDark);
    lit.setColorAt(1, colour::kAccentLight);
    painter.setBrush(lit);
    painter.drawPath(RoundedRect(QRectF(left - 3, y - 3, x - left + 6, 6), 3));
    for (int i = 0; i < stops; ++i) {
        const double sx = left + (right - left) * i / std::max(1, stops - 1);
        painter.setBrush(i <= level ? QColor(0x3A, 0x28, 0x10) : QColor(0x3A, 0x42, 0x4C));
        painter.drawEllipse(QPointF(sx, y), 1.4, 1.4);
    }
    painter.setBrush(QColor(0, 0, 0, 80));
    painter.drawEllipse(QPointF(x, y + 1.2), 8, 8);
    painter.setPen(QPen(colour::kOnAccent, 1.2));
    painter.setBrush(colour::kAccentLight);
    painter.drawEllipse(QPointF(x, y), 7.5, 7.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xF7, 0xE0, 0xB2));
    painter.drawEllipse(QPointF(x, y), 2.5, 2.5);
}

void DrawBusyFrame(QPainter& painter, const QRectF& r, int frame) {
    constexpr int segments = kBusyFrameCount;
    const double step = r.width() / segments;
    for (int i = 0; i < segments; ++i) {
        const int behind = (frame - i + segments) % segments;
        QColor fill(0x2A, 0x30, 0x38);
        if (behind == 0) {
            fill = colour::kAccentLight;
        } else if (behind == 1) {
            fill = colour::kAccent;
        } else if (behind == 2) {
            fill = colour::kAccentDark;
        } else if (behind == 3) {
            fill = QColor(0x5A, 0x42, 0x20);
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawPath(RoundedRect(QRectF(r.left() + i * step + 2, r.top() + 4, step - 4, r.height() - 8), 2.5));
    }
}

} // namespace

std::vector<std::pair<QString, QImage>> RenderLightingBitmaps(const QImage& background, const WindowSkin& main) {
    BitmapSet set(background, main);
    set.Add("dengup.bmp", "CONTROL_DengStaPic", [](QPainter& p, const QRectF& r) { DrawSwitch(p, r, false, false); });
    set.Add("dengdown.bmp", "CONTROL_DengStaPic", [](QPainter& p, const QRectF& r) { DrawSwitch(p, r, true, false); });
    set.Add("sjsup.bmp", "CONTROL_HXsjsStaPic", [](QPainter& p, const QRectF& r) { DrawSwitch(p, r, false, true); });
    set.Add("sjsdown.bmp", "CONTROL_HXsjsStaPic", [](QPainter& p, const QRectF& r) { DrawSwitch(p, r, true, true); });

    struct Direction {
        const char* normal;
        const char* chosen;
        const char* place;
        std::function<void(QPainter&, const QRectF&, const QColor&)> glyph;
    };
    const Direction directions[] = {
        {"leftup.bmp", "leftdown.bmp", "CONTROL_BLFXLStaPic2",
         [](QPainter& p, const QRectF& r, const QColor& c) { DrawArrow(p, r, 180, c); }},
        {"rightup.bmp", "rightdown.bmp", "CONTROL_BLFXRStaPic2",
         [](QPainter& p, const QRectF& r, const QColor& c) { DrawArrow(p, r, 0, c); }},
        {"upup.bmp", "updown.bmp", "CONTROL_BLFXLStaPic3",
         [](QPainter& p, const QRectF& r, const QColor& c) { DrawArrow(p, r, -90, c); }},
        {"downup.bmp", "downdown.bmp", "CONTROL_BLFXRStaPic3",
         [](QPainter& p, const QRectF& r, const QColor& c) { DrawArrow(p, r, 90, c); }},
        {"kuosan.bmp", "kuosandown.bmp", "CONTROL_BLFXLStaPic",
         [](QPainter& p, const QRectF& r, const QColor& c) { DrawSpread(p, r, true, c); }},
        {"julong.bmp", "julongdown.bmp", "CONTROL_BLFXRStaPic",
         [](QPainter& p, const QRectF& r, const QColor& c) { DrawSpread(p, r, false, c); }},
    };
    for (const Direction& d : directions) {
        for (bool chosen : {false, true}) {
            const auto glyph = d.glyph;
            set.Add(chosen ? d.chosen : d.normal, d.place, [glyph, chosen](QPainter& p, const QRectF& r) {
                DrawTile(p, r, chosen, [&](const QColor& c) { glyph(p, r.adjusted(0, -0.5, 0, -0.5), c); });
            });
        }
    }

    const struct {
        const char* name;
        const char* place;
        QColor colour;
    } fourColours[] = {{"hong", "CONTROL_HONGPIC", {0xE5, 0x48, 0x4D}},
                       {"huang", "CONTROL_HUANGPIC", {0xF2, 0xD0, 0x2E}},
                       {"lv", "CONTROL_LVPIC", {0x46, 0xC8, 0x5A}},
                       {"lan", "CONTROL_LANPIC", {0x3B, 0x8E, 0xEA}}};
    for (const auto& f : fourColours) {
        const QColor c = f.colour;
        set.Add(QString::fromLatin1(f.name) + ".bmp", QString::fromLatin1(f.place),
                [c](QPainter& p, const QRectF& r) { DrawFourColour(p, r, c, false); });
        set.Add(QString::fromLatin1(f.name) + "ok.bmp", QString::fromLatin1(f.place),
                [c](QPainter& p, const QRectF& r) { DrawFourColour(p, r, c, true); });
    }

    const struct {
        const char* name;
        const char* place;
        Icon icon;
    } tools[] = {{"user1", "CONTROL_USERgjStaPic1", Icon::Brush}, {"user2", "CONTROL_USERgjStaPic2", Icon::Pen}};
    for (const auto& t : tools) {
        for (bool chosen : {false, true}) {
            const Icon icon = t.icon;
            set.Add(QString::fromLatin1(t.name) + (chosen ? "down.bmp" : "up.bmp"), QString::fromLatin1(t.place),
                    [icon, chosen](QPainter& p, const QRectF& r) {
                        DrawTile(p, r, chosen, [&](const QColor& c) {
                            DrawIcon(p, QRectF(r.center().x() - 8, r.center().y() - 8.5, 16, 16), icon, c);
                        });
                    });
        }
    }

    for (int frame = 0; frame < kBusyFrameCount; ++frame) {
        set.Add(QStringLiteral("jdt%1.bmp").arg(frame + 1), "CONTROL_JDTStatic",
                [frame](QPainter& p, const QRectF& r) { DrawBusyFrame(p, r, frame); });
    }
    for (int k = 0; k < kLevelPictureCount; ++k) {
        int level = k;
        int stops = 6;
        if (k >= 11) {
            level = k - 11, stops = 15;
        } else if (k >= 6) {
            level = k - 6, stops = 5;
        }
        set.Add(QStringLiteral("%1.bmp").arg(k), "CONTROL_LightSlider",
                [level, stops](QPainter& p, const QRectF& r) { DrawLevel(p, r, level, stops); });
    }
    for (int i = 0; i < 8; ++i) {
        const Rgb& c = kPresetColours[i];
        const FaceDrawer swatch = SwatchFace(QColor(c.r, c.g, c.b));
        set.Add(QStringLiteral("Color%1.bmp").arg(i + 1), QStringLiteral("CONTROL_Color%1").arg(i + 1),
                [swatch](QPainter& p, const QRectF& r) { swatch(p, r, Look::Normal, 0); });
    }
    return set.Take();
}

QImage RenderTrayIcon(TrayState state, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    const QRectF body(3, 14, 58, 38);
    QColor top, bottom, keys;
    if (state == TrayState::NoKeyboard) {
        top = {0x9A, 0xA1, 0xAA}, bottom = {0x6E, 0x76, 0x80}, keys = {0x3A, 0x3F, 0x46};
    } else {
        top = colour::kAccentLight, bottom = colour::kAccentDark, keys = colour::kOnAccent;
    }
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter.setPen(QPen(QColor(0, 0, 0, 110), 1.5));
    painter.setBrush(fill);
    painter.drawPath(RoundedRect(body, 8));
    painter.setPen(Qt::NoPen);
    painter.setBrush(keys);
    for (int row = 0; row < 3; ++row) {
        const int count = row == 2 ? 0 : 6;
        for (int col = 0; col < count; ++col) {
            painter.drawPath(RoundedRect(QRectF(9 + col * 8.2 + (row ? 3 : 0), 20 + row * 9, 6, 6), 1.5));
        }
    }
    painter.drawPath(RoundedRect(QRectF(17, 39, 30, 6), 1.5));
    if (state == TrayState::Highlight) {
        const QPointF centre(50, 14);
        QRadialGradient glow(centre, 14);
        glow.setColorAt(0, QColor(0x36, 0xB8, 0xA8, 200));
        glow.setColorAt(1, QColor(0x36, 0xB8, 0xA8, 0));
        painter.setBrush(glow);
        painter.drawEllipse(centre, 14, 14);
        painter.setPen(QPen(QColor(0x0E, 0x2A, 0x27), 2));
        painter.setBrush(colour::kSelection);
        painter.drawEllipse(centre, 8.5, 8.5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xE6, 0xFF, 0xFA));
        painter.drawEllipse(centre, 3.2, 3.2);
    }
    return image;
}

} // namespace brasslane::skingen
