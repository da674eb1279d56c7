#include "platform/linux/LinuxPaths.h"

#include "core/resources/SettingsStore.h"

#include <cstdlib>
#include <string>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#ifndef BRASSLANE_INSTALL_DATADIR
#define BRASSLANE_INSTALL_DATADIR "/usr/local/share/brasslane"
#endif

namespace brasslane::platform {

namespace fs = std::filesystem;

namespace {

fs::path FromEnv(const char* name, const char* homeRelative) {
    if (const char* value = std::getenv(name); value != nullptr && value[0] == '/') {
        return fs::path(value);
    }
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : "/tmp") / homeRelative;
}

} // namespace

fs::path ExecutablePath() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe;
}

fs::path UserDataHome() {
    return FromEnv("XDG_DATA_HOME", ".local/share");
}

fs::path UserConfigHome() {
    return FromEnv("XDG_CONFIG_HOME", ".config");
}

fs::path RuntimeFolder() {
    if (const char* value = std::getenv("XDG_RUNTIME_DIR"); value != nullptr && value[0] == '/') {
        return fs::path(value);
    }
    fs::path folder = fs::path("/tmp") / ("brasslane-" + std::to_string(getuid()));
    // 0700 so no other user can take over the instance socket.
    if (mkdir(folder.c_str(), 0700) != 0) {
        struct stat st {};
        if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
            return fs::path();
        }
    }
    return folder;
}

fs::path InstalledDataFolder() {
#ifdef BRASSLANE_RELATIVE_DATADIR
    // An installed tree that was moved, or installed with another prefix than it was built for
    // (cmake --install --prefix, a staging folder), keeps its data beside its bin folder.
    const fs::path executable = ExecutablePath();
    if (!executable.empty()) {
        std::error_code ec;
        const fs::path beside = (executable.parent_path() / BRASSLANE_RELATIVE_DATADIR).lexically_normal();
        if (fs::is_directory(beside, ec)) {
            return beside;
        }
    }
#endif
    return fs::path(BRASSLANE_INSTALL_DATADIR);
}

fs::path SettingsFile() {
    return SettingsStore::DefaultPath();
}

} // namespace brasslane::platform
