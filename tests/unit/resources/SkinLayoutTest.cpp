#include "core/resources/SkinLayout.h"

#include "core/resources/SkinKeys.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace brasslane {
namespace {

using test::TempFolder;
using test::WriteBytes;

TEST(SkinLayoutTest, RectangleValues) {
    struct Case {
        const char* value;
        SkinRect expected;
    };
    const Case cases[] = {
        {"12,34,56,78", {12, 34, 56, 78}},
        {"1,1,80,20", {1, 1, 80, 20}},
        {"12,34,56,78,abc", {12, 34, 56, 78}},
        {"12,34,56,78abc", {12, 34, 56, 78}},
        {"5,6", {5, 6, 1, 1}},
        {"", {1, 1, 1, 1}},
        {"abc", {1, 1, 1, 1}},
        {"1,1,1,1,x", {1, 1, 1, 1}},
        {" 12, 34,\t56, 78", {12, 34, 56, 78}}, // blanks before a number are skipped
        {"12 ,34,56,78", {12, 1, 1, 1}},        // but the comma must follow the number
        {"12,,56,78", {12, 1, 1, 1}},
        {"-5,-6,+7,8", {-5, -6, 7, 8}},
        {"- 5,6,7,8", {1, 1, 1, 1}},
        {"-32768,32767,0,0", {-32768, 32767, 0, 0}},
        {"40,32768,7,7", {40, 1, 1, 1}},
        {"99999999999999999999,2,3,4", {1, 1, 1, 1}},
        {"0000000000000000000012,2,3,4", {12, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseSkinRect(c.value), c.expected) << '"' << c.value << '"';
    }

    EXPECT_EQ(FaceOrigin({12, 34, 56, 78}), (SkinPoint{11, 33}));
    EXPECT_EQ(FaceOrigin({1, 1, 1, 1}), (SkinPoint{0, 0}));
    EXPECT_TRUE(IsDisabledPlacement({1, 1, 80, 20}));
    EXPECT_FALSE(IsDisabledPlacement({1, 2, 80, 20}));
    EXPECT_FALSE(IsDisabledPlacement({2, 1, 80, 20}));
}

TEST(SkinLayoutTest, LayoutFile) {
    TempFolder dir;
    WriteBytes(dir / "Skins" / "Main.ini", "[SCREEN]\n"
                                           "Main=main_normal.jpg\n"
                                           "Link=https://example.org/keyboard\n"
                                           "FacebookLink=https://example.org/social\n"
                                           "[BUTTONINFO]\n"
                                           "CONTROL_OK=12,34,56,78\n"
                                           "control2_apply = 1,1,80,20 ; unused\n"
                                           "[BUTTONINFO2]\n"
                                           "UP_ARROW_LEFT1=100,200,30,30\n"
                                           "UP_ARROW_LEFT2=130,200,30,30\n");
    const SkinLayout main(dir / "Skins" / "Main.ini");

    EXPECT_EQ(main.ImageFolder(), dir / "Skins");
    EXPECT_EQ(main.Rect("CONTROL_OK"), (SkinRect{12, 34, 56, 78}));
    EXPECT_EQ(main.Rect("CONTROL2_APPLY"), (SkinRect{1, 1, 80, 20}));
    EXPECT_EQ(main.Rect("CONTROL_MISSING"), (SkinRect{1, 1, 1, 1}));
    EXPECT_TRUE(IsDisabledPlacement(main.Rect("CONTROL_MISSING")));
    EXPECT_EQ(main.Rect("UP_ARROW_LEFT1"), (SkinRect{1, 1, 1, 1})); // other section
    EXPECT_EQ(main.ArrowFaceOrigin("UP_ARROW_LEFT", 1), (SkinPoint{100, 200}));
    EXPECT_EQ(main.ArrowFaceOrigin("UP_ARROW_LEFT", 2), (SkinPoint{130, 200}));
    EXPECT_EQ(main.ArrowFaceOrigin("DOWN_ARROW_RIGHT", 1), (SkinPoint{1, 1}));

    EXPECT_EQ(main.BackgroundPath(), dir / "Skins" / "main_normal.jpg");
    EXPECT_EQ(main.MaskName(), "");
    EXPECT_EQ(main.MaskPath(), main.BackgroundPath()); // the background is its own mask
    EXPECT_EQ(main.Link(), "https://example.org/keyboard");
    EXPECT_EQ(main.Link("FacebookLink"), "https://example.org/social") << "a link of its own";
    EXPECT_EQ(main.Link("TwitterLink"), "https://example.org/keyboard") << "no link of its own: the site";

    // Windows-style separators, long picture names and a missing link.
    const std::string longName(3000, 'n');
    WriteBytes(dir / "Skins" / "Other.ini", "[SCREEN]\nMain=sub\\back.jpg\nMask=" + longName + "\n");
    const SkinLayout other(dir / "Skins" / "Other.ini");
    EXPECT_EQ(other.BackgroundPath(), dir / "Skins" / "sub" / "back.jpg");
    EXPECT_EQ(other.MaskName(), longName.substr(0, 2047));
    EXPECT_EQ(other.Link(), SkinLayout::kFallbackLink);

    const SkinLayout missing(dir / "Skins" / "Missing.ini");
    EXPECT_EQ(missing.Rect("CONTROL_OK"), (SkinRect{1, 1, 1, 1}));
    EXPECT_EQ(missing.BackgroundPath(), std::nullopt);
    EXPECT_EQ(missing.MaskPath(), std::nullopt);
    EXPECT_EQ(missing.Link(), SkinLayout::kFallbackLink);
}

TEST(SkinLayoutTest, KeyNames) {
    EXPECT_EQ(skin::KeyLayoutKey(0x1E), "KEY_01E");
    EXPECT_EQ(skin::KeyLayoutKey(0x9C), "KEY_09C");
    EXPECT_EQ(skin::KeyLayoutKey(0xFF), "KEY_0FF");
    EXPECT_EQ(skin::KeyLayoutKey(-1), "");
    EXPECT_EQ(skin::KeyLayoutKey(0x100), "");
    EXPECT_EQ(skin::GKeyLayoutKey(1), "FUNC_G1");
    EXPECT_EQ(skin::GKeyLayoutKey(9), "FUNC_G9");
    EXPECT_EQ(skin::GKeyLayoutKey(0), "");
    EXPECT_EQ(skin::GKeyLayoutKey(10), "");
    EXPECT_EQ(skin::ArrowOriginKey("DOWN_ARROW_RIGHT", 2), "DOWN_ARROW_RIGHT2");

    // Each list names every key once: a repeated or empty entry hides a missing one.
    const auto checkList = [](const auto& list, const char* name) {
        std::set<std::string_view> seen;
        for (std::string_view key : list) {
            EXPECT_FALSE(key.empty()) << name;
            EXPECT_TRUE(seen.insert(key).second) << name << ": " << key;
        }
    };
    checkList(skin::kMainWindowKeys, "main");
    checkList(skin::kLightingPanelKeys, "lighting");
    checkList(skin::kArrowOriginBases, "arrows");
    checkList(skin::kProfileDialogKeys, "profile");
    checkList(skin::kCompositeDialogKeys, "composite");
    checkList(skin::kUpdateDialogKeys, "update");
    checkList(skin::kAutoProfileDialogKeys, "automatic profiles");
    checkList(skin::kAutoProfileDialogPictures, "automatic profiles pictures");
    checkList(skin::kMainWindowPictures, "main pictures");
    checkList(skin::kCompositeDialogPictures, "composite pictures");
    checkList(skin::kProfileDialogPictures, "profile pictures");
    checkList(skin::kUpdateDialogPictures, "update pictures");
    // The main window's fixed keys and its lighting panel share one section.
    for (std::string_view key : skin::kLightingPanelKeys) {
        EXPECT_EQ(std::count(skin::kMainWindowKeys.begin(), skin::kMainWindowKeys.end(), key), 0) << key;
    }
}

} // namespace
} // namespace brasslane
