#pragma once

// What to tell a user whose keyboard is there but whose hidraw node this user may not open:
// the device rule that gives the logged-in user access is not installed (or not applied yet).

#include <string>

namespace brasslane {

// The installed device rule (absolute path, fixed at build time).
std::string DeviceRuleFile();

// The shell command that installs the rule and applies it to the keyboard plugged in now.
std::string DeviceAccessCommand();

// "the keyboard is there, but this user may not open NODE ...", followed on its own line by the
// command that installs the rule and applies it to the keyboard already plugged in.
std::string DeviceAccessHint(const std::string& node);

} // namespace brasslane
