#include "core/resources/IniFile.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace brasslane {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

std::string Utf16Le(std::u16string_view text, bool bom = true) {
    std::string bytes = bom ? std::string("\xFF\xFE") : std::string();
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::size_t FilesIn(const fs::path& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

TEST(IniFileTest, LookupRules) {
    TempFolder dir;
    WriteBytes(dir / "a.ini", "orphan=before any section\n"
                              "[Main]\n"
                              "  Name  =   spaced value   \n"
                              "name=second occurrence\n"
                              "; comment=not a key\n"
                              "# hash=not a key either\n"
                              "no equals sign here\n"
                              "Empty=\n"
                              "Quoted=\"  keeps blanks  \"\n"
                              "Single='x'\n"
                              "Lone=\"\n"
                              "Inline=value ; stays\n"
                              "Eq==\n"
                              "[ Other ]\n"
                              "Name=other section\n"
                              "[MAIN]\n"
                              "Late=from a repeated section\n"
                              "Name=shadowed\n");
    const IniFile ini(dir / "a.ini");

    EXPECT_EQ(ini.Read("main", "NAME", "fb"), "spaced value");
    EXPECT_EQ(ini.Read("other", "name", "fb"), "other section");
    EXPECT_EQ(ini.Read("Main", "Late", "fb"), "from a repeated section");
    EXPECT_EQ(ini.Read("Main", "Empty", "fb"), "");
    EXPECT_EQ(ini.Read("Main", "Quoted", "fb"), "  keeps blanks  ");
    EXPECT_EQ(ini.Read("Main", "Single", "fb"), "x");
    EXPECT_EQ(ini.Read("Main", "Lone", "fb"), "\"");
    EXPECT_EQ(ini.Read("Main", "Inline", "fb"), "value ; stays");
    EXPECT_EQ(ini.Read("Main", "Eq", "fb"), "=");
    EXPECT_EQ(ini.Read("Main", "; comment", "fb"), "fb");
    EXPECT_EQ(ini.Read("Main", "# hash", "fb"), "fb");
    EXPECT_EQ(ini.Read("Main", "no equals sign here", "fb"), "fb");
    EXPECT_EQ(ini.Read("", "orphan", "fb"), "fb");
    EXPECT_EQ(ini.Read("Missing", "Name", "fb"), "fb");

    EXPECT_TRUE(ini.Has("MAIN", "empty"));
    EXPECT_FALSE(ini.Has("Main", "Absent"));
    EXPECT_EQ(ini.Keys("main"),
              (std::vector<std::string>{"Name", "Empty", "Quoted", "Single", "Lone", "Inline", "Eq", "Late"}));
    EXPECT_TRUE(ini.Keys("nothing").empty());
}

TEST(IniFileTest, EncodingsAndLineEndings) {
    TempFolder dir;
    WriteBytes(dir / "bom.ini", "\xEF\xBB\xBF[S]\r\nK=caf\xC3\xA9\r\n");
    EXPECT_EQ(IniFile(dir / "bom.ini").Read("S", "K", ""), "caf\xC3\xA9");

    WriteBytes(dir / "cr.ini", "[S]\rA=1\rB=2");
    EXPECT_EQ(IniFile(dir / "cr.ini").Read("S", "B", ""), "2");

    // é, a CJK character and a character outside the BMP (a surrogate pair).
    WriteBytes(dir / "utf16.ini", Utf16Le(u"[Text]\r\nKey = caf\u00E9 \u6F22 \U0001F600\r\n"));
    EXPECT_EQ(IniFile(dir / "utf16.ini").Read("text", "key", ""), "caf\xC3\xA9 \xE6\xBC\xA2 \xF0\x9F\x98\x80");

    // An unpaired surrogate and a stray UTF-8 byte must not pass through as broken text.
    WriteBytes(dir / "bad16.ini", Utf16Le(u"[S]\nK=a\xD800z\n"));
    EXPECT_EQ(IniFile(dir / "bad16.ini").Read("S", "K", ""), "a\xEF\xBF\xBDz");
    WriteBytes(dir / "bad8.ini", "[S]\nK=a\xFF\xC3z\n");
    EXPECT_EQ(IniFile(dir / "bad8.ini").Read("S", "K", ""), "a\xEF\xBF\xBD\xEF\xBF\xBDz");

    // Without a byte-order mark UTF-16 is not guessed at; the file is simply not understood.
    WriteBytes(dir / "nobom.ini", Utf16Le(u"[S]\nK=v\n", false));
    EXPECT_EQ(IniFile(dir / "nobom.ini").Read("S", "K", "fb"), "fb");
}

TEST(IniFileTest, BufferLimitCutsByCodePoint) {
    TempFolder dir;
    const std::string longValue(300, 'x');
    WriteBytes(dir / "a.ini", "[S]\nLong=" + longValue + "\nUml=\xC3\xA4\xC3\xB6\xC3\xBC\n");
    const IniFile ini(dir / "a.ini");

    EXPECT_EQ(ini.Read("S", "Long", "").size(), 259u);
    EXPECT_EQ(ini.Read("S", "Long", "", kPictureBufferChars), longValue);
    EXPECT_EQ(ini.Read("S", "Uml", "", 3), "\xC3\xA4\xC3\xB6");
    EXPECT_EQ(ini.Read("S", "Uml", "", 1), "");
    EXPECT_EQ(ini.Read("S", "Uml", "", 0), "");
    EXPECT_EQ(ini.Read("S", "Missing", "fallback", 4), "fal");
}

// A default reads as Windows reads it: trailing spaces go (not tabs, not leading blanks), then a
// pair of enclosing quotes; a key present in the file is never touched by this.
TEST(IniFileTest, DefaultLosesTrailingSpacesAndQuotes) {
    TempFolder dir;
    WriteBytes(dir / "a.ini", "[S]\nKept=\"q\" \nEmpty=\n");
    const IniFile ini(dir / "a.ini");

    EXPECT_EQ(ini.Read("S", "Missing", "  dflt  "), "  dflt");
    EXPECT_EQ(ini.Read("S", "Missing", "dflt\t"), "dflt\t");
    EXPECT_EQ(ini.Read("S", "Missing", "\"dflt\""), "dflt");
    EXPECT_EQ(ini.Read("S", "Missing", "'dflt'"), "dflt");
    EXPECT_EQ(ini.Read("S", "Missing", "\" d \"  "), " d ");
    EXPECT_EQ(ini.Read("S", "Missing", "\"d'"), "\"d'");
    EXPECT_EQ(ini.Read("S", "Missing", "\""), "\"");
    EXPECT_EQ(ini.Read("S", "Missing", "   "), "");
    EXPECT_EQ(IniFile(dir / "none.ini").Read("S", "K", "dflt  "), "dflt");
    EXPECT_EQ(ini.Read("S", "Kept", "'x' "), "q");
    EXPECT_EQ(ini.Read("S", "Empty", "dflt"), "");
}

TEST(IniFileTest, UnreadableFilesReadAsEmpty) {
    TempFolder dir;
    const IniFile missing(dir / "missing.ini");
    EXPECT_EQ(missing.Read("S", "K", "fb"), "fb");
    EXPECT_FALSE(missing.Has("S", "K"));
    EXPECT_TRUE(missing.Keys("S").empty());

    fs::create_directory(dir / "folder.ini");
    IniFile folder(dir / "folder.ini");
    EXPECT_EQ(folder.Read("S", "K", "fb"), "fb");
    EXPECT_FALSE(folder.Write("S", "K", "v"));
    EXPECT_TRUE(fs::is_directory(dir / "folder.ini"));

    // A huge file is neither loaded nor replaced by a one-line file.
    WriteBytes(dir / "huge.ini", "[S]\nK=v\n");
    fs::resize_file(dir / "huge.ini", IniFile::kMaxFileBytes + 1);
    IniFile huge(dir / "huge.ini");
    EXPECT_EQ(huge.Read("S", "K", "fb"), "fb");
    EXPECT_FALSE(huge.Write("S", "K", "new"));
    EXPECT_EQ(fs::file_size(dir / "huge.ini"), IniFile::kMaxFileBytes + 1);
}

TEST(IniFileTest, WriteKeepsEveryOtherLine) {
    TempFolder dir;
    const std::string original = "; settings\r\n"
                                 "[First]\r\n"
                                 "A = 1\r\n"
                                 "b=2\r\n"
                                 "\r\n"
                                 "; trailing comment of First\r\n"
                                 "[Second]\r\n"
                                 "x=\xFF raw byte kept\r\n";
    WriteBytes(dir / "a.ini", original);
    IniFile ini(dir / "a.ini");

    ASSERT_TRUE(ini.Write("first", "a", "one"));
    EXPECT_EQ(ReadBytes(dir / "a.ini"), "; settings\r\n[First]\r\na=one\r\nb=2\r\n\r\n"
                                        "; trailing comment of First\r\n[Second]\r\nx=\xFF raw byte kept\r\n");

    ASSERT_TRUE(ini.Write("First", "C", "3"));
    ASSERT_TRUE(ini.Write("Third", "T", "new section"));
    EXPECT_EQ(ReadBytes(dir / "a.ini"), "; settings\r\n[First]\r\na=one\r\nb=2\r\nC=3\r\n\r\n"
                                        "; trailing comment of First\r\n[Second]\r\nx=\xFF raw byte kept\r\n"
                                        "\r\n[Third]\r\nT=new section\r\n");

    // A last line without a line break gets one before anything is added after it.
    WriteBytes(dir / "b.ini", "[S]\nK=v");
    IniFile unterminated(dir / "b.ini");
    ASSERT_TRUE(unterminated.Write("S", "L", "w"));
    EXPECT_EQ(ReadBytes(dir / "b.ini"), "[S]\nK=v\nL=w\n");
}

TEST(IniFileTest, WriteManyIsOneRewriteAndAllOrNothing) {
    TempFolder dir;
    WriteBytes(dir / "m.ini", "[Mode0]\n1=old\n");
    IniFile ini(dir / "m.ini");

    const std::vector<std::pair<std::string, std::string>> entries{{"1", "a"}, {"2", "b"}, {"3", "c"}};
    ASSERT_TRUE(ini.WriteMany("mode0", entries));
    EXPECT_EQ(ReadBytes(dir / "m.ini"), "[Mode0]\n1=a\n2=b\n3=c\n");

    // One bad key refuses the whole batch and leaves the file as it was.
    const std::vector<std::pair<std::string, std::string>> bad{{"4", "d"}, {"x=y", "e"}};
    EXPECT_FALSE(ini.WriteMany("Mode0", bad));
    EXPECT_EQ(ReadBytes(dir / "m.ini"), "[Mode0]\n1=a\n2=b\n3=c\n");
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

TEST(IniFileTest, WrittenValuesReadBackUnchanged) {
    TempFolder dir;
    IniFile ini(dir / "nested" / "deeper" / "a.ini");
    const std::string values[] = {"plain",    "",      "  leading and trailing  ", "\"quoted\"",
                                  "'single'", "a=b;c", "\xE6\xBC\xA2\xE5\xAD\x97"};
    int n = 0;
    for (const std::string& value : values) {
        const std::string key = "K" + std::to_string(n++);
        ASSERT_TRUE(ini.Write("S", key, value)) << key;
        EXPECT_EQ(ini.Read("S", key, "fb"), value) << key;
    }

    // Names and values that would change the meaning of the file are refused.
    const std::string before = ReadBytes(ini.Path());
    EXPECT_FALSE(ini.Write("S", "K", "two\nlines"));
    EXPECT_FALSE(ini.Write("S", "K", "cr\rhere"));
    EXPECT_FALSE(ini.Write("S]x", "K", "v"));
    EXPECT_FALSE(ini.Write(" S", "K", "v"));
    EXPECT_FALSE(ini.Write("S", "", "v"));
    EXPECT_FALSE(ini.Write("S", "a=b", "v"));
    EXPECT_FALSE(ini.Write("S", ";K", "v"));
    EXPECT_FALSE(ini.Write("S", "[K", "v"));
    EXPECT_FALSE(ini.Write("S", "K ", "v"));
    EXPECT_EQ(ReadBytes(ini.Path()), before);
}

TEST(IniFileTest, Utf16FileIsRewrittenAsUtf8) {
    TempFolder dir;
    WriteBytes(dir / "a.ini", Utf16Le(u"[S]\r\nOld=caf\u00E9\r\n"));
    IniFile ini(dir / "a.ini");
    ASSERT_TRUE(ini.Write("S", "New", "v"));
    EXPECT_EQ(ReadBytes(dir / "a.ini"), "\xEF\xBB\xBF[S]\r\nOld=caf\xC3\xA9\r\nNew=v\r\n");
    EXPECT_EQ(ini.Read("S", "Old", ""), "caf\xC3\xA9");
}

TEST(IniFileTest, WriteIsAtomic) {
    TempFolder dir;
    IniFile ini(dir / "a.ini");
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(ini.Write("S", "K" + std::to_string(i), "v"));
    }
    EXPECT_EQ(FilesIn(dir.Path()), 1u); // no temporary file left behind

    // The file's permissions and a symbolic link to it survive the replacement.
    fs::permissions(dir / "a.ini", fs::perms::owner_read | fs::perms::owner_write);
    std::error_code linkError;
    fs::create_symlink(dir / "a.ini", dir / "link.ini", linkError);
    if (linkError) {
        GTEST_SKIP() << "no symbolic links here: " << linkError.message(); // Windows without the right
    }
    IniFile viaLink(dir / "link.ini");
    ASSERT_TRUE(viaLink.Write("S", "K0", "through link"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ini.Read("S", "K0", ""), "through link");
    EXPECT_EQ(fs::status(dir / "a.ini").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST(IniFileTest, FailedWriteLeavesOldFile) {
    TempFolder dir;
    const std::string old = "[S]\nK=old\n";
    WriteBytes(dir / "a.ini", old);
    IniFile ini(dir / "a.ini");

#ifdef _WIN32
    GTEST_SKIP() << "Windows has no per-process file size limit to stand in for a full disk";
#else
    // A full disk, simulated with a file size limit: the new file cannot be written completely.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = ini.Write("S", "K", std::string(1000, 'v'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadBytes(dir / "a.ini"), old);
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
#endif
}

TEST(IniFileTest, ReadOnlyFolderIsNotWritten) {
    TempFolder dir;
    const std::string old = "[S]\nK=old\n";
    fs::create_directory(dir / "ro");
    WriteBytes(dir / "ro" / "a.ini", old);
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    if (std::ofstream(dir / "ro" / "probe")) {
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    }
    IniFile readOnly(dir / "ro" / "a.ini");
    EXPECT_FALSE(readOnly.Write("S", "K", "new"));
    EXPECT_EQ(ReadBytes(dir / "ro" / "a.ini"), old);
    EXPECT_EQ(FilesIn(dir / "ro"), 1u);
}

} // namespace
} // namespace brasslane
