#include "core/app/AppPaths.h"

#include <system_error>

namespace brasslane {

namespace fs = std::filesystem;

AppPaths AppPaths::Build(const fs::path& executable, const fs::path& installedDataFolder,
                         const fs::path& userDataHome) {
    AppPaths p;
    p.programName = executable.filename();
    const fs::path exeFolder = executable.parent_path();
    std::error_code ec;
    // A build tree keeps Skins/ beside the executable; an installed copy keeps it in share/.
    p.programFolder = fs::is_directory(exeFolder / "Skins", ec) ? exeFolder : installedDataFolder;
    p.helpFolder = p.programFolder / "Help";
    p.skinsFolder = p.programFolder / "Skins";
    p.mainSkin = p.skinsFolder / "Main.ini";
    p.skinColourPrefix = p.skinsFolder / "UserDengColor_";
    p.profileSkin = p.skinsFolder / "Profile.ini";
    p.updateSkin = p.skinsFolder / "UpdateDlg.ini";
    p.autoProfileSkin = p.skinsFolder / "AutoProfile.ini";
    p.packageFolder = p.programFolder / "Package";
    p.compositeSkin = p.skinsFolder / "Composite.ini";
    p.companionProgram = exeFolder / "keywarden";
    p.userFolder = userDataHome / "Brasslane";
    p.keyColourFile = p.userFolder / "wskb.ini";
    p.userModePrefix = p.userFolder / "UserDengColor_";
    p.profileCacheFile = p.userFolder / "$Profile0.fwc";
    return p;
}

fs::path AppPaths::UserModeFile(int profile) const {
    return fs::path(userModePrefix.string() + std::to_string(profile) + ".userd");
}

fs::path AppPaths::DefaultUserModeFile() const {
    return fs::path(skinColourPrefix.string() + "3.userd");
}

} // namespace brasslane
