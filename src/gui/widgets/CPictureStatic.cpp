#include "gui/widgets/CPictureStatic.h"

#include <QMouseEvent>
#include <QPainter>

namespace brasslane::gui {

CPictureStatic::CPictureStatic(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
}

void CPictureStatic::SetPicture(const QPixmap& picture) {
    m_off = picture;
    m_on = QPixmap();
    m_checked = false;
    update();
}

void CPictureStatic::SetPictures(const QPixmap& off, const QPixmap& on) {
    m_off = off;
    m_on = on;
    update();
}

void CPictureStatic::SetChecked(bool checked) {
    if (m_checked != checked) {
        m_checked = checked;
        update();
    }
}

const QPixmap& CPictureStatic::ShownPicture() const {
    return m_checked && !m_on.isNull() ? m_on : m_off;
}

void CPictureStatic::paintEvent(QPaintEvent*) {
    const QPixmap& picture = ShownPicture();
    if (!picture.isNull()) {
        QPainter painter(this);
        painter.drawPixmap(0, 0, picture);
    }
}

void CPictureStatic::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CPictureStatic::mouseReleaseEvent(QMouseEvent* event) {
    // Like a button: the click counts when the pointer is released over the picture.
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        if (rect().contains(event->position().toPoint())) {
            emit Clicked();
        }
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

} // namespace brasslane::gui
