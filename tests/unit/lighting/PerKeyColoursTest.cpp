#include "core/lighting/PerKeyColours.h"

#include "core/resources/IniFile.h"
#include "support/SimKeyboardFixture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace brasslane {
namespace {

using test::Commands;
using test::Frame;
using test::Payload;
using Ints = std::vector<int>;

constexpr int kA = 3 * 21 + 1;
constexpr int kW = 2 * 21 + 2;
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
const Ints kWholeProfile{1, 17, 17, 17, 17, 17, 17, 17, 17, 2};

class PerKeyColoursTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Connect());
        colours.InstallHooks();
        ASSERT_EQ(lighting.Load(false), kStatusSuccess);
        lighting.SelectEffect(lighting.EffectIndex().PositionOf(kEffectPerKey));
        colours.SetSwitch(true);
        sim.TakeLog();
    }
    void WriteModeFile(int profile, std::string_view text) {
        std::ofstream(UserModeFile::PathFor(folder.Path(), profile), std::ios::binary) << text;
    }
    UserModeFile File(int profile) { return UserModeFile(UserModeFile::PathFor(folder.Path(), profile)); }
    // Key colour of `index` in `profile` as the keyboard holds it, red first.
    Rgb KeyboardColour(int profile, int index) {
        const auto area = sim.keyboard.KeyColours();
        const std::size_t at = static_cast<std::size_t>(profile * 512 + index * 3);
        return Rgb{area[at + 1], area[at], area[at + 2]};
    }

    test::TempFolder folder;
    test::SimKeyboardLink sim;
    LightingModel lighting{sim.link, sim.connection};
    PerKeyColours colours{lighting, folder.Path(), folder.Path() / "Skins" / "UserDengColor_3.userd"};
};

TEST_F(PerKeyColoursTest, ConnectingLoadsAndSendsTheCurrentModeWithDefaults) {
    WriteModeFile(0, "[PRESENTMODE]\nmode=4\n[Mode4]\ntool=1\njcolor=0,255,0\ncolor=9,9,9\n"
                     "64=0,255,0,0\n65=0,255,0,7\n110=1,2,3,1\n");
    EXPECT_EQ(lighting.Load(false), kStatusSuccess); // a reload leaves the user modes alone
    EXPECT_EQ(colours.CurrentMode(), 0);
    sim.TakeLog();
    EXPECT_EQ(lighting.Load(true), kStatusSuccess);
    // The mode goes in its own transaction after the information and before the lighting reads.
    EXPECT_EQ(Commands(sim.TakeLog()), (Ints{3, 1, 17, 17, 17, 17, 17, 17, 17, 17, 2, 1, 5, 5, 5, 2}));
    EXPECT_EQ(colours.CurrentMode(), 4);
    EXPECT_EQ(colours.Header(), (UserModeHeader{PaintTool::kMark, kGreen, {9, 9, 9}}));
    EXPECT_EQ(KeyboardColour(0, 64), kGreen);
    EXPECT_FALSE(colours.IsMarked(64));
    EXPECT_TRUE(colours.IsMarked(65));
    EXPECT_EQ(KeyboardColour(0, 110), (Rgb{1, 2, 3}));
    EXPECT_EQ(KeyboardColour(0, 0), kRed); // no entry: red and marked
    EXPECT_TRUE(colours.IsMarked(0));

    // An empty mode: every key red and marked, black colours, base tool.
    EXPECT_EQ(colours.SelectMode(7), kStatusSuccess);
    EXPECT_EQ(File(0).ReadCurrentMode(), 7);
    EXPECT_EQ(colours.Header(), UserModeHeader{});
    for (std::uint8_t index : KeyButtonColourIndices()) {
        EXPECT_TRUE(colours.IsMarked(index));
        EXPECT_EQ(KeyboardColour(0, index), kRed);
    }
    EXPECT_EQ(colours.SelectMode(10), kStatusBadValue);
}

TEST_F(PerKeyColoursTest, ClickPaintsWithTheToolOnlyInThePerKeyEffect) {
    colours.ChooseMarkColour(kGreen);
    colours.ChooseBaseColour({0, 0, 40});
    colours.ChooseTool(PaintTool::kMark);
    sim.TakeLog();

    EXPECT_TRUE(colours.ClickKey(kA));
    EXPECT_TRUE(colours.ClickKey(kA));
    const std::vector<Frame> log = sim.TakeLog();
    ASSERT_EQ(Commands(log), (Ints{1, 17, 2, 1, 17, 2}));
    EXPECT_EQ(log[1], log[4]);
    EXPECT_EQ(Payload(log[1]), (std::vector<std::uint8_t>{255, 0, 0}));
    EXPECT_TRUE(colours.IsMarked(kA));
    EXPECT_EQ(File(0).ReadKeyEntry(0, kA), (UserKeyEntry{kGreen, true}));

    colours.ChooseTool(PaintTool::kBase);
    EXPECT_TRUE(colours.ClickKey(kA));
    EXPECT_FALSE(colours.IsMarked(kA));
    EXPECT_EQ(KeyboardColour(0, kA), (Rgb{0, 0, 40}));
    EXPECT_EQ(File(0).ReadKeyEntry(0, kA), (UserKeyEntry{{0, 0, 40}, false}));
    EXPECT_EQ(File(0).ReadModeHeader(0), (UserModeHeader{PaintTool::kBase, kGreen, {0, 0, 40}}));

    // Keys without a colour, another effect, or the switch off: nothing is sent or stored.
    EXPECT_FALSE(colours.ClickKey(kGKeyColourIndex));
    lighting.SelectEffect(lighting.EffectIndex().PositionOf(5));
    sim.TakeLog();
    EXPECT_FALSE(colours.ClickKey(kW));
    lighting.SelectEffect(lighting.EffectIndex().PositionOf(kEffectPerKey));
    colours.SetSwitch(false);
    sim.TakeLog();
    EXPECT_FALSE(colours.ClickKey(kW));
    EXPECT_TRUE(sim.TakeLog().empty());
    EXPECT_FALSE(IniFile(File(0).Path()).Has("Mode0", std::to_string(kW)));
}

TEST_F(PerKeyColoursTest, NewMarkColourRecoloursExactlyTheMarkedKeysOnce) {
    std::string mode = "[Mode0]\ntool=1\njcolor=0,255,0\ncolor=0,0,0\n";
    for (std::uint8_t index : KeyButtonColourIndices()) {
        mode += std::to_string(index) + (index == kA || index == kW ? "=0,255,0,1\n" : "=20,20,20,0\n");
    }
    WriteModeFile(0, mode);
    colours.FillUserModes();
    sim.TakeLog();

    EXPECT_FALSE(colours.ChooseMarkColour(kGreen));
    EXPECT_TRUE(sim.TakeLog().empty());

    EXPECT_TRUE(colours.ChooseMarkColour(kBlue));
    const std::vector<Frame> log = sim.TakeLog();
    ASSERT_EQ(Commands(log), kWholeProfile);
    EXPECT_TRUE(std::all_of(log.begin() + 1, log.end() - 1, [](const Frame& f) { return f[4] == 54; }));
    for (std::uint8_t index : KeyButtonColourIndices()) {
        SCOPED_TRACE(index);
        const Rgb expected = index == kA || index == kW ? kBlue : Rgb{20, 20, 20};
        EXPECT_EQ(KeyboardColour(0, index), expected);
        EXPECT_EQ(File(0).ReadKeyEntry(0, index).colour, expected);
    }
    EXPECT_EQ(File(0).ReadModeHeader(0).markColour, kBlue);
}

TEST_F(PerKeyColoursTest, LightingSwitchLivesInWskbIni) {
    const auto ini = folder.Path() / "wskb.ini";
    std::filesystem::remove(ini);
    EXPECT_FALSE(colours.ReadSwitch());
    EXPECT_TRUE(colours.SetSwitch(true));
    EXPECT_EQ(IniFile(ini).Read("KEYCOLOR", "DengCheck", ""), "1");
    EXPECT_TRUE(colours.ReadSwitch());
    IniFile(ini).Write("KEYCOLOR", "DengCheck", "yes");
    EXPECT_FALSE(colours.ReadSwitch());
}

TEST_F(PerKeyColoursTest, ResetsRestoreTheDefaultModes) {
    std::filesystem::create_directories(folder.Path() / "Skins");
    std::ofstream(folder.Path() / "Skins" / "UserDengColor_3.userd") << "[PRESENTMODE]\nmode=1\n[Mode1]\n"
                                                                     << kA << "=0,0,255,0\n";
    for (int profile = 0; profile < 3; ++profile) {
        WriteModeFile(profile, "[PRESENTMODE]\nmode=0\n");
    }

    // The keyboard reset: every profile restored and sent in turn, the keyboard's profile last.
    EXPECT_EQ(colours.RestoreAllProfiles(2), kStatusSuccess);
    EXPECT_TRUE(colours.LastFileError().empty());
    EXPECT_EQ(lighting.State().profile, 2);
    const Ints commands = Commands(sim.TakeLog());
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 17), 24);
    for (int profile = 0; profile < 3; ++profile) {
        EXPECT_EQ(File(profile).ReadCurrentMode(), 1);
        EXPECT_EQ(KeyboardColour(profile, kA), kBlue);
        EXPECT_EQ(KeyboardColour(profile, kW), kRed);
    }
    EXPECT_FALSE(colours.IsMarked(kA));

    // The panel's reset restores the current profile only; without an installed default its
    // file becomes empty and reads as defaults.
    std::filesystem::remove(folder.Path() / "Skins" / "UserDengColor_3.userd");
    lighting.SetProfile(1);
    lighting.ResetToDefaults();
    EXPECT_EQ(KeyboardColour(1, kA), kRed);
    EXPECT_EQ(KeyboardColour(0, kA), kBlue);
    EXPECT_EQ(std::filesystem::file_size(File(1).Path()), 0u);
}

} // namespace
} // namespace brasslane
