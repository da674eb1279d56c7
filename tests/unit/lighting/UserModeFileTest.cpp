#include "core/lighting/UserModeFile.h"

#include "core/resources/IniFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace brasslane {
namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::filesystem::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(UserModeTextTest, KeyEntriesFallBackToRedAndMarked) {
    const UserKeyEntry fallback{{255, 0, 0}, true};
    const std::pair<const char*, UserKeyEntry> cases[] = {
        {"0,255,0,0", {{0, 255, 0}, false}},
        {"0,255,0,7", {{0, 255, 0}, true}},
        {" 1 , 2 ,3, 0 ", {{1, 2, 3}, false}},
        {"", fallback},
        {"0,255,0", fallback},
        {"0,255,0,0,5", fallback},
        {"256,0,0,0", fallback},
        {"a,b,c,d", fallback},
        {"1,2,3,99999999999999999999999", fallback},
    };
    for (const auto& [text, entry] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseKeyEntryText(text), entry);
    }
    EXPECT_EQ(ParseRgbText("10,20,30"), (Rgb{10, 20, 30}));
    EXPECT_FALSE(ParseRgbText("10,20"));
    EXPECT_EQ(FormatKeyEntryText({{1, 2, 3}, true}), "1,2,3,1");
}

TEST(UserModeFileTest, EntriesHeadersAndNamesRoundTrip) {
    test::TempFolder folder;
    UserModeFile file(UserModeFile::PathFor(folder.Path(), 1));
    EXPECT_EQ(file.Path().filename(), "UserDengColor_1.userd");
    EXPECT_EQ(UserModeFile::DefaultPath("/opt/b"), std::filesystem::path("/opt/b/Skins/UserDengColor_3.userd"));
    // A missing file reads as defaults.
    EXPECT_EQ(file.ReadCurrentMode(), 0);
    EXPECT_EQ(file.ReadModeName(9), "0");
    EXPECT_EQ(file.ReadKeyEntry(3, 110), (UserKeyEntry{{255, 0, 0}, true}));

    EXPECT_TRUE(file.WriteCurrentMode(4));
    EXPECT_EQ(file.ReadCurrentMode(), 4);
    EXPECT_FALSE(file.WriteCurrentMode(10));
    EXPECT_EQ(file.ReadCurrentMode(), 4);

    const UserModeHeader header{PaintTool::kMark, {0, 255, 0}, {10, 20, 30}};
    EXPECT_TRUE(file.WriteModeHeader(4, header));
    EXPECT_EQ(file.ReadModeHeader(4), header);
    EXPECT_EQ(file.ReadModeHeader(5), UserModeHeader{});
    // Values outside their ranges read as defaults.
    WriteAll(folder.Path() / "bad.userd", "[PRESENTMODE]\nmode=12\n[Mode0]\ntool=7\njcolor=1,2\ncolor=300,0,0\n");
    EXPECT_EQ(UserModeFile(folder.Path() / "bad.userd").ReadCurrentMode(), 0);
    EXPECT_EQ(UserModeFile(folder.Path() / "bad.userd").ReadModeHeader(0), UserModeHeader{});

    EXPECT_TRUE(file.WriteKeyEntry(4, 64, {{1, 2, 3}, false}));
    EXPECT_EQ(file.ReadKeyEntry(4, 64), (UserKeyEntry{{1, 2, 3}, false}));
    EXPECT_EQ(IniFile(file.Path()).Read("Mode4", "64", ""), "1,2,3,0");
    EXPECT_FALSE(file.WriteKeyEntry(-1, 64, {}));

    file.WriteModeName(1, "One");
    file.WriteModeName(3, "Three");
    EXPECT_TRUE(file.WriteModeName(2, "Gaming"));
    EXPECT_EQ(file.ReadModeName(1) + file.ReadModeName(2) + file.ReadModeName(3), "OneGamingThree");
    // A pasted line break cannot split the file.
    EXPECT_TRUE(file.WriteModeName(3, "two\nlines"));
    EXPECT_EQ(file.ReadModeName(3) + "|" + file.ReadModeName(4), "two lines|0");
}

TEST(UserModeFileTest, RestoreCopiesTheDefaultExactlyOrEmpties) {
    test::TempFolder folder;
    const auto defaultFile = folder.Path() / "default.userd";
    const std::string content = "\xEF\xBB\xBF[MODENAME]\r\n0=Copied\r\n";
    WriteAll(defaultFile, content);
    UserModeFile file(folder.Path() / "user" / "UserDengColor_0.userd");
    std::string error;
    ASSERT_TRUE(file.RestoreFrom(defaultFile, &error)) << error;
    EXPECT_EQ(ReadAll(file.Path()), content);
    EXPECT_EQ(file.ReadModeName(0), "Copied");

    ASSERT_TRUE(file.RestoreFrom(folder.Path() / "missing.userd"));
    EXPECT_TRUE(std::filesystem::exists(file.Path()));
    EXPECT_EQ(std::filesystem::file_size(file.Path()), 0u);
    EXPECT_EQ(file.ReadModeName(0), "0");

    // A default that cannot be read leaves the profile's file as it was.
    WriteAll(file.Path(), content);
    EXPECT_FALSE(file.RestoreFrom(folder.Path(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadAll(file.Path()), content);
    for (const auto& entry : std::filesystem::directory_iterator(file.Path().parent_path())) {
        EXPECT_EQ(entry.path().filename(), "UserDengColor_0.userd"); // no temporary file left
    }
}

} // namespace
} // namespace brasslane
