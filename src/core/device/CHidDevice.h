#pragma once

// One HID interface: lists the interfaces present, opens one by path, reads its identity and
// capabilities, moves raw reports with a timeout and a stop event, and decodes input reports
// into its input usage table.
//
// One thread may read while another writes. Any thread may call Open or Close while a read or
// write waits; the stop event then wakes the waiting call, which returns false, and Open or
// Close waits until it has returned before freeing the handle. A read or write that returns on
// its timeout or the stop event leaves nothing pending (the backend guarantees it), so its
// buffer may be reused at once. An internal lock guards only the handle's lifetime and the
// tables against Close; DeviceLink serialises the users of the command device, and the listener
// device belongs to the listener thread alone.

#include "core/device/HidBackend.h"
#include "core/device/HidReportDescriptor.h" // kHidpStatus* codes

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace brasslane {

struct HidCaps {
    std::uint16_t usage = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t inputReportByteLength = 0; // report id byte included, as on Windows
    std::uint16_t outputReportByteLength = 0;
    std::uint16_t featureReportByteLength = 0;
    std::uint16_t numberInputButtonCaps = 0;
    std::uint16_t numberInputValueCaps = 0;
};

// One entry of the input usage table: a button capability (kind 1: a list of usages) or one
// value usage (kind 0).
struct HidUsageEntry {
    std::uint8_t kind = 0;
    std::uint16_t usagePage = 0;
    std::uint32_t status = kHidpStatusSuccess;
    std::uint32_t reportId = 0;
    std::uint8_t touched = 0;
    // Button entries.
    std::uint16_t usageMinimum = 0;
    std::uint16_t usageMaximum = 0;
    std::uint32_t maxUsageCount = 0;
    std::vector<std::uint16_t> usages; // maxUsageCount entries, zero-filled when built
    // Value entries.
    std::uint16_t usage = 0;
    std::uint32_t rawValue = 0;
    std::int32_t scaledValue = 0;
};

class CHidDevice {
public:
    explicit CHidDevice(HidBackend& backend);
    ~CHidDevice();
    CHidDevice(const CHidDevice&) = delete;
    CHidDevice& operator=(const CHidDevice&) = delete;

    // Builds a fresh list of every present interface path; the cursor goes back to the first.
    bool Enumerate();
    // The path at the cursor, advancing it; nullptr when there is no list or it is used up.
    // The pointer stays valid until FreePaths or the next Enumerate.
    const std::string* NextPath();
    void FreePaths();

    // Opens the interface (closing any open one first) and builds its tables. A path longer
    // than 259 characters, or one that cannot be opened or described, leaves the object closed.
    bool Open(const std::string& path, bool read, bool write, bool overlapped, bool exclusive);
    // Wakes a waiting read or write, frees the per-open data; false when nothing was open.
    bool Close();
    bool IsOpen() const;

    // One input report into `buffer`; `bytes` (optional) receives the count, 0 on failure.
    bool ReadReport(std::span<std::uint8_t> buffer, std::uint32_t* bytes, std::uint32_t timeoutMs);
    // One output report from `buffer`.
    bool WriteReport(std::span<const std::uint8_t> buffer, std::uint32_t* bytes, std::uint32_t timeoutMs);

    // Decodes one input report (first byte = report id) into the input usage table. False when
    // a value usage cannot be read (entries visited before keep their new contents), when the
    // report is empty or when nothing is open. Button usage lists are zero-filled after the
    // last usage kept.
    bool ParseInputReport(std::span<const std::uint8_t> report);

    const HidAttributes& Attributes() const { return m_attributes; }
    const HidCaps& Caps() const { return m_caps; }
    std::span<std::uint8_t> InputReportBuffer() { return m_inputBuffer; }
    const std::vector<HidUsageEntry>& UsageTable() const { return m_usageTable; }
    const std::string& Path() const { return m_path; }
    // The parsed report descriptor of the open interface; nullptr while closed.
    const HidReportDescriptor* Descriptor() const { return m_descriptor.get(); }

private:
    HidIoResult Transfer(bool write, std::span<std::uint8_t> readBuffer, std::span<const std::uint8_t> writeBuffer,
                         std::uint32_t* bytes, std::uint32_t timeoutMs);
    // Takes the handle away from new transfers, wakes the waiting ones and waits until none
    // is left, so that the handle and the buffers they use are never freed under them.
    std::shared_ptr<HidHandle> StopTransfers();
    void FreeOpenData();

    HidBackend& m_backend;
    std::vector<std::string> m_paths;
    bool m_haveList = false;
    std::size_t m_cursor = 0;

    HidOpenMode m_mode;
    // The handle and the stop event are shared with the transfers in flight; m_lifetime guards
    // swapping them, m_idle tells StopTransfers that a transfer has ended.
    mutable std::mutex m_lifetime;
    std::condition_variable m_idle;
    std::shared_ptr<HidHandle> m_handle;
    std::string m_path;
    std::unique_ptr<HidReportDescriptor> m_descriptor;
    HidCaps m_caps;
    HidAttributes m_attributes;
    std::vector<std::uint8_t> m_inputBuffer;
    std::vector<HidUsageEntry> m_usageTable;

    std::shared_ptr<HidStopEvent> m_stop;
    std::atomic<int> m_readBusy{0};
    std::atomic<int> m_writeBusy{0};
};

} // namespace brasslane
