#pragma once

// Presents one SimKeyboard as the HID interfaces a real keyboard shows: a boot keyboard (which
// discovery must pass over), the command interface and the consumer-control interface, each
// with its own report descriptor. Paths look like
//   sim:kbd/0#vid_0c45&pid_7672&mi_01&hid_0003:0C45:7672.0002
// where the number after the dot counts the keyboard's plugs, as the kernel's HID sequence
// number does in a hidraw path.

#include "core/device/HidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <cstdint>
#include <span>
#include <string>

namespace brasslane::sim {

class SimHidBackend : public HidBackend {
public:
    // The keyboard must outlive the backend; handles opened through it keep the keyboard's
    // state alive on their own.
    explicit SimHidBackend(SimKeyboard& keyboard);

    // An unplugged keyboard lists no interfaces (the list is then empty, not a failure).
    bool Enumerate(std::vector<std::string>& paths) override;
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode& mode) override;
    bool IsPresent(const std::string& path) override;
    std::unique_ptr<HidStopEvent> CreateStopEvent() override;

    // The interface paths of the keyboard's current model and plug.
    std::string BootKeyboardPath() const;
    std::string CommandPath() const;
    std::string ConsumerPath() const;

    static std::span<const std::uint8_t> BootKeyboardDescriptor();
    static std::span<const std::uint8_t> CommandDescriptor();
    static std::span<const std::uint8_t> ConsumerDescriptor();

private:
    SimKeyboard& m_keyboard;
};

} // namespace brasslane::sim
