#include "gui/widgets/CBaseDialog.h"

#include "SkinTestFolder.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include <gtest/gtest.h>

namespace brasslane::gui {
namespace {

using test::SkinTestFolder;

const QColor kSlate(50, 60, 70);

// A 40 x 30 picture with pure white 4 x 4 squares in the top-left and bottom-right corners.
QImage CornerPicture(QColor body) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(body);
    QPainter painter(&image);
    painter.fillRect(0, 0, 4, 4, Qt::white);
    painter.fillRect(36, 26, 4, 4, Qt::white);
    return image;
}

int Area(const QRegion& region) {
    int area = 0;
    for (const QRect& rect : region) {
        area += rect.width() * rect.height();
    }
    return area;
}

TEST(CBaseDialogTest, MaskPictureCutsItsWhitePixelsOutOfTheWindow) {
    SkinTestFolder folder;
    folder.Solid("back.png", {40, 30}, kSlate);
    folder.Picture("mask.bmp", CornerPicture(Qt::black));
    folder.Text("Dialog.ini", "[SCREEN]\nMain=back.png\nMask=mask.bmp\n");

    CBaseDialog dialog;
    dialog.move(120, 80);
    ASSERT_TRUE(dialog.SetUpSkin(folder.Path("Dialog.ini")));
    EXPECT_EQ(dialog.size(), QSize(40, 30));
    EXPECT_EQ(dialog.pos(), QPoint(120, 80));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
    const QRegion shape = dialog.mask();
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_FALSE(shape.contains(QPoint(3, 3)));
    EXPECT_FALSE(shape.contains(QPoint(39, 29)));
    EXPECT_TRUE(shape.contains(QPoint(4, 4)));
    EXPECT_TRUE(shape.contains(QPoint(39, 0)));
    EXPECT_TRUE(shape.contains(QPoint(20, 15)));
    EXPECT_EQ(Area(shape), 40 * 30 - 2 * 16);
}

TEST(CBaseDialogTest, WithoutMaskTheBackgroundIsItsOwnMask) {
    SkinTestFolder folder;
    folder.Picture("back.png", CornerPicture(kSlate));
    folder.Text("Dialog.ini", "[screen]\nmain = back.png\n");

    CBaseDialog dialog;
    ASSERT_TRUE(dialog.SetUpSkin(folder.Path("Dialog.ini")));
    EXPECT_FALSE(dialog.mask().contains(QPoint(1, 1)));
    EXPECT_TRUE(dialog.mask().contains(QPoint(10, 10)));
    EXPECT_EQ(Area(dialog.mask()), 40 * 30 - 2 * 16);
}

TEST(CBaseDialogTest, OnlyPureWhiteIsCutAway) {
    QImage mask(8, 1, QImage::Format_ARGB32);
    const QRgb pixels[] = {qRgb(255, 255, 255),     qRgb(254, 255, 255), qRgb(255, 254, 255), qRgb(255, 255, 254),
                           qRgba(255, 255, 255, 0), qRgb(0, 0, 0),       qRgb(255, 255, 255), qRgb(128, 128, 128)};
    for (int x = 0; x < 8; ++x) {
        mask.setPixel(x, 0, pixels[x]);
    }
    const QRegion shape = RegionWithoutWhite(mask, {8, 1});
    const bool kept[] = {false, true, true, true, false, true, false, true};
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(shape.contains(QPoint(x, 0)), kept[x]) << "pixel " << x;
    }
    // Window parts the mask picture does not cover keep their shape.
    EXPECT_TRUE(RegionWithoutWhite(mask, {12, 3}).contains(QPoint(11, 2)));
    EXPECT_EQ(Area(RegionWithoutWhite(QImage(), {5, 4})), 20);
}

TEST(CBaseDialogTest, UnloadablePicturesFailTheSetUp) {
    SkinTestFolder folder;
    folder.Solid("back.png", {40, 30}, kSlate);
    folder.Text("broken.jpg", "not a picture at all");
    folder.Text("NoMain.ini", "[SCREEN]\nMask=back.png\n");
    folder.Text("MissingMain.ini", "[SCREEN]\nMain=nothing.jpg\nMask=back.png\n");
    folder.Text("MissingMask.ini", "[SCREEN]\nMain=back.png\nMask=nothing.bmp\n");
    folder.Text("BrokenMain.ini", "[SCREEN]\nMain=broken.jpg\n");

    for (const char* layout : {"NoMain.ini", "MissingMain.ini", "MissingMask.ini", "BrokenMain.ini", "Absent.ini"}) {
        CBaseDialog dialog;
        dialog.resize(200, 100);
        EXPECT_FALSE(dialog.SetUpSkin(folder.Path(layout))) << layout;
        EXPECT_EQ(dialog.size(), QSize(200, 100)) << layout;
        EXPECT_TRUE(dialog.Background().isNull()) << layout;
    }
}

TEST(CBaseDialogTest, StatePicturesComeFromTheLayoutFolderWhateverTheWorkingFolder) {
    SkinTestFolder folder;
    SkinTestFolder elsewhere;
    folder.Solid("back.png", {40, 30}, kSlate);
    folder.Solid("a_normal.jpg", {40, 30}, QColor(200, 0, 0));
    folder.Solid("a_over.png", {40, 30}, QColor(0, 200, 0));
    folder.Text("Dialog.ini", "[SCREEN]\nMain=back.png\n");
    CBaseDialog dialog;
    ASSERT_TRUE(dialog.SetUpSkin(folder.Path("Dialog.ini")));

    const QString previous = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(elsewhere.Path("").string()));
    StatePictures pictures;
    const bool loaded = dialog.LoadPictures("a_normal.jpg", "a_over.png", {}, {}, pictures);
    StatePictures untouched;
    untouched.normal = QImage(1, 1, QImage::Format_RGB32);
    const bool missing = dialog.LoadPictures("a_normal.jpg", "a_down.jpg", {}, {}, untouched);
    QDir::setCurrent(previous);

    ASSERT_TRUE(loaded);
    EXPECT_EQ(pictures.normal.size(), QSize(40, 30));
    EXPECT_FALSE(pictures.over.isNull());
    EXPECT_TRUE(pictures.down.isNull());
    // A missing picture fails the load and leaves the caller's pictures as they were.
    EXPECT_FALSE(missing);
    EXPECT_EQ(untouched.normal.size(), QSize(1, 1));
}

TEST(CBaseDialogTest, PlacementOperationsFollowTheLayoutFile) {
    SkinTestFolder folder;
    folder.Solid("back.png", {200, 150}, kSlate);
    QImage arrows(60, 20, QImage::Format_RGB32);
    arrows.fill(Qt::black);
    arrows.setPixelColor(30, 10, Qt::green);
    folder.Picture("Arrow.png", arrows);
    folder.Text("Dialog.ini", "[SCREEN]\nMain=back.png\n"
                              "[BUTTONINFO]\nLABEL=12,34,56,78\nTAIL=12,34,56,78,abc\nSPOT=90,100,5,5\n"
                              "LEFT_ARROW=20,30,10,10\n"
                              "[BUTTONINFO2]\nUP_ARROW_LEFT1=31,11,10,10\n");
    CBaseDialog dialog;
    ASSERT_TRUE(dialog.SetUpSkin(folder.Path("Dialog.ini")));

    QWidget label(&dialog);
    dialog.Place(label, "LABEL");
    EXPECT_EQ(label.geometry(), QRect(12, 34, 56, 78));
    QWidget tail(&dialog);
    dialog.Place(tail, "TAIL");
    EXPECT_EQ(tail.geometry(), QRect(12, 34, 56, 78));
    QWidget missing(&dialog);
    dialog.Place(missing, "NOT_THERE");
    EXPECT_EQ(missing.geometry(), QRect(1, 1, 1, 1));

    // Move keeps the size.
    dialog.Move(label, "SPOT");
    EXPECT_EQ(label.geometry(), QRect(90, 100, 56, 78));

    // The arrow's face comes from the second section's position, read like a control position.
    CPngButton arrow(&dialog);
    QImage picture;
    ASSERT_TRUE(LoadSkinPicture(folder.Path("Arrow.png"), picture));
    dialog.PlaceWithFaceOrigin(arrow, "LEFT_ARROW", "BUTTONINFO2", "UP_ARROW_LEFT1", picture);
    EXPECT_EQ(arrow.geometry(), QRect(20, 30, 10, 10));
    EXPECT_EQ(arrow.FaceOrigin(), QPoint(30, 10));
    for (Face face : {Face::Normal, Face::Over, Face::Down, Face::Disabled, Face::Selected}) {
        EXPECT_EQ(arrow.FacePixmap(face).toImage().pixelColor(0, 0), QColor(Qt::green));
    }
}

TEST(CBaseDialogTest, DraggingTheBackgroundMovesTheWindow) {
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        GTEST_SKIP() << "a real window manager moves the window itself";
    }
    SkinTestFolder folder;
    folder.Solid("back.png", {40, 30}, kSlate);
    folder.Text("Dialog.ini", "[SCREEN]\nMain=back.png\n");
    CBaseDialog dialog;
    ASSERT_TRUE(dialog.SetUpSkin(folder.Path("Dialog.ini")));
    dialog.move(100, 100);
    dialog.show();
    const QPoint start = dialog.frameGeometry().topLeft();

    const QPointF local(5, 5);
    const QPointF global = QPointF(dialog.mapToGlobal(local.toPoint()));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &press);
    QMouseEvent drag(QEvent::MouseMove, local, global + QPointF(30, 20), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &drag);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global + QPointF(30, 20), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&dialog, &release);

    EXPECT_EQ(dialog.frameGeometry().topLeft(), start + QPoint(30, 20));
    // A move without a held button after the release does nothing.
    const QPoint after = dialog.frameGeometry().topLeft();
    QMouseEvent hover(QEvent::MouseMove, local, global + QPointF(80, 80), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &hover);
    EXPECT_EQ(dialog.frameGeometry().topLeft(), after);
}

TEST(CBaseDialogTest, EnterAndEscapeCanBeSwallowed) {
    CBaseDialog dialog;
    dialog.SetSwallowEnterAndEscape(true);
    dialog.show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &escape);
    EXPECT_TRUE(dialog.isVisible());

    dialog.SetSwallowEnterAndEscape(false);
    QApplication::sendEvent(&dialog, &escape);
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace
} // namespace brasslane::gui
