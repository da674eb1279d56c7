#pragma once

// Where things live on Windows: the running program, the per-user application data folder
// (%APPDATA%), the settings file in it, and the folder whose name scopes the single-instance
// objects.

#include <filesystem>

namespace brasslane::platform {

// The running program's full path (GetModuleFileNameW); empty when it cannot be read.
std::filesystem::path ExecutablePath();
// %APPDATA% when it names an absolute folder, else the roaming application data folder the
// shell knows (FOLDERID_RoamingAppData); empty when neither is there.
std::filesystem::path UserDataHome();
// The same folder: Windows keeps a program's settings beside its data.
std::filesystem::path UserConfigHome();
// %LOCALAPPDATA%\Brasslane (the local application data folder). Nothing is stored there: its
// name scopes the single-instance mutex and pipe, so that a test's folder gets its own.
std::filesystem::path RuntimeFolder();
// The program's own folder: the installer puts Skins and the language files beside it.
std::filesystem::path InstalledDataFolder();
// <UserConfigHome>\Brasslane\Brasslane.ini.
std::filesystem::path SettingsFile();

} // namespace brasslane::platform
