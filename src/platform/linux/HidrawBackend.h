#pragma once

// HID access on Linux through hidraw.
//
// Interfaces are found under <sysfs>/class/hidraw/hidrawN: device/uevent gives the bus, vendor
// and product (HID_ID=0003:00000C45:00007672) and the interface number (HID_PHYS ending in
// "/inputN"), device/report_descriptor the report descriptor. An interface path reads
//   <dev>/hidrawN#vid_0c45&pid_7672&mi_01&col02&hid_0003:0C45:7672.0005
// The part before the last '#' is the node that is opened; "hid_" names the kernel's HID
// device, whose sequence number changes on every plug, so a path never matches a different
// keyboard that later got the same node. A node whose descriptor has several top-level
// collections is listed once per collection ("colNN", from 01, as Windows does); such a handle
// describes that collection alone, reads only its input reports (the others are dropped) and
// writes only its output reports.
//
// Reads and writes wait in poll() on the node and on an eventfd that serves as the stop event;
// the node is non-blocking, so a read or write that returns on its timeout or its stop event
// leaves nothing pending in the kernel. Exclusive opening is not enforced (hidraw has no
// sharing modes). A write is handed to the kernel once the node is writable; hidraw then sends
// it to the device synchronously, which the stop event cannot cut short.

#include "core/device/HidBackend.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace brasslane {

class HidrawBackend : public HidBackend {
public:
    // Roots from BRASSLANE_SYSFS_ROOT (default "/sys") and BRASSLANE_DEV_ROOT (default "/dev").
    HidrawBackend();
    // Explicit roots, for tests that build a sysfs tree and device nodes in a temporary folder.
    HidrawBackend(std::filesystem::path sysfsRoot, std::filesystem::path devRoot);

    // Every hidraw interface whose uevent names its HID ids and whose node exists, ordered by
    // node number. True with an empty list when hidraw is absent; false when the class folder
    // exists but cannot be listed.
    bool Enumerate(std::vector<std::string>& paths) override;
    // Opens the node non-blocking: O_RDWR, O_RDONLY or O_WRONLY after the mode, or O_PATH when
    // neither access is asked for (identity and descriptor come from sysfs). nullptr when the
    // node cannot be opened or now belongs to another device.
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode& mode) override;
    // The node exists and its sysfs device is still the one the path was made for.
    bool IsPresent(const std::string& path) override;
    // An eventfd; nullptr when the system has none left.
    std::unique_ptr<HidStopEvent> CreateStopEvent() override;

    // A node that Open found but was not allowed to open (EACCES or EPERM: no device rule gives
    // this user access) and that the device rule would open up: the command interface's when it
    // was refused, else the consumer-control interface's; empty when none. A node leaves the list
    // when it opens. Any thread.
    std::string AccessDeniedNode() const;

    const std::filesystem::path& SysfsRoot() const { return m_sysfsRoot; }
    const std::filesystem::path& DevRoot() const { return m_devRoot; }

private:
    struct Entry {
        std::string name; // "hidrawN"
        std::uint32_t bus = 0;
        HidAttributes attributes;
        std::optional<int> interfaceNumber;
        std::string identity; // the HID device's sysfs name, e.g. "0003:0C45:7672.0005"
        std::filesystem::path deviceDir;
    };
    struct ParsedPath {
        std::filesystem::path node;
        std::string name;
        std::string identity;                  // empty when the path names none
        std::optional<std::size_t> collection; // 0-based top-level collection ("col01" is 0)
    };

    std::optional<Entry> ReadEntry(const std::string& name) const;
    std::optional<std::vector<std::uint8_t>> ReadDescriptor(const std::string& name) const;
    std::size_t CollectionCount(const std::string& name) const;
    static std::optional<ParsedPath> SplitPath(const std::string& path);
    // The node's sysfs entry, when the node exists and its device matches the path.
    std::optional<Entry> Resolve(const std::string& path, ParsedPath& parsed) const;

    std::filesystem::path m_sysfsRoot;
    std::filesystem::path m_devRoot;
    mutable std::mutex m_deniedMutex;
    std::map<std::string, bool> m_deniedNodes; // node -> is the command interface
};

} // namespace brasslane
