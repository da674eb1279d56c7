#include "gui/widgets/CPictureSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace brasslane::gui {

CPictureSlider::CPictureSlider(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void CPictureSlider::SetMaximum(int maximum) {
    m_maximum = std::max(0, maximum);
    m_position = std::clamp(m_position, 0, m_maximum);
    update();
}

void CPictureSlider::SetPosition(int position) {
    m_position = std::clamp(position, 0, m_maximum);
    update();
}

void CPictureSlider::SetPictures(std::vector<QPixmap> pictures) {
    m_pictures = std::move(pictures);
    update();
}

int CPictureSlider::PositionAt(int x) const {
    const int span = width() - 1;
    if (m_maximum == 0 || span <= 0) {
        return 0;
    }
    const double position = std::round(static_cast<double>(x) * m_maximum / span);
    return std::clamp(static_cast<int>(position), 0, m_maximum);
}

void CPictureSlider::Report(int position) {
    SetPosition(position);
    emit PositionReported(m_position);
}

void CPictureSlider::paintEvent(QPaintEvent*) {
    if (m_position < 0 || static_cast<std::size_t>(m_position) >= m_pictures.size()) {
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_pictures[static_cast<std::size_t>(m_position)]);
}

void CPictureSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    Report(PositionAt(event->position().toPoint().x()));
    event->accept();
}

void CPictureSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    Report(PositionAt(event->position().toPoint().x()));
    event->accept();
}

void CPictureSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragging) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    Report(PositionAt(event->position().toPoint().x()));
    event->accept();
}

void CPictureSlider::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        Report(m_position - 1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        Report(m_position + 1);
        break;
    case Qt::Key_Home:
        Report(0);
        break;
    case Qt::Key_End:
        Report(m_maximum);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CPictureSlider::wheelEvent(QWheelEvent* event) {
    // One position per wheel notch (120 units); touchpads deliver smaller steps that add up.
    m_wheelRemainder += event->angleDelta().y();
    const int steps = m_wheelRemainder / 120;
    if (steps != 0) {
        m_wheelRemainder -= steps * 120;
        Report(m_position + steps);
    }
    event->accept();
}

} // namespace brasslane::gui
