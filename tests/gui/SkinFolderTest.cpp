// Checks the skin the build draws: every layout file, key and picture the dialogs ask for is
// there, fits its window, and the pictures agree with the layout.

#include "gui/widgets/CBaseDialog.h"
#include "gui/widgets/SkinPlacement.h"

#include "core/keys/KeyTable.h"
#include "core/base/Keyboard.h"
#include "core/resources/SkinKeys.h"
#include "core/resources/SkinLayout.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brasslane::gui {
namespace {

namespace fs = std::filesystem;

const fs::path kSkinDir = BRASSLANE_SKIN_DIR;

struct Window {
    std::string_view layout; // relative to the program folder, e.g. "Skins/Main.ini"
    std::span<const std::string_view> keys;
    std::span<const std::string_view> pictures;
};

std::vector<Window> Windows() {
    return {{skin::kMainLayout, skin::kMainWindowKeys, skin::kMainWindowPictures},
            {skin::kCompositeLayout, skin::kCompositeDialogKeys, skin::kCompositeDialogPictures},
            {skin::kProfileLayout, skin::kProfileDialogKeys, skin::kProfileDialogPictures},
            {skin::kUpdateLayout, skin::kUpdateDialogKeys, skin::kUpdateDialogPictures},
            {skin::kAutoProfileLayout, skin::kAutoProfileDialogKeys, skin::kAutoProfileDialogPictures}};
}

fs::path LayoutPath(std::string_view layout) {
    return kSkinDir.parent_path() / fs::path(layout);
}

QImage Load(const fs::path& file) {
    QImage image;
    LoadSkinPicture(file, image);
    return image;
}

// Every key the main window looks up in BUTTONINFO: fixed keys, the lighting panel, the 105 key
// buttons of the key table and the G keys.
std::vector<std::string> MainWindowKeys() {
    std::vector<std::string> keys(skin::kMainWindowKeys.begin(), skin::kMainWindowKeys.end());
    keys.insert(keys.end(), skin::kLightingPanelKeys.begin(), skin::kLightingPanelKeys.end());
    for (ScanCode code : KeyButtonScanCodes()) {
        keys.push_back(KeyLayoutName(code));
    }
    for (int g = 1; g <= kGKeysPerBank; ++g) {
        keys.push_back(skin::GKeyLayoutKey(g));
    }
    return keys;
}

double MeanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            sum += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue());
        }
    }
    return sum / std::max(1, a.width() * a.height());
}

TEST(SkinFolderTest, EveryWindowSetsUpAndItsStatePicturesMatchTheBackground) {
    for (const Window& window : Windows()) {
        SCOPED_TRACE(std::string(window.layout));
        const fs::path layoutFile = LayoutPath(window.layout);
        ASSERT_TRUE(fs::exists(layoutFile));
        CBaseDialog dialog;
        ASSERT_TRUE(dialog.SetUpSkin(layoutFile));
        const QSize size = dialog.Background().size();
        EXPECT_GE(size.width(), 300);
        EXPECT_GE(size.height(), 200);
        // Rounded corners are cut away, the middle of the window stays.
        EXPECT_FALSE(dialog.mask().contains(QPoint(0, 0)));
        EXPECT_FALSE(dialog.mask().contains(QPoint(size.width() - 1, size.height() - 1)));
        EXPECT_TRUE(dialog.mask().contains(QPoint(size.width() / 2, size.height() / 2)));
        EXPECT_TRUE(dialog.mask().contains(QPoint(size.width() / 2, 0)));

        for (std::string_view picture : window.pictures) {
            const QImage image = Load(kSkinDir / picture);
            ASSERT_FALSE(image.isNull()) << picture;
            if (picture != "Arrow.jpg") {
                EXPECT_EQ(image.size(), size) << picture;
            }
        }
    }
}

TEST(SkinFolderTest, EveryLayoutKeyHasAPlaceInsideItsWindow) {
    for (const Window& window : Windows()) {
        SCOPED_TRACE(std::string(window.layout));
        const SkinLayout layout(LayoutPath(window.layout));
        const QImage background = Load(*layout.BackgroundPath());
        const QRect inside(QPoint(0, 0), background.size());
        std::vector<std::string> keys(window.keys.begin(), window.keys.end());
        if (window.layout == skin::kMainLayout) {
            keys = MainWindowKeys();
        }
        for (const std::string& key : keys) {
            const SkinRect rect = layout.Rect(key);
            EXPECT_FALSE(IsDisabledPlacement(rect)) << key;
            EXPECT_TRUE(inside.contains(ToQRect(rect))) << key;
            EXPECT_GT(rect.w, 1) << key;
            EXPECT_GT(rect.h, 1) << key;
        }
    }
}

TEST(SkinFolderTest, MainWindowKeysAreDistinctAndDrawnOnTheirPlaces) {
    const SkinLayout layout(LayoutPath(skin::kMainLayout));
    const QImage normal = Load(kSkinDir / "main_normal.jpg");
    const QImage selected = Load(kSkinDir / "main_disable.jpg");
    const QImage marked = Load(kSkinDir / "main_color1.jpg");
    const QImage background = Load(*layout.BackgroundPath());

    std::vector<std::string> keys;
    for (ScanCode code : KeyButtonScanCodes()) {
        keys.push_back(KeyLayoutName(code));
    }
    keys.push_back("KEY_FN");
    for (int g = 1; g <= kGKeysPerBank; ++g) {
        keys.push_back(skin::GKeyLayoutKey(g));
    }
    std::vector<QRect> placed;
    for (const std::string& key : keys) {
        SCOPED_TRACE(key);
        const QRect rect = ToQRect(layout.Rect(key));
        for (const QRect& other : placed) {
            EXPECT_FALSE(rect.intersects(other)) << "overlaps another key at " << other.x() << "," << other.y();
        }
        placed.push_back(rect);
        // The face cut at (x - 1, y - 1) shows a key on the normal picture, a different look
        // for assigned and for selected keys.
        const QRect face = rect.translated(-1, -1);
        EXPECT_GT(MeanDifference(normal.copy(face), background.copy(face)), 20.0);
        EXPECT_GT(MeanDifference(selected.copy(face), normal.copy(face)), 40.0);
        EXPECT_GT(MeanDifference(marked.copy(face), normal.copy(face)), 40.0);
    }
}

TEST(SkinFolderTest, ArrowFramesLieOnTheArrowPicture) {
    const SkinLayout layout(LayoutPath(skin::kMainLayout));
    const QImage arrows = Load(kSkinDir / "Arrow.jpg");
    ASSERT_FALSE(arrows.isNull());
    const QRect picture(QPoint(0, 0), arrows.size());
    for (const char* arrow : {"LEFT_ARROW", "RIGHT_ARROW"}) {
        const SkinRect place = layout.Rect(arrow);
        for (std::string_view base : skin::kArrowOriginBases) {
            if ((std::string_view(arrow) == "LEFT_ARROW") != base.ends_with("LEFT")) {
                continue;
            }
            for (int frame : skin::kArrowFrames) {
                const SkinRect origin = layout.Rect(SkinLayout::kArrowSection, skin::ArrowOriginKey(base, frame));
                EXPECT_FALSE(IsDisabledPlacement(origin)) << base << frame;
                EXPECT_TRUE(picture.contains(QRect(origin.x - 1, origin.y - 1, place.w, place.h))) << base << frame;
            }
        }
    }
}

TEST(SkinFolderTest, LightingBitmapsFitTheControlsThatShowThem) {
    const SkinLayout layout(LayoutPath(skin::kMainLayout));
    std::vector<std::pair<std::string, std::string>> bitmaps = {
        {"dengup.bmp", "CONTROL_DengStaPic"},
        {"dengdown.bmp", "CONTROL_DengStaPic"},
        {"sjsup.bmp", "CONTROL_HXsjsStaPic"},
        {"sjsdown.bmp", "CONTROL_FYSJSStaPic"},
        {"leftup.bmp", "CONTROL_BLFXLStaPic2"},
        {"leftdown.bmp", "CONTROL_BLFXLStaPic2"},
        {"rightup.bmp", "CONTROL_BLFXRStaPic2"},
        {"rightdown.bmp", "CONTROL_BLFXRStaPic2"},
        {"upup.bmp", "CONTROL_BLFXLStaPic3"},
        {"updown.bmp", "CONTROL_BLFXLStaPic3"},
        {"downup.bmp", "CONTROL_BLFXRStaPic3"},
        {"downdown.bmp", "CONTROL_BLFXRStaPic3"},
        {"kuosan.bmp", "CONTROL_BLFXLStaPic"},
        {"kuosandown.bmp", "CONTROL_BLFXLStaPic"},
        {"julong.bmp", "CONTROL_BLFXRStaPic"},
        {"julongdown.bmp", "CONTROL_BLFXRStaPic"},
        {"hong.bmp", "CONTROL_HONGPIC"},
        {"hongok.bmp", "CONTROL_HONGPIC"},
        {"huang.bmp", "CONTROL_HUANGPIC"},
        {"huangok.bmp", "CONTROL_HUANGPIC"},
        {"lv.bmp", "CONTROL_LVPIC"},
        {"lvok.bmp", "CONTROL_LVPIC"},
        {"lan.bmp", "CONTROL_LANPIC"},
        {"lanok.bmp", "CONTROL_LANPIC"},
        {"user1up.bmp", "CONTROL_USERgjStaPic1"},
        {"user1down.bmp", "CONTROL_USERgjStaPic1"},
        {"user2up.bmp", "CONTROL_USERgjStaPic2"},
        {"user2down.bmp", "CONTROL_USERgjStaPic2"},
    };
    for (int i = 1; i <= 10; ++i) {
        bitmaps.emplace_back("jdt" + std::to_string(i) + ".bmp", "CONTROL_JDTStatic");
    }
    for (int i = 0; i <= 25; ++i) {
        bitmaps.emplace_back(std::to_string(i) + ".bmp", i % 2 ? "CONTROL_SpeedSlider" : "CONTROL_LightSlider");
    }
    for (int i = 1; i <= 8; ++i) {
        bitmaps.emplace_back("Color" + std::to_string(i) + ".bmp", "CONTROL_Color" + std::to_string(i));
    }
    for (const auto& [file, key] : bitmaps) {
        const QImage image = Load(kSkinDir / file);
        ASSERT_FALSE(image.isNull()) << file;
        const SkinRect rect = layout.Rect(key);
        EXPECT_EQ(image.size(), QSize(rect.w, rect.h)) << file << " on " << key;
    }
    // Neighbouring pictures of a set differ: a chosen picture is not its plain one.
    EXPECT_NE(Load(kSkinDir / "dengup.bmp"), Load(kSkinDir / "dengdown.bmp"));
    EXPECT_NE(Load(kSkinDir / "0.bmp"), Load(kSkinDir / "5.bmp"));
    EXPECT_NE(Load(kSkinDir / "jdt1.bmp"), Load(kSkinDir / "jdt2.bmp"));
}

TEST(SkinFolderTest, TrayIconsAndDefaultModeFileShipWithTheSkin) {
    QImage icons[3];
    const char* names[] = {"icon128.png", "icon141.png", "icon142.png"};
    for (int i = 0; i < 3; ++i) {
        icons[i] = Load(kSkinDir / names[i]);
        ASSERT_FALSE(icons[i].isNull()) << names[i];
        EXPECT_TRUE(icons[i].hasAlphaChannel()) << names[i];
    }
    EXPECT_NE(icons[0], icons[1]);
    EXPECT_NE(icons[1], icons[2]);
    // The keyboard-present icon is warm (brass), the no-keyboard icon grey.
    const QColor grey = icons[0].pixelColor(32, 16);
    const QColor brass = icons[1].pixelColor(32, 16);
    EXPECT_LT(std::abs(grey.red() - grey.blue()), 40);
    EXPECT_GT(brass.red() - brass.blue(), 80);

    const fs::path source = fs::path(BRASSLANE_SOURCE_DIR) / "data" / "UserDengColor_3.userd";
    if (fs::exists(source)) {
        EXPECT_TRUE(fs::exists(kSkinDir / "UserDengColor_3.userd"));
    }
}

} // namespace
} // namespace brasslane::gui
