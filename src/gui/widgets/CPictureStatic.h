#pragma once

// A picture shown at its place on the skin, optionally clickable, optionally a toggle between
// an "off" and an "on" picture. The owner sets the state; a click only reports.

#include <QPixmap>
#include <QWidget>

namespace brasslane::gui {

class CPictureStatic : public QWidget {
    Q_OBJECT

public:
    explicit CPictureStatic(QWidget* parent = nullptr);

    // A single picture; clears the toggle pictures.
    void SetPicture(const QPixmap& picture);
    // The pictures shown when unchecked and when checked.
    void SetPictures(const QPixmap& off, const QPixmap& on);
    void SetChecked(bool checked);
    bool IsChecked() const { return m_checked; }

    // The picture painted now.
    const QPixmap& ShownPicture() const;

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap m_off;
    QPixmap m_on;
    bool m_checked = false;
    bool m_pressed = false;
};

} // namespace brasslane::gui
