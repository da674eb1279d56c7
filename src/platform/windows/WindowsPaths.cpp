#include "platform/windows/WindowsPaths.h"

// clang-format off
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
// clang-format on

#include <string>

namespace brasslane::platform {

namespace fs = std::filesystem;

namespace {

fs::path FromEnvironment(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size <= 1) {
        return {};
    }
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    if (length == 0 || length >= size) {
        return {};
    }
    value.resize(length);
    fs::path path(value);
    return path.is_absolute() ? path : fs::path();
}

fs::path KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR folder = nullptr;
    fs::path path;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &folder)) && folder != nullptr) {
        path = fs::path(folder);
    }
    CoTaskMemFree(folder);
    return path;
}

} // namespace

fs::path ExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    // Long paths: grow until the name fits (the call truncates and reports the full buffer).
    while (buffer.size() <= 32768) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return fs::path(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

fs::path UserDataHome() {
    fs::path folder = FromEnvironment(L"APPDATA");
    return folder.empty() ? KnownFolder(FOLDERID_RoamingAppData) : folder;
}

fs::path UserConfigHome() {
    return UserDataHome();
}

fs::path RuntimeFolder() {
    fs::path folder = FromEnvironment(L"LOCALAPPDATA");
    if (folder.empty()) {
        folder = KnownFolder(FOLDERID_LocalAppData);
    }
    return folder.empty() ? folder : folder / "Brasslane";
}

fs::path InstalledDataFolder() {
    const fs::path exe = ExecutablePath();
    return exe.empty() ? exe : exe.parent_path();
}

fs::path SettingsFile() {
    const fs::path home = UserConfigHome();
    // Without a profile folder the settings go to the working folder rather than to the root.
    return (home.empty() ? fs::path("Brasslane") : home / "Brasslane") / "Brasslane.ini";
}

} // namespace brasslane::platform
