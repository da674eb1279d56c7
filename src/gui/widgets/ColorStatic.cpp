#include "gui/widgets/ColorStatic.h"

#include <QPalette>

namespace brasslane::gui {

ColorStatic::ColorStatic(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Mouse presses pass through to the dialog so that a label does not stop a window drag.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    SetTextColour(QColor(0xDA, 0xDF, 0xE6));
}

void ColorStatic::SetTextColour(const QColor& colour) {
    m_colour = colour;
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, colour);
    colours.setColor(QPalette::Text, colour);
    setPalette(colours);
}

} // namespace brasslane::gui
