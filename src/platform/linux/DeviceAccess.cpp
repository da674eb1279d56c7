#include "platform/linux/DeviceAccess.h"

namespace brasslane {

std::string DeviceRuleFile() {
    return BRASSLANE_UDEV_RULE_FILE;
}

std::string DeviceAccessCommand() {
    // Copied to /etc because udev reads no rules below other prefixes; the trigger applies the
    // rule to the keyboard that is plugged in now, so no replug is needed.
    return "sudo install -m 0644 " + DeviceRuleFile() +
           " /etc/udev/rules.d/70-brasslane.rules && sudo udevadm control --reload-rules && sudo udevadm trigger "
           "--subsystem-match=hidraw --action=change";
}

std::string DeviceAccessHint(const std::string& node) {
    return "the keyboard is there, but this user may not open " + node +
           " (permission denied). Install Brasslane's device rule, which gives the logged-in user access to the "
           "keyboard's command and consumer-control interfaces:\n  " +
           DeviceAccessCommand();
}

} // namespace brasslane
