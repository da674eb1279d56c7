#pragma once

// The commands of brasslanectl. Each returns the tool's exit status and has already told the
// user what went wrong on standard error; results go to standard output.

#include "Session.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace brasslane::cli {

// Keyboard commands (DeviceCommands.cpp).
ExitCode ListKeyboards(Session& session, bool quiet);
ExitCode ShowInfo(Session& session);
ExitCode Backup(Session& session, const std::string& file);
ExitCode Restore(Session& session, const std::string& file);
ExitCode Profile(Session& session, std::optional<int> profile);

// Lighting commands (LightingCommands.cpp). A lighting option as written on the command line,
// without its dashes ("brightness", "3").
struct LightingOption {
    std::string name;
    std::string value;
};
ExitCode LightingShow(Session& session, std::optional<int> profile);
ExitCode LightingSet(Session& session, std::optional<int> profile, const std::vector<LightingOption>& options);
ExitCode LightingReset(Session& session, std::optional<int> profile);
// `pairs`: KEY RRGGBB KEY RRGGBB ...
ExitCode KeyColour(Session& session, std::optional<int> profile, const std::vector<std::string>& pairs);

// Profile files and key names (FileCommands.cpp); none of them touches the keyboard.
ExitCode FwcNew(const std::string& out);
ExitCode FwcShow(Session& session, const std::string& file);
ExitCode FwcToJson(const std::string& file, const std::optional<std::string>& out);
ExitCode FwcFromJson(const std::string& in, const std::string& out);
ExitCode ListKeys();

// Asks the running desktop app to open its firmware update dialog (FirmwareUpdateCommand.cpp).
// kKeyboard when no copy of the app is running or it did not take the request.
ExitCode FirmwareUpdate();

} // namespace brasslane::cli
