#include "core/profiles/ProfileStore.h"

#include "ProfileTestSupport.h"
#include "core/base/Bytes.h"
#include "core/base/AppState.h"
#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/profiles/UserFolder.h"
#include "core/resources/Language.h"

#include <gtest/gtest.h>

namespace brasslane {
namespace {

using test::WriteBytes;

// A store over a link that never finds a keyboard: everything on the file side.
class ProfileStoreFileTest : public ::testing::Test {
protected:
    ProfileStoreFileTest()
        : m_language(m_folder.Path(), nullptr, [] { return std::uint16_t{0x0409}; }), m_link(m_backend),
          m_store(m_working, m_snapshot, m_appState, m_link, m_connection, m_ui, m_language, m_folder / "user",
                  m_folder / "skins") {
        test::WriteLanguageFile(m_folder.Path(), test::ProfileTexts());
        m_store.CreateDefaultImage(std::nullopt);
    }

    // A working image with a macro, a program and a text assignment.
    void FillWorkingImage() {
        std::lock_guard lock(m_working.lock);
        MacroBlock macro;
        macro.name = u"greeting";
        macro.id = 1;
        macro.repeat = 3;
        macro.steps = {{20, 0x23, 0}, {0, 0x23, 1}, {40000, 0x17, 0}, {10, 0x17, 1}};
        m_working.image.macros.push_back(macro);
        KeyEntry program;
        program.type = static_cast<std::uint16_t>(AssignmentType::kProgram);
        m_working.image.SetEntry(RecordIndex(0, 0x3B), program);
        m_working.texts.Set(RecordIndex(0, 0x3B), u"/usr/bin/calculator");
        KeyEntry text;
        text.type = static_cast<std::uint16_t>(AssignmentType::kText);
        m_working.image.SetEntry(RecordIndex(2, 0x3C), text);
        m_working.texts.Set(RecordIndex(2, 0x3C), u"Kind regards");
        KeyEntry macroKey;
        macroKey.type = static_cast<std::uint16_t>(AssignmentType::kMacro);
        macroKey.param = 1;
        m_working.image.SetEntry(RecordIndex(1, 0x3D), macroKey);
    }

    std::vector<std::uint8_t> DefaultFileBytes() {
        const auto path = m_folder / "default.fwc";
        EXPECT_TRUE(m_store.CreateDefaultImage(path));
        return test::ReadByteVector(path);
    }

    test::TempFolder m_folder;
    test::RecordingUiSink m_ui;
    Language m_language;
    test::NoHidBackend m_backend;
    DeviceLink m_link;
    ConnectionState m_connection;
    AppState m_appState;
    WorkingImage m_working;
    UploadSnapshot m_snapshot;
    ProfileStore m_store;
};

TEST_F(ProfileStoreFileTest, DefaultImageFileAndWorkingImage) {
    const auto path = m_folder / "new.fwc";
    ASSERT_TRUE(m_store.CreateDefaultImage(path, 1));
    const std::vector<std::uint8_t> bytes = test::ReadByteVector(path);
    ASSERT_EQ(bytes.size(), 32832u);
    EXPECT_EQ(bytes[30], 1);
    EXPECT_EQ(bytes[31], ProfileFileHeader::Checksum(bytes));
    EXPECT_EQ(m_store.ValidateProfileFile(path), ProfileFileCheck::kValid);
    EXPECT_TRUE(m_ui.TakeTexts().empty());

    // Installing a default image empties whatever the working image held.
    FillWorkingImage();
    ASSERT_TRUE(m_store.CreateDefaultImage(std::nullopt));
    EXPECT_TRUE(m_working.image.macros.empty());
    EXPECT_EQ(m_working.texts.Total(), 0u);
    EXPECT_EQ(m_working.image.header, MakeDefaultImage().header);
}

TEST_F(ProfileStoreFileTest, DamagedFilesAreRefusedWithMessage) {
    const std::vector<std::uint8_t> valid = DefaultFileBytes();
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    };
    const auto fixChecksum = [](std::vector<std::uint8_t>& b) { b[31] = ProfileFileHeader::Checksum(b); };
    const Case cases[] = {
        {"macros101.fwc",
         [&](auto& b) {
             WriteU16(b, 14, 101);
             WriteU32(b, 8, static_cast<std::uint32_t>(ProfileFileHeader::TotalSizeFor(101, 0)));
             b.resize(ProfileFileHeader::TotalSizeFor(101, 0));
             fixChecksum(b);
         }},
        {"flag2.fwc",
         [&](auto& b) {
             b[30] = 2;
             fixChecksum(b);
         }},
        {"checksum.fwc", [](auto& b) { b[31] ^= 0x01; }},
        // The header promises a pool the file does not have.
        {"short-body.fwc",
         [&](auto& b) {
             WriteU32(b, 16, 64);
             WriteU32(b, 8, 32832 + 64);
             fixChecksum(b);
         }},
        {"text-outside.fwc",
         [&](auto& b) {
             WriteU16(b, kKeyTableOffset, 6);
             WriteU32(b, kKeyTableOffset + 4, 0x100);
         }},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = valid;
        c.damage(bytes);
        const auto path = m_folder / c.name;
        WriteBytes(path, bytes);
        EXPECT_EQ(m_store.ValidateProfileFile(path), ProfileFileCheck::kInvalid) << c.name;
        const std::vector<std::string> messages = m_ui.TakeTexts();
        ASSERT_EQ(messages.size(), 1u) << c.name;
        EXPECT_EQ(messages[0], "The profile " + path.string() + " is damaged.");
        std::string error;
        EXPECT_FALSE(m_store.LoadProfileFile(path, &error)) << c.name;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(m_working.image.header, MakeDefaultImage().header) << "the working image stays as it was";
    }
    EXPECT_TRUE(m_ui.TakeTexts().empty()) << "loading never shows a message";
}

TEST_F(ProfileStoreFileTest, SilentRefusals) {
    const std::vector<std::uint8_t> valid = DefaultFileBytes();

    const auto shortFile = m_folder / "short.fwc";
    WriteBytes(shortFile, std::vector<std::uint8_t>(valid.begin(), valid.end() - 1));
    EXPECT_EQ(m_store.ValidateProfileFile(shortFile), ProfileFileCheck::kInvalid);
    EXPECT_EQ(m_store.ValidateProfileFile(m_folder / "missing.fwc"), ProfileFileCheck::kInvalid);

    const auto readOnly = m_folder / "readonly.fwc";
    WriteBytes(readOnly, valid);
    std::filesystem::permissions(readOnly,
                                 std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_EQ(m_store.ValidateProfileFile(readOnly), ProfileFileCheck::kUnreadable);
    EXPECT_FALSE(m_store.LoadProfileFile(readOnly));

    EXPECT_EQ(m_store.ValidateProfileFile(m_folder.Path()), ProfileFileCheck::kUnreadable) << "a folder";
    EXPECT_TRUE(m_ui.TakeTexts().empty());
}

TEST_F(ProfileStoreFileTest, LongerFileIsReadAsFarAsDescribed) {
    FillWorkingImage();
    const auto path = m_folder / "longer.fwc";
    ASSERT_TRUE(m_store.SaveProfileFile(path, true));
    std::vector<std::uint8_t> bytes = test::ReadByteVector(path);
    bytes.insert(bytes.end(), 4096, 0xEE);
    WriteBytes(path, bytes);

    EXPECT_EQ(m_store.ValidateProfileFile(path), ProfileFileCheck::kValid);
    const ProfileImage before = m_working.image;
    m_store.FreeWorkingImage();
    EXPECT_TRUE(m_working.image.macros.empty());
    EXPECT_EQ(m_working.texts.Total(), 0u);
    ASSERT_TRUE(m_store.LoadProfileFile(path));
    EXPECT_EQ(m_working.image.macros, before.macros);
    EXPECT_EQ(m_working.image.header, before.header);
    EXPECT_EQ(m_working.texts.Text(RecordIndex(0, 0x3B)), u"/usr/bin/calculator");
    EXPECT_EQ(m_working.texts.Text(RecordIndex(2, 0x3C)), u"Kind regards");
}

TEST_F(ProfileStoreFileTest, FailedSaveLeavesOldFile) {
    const auto path = m_folder / "keep.fwc";
    ASSERT_TRUE(m_store.SaveProfileFile(path, true));
    const std::vector<std::uint8_t> old = test::ReadByteVector(path);

    {
        std::lock_guard lock(m_working.lock);
        for (std::uint16_t id = 1; id <= 101; ++id) {
            MacroBlock m;
            m.id = id;
            m_working.image.macros.push_back(m);
        }
    }
    std::string error;
    EXPECT_FALSE(m_store.SaveProfileFile(path, true, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(test::ReadByteVector(path), old);

    m_working.image.macros.resize(2);
    std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
    EXPECT_FALSE(m_store.SaveProfileFile(path, true)) << "a read-only file is not replaced";
    EXPECT_EQ(test::ReadByteVector(path), old);
    EXPECT_FALSE(m_store.SaveProfileFile(m_folder / "no-such-folder" / "x.fwc", true));

    for (const auto& entry : std::filesystem::directory_iterator(m_folder.Path())) {
        EXPECT_NE(entry.path().extension(), ".tmp") << "temporary files are cleaned up";
    }
}

TEST_F(ProfileStoreFileTest, CacheFileIsOnlyRewritten) {
    const auto cache = m_store.ProfileCacheFile();
    EXPECT_EQ(cache.filename(), "$Profile0.fwc");
    EXPECT_FALSE(m_store.SaveToCacheFile(true));
    EXPECT_FALSE(std::filesystem::exists(cache));

    std::filesystem::create_directories(cache.parent_path());
    WriteBytes(cache, {1, 2, 3});
    FillWorkingImage();
    EXPECT_TRUE(m_store.SaveToCacheFile(true));
    EXPECT_EQ(m_store.ValidateProfileFile(cache), ProfileFileCheck::kValid);
}

TEST_F(ProfileStoreFileTest, SyncWithoutKeyboardInstallsDefaultImage) {
    std::filesystem::create_directories(m_folder / "skins");
    WriteBytes(m_folder / "skins" / "UserDengColor_3.userd", {'[', 'M', ']'});
    FillWorkingImage();

    int refreshed = -2;
    int cleared = 0;
    m_store.SetSyncHooks({[&](int active) { refreshed = active; }, [&] { ++cleared; }});
    m_store.SyncFromKeyboard(false);
    EXPECT_EQ(refreshed, -1);
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(m_working.image.header, MakeDefaultImage().header);
    EXPECT_TRUE(m_working.image.macros.empty());
    EXPECT_EQ(m_working.texts.Total(), 0u);
    EXPECT_FALSE(std::filesystem::exists(m_store.ProfileCacheFile()));
    for (int mode = 0; mode < 3; ++mode) {
        const auto file = m_folder / "user" / ("UserDengColor_" + std::to_string(mode) + ".userd");
        EXPECT_EQ(test::ReadByteVector(file), (std::vector<std::uint8_t>{'[', 'M', ']'}));
    }

    m_store.SyncFromKeyboard(true);
    EXPECT_EQ(cleared, 1) << "keepModified leaves the flag";
}

TEST(UserFolderTest, ExistingFolderIsLeftAlone) {
    test::TempFolder folder;
    std::filesystem::create_directories(folder / "skins");
    WriteBytes(folder / "skins" / "UserDengColor_3.userd", {'x'});
    std::filesystem::create_directories(folder / "user");
    EXPECT_TRUE(EnsureUserFolder(folder / "user", folder / "skins"));
    EXPECT_FALSE(std::filesystem::exists(folder / "user" / "UserDengColor_0.userd"));

    EXPECT_TRUE(EnsureUserFolder(folder / "a" / "b", folder / "no-skins"));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "a" / "b"));
    WriteBytes(folder / "file", {'x'});
    EXPECT_FALSE(EnsureUserFolder(folder / "file", folder / "skins"));
}

} // namespace
} // namespace brasslane
