#pragma once

// A text label drawn straight onto the skin's background in a chosen colour.

#include <QColor>
#include <QLabel>

namespace brasslane::gui {

class ColorStatic : public QLabel {
    Q_OBJECT

public:
    explicit ColorStatic(QWidget* parent = nullptr);

    void SetTextColour(const QColor& colour);
    QColor TextColour() const { return m_colour; }

private:
    QColor m_colour;
};

} // namespace brasslane::gui
