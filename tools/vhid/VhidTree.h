#pragma once

// The files brasslane-vhid serves, as a plain map from path to node, rebuilt from the simulated
// keyboard's plug state whenever it changes. The layout follows what the kernel shows for a USB
// keyboard with three HID interfaces:
//
//   control                                         the tool's own control file
//   dev/hidraw0 .. dev/hidraw2                      the nodes (keystrokes, commands, consumer control)
//   sys/class/hidraw/hidrawN -> ../../devices/.../0003:VVVV:PPPP.SSSS/hidraw/hidrawN
//   sys/devices/usb1/1-4/{idVendor,idProduct,bcdDevice}
//   sys/devices/usb1/1-4/1-4:1.I/bInterfaceNumber
//   sys/devices/usb1/1-4/1-4:1.I/0003:VVVV:PPPP.SSSS/{uevent,report_descriptor}
//   sys/devices/usb1/1-4/1-4:1.I/0003:VVVV:PPPP.SSSS/hidraw/hidrawN/{dev,uevent,device -> ../..}
//
// SSSS is the kernel's HID sequence number; it grows with every plug, so a path taken before an
// unplug never names the interface of a later plug. Unplugged, only the empty class and device
// folders and the control file remain.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace brasslane::vhid {

enum class NodeKind { kDirectory, kFile, kSymlink, kHidraw, kControl };

struct Node {
    NodeKind kind = NodeKind::kFile;
    std::string content;            // kFile: the bytes; kSymlink: the target
    int interface = -1;             // kHidraw: 0 keystrokes, 1 commands, 2 consumer control
    std::set<std::string> children; // kDirectory: names of the entries
};

struct TreeState {
    bool plugged = true;
    std::uint64_t generation = 0;
    std::uint16_t vendorId = 0x0C45;
    std::uint16_t productId = 0x7672;
    std::vector<std::vector<std::uint8_t>> descriptors; // one per interface, in interface order
};

// Paths are relative to the mount point, without a leading '/' ("" is the root).
using Tree = std::map<std::string, Node>;

Tree BuildTree(const TreeState& state);

} // namespace brasslane::vhid
