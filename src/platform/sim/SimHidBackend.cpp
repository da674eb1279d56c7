#include "platform/sim/SimHidBackend.h"

#include "platform/sim/SimKeyboardImpl.h"

#include <array>
#include <cstdio>
#include <optional>

namespace brasslane::sim {

namespace {

// Items as the HID standard names them (Device Class Definition for HID 1.11, section 6.2.2).

// Interface 0: the boot keyboard of the HID standard's appendix B.1. Nothing here uses it; it
// is there so that discovery has an interface of the keyboard's own ids to pass over.
constexpr auto kBootKeyboardDescriptor = std::to_array<std::uint8_t>({
    0x05, 0x01, // Usage Page (Generic Desktop)
    0x09, 0x06, // Usage (Keyboard)
    0xA1, 0x01, // Collection (Application)
    0x05, 0x07, //   Usage Page (Keyboard/Keypad)
    0x19, 0xE0, //   Usage Minimum (Left Control)
    0x29, 0xE7, //   Usage Maximum (Right GUI)
    0x15, 0x00, //   Logical Minimum (0)
    0x25, 0x01, //   Logical Maximum (1)
    0x75, 0x01, //   Report Size (1)
    0x95, 0x08, //   Report Count (8)
    0x81, 0x02, //   Input (Data, Variable, Absolute): modifier bits
    0x95, 0x01, //   Report Count (1)
    0x75, 0x08, //   Report Size (8)
    0x81, 0x01, //   Input (Constant): reserved byte
    0x95, 0x05, //   Report Count (5)
    0x75, 0x01, //   Report Size (1)
    0x05, 0x08, //   Usage Page (LEDs)
    0x19, 0x01, //   Usage Minimum (Num Lock)
    0x29, 0x05, //   Usage Maximum (Kana)
    0x91, 0x02, //   Output (Data, Variable, Absolute): LED bits
    0x95, 0x01, //   Report Count (1)
    0x75, 0x03, //   Report Size (3)
    0x91, 0x01, //   Output (Constant): LED padding
    0x95, 0x06, //   Report Count (6)
    0x75, 0x08, //   Report Size (8)
    0x15, 0x00, //   Logical Minimum (0)
    0x25, 0x65, //   Logical Maximum (101)
    0x05, 0x07, //   Usage Page (Keyboard/Keypad)
    0x19, 0x00, //   Usage Minimum (0)
    0x29, 0x65, //   Usage Maximum (101)
    0x81, 0x00, //   Input (Data, Array, Absolute): six key codes
    0xC0,       // End Collection
});

// Interface 1: the command interface. One 64-byte report each way (report id 4 + 63 bytes).
constexpr auto kCommandDescriptor = std::to_array<std::uint8_t>({
    0x06, 0x1C, 0xFF, // Usage Page (vendor defined 0xFF1C)
    0x09, 0x92,       // Usage (0x92)
    0xA1, 0x01,       // Collection (Application)
    0x85, 0x04,       //   Report ID (4)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x00, //   Logical Maximum (255)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x3F,       //   Report Count (63)
    0x09, 0x01,       //   Usage (0x01)
    0x81, 0x02,       //   Input (Data, Variable, Absolute): the answer
    0x09, 0x02,       //   Usage (0x02)
    0x91, 0x02,       //   Output (Data, Variable, Absolute): the request
    0xC0,             // End Collection
});

// Interface 2: consumer control. Report id 3 carries two 16-bit consumer usages; the range
// reaches 0x1FFF because the keyboard signals its own states with usages 0x1810 and 0x1811.
constexpr auto kConsumerDescriptor = std::to_array<std::uint8_t>({
    0x05, 0x0C,       // Usage Page (Consumer)
    0x09, 0x01,       // Usage (Consumer Control)
    0xA1, 0x01,       // Collection (Application)
    0x85, 0x03,       //   Report ID (3)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x1F, //   Logical Maximum (0x1FFF)
    0x19, 0x00,       //   Usage Minimum (0)
    0x2A, 0xFF, 0x1F, //   Usage Maximum (0x1FFF)
    0x75, 0x10,       //   Report Size (16)
    0x95, 0x02,       //   Report Count (2)
    0x81, 0x00,       //   Input (Data, Array, Absolute)
    0xC0,             // End Collection
});

// The plug generation stands where a hidraw path has the kernel's HID sequence number: every
// plug gives the interfaces new paths, so a presence check of a path taken before an unplug
// fails even when the keyboard is back by the time it looks.
std::string InterfacePath(std::uint16_t vendorId, std::uint16_t productId, int interface, std::uint64_t generation) {
    char text[96];
    std::snprintf(text, sizeof text, "sim:kbd/0#vid_%04x&pid_%04x&mi_%02d&hid_0003:%04X:%04X.%04llX", vendorId,
                  productId, interface, vendorId, productId, static_cast<unsigned long long>(generation));
    return text;
}

std::span<const std::uint8_t> DescriptorOf(SimInterface iface) {
    switch (iface) {
    case SimInterface::kBootKeyboard:
        return kBootKeyboardDescriptor;
    case SimInterface::kCommand:
        return kCommandDescriptor;
    case SimInterface::kConsumer:
        return kConsumerDescriptor;
    }
    return {};
}

} // namespace

class SimStopEvent : public HidStopEvent {
public:
    explicit SimStopEvent(std::shared_ptr<SimKeyboard::Impl> impl) : m_impl(std::move(impl)) {}
    void Signal() override { m_impl->SignalStop(m_state); }
    // The state a wait of the same keyboard can consume; nullptr for another keyboard's event.
    SimStopState* StateFor(const SimKeyboard::Impl* impl) { return impl == m_impl.get() ? &m_state : nullptr; }

private:
    std::shared_ptr<SimKeyboard::Impl> m_impl;
    SimStopState m_state;
};

class SimHandle : public HidHandle {
public:
    SimHandle(std::shared_ptr<SimKeyboard::Impl> impl, SimInterface iface, std::uint64_t generation, HidOpenMode mode,
              HidAttributes attributes)
        : m_impl(std::move(impl)), m_mode(mode), m_attributes(attributes) {
        m_queue.iface = iface;
        m_queue.generation = generation;
        if (m_mode.read) {
            m_impl->Register(&m_queue);
        }
    }
    ~SimHandle() override {
        if (m_mode.read) {
            m_impl->Unregister(&m_queue);
        }
    }
    SimHandle(const SimHandle&) = delete;
    SimHandle& operator=(const SimHandle&) = delete;

    bool GetAttributes(HidAttributes& attributes) const override {
        if (!IsAlive()) {
            return false;
        }
        attributes = m_attributes;
        return true;
    }

    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) const override {
        if (!IsAlive()) {
            return false;
        }
        const auto bytes = DescriptorOf(m_queue.iface);
        descriptor.assign(bytes.begin(), bytes.end());
        return true;
    }

    HidIoResult Read(std::span<std::uint8_t> buffer, std::size_t& transferred, std::uint32_t timeoutMs,
                     HidStopEvent& stop) override {
        transferred = 0;
        if (!m_mode.read) {
            return HidIoResult::kFailed;
        }
        SimStopState unused;
        return m_impl->Read(m_queue, buffer, transferred, timeoutMs, StopStateOf(stop, unused));
    }

    HidIoResult Write(std::span<const std::uint8_t> report, std::size_t& transferred, std::uint32_t timeoutMs,
                      HidStopEvent& stop) override {
        transferred = 0;
        if (!m_mode.write) {
            return HidIoResult::kFailed;
        }
        SimStopState unused;
        return m_impl->Write(m_queue, report, transferred, timeoutMs, StopStateOf(stop, unused));
    }

private:
    bool IsAlive() const {
        std::lock_guard lock(m_impl->mutex);
        return m_impl->Alive(m_queue);
    }

    SimStopState& StopStateOf(HidStopEvent& stop, SimStopState& fallback) const {
        auto* event = dynamic_cast<SimStopEvent*>(&stop);
        SimStopState* state = event != nullptr ? event->StateFor(m_impl.get()) : nullptr;
        return state != nullptr ? *state : fallback;
    }

    std::shared_ptr<SimKeyboard::Impl> m_impl;
    HidOpenMode m_mode;
    HidAttributes m_attributes;
    SimReportQueue m_queue;
};

SimHidBackend::SimHidBackend(SimKeyboard& keyboard) : m_keyboard(keyboard) {}

bool SimHidBackend::Enumerate(std::vector<std::string>& paths) {
    paths.clear();
    auto& impl = *m_keyboard.m_impl;
    std::lock_guard lock(impl.mutex);
    impl.ReturnIfDueLocked();
    if (impl.plugged) {
        for (int interface = 0; interface < 3; ++interface) {
            paths.push_back(InterfacePath(impl.VendorId(), impl.ProductId(), interface, impl.generation));
        }
    }
    return true;
}

std::unique_ptr<HidHandle> SimHidBackend::Open(const std::string& path, const HidOpenMode& mode) {
    const auto& impl = m_keyboard.m_impl;
    std::optional<SimInterface> iface;
    std::uint64_t generation = 0;
    HidAttributes attributes;
    {
        std::lock_guard lock(impl->mutex);
        impl->ReturnIfDueLocked();
        if (!impl->plugged) {
            return nullptr;
        }
        for (int interface = 0; interface < 3; ++interface) {
            if (path == InterfacePath(impl->VendorId(), impl->ProductId(), interface, impl->generation)) {
                iface = static_cast<SimInterface>(interface);
            }
        }
        generation = impl->generation;
        attributes.vendorId = impl->VendorId();
        attributes.productId = impl->ProductId();
        attributes.versionNumber = 0x0100;
    }
    if (!iface) {
        return nullptr;
    }
    return std::make_unique<SimHandle>(impl, *iface, generation, mode, attributes);
}

bool SimHidBackend::IsPresent(const std::string& path) {
    auto& impl = *m_keyboard.m_impl;
    std::lock_guard lock(impl.mutex);
    impl.ReturnIfDueLocked();
    if (!impl.plugged) {
        return false;
    }
    for (int interface = 0; interface < 3; ++interface) {
        if (path == InterfacePath(impl.VendorId(), impl.ProductId(), interface, impl.generation)) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<HidStopEvent> SimHidBackend::CreateStopEvent() {
    return std::make_unique<SimStopEvent>(m_keyboard.m_impl);
}

std::string SimHidBackend::BootKeyboardPath() const {
    const auto& impl = *m_keyboard.m_impl;
    std::lock_guard lock(impl.mutex);
    return InterfacePath(impl.VendorId(), impl.ProductId(), 0, impl.generation);
}

std::string SimHidBackend::CommandPath() const {
    const auto& impl = *m_keyboard.m_impl;
    std::lock_guard lock(impl.mutex);
    return InterfacePath(impl.VendorId(), impl.ProductId(), 1, impl.generation);
}

std::string SimHidBackend::ConsumerPath() const {
    const auto& impl = *m_keyboard.m_impl;
    std::lock_guard lock(impl.mutex);
    return InterfacePath(impl.VendorId(), impl.ProductId(), 2, impl.generation);
}

std::span<const std::uint8_t> SimHidBackend::BootKeyboardDescriptor() {
    return kBootKeyboardDescriptor;
}

std::span<const std::uint8_t> SimHidBackend::CommandDescriptor() {
    return kCommandDescriptor;
}

std::span<const std::uint8_t> SimHidBackend::ConsumerDescriptor() {
    return kConsumerDescriptor;
}

} // namespace brasslane::sim
