#pragma once

// The platform seam under CHidDevice: enumeration, opening, timed and interruptible report
// I/O and the presence check. src/platform/linux implements it over hidraw, src/platform/sim
// over the simulated keyboard. The report descriptor parser of the core turns the descriptor
// an opened handle returns into capabilities and usage tables, so backends need no parser.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace brasslane {

struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
};

struct HidOpenMode {
    bool read = false;
    bool write = false;
    bool overlapped = false;
    bool exclusive = false;
};

enum class HidIoResult {
    kDone,    // the report moved; the byte count is valid
    kTimeout, // nothing moved within the timeout; nothing stays pending
    kStopped, // the stop event woke the wait; nothing stays pending
    kFailed,  // the device failed the request (gone, I/O error)
};

constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

// An auto-reset event: Signal wakes one waiting Read or Write on a handle of the same backend,
// or, when nobody waits, the next one that starts; the wake consumes the signal.
class HidStopEvent {
public:
    virtual ~HidStopEvent() = default;
    virtual void Signal() = 0;
};

class HidHandle {
public:
    virtual ~HidHandle() = default;
    virtual bool GetAttributes(HidAttributes& attributes) const = 0;
    // The interface's raw report descriptor. False when it cannot be read.
    virtual bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) const = 0;
    // Reads one input report into `buffer` in the form HID.DLL gives it: byte 0 is the report
    // id (0 for an interface without report ids), then the report's bytes. `transferred` is the
    // count written to `buffer`. Waits at most timeoutMs (kInfinite: no limit) or until `stop`.
    virtual HidIoResult Read(std::span<std::uint8_t> buffer, std::size_t& transferred, std::uint32_t timeoutMs,
                             HidStopEvent& stop) = 0;
    // Writes one output report; byte 0 is the report id.
    virtual HidIoResult Write(std::span<const std::uint8_t> report, std::size_t& transferred, std::uint32_t timeoutMs,
                              HidStopEvent& stop) = 0;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    // Fills `paths` with every present HID interface. False when the list cannot be had.
    // A path carries "vid_XXXX&pid_YYYY" after a '#' so that ids can be matched from it.
    virtual bool Enumerate(std::vector<std::string>& paths) = 0;
    // Opens an interface; nullptr when it is gone or cannot be opened with that access.
    virtual std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode& mode) = 0;
    // Opens the path without access rights and closes it at once: is the interface still there?
    virtual bool IsPresent(const std::string& path) = 0;
    virtual std::unique_ptr<HidStopEvent> CreateStopEvent() = 0;
};

} // namespace brasslane
