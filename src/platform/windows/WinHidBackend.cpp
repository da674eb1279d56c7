#include "platform/windows/WinHidBackend.h"

#include "platform/windows/CapsDescriptor.h"
#include "platform/windows/WinText.h"

// clang-format off
#include <windows.h>
#include <setupapi.h>
// These two headers of mingw-w64 declare C functions without saying so.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
// clang-format on

#include <algorithm>
#include <cstring>

namespace brasslane {

namespace {

// Interfaces that cannot be listed are skipped; after this many in a row the set is taken to
// be broken rather than long.
constexpr DWORD kMaxSkippedInterfaces = 1024;

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() { Reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return m_h; }
    bool Valid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    HANDLE Release() {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }
    void Reset() {
        if (Valid()) {
            CloseHandle(m_h);
        }
        m_h = nullptr;
    }

private:
    HANDLE m_h = nullptr;
};

class WinStopEvent : public HidStopEvent {
public:
    explicit WinStopEvent(HANDLE event) : m_event(event) {}
    void Signal() override { SetEvent(m_event.Get()); }
    HANDLE Get() const { return m_event.Get(); }

private:
    Handle m_event;
};

class PreparsedData {
public:
    explicit PreparsedData(HANDLE device) {
        if (!HidD_GetPreparsedData(device, &m_data)) {
            m_data = nullptr;
        }
    }
    ~PreparsedData() {
        if (m_data != nullptr) {
            HidD_FreePreparsedData(m_data);
        }
    }
    PreparsedData(const PreparsedData&) = delete;
    PreparsedData& operator=(const PreparsedData&) = delete;
    PHIDP_PREPARSED_DATA Get() const { return m_data; }

private:
    PHIDP_PREPARSED_DATA m_data = nullptr;
};

// The button capability's report count sits in the first reserved word of the structure as
// the headers here declare it (the system's newer headers name it ReportCount).
std::uint32_t ButtonReportCount(const HIDP_BUTTON_CAPS& caps) {
    std::uint16_t count = 0;
    std::memcpy(&count, &caps.Reserved[0], sizeof(count));
    return count;
}

bool ReadCaps(PHIDP_PREPARSED_DATA data, InterfaceCaps& out) {
    HIDP_CAPS caps{};
    if (HidP_GetCaps(data, &caps) != HIDP_STATUS_SUCCESS) {
        return false;
    }
    out.usagePage = caps.UsagePage;
    out.usage = caps.Usage;
    out.reportByteLength = {caps.InputReportByteLength, caps.OutputReportByteLength, caps.FeatureReportByteLength};
    const std::array<HIDP_REPORT_TYPE, 3> types{HidP_Input, HidP_Output, HidP_Feature};
    const std::array<USHORT, 3> buttonCounts{caps.NumberInputButtonCaps, caps.NumberOutputButtonCaps,
                                             caps.NumberFeatureButtonCaps};
    const std::array<USHORT, 3> valueCounts{caps.NumberInputValueCaps, caps.NumberOutputValueCaps,
                                            caps.NumberFeatureValueCaps};
    for (std::size_t kind = 0; kind < 3; ++kind) {
        if (buttonCounts[kind] != 0) {
            std::vector<HIDP_BUTTON_CAPS> buttons(buttonCounts[kind]);
            USHORT count = buttonCounts[kind];
            if (HidP_GetSpecificButtonCaps(types[kind], 0, 0, 0, buttons.data(), &count, data) != HIDP_STATUS_SUCCESS) {
                return false;
            }
            buttons.resize(std::min<std::size_t>(count, buttons.size()));
            for (const HIDP_BUTTON_CAPS& b : buttons) {
                HidButtonCaps c;
                c.usagePage = b.UsagePage;
                c.reportId = b.ReportID;
                c.isRange = b.IsRange != 0;
                c.usageMinimum = b.IsRange ? b.Range.UsageMin : b.NotRange.Usage;
                c.usageMaximum = b.IsRange ? b.Range.UsageMax : b.NotRange.Usage;
                c.usage = c.usageMinimum;
                c.bitField = b.BitField;
                c.isArray = (b.BitField & 0x02) == 0;
                c.reportCount = ButtonReportCount(b);
                out.buttons[kind].push_back(c);
            }
        }
        if (valueCounts[kind] != 0) {
            std::vector<HIDP_VALUE_CAPS> values(valueCounts[kind]);
            USHORT count = valueCounts[kind];
            if (HidP_GetSpecificValueCaps(types[kind], 0, 0, 0, values.data(), &count, data) != HIDP_STATUS_SUCCESS) {
                return false;
            }
            values.resize(std::min<std::size_t>(count, values.size()));
            for (const HIDP_VALUE_CAPS& v : values) {
                HidValueCaps c;
                c.usagePage = v.UsagePage;
                c.reportId = v.ReportID;
                c.isRange = v.IsRange != 0;
                c.hasNull = v.HasNull != 0;
                c.isAbsolute = v.IsAbsolute != 0;
                c.usageMinimum = v.IsRange ? v.Range.UsageMin : v.NotRange.Usage;
                c.usageMaximum = v.IsRange ? v.Range.UsageMax : v.NotRange.Usage;
                c.usage = c.usageMinimum;
                c.logicalMinimum = v.LogicalMin;
                c.logicalMaximum = v.LogicalMax;
                c.physicalMinimum = v.PhysicalMin;
                c.physicalMaximum = v.PhysicalMax;
                c.unit = v.Units;
                c.unitExponent = v.UnitsExp;
                c.bitSize = v.BitSize;
                c.reportCount = v.ReportCount;
                c.bitField = v.BitField;
                out.values[kind].push_back(c);
            }
        }
    }
    return true;
}

class WinHidHandle : public HidHandle {
public:
    WinHidHandle(HANDLE device, HidAttributes attributes, std::vector<std::uint8_t> descriptor, HANDLE readDone,
                 HANDLE writeDone)
        : m_device(device), m_attributes(attributes), m_descriptor(std::move(descriptor)), m_readDone(readDone),
          m_writeDone(writeDone) {}

    bool GetAttributes(HidAttributes& attributes) const override {
        attributes = m_attributes;
        return true;
    }
    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) const override {
        descriptor = m_descriptor;
        return !descriptor.empty();
    }
    HidIoResult Read(std::span<std::uint8_t> buffer, std::size_t& transferred, std::uint32_t timeoutMs,
                     HidStopEvent& stop) override {
        return Transfer(false, buffer.data(), buffer.size(), transferred, timeoutMs, stop);
    }
    HidIoResult Write(std::span<const std::uint8_t> report, std::size_t& transferred, std::uint32_t timeoutMs,
                      HidStopEvent& stop) override {
        // WriteFile does not change the buffer; the cast only meets the shared signature.
        return Transfer(true, const_cast<std::uint8_t*>(report.data()), report.size(), transferred, timeoutMs, stop);
    }

private:
    HidIoResult Transfer(bool write, std::uint8_t* data, std::size_t size, std::size_t& transferred,
                         std::uint32_t timeoutMs, HidStopEvent& stop) {
        transferred = 0;
        if (size > MAXDWORD) {
            return HidIoResult::kFailed;
        }
        // Stop events come from the same backend; anything else cannot be waited on.
        auto* stopEvent = dynamic_cast<WinStopEvent*>(&stop);
        if (stopEvent == nullptr) {
            return HidIoResult::kFailed;
        }
        HANDLE done = write ? m_writeDone.Get() : m_readDone.Get();
        OVERLAPPED overlapped{};
        overlapped.hEvent = done;
        ResetEvent(done);
        const DWORD length = static_cast<DWORD>(size);
        const BOOL started = write ? WriteFile(m_device.Get(), data, length, nullptr, &overlapped)
                                   : ReadFile(m_device.Get(), data, length, nullptr, &overlapped);
        if (!started && GetLastError() != ERROR_IO_PENDING) {
            return HidIoResult::kFailed;
        }
        const HANDLE events[2] = {stopEvent->Get(), done};
        const DWORD waited = WaitForMultipleObjects(2, events, FALSE, timeoutMs == kInfinite ? INFINITE : timeoutMs);
        DWORD count = 0;
        if (waited == WAIT_OBJECT_0 + 1) {
            if (!GetOverlappedResult(m_device.Get(), &overlapped, &count, TRUE)) {
                return HidIoResult::kFailed;
            }
            transferred = count;
            return HidIoResult::kDone;
        }
        // Stop, timeout or a failed wait: the request must be gone before `overlapped` and the
        // caller's buffer go out of scope. A request that completed meanwhile counts as done.
        CancelIoEx(m_device.Get(), &overlapped);
        if (GetOverlappedResult(m_device.Get(), &overlapped, &count, TRUE)) {
            transferred = count;
            return HidIoResult::kDone;
        }
        if (waited == WAIT_OBJECT_0) {
            return HidIoResult::kStopped;
        }
        return waited == WAIT_TIMEOUT ? HidIoResult::kTimeout : HidIoResult::kFailed;
    }

    Handle m_device;
    HidAttributes m_attributes;
    std::vector<std::uint8_t> m_descriptor;
    Handle m_readDone;
    Handle m_writeDone;
};

} // namespace

bool WinHidBackend::Enumerate(std::vector<std::string>& paths) {
    paths.clear();
    GUID hidGuid{};
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO set = SetupDiGetClassDevsW(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = true;
    DWORD skipped = 0;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof(data);
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, index, &data)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS) {
                break;
            }
            if (++skipped > kMaxSkippedInterfaces) {
                ok = false;
                break;
            }
            continue;
        }
        skipped = 0;
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
        if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            ok = false;
            break;
        }
        // DWORD-aligned storage for the variable-length structure.
        std::vector<DWORD> storage((required + sizeof(DWORD) - 1) / sizeof(DWORD));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, nullptr)) {
            ok = false;
            break;
        }
        // The path ends at its terminator or at the end of the storage, whichever comes first.
        const std::size_t room = (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(WCHAR);
        const std::wstring_view path(detail->DevicePath, wcsnlen(detail->DevicePath, room));
        paths.push_back(platform::Narrow(path));
    }
    SetupDiDestroyDeviceInfoList(set);
    if (!ok) {
        paths.clear();
    }
    return ok;
}

std::unique_ptr<HidHandle> WinHidBackend::Open(const std::string& path, const HidOpenMode& mode) {
    const std::wstring wide = platform::Widen(path);
    if (wide.empty()) {
        return nullptr;
    }
    const DWORD access = (mode.read ? GENERIC_READ : 0) | (mode.write ? GENERIC_WRITE : 0);
    const DWORD share = mode.exclusive ? FILE_SHARE_READ : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    Handle device(CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!device.Valid()) {
        return nullptr;
    }
    const PreparsedData preparsed(device.Get());
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    InterfaceCaps caps;
    if (preparsed.Get() == nullptr || !HidD_GetAttributes(device.Get(), &attributes) ||
        !ReadCaps(preparsed.Get(), caps)) {
        return nullptr;
    }
    std::vector<std::uint8_t> descriptor = DescriptorFromCaps(caps);
    if (descriptor.empty()) {
        return nullptr;
    }
    // Manual-reset events: each transfer resets its own before it starts.
    Handle readDone(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Handle writeDone(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!readDone.Valid() || !writeDone.Valid()) {
        return nullptr;
    }
    HidAttributes identity;
    identity.vendorId = attributes.VendorID;
    identity.productId = attributes.ProductID;
    identity.versionNumber = attributes.VersionNumber;
    return std::make_unique<WinHidHandle>(device.Release(), identity, std::move(descriptor), readDone.Release(),
                                          writeDone.Release());
}

bool WinHidBackend::IsPresent(const std::string& path) {
    const std::wstring wide = platform::Widen(path);
    if (wide.empty()) {
        return false;
    }
    HANDLE device =
        CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(device);
    return true;
}

std::unique_ptr<HidStopEvent> WinHidBackend::CreateStopEvent() {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr); // auto-reset
    if (event == nullptr) {
        return nullptr;
    }
    return std::make_unique<WinStopEvent>(event);
}

} // namespace brasslane
