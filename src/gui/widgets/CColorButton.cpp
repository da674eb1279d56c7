#include "gui/widgets/CColorButton.h"

#include <QColorDialog>
#include <QPainter>
#include <QPainterPath>

namespace brasslane::gui {

namespace {

std::optional<QColor>& NextAnswer() {
    static std::optional<QColor> answer;
    return answer;
}

} // namespace

CColorButton::CColorButton(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::clicked, this, &CColorButton::Choose);
}

void CColorButton::SetColour(std::optional<QColor> colour) {
    m_colour = colour;
    update();
}

void CColorButton::SetAutomaticColour(const QColor& colour) {
    m_automatic = colour;
    update();
}

void CColorButton::SetNextChooserAnswer(std::optional<QColor> answer) {
    NextAnswer() = answer;
}

void CColorButton::nextCheckState() {}

void CColorButton::Choose() {
    QColor chosen;
    if (NextAnswer()) {
        chosen = *NextAnswer();
        NextAnswer().reset();
    } else {
        chosen = QColorDialog::getColor(EffectiveColour(), this);
    }
    if (!chosen.isValid()) {
        return;
    }
    SetColour(chosen);
    emit ColourChosen(EffectiveColour());
}

void CColorButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outer = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool hover = underMouse() && isEnabled();
    painter.setPen(QPen(hover ? QColor(0xD9, 0x9A, 0x3A) : QColor(0x3B, 0x43, 0x4E), hover ? 1.5 : 1.0));
    painter.setBrush(isDown() ? QColor(0x1A, 0x1E, 0x23) : QColor(0x27, 0x2C, 0x34));
    painter.drawRoundedRect(outer, 7, 7);
    QColor swatch = EffectiveColour();
    if (!isEnabled()) {
        swatch.setAlpha(80);
    }
    painter.setPen(QPen(QColor(0, 0, 0, 120), 1));
    painter.setBrush(swatch);
    painter.drawRoundedRect(outer.adjusted(5, 5, -5, -5), 4, 4);
}

} // namespace brasslane::gui
