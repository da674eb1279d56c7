#pragma once

// The fixed table of paths every part of the program uses, built once at start from where the
// program lives. The "program folder" is the folder that holds Skins/ and the language files:
// the executable's own folder in a build tree, <prefix>/share/brasslane when installed.

#include <filesystem>

namespace brasslane {

struct AppPaths {
    std::filesystem::path programName;   // file name of the executable
    std::filesystem::path programFolder; // Skins/ and Lang*.ini live here
    std::filesystem::path helpFolder;    // Help/index.html
    std::filesystem::path skinsFolder;
    std::filesystem::path mainSkin;         // Skins/Main.ini
    std::filesystem::path skinColourPrefix; // Skins/UserDengColor_ (the installed default is number 3)
    std::filesystem::path profileSkin;      // Skins/Profile.ini
    std::filesystem::path updateSkin;       // Skins/UpdateDlg.ini
    std::filesystem::path autoProfileSkin;  // Skins/AutoProfile.ini
    std::filesystem::path packageFolder;    // Package
    std::filesystem::path compositeSkin;    // Skins/Composite.ini
    std::filesystem::path companionProgram; // keywarden beside the executable
    std::filesystem::path userFolder;       // per-user data: $XDG_DATA_HOME/Brasslane
    std::filesystem::path keyColourFile;    // userFolder/wskb.ini
    std::filesystem::path userModePrefix;   // userFolder/UserDengColor_
    std::filesystem::path profileCacheFile; // userFolder/$Profile0.fwc

    // `executable` is the running program's absolute path; `installedDataFolder` is where an
    // installed copy keeps its data (<prefix>/share/brasslane); `userDataHome` is
    // $XDG_DATA_HOME (or ~/.local/share).
    static AppPaths Build(const std::filesystem::path& executable, const std::filesystem::path& installedDataFolder,
                          const std::filesystem::path& userDataHome);

    // The user-mode file of profile p: userModePrefix + p + ".userd".
    std::filesystem::path UserModeFile(int profile) const;
    // The installed default user-mode file: Skins/UserDengColor_3.userd.
    std::filesystem::path DefaultUserModeFile() const;
};

} // namespace brasslane
