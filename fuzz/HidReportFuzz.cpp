// A HID report descriptor as sysfs gives it, split into top-level collections and parsed, then
// input reports decoded with it. The input is the descriptor's length (2 bytes, little-endian),
// the descriptor, then a report.

#include "core/device/HidReportDescriptor.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

using namespace brasslane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t length = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
    const std::span<const std::uint8_t> descriptor(data + 2, length);
    const std::span<const std::uint8_t> report(data + 2 + length, size - 2 - length);

    std::vector<std::vector<std::uint8_t>> parts;
    HidReportDescriptor::SplitTopLevelCollections(descriptor, parts);
    HidReportDescriptor parsed;
    if (!parsed.Parse(descriptor)) {
        return 0;
    }
    for (const HidReportType type : {HidReportType::kInput, HidReportType::kOutput, HidReportType::kFeature}) {
        parsed.ReportByteLength(type);
        for (const HidButtonCaps& caps : parsed.ButtonCaps(type)) {
            std::array<std::uint16_t, 64> usages{};
            std::uint32_t count = 0;
            parsed.MaxUsageListLength(type, caps.usagePage);
            parsed.GetUsages(type, caps.usagePage, usages, count, report);
        }
        for (const HidValueCaps& caps : parsed.ValueCaps(type)) {
            std::uint32_t value = 0;
            std::int32_t scaled = 0;
            const std::uint16_t usage = caps.isRange ? caps.usageMaximum : caps.usage;
            parsed.GetUsageValue(type, caps.usagePage, usage, value, report);
            parsed.GetScaledUsageValue(type, caps.usagePage, usage, scaled, report);
        }
    }
    for (const auto& part : parts) {
        HidReportDescriptor single;
        single.Parse(part);
    }
    return 0;
}
