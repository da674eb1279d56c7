#include "WindowSkin.h"

#include <QPainter>
#include <QTextStream>

#include <stdexcept>

namespace brasslane::skingen {

Look LookFor(Role role, Sheet sheet) {
    switch (sheet) {
    case Sheet::Normal:
    case Sheet::Color0:
        return Look::Normal;
    case Sheet::Over:
        return role == Role::Lock ? Look::Selected : Look::Over;
    case Sheet::Down:
        return role == Role::Lock ? Look::Normal : Look::Down;
    case Sheet::Disable:
        if (role == Role::Lock) {
            return Look::Normal;
        }
        return role == Role::Push ? Look::Dimmed : Look::Selected;
    case Sheet::Color1:
        return role == Role::Key ? Look::Marked : Look::Normal;
    }
    return Look::Normal;
}

void WindowSkin::AddButton(const QString& key, const QRect& rect, Role role, FaceDrawer draw) {
    // x = 1 and y = 1 is the layout's "no such control" position, which disables a button.
    if (rect.x() <= 1 && rect.y() <= 1) {
        throw std::logic_error("button placed at the disabled position: " + key.toStdString());
    }
    m_controls.push_back({key, rect, true, role, std::move(draw)});
}

void WindowSkin::AddPlaced(const QString& key, const QRect& rect) {
    m_controls.push_back({key, rect, false, {}, {}});
}

QRect WindowSkin::RectOf(const QString& key) const {
    for (const Control& control : m_controls) {
        if (control.key == key) {
            return control.rect;
        }
    }
    return {};
}

QRect WindowSkin::OriginOf(const QString& key) const {
    for (const auto& [name, rect] : m_origins) {
        if (name == key) {
            return rect;
        }
    }
    return {};
}

QImage WindowSkin::RenderBackground() const {
    QImage image(m_size, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 0));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (m_background) {
        m_background(painter);
    }
    return image;
}

QImage WindowSkin::RenderMask() const {
    QImage image(m_size, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 255));
    QPainter painter(&image);
    // No antialiasing: the mask is two-valued, and an edge pixel that is almost white would be kept.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0));
    painter.drawRoundedRect(QRectF(0, 0, m_size.width(), m_size.height()), m_radius, m_radius);
    return image;
}

QImage WindowSkin::RenderSheet(Sheet sheet, int variant) const {
    QImage image = RenderBackground();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (m_decoration) {
        painter.save();
        m_decoration(painter, variant);
        painter.restore();
    }
    for (const Control& control : m_controls) {
        if (!control.skinned || !control.draw) {
            continue;
        }
        const QRect face = FaceRect(control.rect);
        painter.save();
        // Only the face rectangle is ever cut from the picture; anything drawn outside it
        // would show on no button.
        painter.setClipRect(face);
        control.draw(painter, QRectF(face), LookFor(control.role, sheet), variant);
        painter.restore();
    }
    return image;
}

QString WindowSkin::LayoutText(const std::vector<std::pair<QString, QString>>& screen) const {
    QString text;
    QTextStream out(&text);
    out << "; Brasslane skin layout. Rectangles are x,y,width,height in window pixels; a button's\r\n"
        << "; faces are cut from the state pictures at (x - 1, y - 1).\r\n";
    out << "[SCREEN]\r\n";
    for (const auto& [key, value] : screen) {
        out << key << '=' << value << "\r\n";
    }
    auto rectText = [](const QRect& r) {
        return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    out << "\r\n[BUTTONINFO]\r\n";
    for (const Control& control : m_controls) {
        out << control.key << '=' << rectText(control.rect) << "\r\n";
    }
    if (!m_origins.empty()) {
        out << "\r\n[BUTTONINFO2]\r\n";
        for (const auto& [key, rect] : m_origins) {
            out << key << '=' << rectText(rect) << "\r\n";
        }
    }
    return text;
}

} // namespace brasslane::skingen
