#include "gui/widgets/CColorButton.h"
#include "gui/widgets/CPictureStatic.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace brasslane::gui {
namespace {

QPixmap Filled(QColor colour) {
    QPixmap pixmap(10, 10);
    pixmap.fill(colour);
    return pixmap;
}

void Click(QWidget& widget, QPointF releaseAt) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, releaseAt, releaseAt, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &release);
}

TEST(CPictureStaticTest, ShowsItsStateAndReportsClicksReleasedOverIt) {
    CPictureStatic toggle;
    toggle.resize(10, 10);
    toggle.SetPictures(Filled(Qt::red), Filled(Qt::green));
    EXPECT_EQ(toggle.grab().toImage().pixelColor(5, 5), QColor(Qt::red));
    toggle.SetChecked(true);
    EXPECT_EQ(toggle.grab().toImage().pixelColor(5, 5), QColor(Qt::green));

    QSignalSpy clicks(&toggle, &CPictureStatic::Clicked);
    Click(toggle, QPointF(5, 5));
    Click(toggle, QPointF(50, 5));
    EXPECT_EQ(clicks.count(), 1);
    // Clicking reports; the owner changes the state.
    EXPECT_TRUE(toggle.IsChecked());

    // A single picture shows whatever the state.
    toggle.SetPicture(Filled(Qt::blue));
    toggle.SetChecked(true);
    EXPECT_EQ(toggle.ShownPicture().toImage().pixelColor(0, 0), QColor(Qt::blue));
}

TEST(CColorButtonTest, ReportsTheChosenColourAndNothingOnCancel) {
    CColorButton button;
    button.resize(40, 20);
    button.SetAutomaticColour(QColor(255, 255, 255));
    EXPECT_FALSE(button.Colour().has_value());
    EXPECT_EQ(button.EffectiveColour(), QColor(255, 255, 255));

    QSignalSpy chosen(&button, &CColorButton::ColourChosen);
    CColorButton::SetNextChooserAnswer(QColor());
    button.click();
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_FALSE(button.Colour().has_value());

    CColorButton::SetNextChooserAnswer(QColor(0, 126, 255));
    button.click();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).value<QColor>(), QColor(0, 126, 255));
    EXPECT_EQ(button.EffectiveColour(), QColor(0, 126, 255));
    EXPECT_EQ(button.grab().toImage().pixelColor(20, 10), QColor(0, 126, 255));

    // Going back to automatic shows the automatic colour again.
    button.SetColour(std::nullopt);
    EXPECT_EQ(button.EffectiveColour(), QColor(255, 255, 255));
}

} // namespace
} // namespace brasslane::gui
