#include "core/device/CHidDevice.h"

#include <algorithm>
#include <chrono>

namespace brasslane {

namespace {

// Longest interface path accepted: a Windows path field holds 260 units with its terminator.
constexpr std::size_t kMaxPathLength = 259;

// A stop signal wakes one waiting transfer; when a read and a write both wait, the second is
// woken by signalling again after this pause.
constexpr std::chrono::milliseconds kResignalInterval{20};

} // namespace

CHidDevice::CHidDevice(HidBackend& backend) : m_backend(backend), m_stop(backend.CreateStopEvent()) {}

CHidDevice::~CHidDevice() {
    Close();
    FreePaths();
}

bool CHidDevice::Enumerate() {
    // A list left from an earlier call is replaced rather than leaked.
    FreePaths();
    std::vector<std::string> paths;
    if (!m_backend.Enumerate(paths)) {
        return false;
    }
    m_paths = std::move(paths);
    m_haveList = true;
    m_cursor = 0;
    return true;
}

const std::string* CHidDevice::NextPath() {
    if (!m_haveList || m_cursor >= m_paths.size()) {
        return nullptr;
    }
    return &m_paths[m_cursor++];
}

void CHidDevice::FreePaths() {
    m_paths.clear();
    m_haveList = false;
    m_cursor = 0;
}

std::shared_ptr<HidHandle> CHidDevice::StopTransfers() {
    std::unique_lock<std::mutex> lock(m_lifetime);
    std::shared_ptr<HidHandle> handle = std::move(m_handle);
    m_handle.reset();
    bool signalled = false;
    while (m_readBusy.load() > 0 || m_writeBusy.load() > 0) {
        if (m_stop) {
            m_stop->Signal();
            signalled = true;
        }
        m_idle.wait_for(lock, kResignalInterval);
    }
    // A transfer that ended on its own just before the signal leaves the signal set; a fresh
    // event keeps it from stopping the first transfer on the next open.
    if (signalled) {
        if (std::shared_ptr<HidStopEvent> fresh = m_backend.CreateStopEvent()) {
            m_stop = std::move(fresh);
        }
    }
    return handle;
}

void CHidDevice::FreeOpenData() {
    std::lock_guard<std::mutex> lock(m_lifetime);
    m_inputBuffer.clear();
    m_usageTable.clear();
    m_descriptor.reset();
    m_caps = HidCaps{};
    m_attributes = HidAttributes{};
}

bool CHidDevice::Open(const std::string& path, bool read, bool write, bool overlapped, bool exclusive) {
    std::shared_ptr<HidHandle> previous = StopTransfers();
    FreeOpenData();
    previous.reset();

    m_mode = HidOpenMode{read, write, overlapped, exclusive};
    if (path.size() > kMaxPathLength) {
        m_path.clear();
        return false;
    }
    m_path = path;

    std::shared_ptr<HidHandle> handle = m_backend.Open(path, m_mode);
    if (!handle) {
        return false;
    }

    std::vector<std::uint8_t> bytes;
    auto descriptor = std::make_unique<HidReportDescriptor>();
    HidAttributes attributes;
    if (!handle->GetReportDescriptor(bytes) || !descriptor->Parse(bytes) || !handle->GetAttributes(attributes)) {
        return false;
    }

    HidCaps caps;
    caps.usage = descriptor->Usage();
    caps.usagePage = descriptor->UsagePage();
    caps.inputReportByteLength = descriptor->ReportByteLength(HidReportType::kInput);
    caps.outputReportByteLength = descriptor->ReportByteLength(HidReportType::kOutput);
    caps.featureReportByteLength = descriptor->ReportByteLength(HidReportType::kFeature);
    const auto& buttonCaps = descriptor->ButtonCaps(HidReportType::kInput);
    const auto& valueCaps = descriptor->ValueCaps(HidReportType::kInput);
    caps.numberInputButtonCaps = static_cast<std::uint16_t>(buttonCaps.size());
    caps.numberInputValueCaps = static_cast<std::uint16_t>(valueCaps.size());

    // Button entries first, in capability order, then one entry per value usage, a range
    // expanded in ascending order.
    std::vector<HidUsageEntry> table;
    for (const HidButtonCaps& button : buttonCaps) {
        HidUsageEntry entry;
        entry.kind = 1;
        entry.usagePage = button.usagePage;
        entry.reportId = button.reportId;
        entry.status = kHidpStatusSuccess;
        entry.usageMinimum = button.isRange ? button.usageMinimum : button.usage;
        entry.usageMaximum = button.isRange ? button.usageMaximum : button.usage;
        entry.maxUsageCount = descriptor->MaxUsageListLength(HidReportType::kInput, button.usagePage);
        entry.usages.assign(entry.maxUsageCount, 0);
        table.push_back(std::move(entry));
    }
    for (const HidValueCaps& value : valueCaps) {
        const std::uint32_t first = value.isRange ? value.usageMinimum : value.usage;
        const std::uint32_t last = value.isRange ? value.usageMaximum : value.usage;
        for (std::uint32_t usage = first; usage <= last; ++usage) {
            HidUsageEntry entry;
            entry.kind = 0;
            entry.usagePage = value.usagePage;
            entry.reportId = value.reportId;
            entry.status = kHidpStatusSuccess;
            entry.usage = static_cast<std::uint16_t>(usage);
            table.push_back(std::move(entry));
        }
    }

    std::lock_guard<std::mutex> lock(m_lifetime);
    if (!m_stop) {
        m_stop = m_backend.CreateStopEvent();
        if (!m_stop) {
            return false; // without a stop event a waiting read could never be woken
        }
    }
    m_descriptor = std::move(descriptor);
    m_attributes = attributes;
    m_caps = caps;
    m_inputBuffer.assign(caps.inputReportByteLength, 0);
    m_usageTable = std::move(table);
    // Published last: no transfer can start before the tables are complete.
    m_handle = std::move(handle);
    return true;
}

bool CHidDevice::Close() {
    std::shared_ptr<HidHandle> handle = StopTransfers();
    FreeOpenData();
    const bool wasOpen = handle != nullptr;
    handle.reset();
    return wasOpen;
}

bool CHidDevice::IsOpen() const {
    std::lock_guard<std::mutex> lock(m_lifetime);
    return m_handle != nullptr;
}

HidIoResult CHidDevice::Transfer(bool write, std::span<std::uint8_t> readBuffer,
                                 std::span<const std::uint8_t> writeBuffer, std::uint32_t* bytes,
                                 std::uint32_t timeoutMs) {
    if (bytes) {
        *bytes = 0;
    }
    std::atomic<int>& busy = write ? m_writeBusy : m_readBusy;
    std::shared_ptr<HidHandle> handle;
    std::shared_ptr<HidStopEvent> stop;
    {
        std::lock_guard<std::mutex> lock(m_lifetime);
        if (!m_handle || !m_stop) {
            return HidIoResult::kFailed;
        }
        handle = m_handle;
        stop = m_stop;
        ++busy;
    }
    std::size_t transferred = 0;
    const HidIoResult result = write ? handle->Write(writeBuffer, transferred, timeoutMs, *stop)
                                     : handle->Read(readBuffer, transferred, timeoutMs, *stop);
    // Drop our references before reporting idle, so that Close is the one that frees them.
    handle.reset();
    stop.reset();
    {
        std::lock_guard<std::mutex> lock(m_lifetime);
        --busy;
    }
    m_idle.notify_all();
    if (result == HidIoResult::kDone && bytes) {
        const std::size_t limit = write ? writeBuffer.size() : readBuffer.size();
        *bytes = static_cast<std::uint32_t>(std::min(transferred, limit));
    }
    return result;
}

bool CHidDevice::ReadReport(std::span<std::uint8_t> buffer, std::uint32_t* bytes, std::uint32_t timeoutMs) {
    return Transfer(false, buffer, {}, bytes, timeoutMs) == HidIoResult::kDone;
}

bool CHidDevice::WriteReport(std::span<const std::uint8_t> buffer, std::uint32_t* bytes, std::uint32_t timeoutMs) {
    return Transfer(true, {}, buffer, bytes, timeoutMs) == HidIoResult::kDone;
}

bool CHidDevice::ParseInputReport(std::span<const std::uint8_t> report) {
    std::lock_guard<std::mutex> lock(m_lifetime);
    if (!m_descriptor || report.empty()) {
        return false;
    }
    const std::uint8_t reportId = report[0];
    for (HidUsageEntry& entry : m_usageTable) {
        if (entry.reportId != reportId) {
            continue;
        }
        if (entry.kind == 1) {
            std::uint32_t length = 0;
            entry.status =
                m_descriptor->GetUsages(HidReportType::kInput, entry.usagePage, entry.usages, length, report);
            const bool filled = entry.status == kHidpStatusSuccess || entry.status == kHidpStatusBufferTooSmall;
            const std::size_t returned = filled ? std::min<std::size_t>(length, entry.usages.size()) : 0;
            // The parser reports every pressed usage of the page; this entry keeps its own range.
            std::size_t kept = 0;
            for (std::size_t i = 0; i < returned; ++i) {
                const std::uint16_t usage = entry.usages[i];
                if (usage >= entry.usageMinimum && usage <= entry.usageMaximum) {
                    entry.usages[kept++] = usage;
                }
            }
            std::fill(entry.usages.begin() + static_cast<std::ptrdiff_t>(kept), entry.usages.end(), 0);
        } else {
            entry.status = m_descriptor->GetUsageValue(HidReportType::kInput, entry.usagePage, entry.usage,
                                                       entry.rawValue, report);
            if (entry.status != kHidpStatusSuccess) {
                return false;
            }
            entry.status = m_descriptor->GetScaledUsageValue(HidReportType::kInput, entry.usagePage, entry.usage,
                                                             entry.scaledValue, report);
        }
        entry.touched = 1;
    }
    return true;
}

} // namespace brasslane
