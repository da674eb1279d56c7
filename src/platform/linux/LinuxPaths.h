#pragma once

// Where things live on Linux: the running executable, the XDG data and config homes, the
// runtime folder for the single-instance lock and socket.

#include <filesystem>

namespace brasslane::platform {

// Absolute path of the running executable (/proc/self/exe); empty when it cannot be read.
std::filesystem::path ExecutablePath();
// $XDG_DATA_HOME, else $HOME/.local/share.
std::filesystem::path UserDataHome();
// $XDG_CONFIG_HOME, else $HOME/.config.
std::filesystem::path UserConfigHome();
// $XDG_RUNTIME_DIR, else /tmp/brasslane-<uid> (created with mode 0700).
std::filesystem::path RuntimeFolder();
// <prefix>/share/brasslane of this build.
std::filesystem::path InstalledDataFolder();
// $XDG_CONFIG_HOME/Brasslane/Brasslane.ini (SettingsStore::DefaultPath).
std::filesystem::path SettingsFile();

} // namespace brasslane::platform
