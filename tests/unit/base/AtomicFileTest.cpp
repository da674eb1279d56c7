#include "core/base/AtomicFile.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace brasslane {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Records every flush the writer asks for; fails the flush of `failing` when set.
struct SyncRecorder {
    static inline std::vector<fs::path> synced;
    static inline bool failTemporary = false;
    static bool Sync(const fs::path& path) {
        synced.push_back(path);
        return !(failTemporary && path.filename().string().ends_with(".tmp"));
    }
};

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        SyncRecorder::synced.clear();
        SyncRecorder::failTemporary = false;
        SetDurableSync(&SyncRecorder::Sync);
    }
    void TearDown() override { SetDurableSync(nullptr); }
    TempFolder folder;
};

TEST_F(AtomicFileTest, WritesNewFileAndFlushesFileThenFolder) {
    const fs::path file = folder / "a" / "profile.fwc";
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(file, std::string_view("contents"), &error)) << "the folder is missing";
    EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
    EXPECT_TRUE(SyncRecorder::synced.empty());
    fs::create_directories(file.parent_path());
    ASSERT_TRUE(WriteFileAtomically(file, std::string_view("contents"), &error)) << error;
    EXPECT_EQ(ReadBytes(file), "contents");
    EXPECT_EQ(Names(file.parent_path()), std::vector<std::string>{"profile.fwc"}) << "no temporary file is left";
    ASSERT_EQ(SyncRecorder::synced.size(), 2u);
    EXPECT_TRUE(SyncRecorder::synced[0].filename().string().starts_with(".profile.fwc."));
    EXPECT_EQ(SyncRecorder::synced[1], file.parent_path());

    ASSERT_TRUE(WriteFileAtomically(file, std::string_view()));
    EXPECT_EQ(ReadBytes(file), "") << "an empty file replaces the old one";
}

TEST_F(AtomicFileTest, FailedWriteLeavesTheOldFile) {
    const fs::path file = folder / "settings.ini";
    WriteBytes(file, "old");
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(
        file,
        [](std::ostream& out) {
            out << "half";
            return false;
        },
        &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(WriteFileAtomically(file, [](std::ostream&) -> bool { throw std::runtime_error("encoder"); }));
    SyncRecorder::failTemporary = true;
    EXPECT_FALSE(WriteFileAtomically(file, std::string_view("new")));
    EXPECT_EQ(ReadBytes(file), "old");
    EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"settings.ini"});
}

TEST_F(AtomicFileTest, ReplacingKeepsPermissionsAndFollowsLinks) {
    const fs::path real = folder / "real.ini";
    WriteBytes(real, "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    const fs::path link = folder / "link.ini";
    std::error_code linkError;
    fs::create_symlink(real, link, linkError);
    if (linkError) {
        GTEST_SKIP() << "no symbolic links here: " << linkError.message(); // Windows without the right
    }

    ASSERT_TRUE(WriteFileAtomically(link, std::string_view("new")));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadBytes(real), "new");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(AtomicFileTest, RefusesWhatCannotBeReplaced) {
    const fs::path readOnly = folder / "read-only.ini";
    WriteBytes(readOnly, "kept");
    fs::permissions(readOnly, fs::perms::owner_read);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(readOnly, std::string_view("new"), &error));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(readOnly), "kept");

    fs::create_directories(folder / "folder.ini");
    EXPECT_FALSE(WriteFileAtomically(folder / "folder.ini", std::string_view("new"), &error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}

} // namespace
} // namespace brasslane
