#include "core/resources/SettingsStore.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace brasslane {
namespace {

using test::TempFolder;
using test::WriteBytes;

#ifdef _WIN32
// The C library of Windows sets and removes variables through _putenv_s (an empty value removes).
inline int setenv(const char* name, const char* value, int) {
    return _putenv_s(name, value);
}
inline int unsetenv(const char* name) {
    return _putenv_s(name, "");
}
#endif

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(SettingsStoreTest, DefaultPathFollowsXdg) {
#ifdef _WIN32
    GTEST_SKIP() << "the XDG locations are Linux's; Windows keeps the settings in %APPDATA%";
#endif
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg/config");
        ScopedEnv home("HOME", "/home/u");
        EXPECT_EQ(SettingsStore::DefaultPath(), "/xdg/config/Brasslane/Brasslane.ini");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnv home("HOME", "/home/u");
        EXPECT_EQ(SettingsStore::DefaultPath(), "/home/u/.config/Brasslane/Brasslane.ini");
    }
    {
        // A relative or empty XDG_CONFIG_HOME is invalid and ignored.
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/dir");
        ScopedEnv home("HOME", "/home/u");
        EXPECT_EQ(SettingsStore::DefaultPath(), "/home/u/.config/Brasslane/Brasslane.ini");
        ScopedEnv empty("XDG_CONFIG_HOME", "");
        EXPECT_EQ(SettingsStore::DefaultPath(), "/home/u/.config/Brasslane/Brasslane.ini");
    }
}

TEST(SettingsStoreTest, NumbersAndStrings) {
    TempFolder dir;
    SettingsStore store(dir / "cfg" / "Brasslane.ini");
    const auto section = SettingsStore::kProgramSection;

    EXPECT_EQ(store.ReadNumber(section, "dwLanguageId"), std::nullopt);
    ASSERT_TRUE(store.WriteNumber(section, "dwLanguageId", 1033));
    EXPECT_EQ(store.ReadNumber(section, "DWLANGUAGEID"), 1033u);
    ASSERT_TRUE(store.WriteNumber(section, "Max", 4294967295u));
    EXPECT_EQ(store.ReadNumber(section, "Max"), 4294967295u);

    const std::string longPath = "/" + std::string(1000, 'p') + "/profile.fwc";
    ASSERT_TRUE(store.WriteString(SettingsStore::kProfilesSection, "PROFILE01", longPath));
    EXPECT_EQ(store.ReadString(SettingsStore::kProfilesSection, "PROFILE01", ""), longPath);
    EXPECT_EQ(store.ReadString(SettingsStore::kProfilesSection, "PROFILE02", "none"), "none");

    // Hand-edited values: only whole 32-bit numbers count.
    WriteBytes(store.Path(), "[Software\\Brasslane]\n"
                             "hex=0x0C04\nspaced=  7  \nempty=\ntext=12abc\nnegative=-1\n"
                             "plus=+5\nbig=4294967296\nbare=0x\n");
    EXPECT_EQ(store.ReadNumber(section, "hex"), 0x0C04u);
    EXPECT_EQ(store.ReadNumber(section, "spaced"), 7u);
    for (const char* key : {"empty", "text", "negative", "plus", "big", "bare"}) {
        EXPECT_EQ(store.ReadNumber(section, key), std::nullopt) << key;
    }

    // A settings file below a regular file cannot be created.
    WriteBytes(dir / "plain", "x");
    SettingsStore blocked(dir / "plain" / "Brasslane.ini");
    EXPECT_FALSE(blocked.WriteNumber(section, "dwLanguageId", 1033));
    EXPECT_EQ(blocked.ReadNumber(section, "dwLanguageId"), std::nullopt);
}

} // namespace
} // namespace brasslane
