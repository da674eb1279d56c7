#include "core/lighting/KeyColourTable.h"
#include "core/lighting/UserModeFile.h"
#include "core/resources/IniFile.h"

#include <gtest/gtest.h>

#include <set>

namespace brasslane {
namespace {

TEST(DefaultModeFileTest, TenNamedModesColourEveryKeyAndMarkTheMarkColour) {
    const auto path = std::filesystem::path(BRASSLANE_SOURCE_DIR) / "data" / "UserDengColor_3.userd";
    ASSERT_TRUE(std::filesystem::exists(path));
    const IniFile ini(path);
    EXPECT_EQ(ini.Read("PRESENTMODE", "mode", ""), std::to_string(UserModeFile(path).ReadCurrentMode()));
    std::set<std::string> names;
    for (int mode = 0; mode < kUserModeCount; ++mode) {
        SCOPED_TRACE(mode);
        names.insert(ini.Read("MODENAME", std::to_string(mode), ""));
        const std::string section = "Mode" + std::to_string(mode);
        const std::string tool = ini.Read(section, "tool", "");
        EXPECT_TRUE(tool == "0" || tool == "1");
        const std::optional<Rgb> mark = ParseRgbText(ini.Read(section, "jcolor", ""));
        ASSERT_TRUE(mark);
        EXPECT_TRUE(ParseRgbText(ini.Read(section, "color", "")));

        std::set<std::string> expectedKeys{"tool", "jcolor", "color"};
        int marked = 0;
        for (std::uint8_t index : KeyButtonColourIndices()) {
            const std::string text = ini.Read(section, std::to_string(index), "");
            const UserKeyEntry entry = ParseKeyEntryText(text);
            // Canonical text, so that a malformed entry cannot hide behind the fallback.
            EXPECT_EQ(FormatKeyEntryText(entry), text) << int(index);
            EXPECT_EQ(entry.marked, entry.colour == *mark) << int(index);
            marked += entry.marked ? 1 : 0;
            expectedKeys.insert(std::to_string(index));
        }
        const std::vector<std::string> keys = ini.Keys(section);
        EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()), expectedKeys);
        EXPECT_EQ(tool == "1", marked > 0); // a mode painting with the mark tool shows its marks
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kUserModeCount));
    EXPECT_EQ(names.count(""), 0u);
}

} // namespace
} // namespace brasslane
