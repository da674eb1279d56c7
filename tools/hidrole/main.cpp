// brasslane-hid-role: the device rule's helper. Given a hidraw device's sysfs folder (udev's
// %S%p), or a report descriptor file, it prints the interface's role for the rule to import:
//
//   BRASSLANE_HID_ROLE=command | consumer | none
//
// Exit status 0 when the descriptor was read (whatever the role), 1 when it could not be.

#include "core/device/DeviceAccessRole.h"
#include "core/device/HidReportDescriptor.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc != 2) {
        std::cerr << "usage: brasslane-hid-role SYSFS_HIDRAW_FOLDER | REPORT_DESCRIPTOR_FILE\n";
        return 1;
    }
    fs::path path = argv[1];
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        path = path / "device" / "report_descriptor";
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "brasslane-hid-role: cannot read " << path.string() << "\n";
        return 1;
    }
    // Read one byte past the parser's limit, so that an oversized descriptor is refused, not cut.
    std::vector<std::uint8_t> descriptor;
    char byte = 0;
    while (descriptor.size() <= brasslane::HidReportDescriptor::kMaxDescriptorBytes && in.get(byte)) {
        descriptor.push_back(static_cast<std::uint8_t>(byte));
    }
    if (in.bad()) {
        std::cerr << "brasslane-hid-role: cannot read " << path.string() << "\n";
        return 1;
    }
    std::cout << "BRASSLANE_HID_ROLE=" << brasslane::AccessRoleName(brasslane::AccessRoleOf(descriptor)) << "\n";
    return 0;
}
