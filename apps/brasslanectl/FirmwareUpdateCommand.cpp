// "brasslanectl firmware-update": asks the running desktop app to open its firmware update
// dialog, as an outside program does (command 32780 on the app's instance socket).

#include "Commands.h"

#include "core/base/Messages.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"

namespace brasslane::cli {

ExitCode FirmwareUpdate() {
    const std::filesystem::path folder = platform::RuntimeFolder();
    if (folder.empty()) {
        return Report(ExitCode::kKeyboard, "firmware-update", "no runtime folder for the desktop app's socket");
    }
    platform::SingleInstance instance(folder);
    std::string error;
    if (!instance.SendToFirst(platform::kInstanceCommandMessage, kCommandFirmwareUpdate, 2000, &error)) {
        return Report(ExitCode::kKeyboard, "firmware-update",
                      "brasslane is not running (" + error + "); start it, then try again");
    }
    return ExitCode::kSuccess;
}

} // namespace brasslane::cli
