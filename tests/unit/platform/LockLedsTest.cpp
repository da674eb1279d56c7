#include "platform/linux/LockLeds.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace brasslane::test {

namespace {

void Led(const std::filesystem::path& root, const std::string& name, const std::string& brightness) {
    const std::filesystem::path folder = root / "class" / "leds" / name;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "brightness") << brightness;
}

} // namespace

TEST(LockLedsTest, ALockIsLitWhenAnyKeyboardLightsItAndOffWithoutLeds) {
    TempFolder folder{"brasslane-leds-"};
    const std::filesystem::path root = folder.Path();
    // No LED class at all: everything off.
    EXPECT_EQ(platform::ReadLockLeds(root), platform::LockLeds{});

    Led(root, "input3::numlock", "1\n");
    Led(root, "input3::capslock", "0\n");
    Led(root, "input3::scrolllock", "0\n");
    Led(root, "input3::kana", "1\n");         // not a lock we show
    Led(root, "phy0-led", "1\n");             // not a keyboard LED at all
    Led(root, "input7::capslock", "garbage"); // unreadable counts as off
    EXPECT_EQ(platform::ReadLockLeds(root), (platform::LockLeds{true, false, false}));

    // A second keyboard with Caps Lock lit lights it.
    Led(root, "input9::capslock", "255");
    Led(root, "input9::scrolllock", "1");
    EXPECT_EQ(platform::ReadLockLeds(root), (platform::LockLeds{true, true, true}));
}

} // namespace brasslane::test
