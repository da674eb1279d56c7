#include "core/lighting/LightingPanelModel.h"

#include "support/SimKeyboardFixture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace brasslane {
namespace {

class LightingPanelModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Connect());
        ASSERT_EQ(lighting.Load(false), kStatusSuccess);
    }
    bool Shows(const LightingPanelShown& shown, std::string_view key) {
        return std::find(shown.shownKeys.begin(), shown.shownKeys.end(), key) != shown.shownKeys.end();
    }
    void Select(int effect) { panel.SelectEffect(lighting.EffectIndex().PositionOf(effect)); }

    test::TempFolder folder;
    test::SimKeyboardLink sim;
    LightingModel lighting{sim.link, sim.connection};
    PerKeyColours perKey{lighting, folder.Path(), folder.Path() / "missing.userd"};
    LightingPanelModel panel{lighting, perKey, [](int effect) { return "effect " + std::to_string(effect); }};
};

TEST_F(LightingPanelModelTest, TheSwitchOffShowsOnlyTheSwitchAndOnTheEffectsControls) {
    LightingPanelShown shown = panel.Shown();
    EXPECT_EQ(shown.shownKeys, (std::vector<std::string_view>{"CONTROL_DengStatic", "CONTROL_DengStaPic"}));
    EXPECT_EQ(shown.lightingSwitch.Picture(), "dengup.bmp");

    perKey.SetSwitch(true);
    shown = panel.Shown();
    EXPECT_EQ(shown.lightingSwitch.Picture(), "dengdown.bmp");
    EXPECT_EQ(shown.effectNames.front(), "effect 1");
    EXPECT_EQ(shown.effectNames.size(), lighting.EffectIndex().Size());
    // The simulated keyboard starts on effect 1: left / right at the keys ending in 2.
    for (const char* key :
         {"CONTROL_XGcombox", "FUNC_REPORT4", "CONTROL_LightSlider", "CONTROL_SpeedSlider", "CONTROL_BLFXStatic2",
          "CONTROL_BLFXLStaPic2", "CONTROL_HXysButton", "CONTROL_HXsjsStaPic", "CONTROL_Color8", "COLOR_B"}) {
        EXPECT_TRUE(Shows(shown, key)) << key;
    }
    for (const char* key : {"CONTROL_BLFXLStaPic", "CONTROL_BLFXLStaPic3", "CONTROL_FYYSButton", "CONTROL_LVPIC",
                            "CONTROL_umCombo", "CONTROL_JDTStatic", "CONTROL_TSysButton"}) {
        EXPECT_FALSE(Shows(shown, key)) << key;
    }

    Select(12);
    shown = panel.Shown();
    EXPECT_TRUE(Shows(shown, "CONTROL_BLFXLStaPic3"));
    EXPECT_FALSE(Shows(shown, "CONTROL_BLFXLStaPic2"));
    // The keyboard's default direction byte is 0: the second picture (down) is chosen.
    EXPECT_EQ(shown.directionPictures[0].Picture(), "upup.bmp");
    EXPECT_EQ(shown.directionPictures[1].Picture(), "downdown.bmp");

    Select(20);
    shown = panel.Shown();
    EXPECT_TRUE(Shows(shown, "CONTROL_umCombo"));
    EXPECT_TRUE(Shows(shown, "CONTROL_USERgjStaPic2"));
    EXPECT_EQ(shown.toolPictures[0].Picture(), "user1down.bmp"); // base tool by default
    EXPECT_EQ(shown.toolPictures[1].Picture(), "user2up.bmp");
    EXPECT_EQ(shown.modeNames[9], "0");
}

TEST_F(LightingPanelModelTest, TheSelectorKeepsAnEffectThatSendsNothingUntilTheNextRebuild) {
    sim.SetInfoByte(31, 19); // the keyboard offers effect 19 after 20
    ASSERT_EQ(lighting.Load(false), kStatusSuccess);
    perKey.SetSwitch(true);
    Select(17);
    sim.TakeLog();
    Select(19);
    EXPECT_TRUE(sim.TakeLog().empty());
    LightingPanelShown shown = panel.Shown();
    EXPECT_EQ(shown.effectPosition, lighting.EffectIndex().PositionOf(19));
    EXPECT_FALSE(shown.visibility.brightness);
    EXPECT_FALSE(Shows(shown, "CONTROL_LVPIC"));
    panel.ForgetSelection();
    shown = panel.Shown();
    EXPECT_EQ(shown.effectPosition, lighting.EffectIndex().PositionOf(17));
    EXPECT_TRUE(Shows(shown, "CONTROL_LVPIC"));
}

TEST_F(LightingPanelModelTest, PicturesAndValuesComeFromTheState) {
    auto area = sim.keyboard.Lighting();
    area[1] = 3;  // brightness
    area[2] = 1;  // speed: position 3
    area[4] = 0;  // single colour
    area[15] = 9; // counts as the fourth report rate
    area[17] = 2; // red
    sim.keyboard.SetLighting(area);
    ASSERT_EQ(lighting.Load(false), kStatusSuccess);
    const LightingPanelShown shown = panel.Shown();
    EXPECT_EQ(shown.brightnessPosition, 3);
    EXPECT_EQ(shown.brightnessPicture, "3.bmp");
    EXPECT_EQ(shown.speedPosition, 3);
    EXPECT_EQ(shown.speedPicture, "9.bmp");
    EXPECT_EQ(shown.colourfulToggle.Picture(), "sjsup.bmp");
    EXPECT_EQ(shown.reportRate, 3);
    EXPECT_EQ(shown.fourColour, 2);
    EXPECT_EQ(shown.fourColourPictures[2].Picture(), "hongok.bmp");
    EXPECT_EQ(shown.fourColourPictures[0].Picture(), "lv.bmp");

    EXPECT_EQ(LevelPicture(LevelControl::kBrightness, 0), "0.bmp");
    EXPECT_EQ(LevelPicture(LevelControl::kBrightness, 5), "5.bmp");
    EXPECT_EQ(LevelPicture(LevelControl::kSpeed, 4), "10.bmp");
    EXPECT_EQ(LevelPicture(LevelControl::kSpeed, 5), "");
    EXPECT_EQ(LevelPicture(LevelControl::kBrightness, -1), "");
}

TEST_F(LightingPanelModelTest, AutomaticColoursPresetsAndTheModeList) {
    panel.ChooseColour(std::nullopt);
    EXPECT_EQ(lighting.State().colour, kAutomaticColour);
    const auto fields = panel.PressPreset(2);
    EXPECT_EQ(fields, (std::array<std::string, 3>{"0", "126", "255"}));
    EXPECT_EQ(lighting.State().colour, (Rgb{0, 126, 255}));
    sim.TakeLog();
    EXPECT_EQ(panel.PressPreset(8), (std::array<std::string, 3>{}));
    EXPECT_TRUE(sim.TakeLog().empty());

    std::array<std::string, kUserModeCount> names{"a", "b", "c"};
    const auto renamed = ReplaceModeName(names, 2, "Gaming");
    EXPECT_EQ(renamed[2], "Gaming");
    EXPECT_EQ(renamed[1], "b");
    EXPECT_EQ(ReplaceModeName(names, 10, "x"), names);
}

TEST(LegendColourTest, LegendsStayReadableOverEveryColour) {
    EXPECT_EQ(LegendColourOver({255, 255, 0}), kBlack); // yellow: white legends would vanish
    EXPECT_EQ(LegendColourOver({0, 255, 0}), kBlack);
    EXPECT_EQ(LegendColourOver(kWhite), kBlack);
    EXPECT_EQ(LegendColourOver({255, 0, 0}), kWhite);
    EXPECT_EQ(LegendColourOver({0, 0, 255}), kWhite);
    EXPECT_EQ(LegendColourOver(kBlack), kWhite);
}

} // namespace
} // namespace brasslane
