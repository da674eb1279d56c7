#pragma once

// A slider drawn entirely by pictures: positions 0..maximum, one picture per position. It
// reports its position on a mouse press, while dragging, on release, on arrow keys and on the
// wheel, whether or not the position changed; the owner decides what a report changes.

#include <QPixmap>
#include <QWidget>

#include <vector>

namespace brasslane::gui {

class CPictureSlider : public QWidget {
    Q_OBJECT

public:
    explicit CPictureSlider(QWidget* parent = nullptr);

    // Positions 0..maximum (maximum >= 0; a negative value counts as 0). Clamps the position.
    void SetMaximum(int maximum);
    int Maximum() const { return m_maximum; }

    // Sets the position without reporting it.
    void SetPosition(int position);
    int Position() const { return m_position; }

    // pictures[p] is shown at position p; a position without a picture shows nothing.
    void SetPictures(std::vector<QPixmap> pictures);

    // The position a pointer at `x` (widget pixels) selects.
    int PositionAt(int x) const;

signals:
    void PositionReported(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Report(int position);

    int m_maximum = 0;
    int m_position = 0;
    bool m_dragging = false;
    int m_wheelRemainder = 0;
    std::vector<QPixmap> m_pictures;
};

} // namespace brasslane::gui
