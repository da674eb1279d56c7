#include "platform/windows/CapsDescriptor.h"

#include <algorithm>
#include <map>

namespace brasslane {

namespace {

// Short items: tag and type in the high six bits, the data size code in the low two.
constexpr std::uint8_t kUsagePage = 0x04;
constexpr std::uint8_t kUsage = 0x08;
constexpr std::uint8_t kUsageMinimum = 0x18;
constexpr std::uint8_t kUsageMaximum = 0x28;
constexpr std::uint8_t kLogicalMinimum = 0x14;
constexpr std::uint8_t kLogicalMaximum = 0x24;
constexpr std::uint8_t kPhysicalMinimum = 0x34;
constexpr std::uint8_t kPhysicalMaximum = 0x44;
constexpr std::uint8_t kUnitExponent = 0x54;
constexpr std::uint8_t kUnit = 0x64;
constexpr std::uint8_t kReportSize = 0x74;
constexpr std::uint8_t kReportId = 0x84;
constexpr std::uint8_t kReportCount = 0x94;
constexpr std::uint8_t kCollection = 0xA0;
constexpr std::uint8_t kEndCollection = 0xC0;
constexpr std::array<std::uint8_t, 3> kMainItem{0x80, 0x90, 0xB0}; // Input, Output, Feature

constexpr std::uint32_t kConstantFlag = 0x01;
constexpr std::uint32_t kVariableFlag = 0x02;

class Writer {
public:
    // An unsigned datum in the fewest bytes (0, 1, 2 or 4).
    void Unsigned(std::uint8_t prefix, std::uint32_t value) {
        if (value == 0) {
            Put(prefix, 0, 0);
        } else if (value <= 0xFF) {
            Put(prefix, value, 1);
        } else if (value <= 0xFFFF) {
            Put(prefix, value, 2);
        } else {
            Put(prefix, value, 4);
        }
    }
    // A signed datum: the fewest bytes whose sign-extension gives the value back.
    void Signed(std::uint8_t prefix, std::int64_t value) {
        const auto v = static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
        if (v >= -128 && v <= 127) {
            Put(prefix, static_cast<std::uint32_t>(v), 1);
        } else if (v >= -32768 && v <= 32767) {
            Put(prefix, static_cast<std::uint32_t>(v), 2);
        } else {
            Put(prefix, static_cast<std::uint32_t>(v), 4);
        }
    }
    std::vector<std::uint8_t> Take() { return std::move(m_bytes); }

private:
    void Put(std::uint8_t prefix, std::uint32_t value, int size) {
        m_bytes.push_back(static_cast<std::uint8_t>(prefix | (size == 4 ? 3 : size)));
        for (int i = 0; i < size; ++i) {
            m_bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
    }
    std::vector<std::uint8_t> m_bytes;
};

void Usages(Writer& w, std::uint16_t page, bool isRange, std::uint16_t usage, std::uint16_t minimum,
            std::uint16_t maximum) {
    w.Unsigned(kUsagePage, page);
    if (isRange) {
        w.Unsigned(kUsageMinimum, minimum);
        w.Unsigned(kUsageMaximum, maximum);
    } else {
        w.Unsigned(kUsage, usage);
    }
}

// Bits an array field needs at least to hold the largest usage index.
std::uint32_t MinimalArrayBits(std::uint32_t largest) {
    std::uint32_t bits = 1;
    while (bits < 32 && (largest >> bits) != 0) {
        ++bits;
    }
    return bits;
}

// Whole bytes for an array field, as devices mostly lay them out.
std::uint32_t ByteArrayBits(std::uint32_t largest) {
    return largest > 0xFF ? 16 : 8;
}

std::uint32_t Count(const HidButtonCaps& b) {
    return b.isArray ? std::max<std::uint32_t>(b.reportCount, 1)
                     : (b.isRange ? std::uint32_t(b.usageMaximum - b.usageMinimum) + 1u : 1u);
}

// One main item's buttons. An array field over a list of single usages shows as one capability
// per usage, each with the field's report id, flags and count; they are one field again here,
// whose values 1..N index the list.
using ButtonField = std::vector<HidButtonCaps>;

std::vector<ButtonField> GroupButtons(const std::vector<HidButtonCaps>& buttons) {
    std::vector<ButtonField> fields;
    for (const HidButtonCaps& b : buttons) {
        if (!fields.empty()) {
            const HidButtonCaps& last = fields.back().back();
            if (b.isArray && !b.isRange && last.isArray && !last.isRange && b.reportId == last.reportId &&
                b.usagePage == last.usagePage && b.bitField == last.bitField && b.reportCount == last.reportCount) {
                fields.back().push_back(b);
                continue;
            }
        }
        fields.push_back({b});
    }
    return fields;
}

// The largest value an array field holds: the usage itself, or the index into a usage list.
std::uint32_t LargestArrayValue(const ButtonField& field) {
    return field.size() > 1 ? static_cast<std::uint32_t>(field.size()) : field.front().usageMaximum;
}

// Windows' capabilities give no array field's size: byte-sized fields where every report of
// that kind still fits, else the fewest bits that hold the values.
bool ByteSizedArraysFit(const std::vector<ButtonField>& fields, const InterfaceCaps& caps, std::size_t kind) {
    if (caps.reportByteLength[kind] == 0) {
        return false;
    }
    std::map<std::uint8_t, std::uint64_t> bits;
    for (const ButtonField& field : fields) {
        const HidButtonCaps& b = field.front();
        bits[b.reportId] += std::uint64_t(b.isArray ? ByteArrayBits(LargestArrayValue(field)) : 1) * Count(b);
    }
    for (const HidValueCaps& v : caps.values[kind]) {
        bits[v.reportId] += std::uint64_t(v.bitSize) * std::max<std::uint32_t>(v.reportCount, 1);
    }
    for (const auto& entry : bits) {
        if (entry.second > std::uint64_t(caps.reportByteLength[kind] - 1) * 8) {
            return false;
        }
    }
    return true;
}

} // namespace

std::vector<std::uint8_t> DescriptorFromCaps(const InterfaceCaps& caps) {
    Writer w;
    w.Unsigned(kUsagePage, caps.usagePage);
    w.Unsigned(kUsage, caps.usage);
    w.Unsigned(kCollection, 1); // application

    // Report ids are declared when any capability has one other than 0.
    bool usesIds = false;
    for (std::size_t kind = 0; kind < 3; ++kind) {
        for (const HidButtonCaps& b : caps.buttons[kind]) {
            usesIds = usesIds || b.reportId != 0;
        }
        for (const HidValueCaps& v : caps.values[kind]) {
            usesIds = usesIds || v.reportId != 0;
        }
    }

    for (std::size_t kind = 0; kind < 3; ++kind) {
        // Bits written so far per report id; the report's length is the longest one's.
        std::map<std::uint8_t, std::uint64_t> bits;
        std::int32_t currentId = -1;
        const std::vector<ButtonField> fields = GroupButtons(caps.buttons[kind]);
        const bool byteArrays = ByteSizedArraysFit(fields, caps, kind);
        auto selectId = [&](std::uint8_t id) {
            if (usesIds && id != currentId) {
                w.Unsigned(kReportId, id);
                currentId = id;
            }
        };
        for (const ButtonField& field : fields) {
            const HidButtonCaps& b = field.front();
            selectId(b.reportId);
            if (field.size() > 1) {
                w.Unsigned(kUsagePage, b.usagePage);
                for (const HidButtonCaps& listed : field) {
                    w.Unsigned(kUsage, listed.usage);
                }
            } else {
                Usages(w, b.usagePage, b.isRange, b.usage, b.usageMinimum, b.usageMaximum);
            }
            std::uint32_t size = 1;
            const std::uint32_t count = Count(b);
            if (b.isArray) {
                const std::uint32_t largest = LargestArrayValue(field);
                size = byteArrays ? ByteArrayBits(largest) : MinimalArrayBits(largest);
                w.Signed(kLogicalMinimum, field.size() > 1 ? 1 : b.usageMinimum);
                w.Signed(kLogicalMaximum, largest);
            } else {
                w.Signed(kLogicalMinimum, 0);
                w.Signed(kLogicalMaximum, 1);
            }
            w.Unsigned(kReportSize, size);
            w.Unsigned(kReportCount, count);
            const std::uint32_t flags = b.isArray ? (b.bitField & ~kVariableFlag) : (b.bitField | kVariableFlag);
            w.Unsigned(kMainItem[kind], flags & ~kConstantFlag);
            bits[b.reportId] += std::uint64_t(size) * count;
        }
        for (const HidValueCaps& v : caps.values[kind]) {
            if (v.bitSize == 0 || v.bitSize > 32) {
                return {};
            }
            selectId(v.reportId);
            Usages(w, v.usagePage, v.isRange, v.usage, v.usageMinimum, v.usageMaximum);
            w.Signed(kLogicalMinimum, v.logicalMinimum);
            w.Signed(kLogicalMaximum, v.logicalMaximum);
            if (v.physicalMinimum != 0 || v.physicalMaximum != 0) {
                w.Signed(kPhysicalMinimum, v.physicalMinimum);
                w.Signed(kPhysicalMaximum, v.physicalMaximum);
            }
            if (v.unit != 0 || v.unitExponent != 0) {
                w.Unsigned(kUnit, v.unit);
                w.Unsigned(kUnitExponent, v.unitExponent);
            }
            const std::uint32_t count = std::max<std::uint32_t>(v.reportCount, 1);
            w.Unsigned(kReportSize, v.bitSize);
            w.Unsigned(kReportCount, count);
            w.Unsigned(kMainItem[kind], (v.bitField | kVariableFlag) & ~kConstantFlag);
            bits[v.reportId] += std::uint64_t(v.bitSize) * count;
            // Later fields must not inherit this one's physical range or unit.
            if (v.physicalMinimum != 0 || v.physicalMaximum != 0) {
                w.Signed(kPhysicalMinimum, 0);
                w.Signed(kPhysicalMaximum, 0);
            }
            if (v.unit != 0 || v.unitExponent != 0) {
                w.Unsigned(kUnit, 0);
                w.Unsigned(kUnitExponent, 0);
            }
        }
        // Constant padding up to the report's length (its id byte not counted).
        const std::uint16_t length = caps.reportByteLength[kind];
        if (length == 0) {
            if (!bits.empty()) {
                return {};
            }
            continue;
        }
        if (bits.empty() && !usesIds) {
            bits[0] = 0; // a report of constant bytes only (no capability shows it)
        }
        const std::uint64_t reportBits = std::uint64_t(length - 1) * 8;
        for (const auto& [id, used] : bits) {
            if (used > reportBits) {
                return {};
            }
            if (used < reportBits) {
                selectId(id);
                w.Unsigned(kReportSize, 1);
                w.Unsigned(kReportCount, static_cast<std::uint32_t>(reportBits - used));
                w.Unsigned(kMainItem[kind], kConstantFlag);
            }
        }
    }
    w.Unsigned(kEndCollection, 0);
    return w.Take();
}

} // namespace brasslane
