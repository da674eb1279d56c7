#include "gui/widgets/CArrowComboBox.h"

#include <QPainter>
#include <QPainterPath>

namespace brasslane::gui {

void CArrowComboBox::paintEvent(QPaintEvent* event) {
    QComboBox::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(width() - 13.0, height() / 2.0 + 1.0);
    QPainterPath arrow;
    arrow.moveTo(centre + QPointF(-5, -3));
    arrow.lineTo(centre + QPointF(5, -3));
    arrow.lineTo(centre + QPointF(0, 3));
    arrow.closeSubpath();
    painter.fillPath(arrow, isEnabled() ? QColor(0x86, 0x90, 0x9C) : QColor(0x3A, 0x42, 0x4D));
}

} // namespace brasslane::gui
