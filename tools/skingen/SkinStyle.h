#pragma once

// Colours, fonts and drawing primitives shared by every picture of the skin: a dark slate
// window with brass accents. Every colour stays below pure white so that no drawn pixel is ever
// taken for the cut-away colour of a window mask.

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>

namespace brasslane::skingen {

namespace colour {
inline const QColor kWindowTop{0x1D, 0x22, 0x2A};
inline const QColor kWindowBottom{0x11, 0x14, 0x19};
inline const QColor kLine{0x2A, 0x31, 0x3A};
inline const QColor kCardFill{0x17, 0x1B, 0x21};
inline const QColor kCardBorder{0x28, 0x2F, 0x38};
inline const QColor kWell{0x10, 0x13, 0x17};
inline const QColor kText{0xDA, 0xDF, 0xE6};
inline const QColor kTextBright{0xF2, 0xEF, 0xE8};
inline const QColor kTextMuted{0x86, 0x90, 0x9C};
inline const QColor kTextDim{0x5A, 0x62, 0x6C};
inline const QColor kAccent{0xD9, 0x9A, 0x3A};
inline const QColor kAccentLight{0xF0, 0xBA, 0x5C};
inline const QColor kAccentDark{0x9E, 0x68, 0x1E};
inline const QColor kOnAccent{0x1E, 0x18, 0x0F};
inline const QColor kSelection{0x36, 0xB8, 0xA8};
inline const QColor kDanger{0xC4, 0x47, 0x3E};
} // namespace colour

// The look a control is drawn in on one state picture.
enum class Look { Normal, Over, Down, Selected, Dimmed, Marked };

QFont UiFont(int pixelSize, bool bold = false);

QPainterPath RoundedRect(const QRectF& rect, double radius);

// A soft drop shadow below a rounded rectangle.
void DrawShadow(QPainter& painter, const QRectF& rect, double radius, int depth);

// A keycap filling `rect` (the whole face of the key button) with its legend.
void DrawKeycap(QPainter& painter, const QRectF& rect, Look look, const QString& legend);

// A rounded button plate; returns the colour its content (text, icon) is drawn in.
QColor DrawPlate(QPainter& painter, const QRectF& rect, Look look, double radius = 8.0);

// A borderless icon button (window buttons of a title bar); danger colours it red on hover.
QColor DrawGhost(QPainter& painter, const QRectF& rect, Look look, bool danger = false);

// Text centred in `rect` (several lines allowed).
void DrawCentredText(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                     const QColor& colour);

// Glyphs used on buttons and bitmaps, drawn with a pen of `colour` inside `rect`.
enum class Icon {
    Close,
    Minimize,
    Help,
    Menu,
    Globe,
    Chat,
    Share,
    ExternalLink,
    Keyboard,
    Eraser,
    Plus,
    Minus,
    Trash,
    FolderOpen,
    Save,
    Record,
    Layers,
    Chip,
    Upload,
    Undo,
    Check,
    Brush,
    Pen,
};
void DrawIcon(QPainter& painter, const QRectF& rect, Icon icon, const QColor& colour);

// The window's surface: vertical gradient with a faint brass glow, rounded outline.
void DrawWindowBackground(QPainter& painter, const QSize& size, double radius);

// A flat card (panel area) and a sunken well (for edit fields and lists).
void DrawCard(QPainter& painter, const QRectF& rect, double radius = 12.0);
void DrawWell(QPainter& painter, const QRectF& rect, double radius = 6.0);

// The brand mark: a rounded brass square with three key dots.
void DrawLogo(QPainter& painter, const QRectF& rect);

} // namespace brasslane::skingen
