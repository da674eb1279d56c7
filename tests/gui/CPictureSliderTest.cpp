#include "gui/widgets/CPictureSlider.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <vector>

namespace brasslane::gui {
namespace {

// A slider 101 pixels wide with positions 0..5: every 20 pixels is one position.
class PictureSlider : public ::testing::Test {
protected:
    PictureSlider() {
        slider.resize(101, 20);
        slider.SetMaximum(5);
    }

    std::vector<int> Reports(const std::function<void()>& action) {
        QSignalSpy spy(&slider, &CPictureSlider::PositionReported);
        action();
        std::vector<int> reports;
        for (const QList<QVariant>& report : spy) {
            reports.push_back(report.at(0).toInt());
        }
        return reports;
    }

    void Mouse(QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(x, 10), QPointF(x, 10), button, held, Qt::NoModifier);
        QApplication::sendEvent(&slider, &event);
    }

    void Key(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&slider, &event);
    }

    void Wheel(int delta) {
        QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&slider, &event);
    }

    CPictureSlider slider;
};

TEST_F(PictureSlider, PointerPositionMapsOntoTheStops) {
    EXPECT_EQ(slider.PositionAt(0), 0);
    EXPECT_EQ(slider.PositionAt(9), 0);
    EXPECT_EQ(slider.PositionAt(10), 1);
    EXPECT_EQ(slider.PositionAt(50), 3);
    EXPECT_EQ(slider.PositionAt(100), 5);
    EXPECT_EQ(slider.PositionAt(-30), 0);
    EXPECT_EQ(slider.PositionAt(400), 5);
    slider.SetMaximum(0);
    EXPECT_EQ(slider.PositionAt(100), 0);
    slider.SetMaximum(-3);
    EXPECT_EQ(slider.Maximum(), 0);
}

TEST_F(PictureSlider, ReportsOnPressDragAndRelease) {
    const std::vector<int> reports = Reports([&] {
        Mouse(QEvent::MouseButtonPress, 40, Qt::LeftButton, Qt::LeftButton);
        Mouse(QEvent::MouseMove, 80, Qt::NoButton, Qt::LeftButton);
        Mouse(QEvent::MouseMove, 300, Qt::NoButton, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, 61, Qt::LeftButton, Qt::NoButton);
        // Moving without a press reports nothing.
        Mouse(QEvent::MouseMove, 0, Qt::NoButton, Qt::NoButton);
    });
    EXPECT_EQ(reports, (std::vector<int>{2, 4, 5, 3}));
    EXPECT_EQ(slider.Position(), 3);
    // Other buttons do not move it.
    EXPECT_TRUE(Reports([&] { Mouse(QEvent::MouseButtonPress, 0, Qt::RightButton, Qt::RightButton); }).empty());
}

TEST_F(PictureSlider, ReportsOnKeysAndWheelWithinItsRange) {
    slider.SetPosition(4);
    EXPECT_EQ(Reports([&] {
                  Key(Qt::Key_Right);
                  Key(Qt::Key_Right); // already at the end: reported again, not past it
                  Key(Qt::Key_Left);
                  Key(Qt::Key_Down);
                  Key(Qt::Key_Home);
                  Key(Qt::Key_Left);
                  Key(Qt::Key_End);
              }),
              (std::vector<int>{5, 5, 4, 3, 0, 0, 5}));
    slider.SetPosition(2);
    EXPECT_EQ(Reports([&] {
                  Wheel(120);
                  Wheel(-360);
                  Wheel(60); // half a notch: nothing yet
                  Wheel(60);
                  Wheel(-1200);
              }),
              (std::vector<int>{3, 0, 1, 0}));
}

TEST_F(PictureSlider, SetPositionClampsAndShowsThePictureOfThePosition) {
    std::vector<QPixmap> pictures;
    for (int i = 0; i < 6; ++i) {
        QPixmap picture(101, 20);
        picture.fill(QColor(i * 40, 0, 0));
        pictures.push_back(picture);
    }
    slider.SetPictures(pictures);
    EXPECT_TRUE(Reports([&] { slider.SetPosition(9); }).empty());
    EXPECT_EQ(slider.Position(), 5);
    EXPECT_EQ(slider.grab().toImage().pixelColor(50, 10), QColor(200, 0, 0));
    slider.SetPosition(-2);
    EXPECT_EQ(slider.Position(), 0);
    EXPECT_EQ(slider.grab().toImage().pixelColor(50, 10), QColor(0, 0, 0));
    slider.SetPosition(2);
    EXPECT_EQ(slider.grab().toImage().pixelColor(50, 10), QColor(80, 0, 0));
    // Lowering the maximum pulls the position in.
    slider.SetMaximum(1);
    EXPECT_EQ(slider.Position(), 1);
}

} // namespace
} // namespace brasslane::gui
