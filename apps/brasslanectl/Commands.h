#pragma once

// The commands of brasslanectl. Each returns the tool's exit status and has already told the
// user what went wrong on standard error; results go to standard output.

#include "Session.h"

#include "core/app/AutoProfileRules.h"

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

// Automatic profiles (AutoProfileCommands.cpp): the rules file beside the settings, which the
// running desktop app reads again when it changes. None of them touches the keyboard.
ExitCode AutoProfileList();
// `position` 1..count+1 inserts there; nullopt appends.
ExitCode AutoProfileAdd(const AutoProfileRule& rule, std::optional<std::size_t> position);
// `number` as listed, from 1.
ExitCode AutoProfileRemove(std::size_t number);
ExitCode AutoProfileSwitch(bool on);
// nullopt: windows no rule matches leave the profile as it is.
ExitCode AutoProfileDefault(std::optional<int> profile);

// Asks the running desktop app to open its firmware update dialog (FirmwareUpdateCommand.cpp).
// kKeyboard when no copy of the app is running or it did not take the request.
ExitCode FirmwareUpdate();

} // namespace brasslane::cli
