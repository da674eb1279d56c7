#include "gui/widgets/CPngButton.h"
#include "gui/widgets/SkinPlacement.h"

#include "SkinTestFolder.h"

#include <QApplication>
#include <QEnterEvent>

#include <gtest/gtest.h>

namespace brasslane::gui {
namespace {

using test::SkinTestFolder;

const QColor kNormal(10, 20, 30);
const QColor kOver(40, 50, 60);
const QColor kDown(70, 80, 90);
const QColor kDisable(100, 110, 120);

QImage Solid(QColor colour, QSize size = {100, 100}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

StatePictures FourColours() {
    return {Solid(kNormal), Solid(kOver), Solid(kDown), Solid(kDisable)};
}

QColor FaceColour(const CPngButton& button, Face face) {
    const QPixmap& pixmap = button.FacePixmap(face);
    return pixmap.isNull() ? QColor() : pixmap.toImage().pixelColor(0, 0);
}

QColor Painted(CPngButton& button) {
    return button.grab().toImage().pixelColor(button.width() / 2, 1);
}

TEST(CPngButtonTest, FaceRulesPickTheStatePictures) {
    const struct {
        FaceRule rule;
        QColor normal, over, down, disabled, selected;
    } cases[] = {
        {FaceRule::Push, kNormal, kOver, kDown, kNormal, kNormal},
        {FaceRule::Apply, kNormal, kOver, kDown, kDisable, kNormal},
        {FaceRule::Choice, kNormal, kOver, kDown, kNormal, kDisable},
        {FaceRule::LockIndicator, kNormal, kNormal, kNormal, kNormal, kOver},
    };
    for (const auto& c : cases) {
        CPngButton button;
        button.SetFaces(FourColours(), {5, 5}, {20, 10}, c.rule);
        const int rule = static_cast<int>(c.rule);
        EXPECT_EQ(FaceColour(button, Face::Normal), c.normal) << "rule " << rule;
        EXPECT_EQ(FaceColour(button, Face::Over), c.over) << "rule " << rule;
        EXPECT_EQ(FaceColour(button, Face::Down), c.down) << "rule " << rule;
        EXPECT_EQ(FaceColour(button, Face::Disabled), c.disabled) << "rule " << rule;
        EXPECT_EQ(FaceColour(button, Face::Selected), c.selected) << "rule " << rule;
    }
}

TEST(CPngButtonTest, FaceIsCutOneUpAndLeftOfThePosition) {
    SkinTestFolder folder;
    QImage normal = Solid(kNormal);
    normal.setPixelColor(11, 33, Qt::red);
    folder.Text("Dialog.ini", "[BUTTONINFO]\nA=12,34,56,78\nB=12,34,56,78,abc\n");
    const SkinLayout layout(folder.Path("Dialog.ini"));

    for (const char* key : {"A", "B"}) {
        CPngButton button;
        PlaceAndSkin(button, layout, SkinLayout::kButtonSection, key, {normal, {}, {}, {}}, FaceRule::Push);
        EXPECT_EQ(button.geometry(), QRect(12, 34, 56, 78)) << key;
        EXPECT_EQ(button.FaceOrigin(), QPoint(11, 33)) << key;
        EXPECT_EQ(button.FacePixmap(Face::Normal).size(), QSize(56, 78)) << key;
        EXPECT_EQ(FaceColour(button, Face::Normal), QColor(Qt::red)) << key;
        EXPECT_TRUE(button.isEnabled()) << key;
        // A state picture the dialog lacks leaves that face empty.
        EXPECT_TRUE(button.FacePixmap(Face::Over).isNull()) << key;
    }
}

TEST(CPngButtonTest, PlacementAtOneOneDisablesTheButton) {
    SkinTestFolder folder;
    folder.Text("Dialog.ini", "[BUTTONINFO]\nCORNER=1,1,80,20\nNEAR=1,2,80,20\n");
    const SkinLayout layout(folder.Path("Dialog.ini"));

    CPngButton corner;
    PlaceAndSkin(corner, layout, SkinLayout::kButtonSection, "CORNER", FourColours(), FaceRule::Push);
    EXPECT_FALSE(corner.isEnabled());
    EXPECT_EQ(corner.geometry(), QRect(1, 1, 80, 20));

    CPngButton missing;
    PlaceAndSkin(missing, layout, SkinLayout::kButtonSection, "NO_SUCH_KEY", FourColours(), FaceRule::Push);
    EXPECT_FALSE(missing.isEnabled());
    EXPECT_EQ(missing.geometry(), QRect(1, 1, 1, 1));

    CPngButton near;
    PlaceAndSkin(near, layout, SkinLayout::kButtonSection, "NEAR", FourColours(), FaceRule::Push);
    EXPECT_TRUE(near.isEnabled());

    CPngButton noFile;
    PlaceAndSkin(noFile, SkinLayout(folder.Path("Absent.ini")), SkinLayout::kButtonSection, "CORNER", FourColours(),
                 FaceRule::Push);
    EXPECT_FALSE(noFile.isEnabled());
}

TEST(CPngButtonTest, PaintsTheFaceOfItsState) {
    CPngButton button;
    button.resize(20, 10);
    button.SetFaces(FourColours(), {0, 0}, {20, 10}, FaceRule::Apply);
    EXPECT_EQ(button.CurrentFace(), Face::Normal);
    EXPECT_EQ(Painted(button), kNormal);

    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.CurrentFace(), Face::Over);
    EXPECT_EQ(Painted(button), kOver);

    button.setDown(true);
    EXPECT_EQ(button.CurrentFace(), Face::Down);
    EXPECT_EQ(Painted(button), kDown);
    button.setDown(false);

    button.setEnabled(false);
    EXPECT_EQ(button.CurrentFace(), Face::Disabled);
    // The disabled face, under the veil that marks every disabled button.
    const QColor veiled = button.grab().toImage().pixelColor(button.width() / 2, button.height() / 2);
    EXPECT_LT(veiled.lightness(), kDisable.lightness() / 2);
    button.setEnabled(true);
    // Disabling forgot the hover.
    EXPECT_EQ(button.CurrentFace(), Face::Normal);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    button.SetSelected(true);
    EXPECT_EQ(button.CurrentFace(), Face::Selected);
}

TEST(CPngButtonTest, LockIndicatorLightsOnlyWhenSelected) {
    CPngButton lock;
    lock.resize(20, 10);
    lock.SetFaces(FourColours(), {0, 0}, {20, 10}, FaceRule::LockIndicator);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&lock, &enter);
    EXPECT_EQ(Painted(lock), kNormal);
    lock.SetSelected(true);
    EXPECT_EQ(Painted(lock), kOver);
    lock.SetSelected(false);
    EXPECT_EQ(Painted(lock), kNormal);
}

TEST(CPngButtonTest, OverridePictureReplacesEveryFaceUntilCleared) {
    CPngButton key;
    key.resize(20, 10);
    QImage sheet = Solid(Qt::black);
    sheet.fill(QColor(200, 10, 10));
    key.SetFaces(FourColours(), {30, 40}, {20, 10}, FaceRule::Choice);
    key.SetOverridePicture(sheet);
    EXPECT_TRUE(key.HasOverridePicture());
    EXPECT_EQ(Painted(key), QColor(200, 10, 10));
    key.SetSelected(true);
    EXPECT_EQ(Painted(key), QColor(200, 10, 10));
    key.ClearOverridePicture();
    EXPECT_EQ(Painted(key), kDisable);
}

TEST(CPngButtonTest, TintColoursTheFaceAndClears) {
    CPngButton key;
    key.resize(40, 30);
    key.SetFaces(FourColours(), {0, 0}, {40, 30}, FaceRule::Choice);
    key.SetTint(QColor(255, 0, 0));
    const QColor tinted = key.grab().toImage().pixelColor(20, 15);
    EXPECT_EQ(tinted.red(), 255);
    EXPECT_LT(tinted.green(), 40);
    key.SetTint(std::nullopt);
    EXPECT_EQ(key.grab().toImage().pixelColor(20, 15), kNormal);
}

TEST(CPngButtonTest, CaptionContrastsWithTheFace) {
    for (const QColor& face : {QColor(20, 20, 20), QColor(240, 200, 120)}) {
        CPngButton button;
        button.resize(60, 30);
        button.SetFaces({Solid(face), {}, {}, {}}, {0, 0}, {60, 30}, FaceRule::Push);
        button.setText(QStringLiteral("MMMM"));
        const QImage painted = button.grab().toImage();
        // The text's pixels are the ones that differ most from the face.
        int bestDistance = 0;
        for (int y = 0; y < painted.height(); ++y) {
            for (int x = 0; x < painted.width(); ++x) {
                const QColor c = painted.pixelColor(x, y);
                const int distance = std::abs(c.red() - face.red()) + std::abs(c.green() - face.green()) +
                                     std::abs(c.blue() - face.blue());
                bestDistance = std::max(bestDistance, distance);
            }
        }
        EXPECT_GT(bestDistance, 250) << face.name().toStdString();
    }
}

} // namespace
} // namespace brasslane::gui
