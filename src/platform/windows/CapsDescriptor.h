#pragma once

// Windows hands a HID interface's capabilities out already parsed (HidP_GetCaps and the button
// and value capabilities); the raw report descriptor is not available to programs. The core
// parses descriptors, so the Windows backend writes an equivalent descriptor from those
// capabilities: one application collection with the interface's usage, then for each report
// kind and report id the capabilities' fields in the order Windows lists them, padded with
// constant bits to the report's length. Plain C++ so that it is tested on every system.

#include "core/device/HidReportDescriptor.h"

#include <array>
#include <cstdint>
#include <vector>

namespace brasslane {

struct InterfaceCaps {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    // Report byte lengths by kind (input, output, feature), the id byte included, as
    // HidP_GetCaps gives them; 0 for a kind the interface does not have.
    std::array<std::uint16_t, 3> reportByteLength{};
    std::array<std::vector<HidButtonCaps>, 3> buttons;
    std::array<std::vector<HidValueCaps>, 3> values;
};

// The descriptor; empty when a capability cannot be expressed (a bit size of 0 or above 32,
// fields longer than the report).
std::vector<std::uint8_t> DescriptorFromCaps(const InterfaceCaps& caps);

} // namespace brasslane
