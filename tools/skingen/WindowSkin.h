#pragma once

// One skinned window: its size, its background, and every control with its rectangle and,
// for skinned buttons, how its face looks on each state picture. A window renders its
// background, mask and state pictures and writes its layout file from the same rectangles, so
// pictures and layout cannot disagree.

#include "SkinStyle.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

namespace brasslane::skingen {

// The state pictures a window can have. Color0 and Color1 are the key-selection faces of the
// main window.
enum class Sheet { Normal, Over, Down, Disable, Color0, Color1 };

// How a button's role maps the state pictures to looks.
enum class Role {
    Push,   // disable picture: dimmed
    Choice, // disable picture: selected (profiles, report rates, flips, page tabs)
    Key,    // as Choice; Color1 picture: marked for key selection
    Lock,   // over picture: lit; every other picture: off
};

Look LookFor(Role role, Sheet sheet);

// Draws a face into `face` (the rectangle the face occupies on the state picture). `variant`
// lets one window carry several sets of state pictures (the pages of the key dialog).
using FaceDrawer = std::function<void(QPainter&, const QRectF& face, Look look, int variant)>;

struct Control {
    QString key;
    QRect rect;   // the layout rectangle written to BUTTONINFO
    bool skinned; // a button whose faces are cut from the state pictures at (x - 1, y - 1)
    Role role = Role::Push;
    FaceDrawer draw; // only for skinned controls
};

class WindowSkin {
public:
    WindowSkin(QSize size, double cornerRadius) : m_size(size), m_radius(cornerRadius) {}

    QSize Size() const { return m_size; }

    void SetBackground(std::function<void(QPainter&)> painter) { m_background = std::move(painter); }
    // Drawn on every state picture (not on the background) before the faces.
    void SetSheetDecoration(std::function<void(QPainter&, int variant)> painter) { m_decoration = std::move(painter); }

    void AddButton(const QString& key, const QRect& rect, Role role, FaceDrawer draw);
    void AddPlaced(const QString& key, const QRect& rect);
    // A second-section entry (picture origins of the main window's arrows).
    void AddOrigin(const QString& key, const QRect& rect) { m_origins.emplace_back(key, rect); }

    const std::vector<Control>& Controls() const { return m_controls; }
    QRect OriginOf(const QString& key) const;
    // The rectangle of `key`; an empty rectangle when the window has no such control.
    QRect RectOf(const QString& key) const;

    QImage RenderBackground() const;
    // Pure white where the window is cut away (its rounded corners), black elsewhere.
    QImage RenderMask() const;
    QImage RenderSheet(Sheet sheet, int variant = 0) const;

    // The layout file text: SCREEN with the given entries, BUTTONINFO, and BUTTONINFO2 when
    // the window has origins.
    QString LayoutText(const std::vector<std::pair<QString, QString>>& screen) const;

private:
    QSize m_size;
    double m_radius;
    std::function<void(QPainter&)> m_background;
    std::function<void(QPainter&, int)> m_decoration;
    std::vector<Control> m_controls;
    std::vector<std::pair<QString, QRect>> m_origins;
};

// A skinned button's face rectangle on the state pictures.
inline QRect FaceRect(const QRect& layout) {
    return layout.translated(-1, -1);
}

} // namespace brasslane::skingen
