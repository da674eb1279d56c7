#include "core/device/HidReportDescriptor.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace brasslane {

namespace {

constexpr std::size_t kReportIdCount = 256;

// Main item flag bits, Input/Output/Feature items 6.2.2.5 (Main).
constexpr std::uint32_t kFlagConstant = 1u << 0;
constexpr std::uint32_t kFlagVariable = 1u << 1;
constexpr std::uint32_t kFlagRelative = 1u << 2;
constexpr std::uint32_t kFlagNullState = 1u << 6;

constexpr std::uint8_t kCollectionApplication = 1;

const char* KindName(HidReportType type) {
    switch (type) {
    case HidReportType::kInput:
        return "input";
    case HidReportType::kOutput:
        return "output";
    case HidReportType::kFeature:
        return "feature";
    }
    return "unknown";
}

bool IsKnownType(HidReportType type) {
    return static_cast<std::size_t>(type) < 3;
}

std::int64_t SignExtend(std::uint32_t value, std::uint32_t bits) {
    if (bits == 0 || bits >= 32) {
        return static_cast<std::int32_t>(value);
    }
    const std::uint32_t sign = 1u << (bits - 1);
    const std::uint32_t mask = (1u << bits) - 1;
    value &= mask;
    return (value & sign) ? static_cast<std::int64_t>(value) - (static_cast<std::int64_t>(1) << bits)
                          : static_cast<std::int64_t>(value);
}

// Reads `bits` (1..32) bits starting at absolute bit `bitPos` of `report`, little-endian as
// HID lays fields out. False when the field does not lie wholly inside the report.
bool ReadBits(std::span<const std::uint8_t> report, std::uint64_t bitPos, std::uint32_t bits, std::uint32_t& out) {
    if (bits == 0 || bits > 32) {
        return false;
    }
    const std::uint64_t endBit = bitPos + bits;
    if ((endBit + 7) / 8 > report.size()) {
        return false;
    }
    const std::size_t first = static_cast<std::size_t>(bitPos / 8);
    const std::size_t last = static_cast<std::size_t>((endBit - 1) / 8);
    std::uint64_t acc = 0;
    for (std::size_t i = first; i <= last; ++i) {
        acc |= static_cast<std::uint64_t>(report[i]) << (8 * (i - first));
    }
    acc >>= bitPos % 8;
    const std::uint64_t mask = (bits == 32) ? 0xFFFFFFFFull : ((1ull << bits) - 1);
    out = static_cast<std::uint32_t>(acc & mask);
    return true;
}

// Byte 0 of a report is its id, so a field's bits start after it.
constexpr std::uint64_t kIdBits = 8;

struct ShortItem {
    std::uint8_t type = 0; // 0 main, 1 global, 2 local
    std::uint8_t tag = 0;
    std::uint32_t size = 0; // data bytes: 0, 1, 2 or 4
    std::uint32_t data = 0;
};

bool CheckSize(std::span<const std::uint8_t> data, std::string& error) {
    if (data.empty()) {
        error = "report descriptor is empty";
        return false;
    }
    if (data.size() > HidReportDescriptor::kMaxDescriptorBytes) {
        error =
            "report descriptor is longer than " + std::to_string(HidReportDescriptor::kMaxDescriptorBytes) + " bytes";
        return false;
    }
    return true;
}

// Reads the item at `pos` and moves `pos` past it. Short items 6.2.2.2.
bool NextItem(std::span<const std::uint8_t> data, std::size_t& pos, ShortItem& item, std::string& problem) {
    const std::uint8_t prefix = data[pos];
    // Long items 6.2.2.3: defined but never used by real devices, so treated as malformed.
    if (prefix == 0xFE) {
        problem = "long item is not supported";
        return false;
    }
    item.size = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
    item.type = (prefix >> 2) & 0x03;
    item.tag = prefix >> 4;
    if (item.type == 3) {
        problem = "item of reserved type 3";
        return false;
    }
    if (data.size() - pos - 1 < item.size) {
        problem = "item is truncated (needs " + std::to_string(item.size) + " data bytes, " +
                  std::to_string(data.size() - pos - 1) + " left)";
        return false;
    }
    item.data = 0;
    for (std::size_t i = 0; i < item.size; ++i) {
        item.data |= static_cast<std::uint32_t>(data[pos + 1 + i]) << (8 * i);
    }
    pos += 1 + item.size;
    return true;
}

} // namespace

// Walks the items of one descriptor and fills the owner's tables. Short items 6.2.2.2; the
// item state (global stack, local usages) follows 6.2.2.7 (Global) and 6.2.2.8 (Local).
class HidReportDescriptor::Parser {
public:
    Parser(HidReportDescriptor& owner, std::span<const std::uint8_t> data) : m_owner(owner), m_data(data) {}

    bool Run(std::string& error) {
        std::size_t pos = 0;
        std::string problem;
        if (!CheckSize(m_data, error)) {
            return false;
        }
        while (pos < m_data.size()) {
            m_itemOffset = pos;
            ShortItem item;
            if (!NextItem(m_data, pos, item, problem)) {
                return Fail(error, problem);
            }
            bool ok = false;
            switch (item.type) {
            case 0:
                ok = Main(item, error);
                break;
            case 1:
                ok = Global(item, error);
                break;
            default:
                ok = Local(item, error);
                break;
            }
            if (!ok) {
                return false;
            }
        }
        return Finish(error);
    }

private:
    using Item = ShortItem;
    // A Logical/Physical Minimum or Maximum as written; its sign is settled at the main item.
    struct RawNumber {
        std::uint32_t data = 0;
        std::uint32_t size = 0;
        std::int64_t Signed() const { return SignExtend(data, size * 8); }
        std::int64_t Unsigned() const { return static_cast<std::int64_t>(data); }
    };
    struct Globals {
        std::uint16_t usagePage = 0;
        RawNumber logicalMinimum;
        RawNumber logicalMaximum;
        RawNumber physicalMinimum;
        RawNumber physicalMaximum;
        std::uint32_t unitExponent = 0;
        std::uint32_t unit = 0;
        std::uint32_t reportSize = 0;
        std::uint32_t reportCount = 0;
        std::uint8_t reportId = 0;
    };
    struct PendingUsage {
        std::uint16_t page = 0;
        std::uint16_t usage = 0;
    };
    struct Locals {
        std::vector<UsageItem> usages;
        std::optional<PendingUsage> minimum;
        std::optional<PendingUsage> maximum;
        bool inDelimiter = false;
        bool delimiterTaken = false;
    };

    bool Fail(std::string& error, const std::string& what) const {
        error = "report descriptor: " + what + " (item at byte " + std::to_string(m_itemOffset) + ")";
        return false;
    }

    PendingUsage ResolveUsage(const Item& item) const {
        // An extended usage 6.2.2.8 (Local): a four-byte Usage carries its page in the high half.
        if (item.size == 4) {
            return {static_cast<std::uint16_t>(item.data >> 16), static_cast<std::uint16_t>(item.data & 0xFFFF)};
        }
        return {m_globals.usagePage, static_cast<std::uint16_t>(item.data & 0xFFFF)};
    }

    void AddUsage(const UsageItem& usage) {
        // Within a delimited set only the first usage counts; the others are alternatives
        // for the same control.
        if (m_locals.inDelimiter) {
            if (m_locals.delimiterTaken) {
                return;
            }
            m_locals.delimiterTaken = true;
        }
        m_locals.usages.push_back(usage);
    }

    bool CompleteRange(std::string& error) {
        if (!m_locals.minimum || !m_locals.maximum) {
            return true;
        }
        const PendingUsage minimum = *m_locals.minimum;
        const PendingUsage maximum = *m_locals.maximum;
        m_locals.minimum.reset();
        m_locals.maximum.reset();
        if (minimum.page != maximum.page) {
            return Fail(error, "Usage Minimum and Usage Maximum are on different usage pages");
        }
        if (maximum.usage < minimum.usage) {
            return Fail(error, "Usage Maximum " + std::to_string(maximum.usage) + " is below Usage Minimum " +
                                   std::to_string(minimum.usage));
        }
        AddUsage({minimum.page, minimum.usage, maximum.usage, true, 0, 0});
        return true;
    }

    // A Usage Minimum or Maximum without its partner names a single usage.
    void FlushLoneBound() {
        for (auto* bound : {&m_locals.minimum, &m_locals.maximum}) {
            if (*bound) {
                AddUsage({(*bound)->page, (*bound)->usage, (*bound)->usage, false, 0, 0});
                bound->reset();
            }
        }
    }

    bool Local(const Item& item, std::string& error) {
        switch (item.tag) {
        case 0x0: { // Usage 6.2.2.8 (Local)
            const PendingUsage usage = ResolveUsage(item);
            AddUsage({usage.page, usage.usage, usage.usage, false, 0, 0});
            return true;
        }
        case 0x1: // Usage Minimum 6.2.2.8 (Local)
            if (m_locals.minimum) {
                FlushLoneBound();
            }
            m_locals.minimum = ResolveUsage(item);
            return CompleteRange(error);
        case 0x2: // Usage Maximum 6.2.2.8 (Local)
            if (m_locals.maximum) {
                FlushLoneBound();
            }
            m_locals.maximum = ResolveUsage(item);
            return CompleteRange(error);
        case 0xA: // Delimiter 6.2.2.8 (Local): 1 opens a set of alternative usages, 0 closes it
            m_locals.inDelimiter = item.data != 0;
            m_locals.delimiterTaken = false;
            return true;
        default: // designators and strings carry nothing we use
            return true;
        }
    }

    bool Global(const Item& item, std::string& error) {
        switch (item.tag) {
        case 0x0: // Usage Page 6.2.2.7 (Global)
            m_globals.usagePage = static_cast<std::uint16_t>(item.data & 0xFFFF);
            return true;
        case 0x1: // Logical Minimum 6.2.2.7 (Global)
            m_globals.logicalMinimum = {item.data, item.size};
            return true;
        case 0x2: // Logical Maximum 6.2.2.7 (Global)
            m_globals.logicalMaximum = {item.data, item.size};
            return true;
        case 0x3: // Physical Minimum 6.2.2.7 (Global)
            m_globals.physicalMinimum = {item.data, item.size};
            return true;
        case 0x4: // Physical Maximum 6.2.2.7 (Global)
            m_globals.physicalMaximum = {item.data, item.size};
            return true;
        case 0x5: // Unit Exponent 6.2.2.7 (Global)
            m_globals.unitExponent = item.data;
            return true;
        case 0x6: // Unit 6.2.2.7 (Global)
            m_globals.unit = item.data;
            return true;
        case 0x7: // Report Size 6.2.2.7 (Global)
            m_globals.reportSize = item.data;
            return true;
        case 0x8: // Report ID 6.2.2.7 (Global): 0 is reserved, ids are one byte on the wire
            if (item.data == 0 || item.data > 255) {
                return Fail(error, "Report ID " + std::to_string(item.data) + " is outside 1..255");
            }
            m_globals.reportId = static_cast<std::uint8_t>(item.data);
            m_owner.m_usesReportIds = true;
            return true;
        case 0x9: // Report Count 6.2.2.7 (Global)
            m_globals.reportCount = item.data;
            return true;
        case 0xA: // Push 6.2.2.7 (Global)
            if (m_stack.size() >= kMaxPushDepth) {
                return Fail(error, "Push nested deeper than " + std::to_string(kMaxPushDepth));
            }
            m_stack.push_back(m_globals);
            return true;
        case 0xB: // Pop 6.2.2.7 (Global)
            if (m_stack.empty()) {
                return Fail(error, "Pop without Push");
            }
            m_globals = m_stack.back();
            m_stack.pop_back();
            return true;
        default:
            return true;
        }
    }

    bool Main(const Item& item, std::string& error) {
        bool ok = true;
        switch (item.tag) {
        case 0x8: // Input 6.2.2.4 (Main)
            ok = Report(HidReportType::kInput, item.data, error);
            break;
        case 0x9: // Output 6.2.2.4 (Main)
            ok = Report(HidReportType::kOutput, item.data, error);
            break;
        case 0xB: // Feature 6.2.2.4 (Main)
            ok = Report(HidReportType::kFeature, item.data, error);
            break;
        case 0xA: // Collection 6.2.2.6 (Main)
            ok = OpenCollection(item, error);
            break;
        case 0xC: // End Collection 6.2.2.6 (Main)
            if (m_depth == 0) {
                return Fail(error, "End Collection without Collection");
            }
            --m_depth;
            break;
        default:
            break;
        }
        // Local items apply to the next main item only, 6.2.2.8 (Local).
        m_locals = Locals{};
        return ok;
    }

    bool OpenCollection(const Item& item, std::string& error) {
        if (m_depth >= kMaxCollectionDepth) {
            return Fail(error, "collections nested deeper than " + std::to_string(kMaxCollectionDepth));
        }
        FlushLoneBound();
        if (m_depth == 0) {
            HidCollectionInfo info;
            if (!m_locals.usages.empty()) {
                info.usagePage = m_locals.usages.front().page;
                info.usage = m_locals.usages.front().minimum;
            } else {
                info.usagePage = m_globals.usagePage;
            }
            info.type = static_cast<std::uint8_t>(item.data & 0xFF);
            m_owner.m_topLevel.push_back(info);
        }
        ++m_depth;
        return true;
    }

    bool Report(HidReportType type, std::uint32_t flags, std::string& error) {
        FlushLoneBound();
        const bool constant = (flags & kFlagConstant) != 0;
        const std::uint32_t size = m_globals.reportSize;
        const std::uint32_t count = m_globals.reportCount;
        const bool sizeUsable = size >= 1 && size <= 32;
        if (!constant && count > 0 && !sizeUsable) {
            return Fail(error, "Report Size " + std::to_string(size) + " of a " + KindName(type) +
                                   " data item is outside 1..32");
        }
        const std::size_t kind = Index(type);
        const std::uint8_t id = m_globals.reportId;
        const std::uint64_t total = static_cast<std::uint64_t>(size) * count;
        const std::uint64_t offset = m_owner.m_reportBits[kind][id];
        if (offset + total > kMaxReportBytes * 8) {
            return Fail(error, std::string(KindName(type)) + " report " + std::to_string(id) + " is longer than " +
                                   std::to_string(kMaxReportBytes) + " bytes");
        }
        m_owner.m_reportBits[kind][id] = static_cast<std::uint32_t>(offset + total);
        m_owner.m_reportExists[kind][id] = true;
        // A constant item without usages is padding: it takes room in the report but names
        // nothing. One with usages describes controls that are fixed, and like the Windows
        // parser we list them as capabilities (one that could not be read stays padding).
        if (total == 0 || (constant && (m_locals.usages.empty() || !sizeUsable))) {
            return true;
        }
        if (m_owner.m_fields.size() >= kMaxMainItems) {
            return Fail(error, "more than " + std::to_string(kMaxMainItems) + " data items");
        }

        Field field;
        field.type = type;
        field.reportId = id;
        field.bitOffset = static_cast<std::uint32_t>(offset);
        field.bitSize = size;
        field.count = count;
        field.flags = flags;
        // A minimum below zero makes the maximum signed too; otherwise devices that write 255 as
        // one byte 0xFF mean 255, not -1.
        field.logicalMinimum = m_globals.logicalMinimum.Signed();
        field.logicalMaximum =
            field.logicalMinimum < 0 ? m_globals.logicalMaximum.Signed() : m_globals.logicalMaximum.Unsigned();
        field.physicalMinimum = m_globals.physicalMinimum.Signed();
        field.physicalMaximum =
            field.physicalMinimum < 0 ? m_globals.physicalMaximum.Signed() : m_globals.physicalMaximum.Unsigned();
        const bool variable = (flags & kFlagVariable) != 0;
        field.isButton = !variable || size == 1;
        field.usages = m_locals.usages;
        if (field.usages.empty()) {
            field.usages.push_back({m_globals.usagePage, 0, 0, false, 0, 0});
        }
        if (variable) {
            AssignVariableFields(field);
        } else {
            for (UsageItem& usage : field.usages) {
                usage.firstField = 0;
                usage.fieldCount = count;
            }
        }
        return AddCaps(field, error);
    }

    // Variable fields take the usages in order, a range one usage per field; usages left over
    // name no field, and fields left over repeat the last usage (6.2.2.8, Local).
    static void AssignVariableFields(Field& field) {
        std::vector<UsageItem> assigned;
        std::uint32_t next = 0;
        for (UsageItem usage : field.usages) {
            if (next >= field.count) {
                break;
            }
            const std::uint32_t span = static_cast<std::uint32_t>(usage.maximum - usage.minimum) + 1;
            const std::uint32_t take = std::min(span, field.count - next);
            usage.maximum = static_cast<std::uint16_t>(usage.minimum + take - 1);
            usage.firstField = next;
            usage.fieldCount = take;
            next += take;
            assigned.push_back(usage);
        }
        if (next < field.count) {
            assigned.back().fieldCount += field.count - next;
        }
        field.usages = std::move(assigned);
    }

    bool AddCaps(const Field& field, std::string& error) {
        const std::size_t kind = Index(field.type);
        auto& buttons = m_owner.m_buttonCaps[kind];
        auto& values = m_owner.m_valueCaps[kind];
        if (buttons.size() + values.size() + field.usages.size() > kMaxCaps) {
            return Fail(error, "more than " + std::to_string(kMaxCaps) + " " + KindName(field.type) + " capabilities");
        }
        for (const UsageItem& usage : field.usages) {
            if (field.isButton) {
                HidButtonCaps caps;
                caps.usagePage = usage.page;
                caps.reportId = field.reportId;
                caps.isRange = usage.isRange;
                caps.isArray = (field.flags & kFlagVariable) == 0;
                caps.usage = usage.minimum;
                caps.usageMinimum = usage.minimum;
                caps.usageMaximum = usage.maximum;
                caps.reportCount = field.count;
                caps.bitField = field.flags;
                buttons.push_back(caps);
            } else {
                HidValueCaps caps;
                caps.usagePage = usage.page;
                caps.reportId = field.reportId;
                caps.isRange = usage.isRange;
                caps.hasNull = (field.flags & kFlagNullState) != 0;
                caps.isAbsolute = (field.flags & kFlagRelative) == 0;
                caps.usage = usage.minimum;
                caps.usageMinimum = usage.minimum;
                caps.usageMaximum = usage.maximum;
                caps.logicalMinimum = field.logicalMinimum;
                caps.logicalMaximum = field.logicalMaximum;
                caps.physicalMinimum = field.physicalMinimum;
                caps.physicalMaximum = field.physicalMaximum;
                caps.unit = m_globals.unit;
                caps.unitExponent = m_globals.unitExponent;
                caps.bitSize = field.bitSize;
                caps.reportCount = usage.fieldCount;
                caps.bitField = field.flags;
                values.push_back(caps);
            }
        }
        m_owner.m_fields.push_back(field);
        return true;
    }

    bool Finish(std::string& error) {
        m_itemOffset = m_data.size();
        if (m_depth != 0) {
            return Fail(error, std::to_string(m_depth) + " collection(s) not closed at the end");
        }
        if (m_owner.m_usesReportIds) {
            for (std::size_t kind = 0; kind < 3; ++kind) {
                if (m_owner.m_reportExists[kind][0]) {
                    return Fail(error, std::string("a ") + KindName(static_cast<HidReportType>(kind)) +
                                           " item comes before the first Report ID");
                }
            }
        }
        const auto application =
            std::find_if(m_owner.m_topLevel.begin(), m_owner.m_topLevel.end(),
                         [](const HidCollectionInfo& info) { return info.type == kCollectionApplication; });
        if (application == m_owner.m_topLevel.end()) {
            return Fail(error, "no top-level application collection");
        }
        m_owner.m_usagePage = application->usagePage;
        m_owner.m_usage = application->usage;

        // The device class builds one table entry per input value usage and one usage list per
        // input button capability; keep both within reason.
        std::size_t valueUsages = 0;
        for (const HidValueCaps& caps : m_owner.m_valueCaps[0]) {
            valueUsages += static_cast<std::size_t>(caps.usageMaximum - caps.usageMinimum) + 1;
        }
        if (valueUsages > kMaxInputValueUsages) {
            return Fail(error, "more than " + std::to_string(kMaxInputValueUsages) + " input value usages");
        }
        std::size_t buttonSlots = 0;
        for (const HidButtonCaps& caps : m_owner.m_buttonCaps[0]) {
            buttonSlots += m_owner.MaxUsageListLength(HidReportType::kInput, caps.usagePage);
            if (buttonSlots > kMaxInputButtonSlots) {
                return Fail(error, "input button usage lists would exceed " + std::to_string(kMaxInputButtonSlots) +
                                       " entries");
            }
        }
        return true;
    }

    HidReportDescriptor& m_owner;
    std::span<const std::uint8_t> m_data;
    std::size_t m_itemOffset = 0;
    Globals m_globals;
    std::vector<Globals> m_stack;
    Locals m_locals;
    std::size_t m_depth = 0;
};

void HidReportDescriptor::Clear() {
    m_valid = false;
    m_usagePage = 0;
    m_usage = 0;
    m_usesReportIds = false;
    m_topLevel.clear();
    m_fields.clear();
    for (std::size_t kind = 0; kind < 3; ++kind) {
        m_reportBits[kind].assign(kReportIdCount, 0);
        m_reportExists[kind].assign(kReportIdCount, false);
        m_buttonCaps[kind].clear();
        m_valueCaps[kind].clear();
    }
}

bool HidReportDescriptor::Parse(std::span<const std::uint8_t> descriptor, std::string* error) {
    Clear();
    std::string message;
    Parser parser(*this, descriptor);
    if (!parser.Run(message)) {
        Clear();
        if (error) {
            *error = message;
        }
        return false;
    }
    m_valid = true;
    return true;
}

bool HidReportDescriptor::SplitTopLevelCollections(std::span<const std::uint8_t> descriptor,
                                                   std::vector<std::vector<std::uint8_t>>& parts, std::string* error) {
    parts.clear();
    std::string problem;
    if (!CheckSize(descriptor, problem)) {
        if (error) {
            *error = problem;
        }
        return false;
    }
    std::vector<std::uint8_t> globals;       // every global item so far
    std::vector<std::uint8_t> pendingLocals; // local items at the top level, for the next main item
    std::size_t depth = 0;
    std::size_t pos = 0;
    auto fail = [&](const std::string& what, std::size_t at) {
        parts.clear();
        if (error) {
            *error = "report descriptor: " + what + " (item at byte " + std::to_string(at) + ")";
        }
        return false;
    };
    while (pos < descriptor.size()) {
        const std::size_t start = pos;
        ShortItem item;
        if (!NextItem(descriptor, pos, item, problem)) {
            return fail(problem, start);
        }
        const auto bytes = descriptor.subspan(start, pos - start);
        auto appendTo = [&](std::vector<std::uint8_t>& out) { out.insert(out.end(), bytes.begin(), bytes.end()); };
        if (item.type == 1) {
            appendTo(globals);
            if (depth > 0) {
                appendTo(parts.back());
            }
        } else if (item.type == 2) {
            appendTo(depth > 0 ? parts.back() : pendingLocals);
        } else if (item.tag == 0xA) { // Collection
            if (depth == 0) {
                if (parts.size() >= kMaxTopLevelCollections) {
                    return fail("more than " + std::to_string(kMaxTopLevelCollections) + " top-level collections",
                                start);
                }
                parts.push_back(globals);
                parts.back().insert(parts.back().end(), pendingLocals.begin(), pendingLocals.end());
            }
            if (++depth > kMaxCollectionDepth) {
                return fail("collections nested deeper than " + std::to_string(kMaxCollectionDepth), start);
            }
            appendTo(parts.back());
            pendingLocals.clear();
        } else if (item.tag == 0xC) { // End Collection
            if (depth == 0) {
                return fail("End Collection without Collection", start);
            }
            appendTo(parts.back());
            --depth;
        } else {
            if (depth > 0) {
                appendTo(parts.back());
            }
            pendingLocals.clear();
        }
    }
    if (depth != 0) {
        return fail(std::to_string(depth) + " collection(s) not closed at the end", descriptor.size());
    }
    return true;
}

std::uint16_t HidReportDescriptor::ReportByteLength(HidReportType type, std::uint8_t reportId) const {
    if (!m_valid || !IsKnownType(type) || !m_reportExists[Index(type)][reportId]) {
        return 0;
    }
    return static_cast<std::uint16_t>((m_reportBits[Index(type)][reportId] + 7) / 8 + 1);
}

std::uint16_t HidReportDescriptor::ReportByteLength(HidReportType type) const {
    std::uint16_t longest = 0;
    for (std::size_t id = 0; id < kReportIdCount; ++id) {
        longest = std::max(longest, ReportByteLength(type, static_cast<std::uint8_t>(id)));
    }
    return longest;
}

const std::vector<HidButtonCaps>& HidReportDescriptor::ButtonCaps(HidReportType type) const {
    static const std::vector<HidButtonCaps> kNone;
    return IsKnownType(type) ? m_buttonCaps[Index(type)] : kNone;
}

const std::vector<HidValueCaps>& HidReportDescriptor::ValueCaps(HidReportType type) const {
    static const std::vector<HidValueCaps> kNone;
    return IsKnownType(type) ? m_valueCaps[Index(type)] : kNone;
}

std::uint32_t HidReportDescriptor::MaxUsageListLength(HidReportType type, std::uint16_t usagePage) const {
    std::uint64_t total = 0;
    for (const Field& field : m_fields) {
        if (field.type != type || !field.isButton) {
            continue;
        }
        const bool array = (field.flags & kFlagVariable) == 0;
        if (array) {
            const bool onPage = std::any_of(field.usages.begin(), field.usages.end(), [&](const UsageItem& usage) {
                return usagePage == 0 || usage.page == usagePage;
            });
            total += onPage ? field.count : 0;
        } else {
            for (const UsageItem& usage : field.usages) {
                if (usagePage == 0 || usage.page == usagePage) {
                    total += usage.fieldCount;
                }
            }
        }
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0xFFFFFFFFu));
}

std::uint32_t HidReportDescriptor::GetUsages(HidReportType type, std::uint16_t usagePage,
                                             std::span<std::uint16_t> usageList, std::uint32_t& usageLength,
                                             std::span<const std::uint8_t> report) const {
    usageLength = 0;
    if (!IsKnownType(type)) {
        return kHidpStatusInvalidReportType;
    }
    if (report.empty()) {
        return kHidpStatusInvalidReportLength;
    }
    const std::uint8_t id = report[0];
    bool onPage = false;
    std::vector<const Field*> fields;
    for (const Field& field : m_fields) {
        if (field.type != type || !field.isButton) {
            continue;
        }
        const bool pageHere = std::any_of(field.usages.begin(), field.usages.end(),
                                          [&](const UsageItem& usage) { return usage.page == usagePage; });
        if (!pageHere) {
            continue;
        }
        onPage = true;
        if (field.reportId != id) {
            continue;
        }
        const std::uint64_t endBit =
            kIdBits + field.bitOffset + static_cast<std::uint64_t>(field.bitSize) * field.count;
        if ((endBit + 7) / 8 > report.size()) {
            return kHidpStatusInvalidReportLength;
        }
        fields.push_back(&field);
    }
    if (!onPage) {
        return kHidpStatusUsageNotFound;
    }
    if (fields.empty()) {
        return kHidpStatusIncompatibleReportId;
    }

    std::uint32_t found = 0;
    auto emit = [&](std::uint16_t usage) {
        if (usage == 0) {
            return; // usage 0 means "no control" and would end a zero-terminated list early
        }
        if (found < usageList.size()) {
            usageList[found] = usage;
        }
        ++found;
    };
    for (const Field* field : fields) {
        const std::uint64_t base = kIdBits + field->bitOffset;
        if ((field->flags & kFlagVariable) == 0) {
            // Array: each field holds an index into the item's usages, counted from Logical Minimum.
            for (std::uint32_t i = 0; i < field->count; ++i) {
                std::uint32_t raw = 0;
                ReadBits(report, base + static_cast<std::uint64_t>(i) * field->bitSize, field->bitSize, raw);
                const std::int64_t value =
                    field->logicalMinimum < 0 ? SignExtend(raw, field->bitSize) : static_cast<std::int64_t>(raw);
                if (value < field->logicalMinimum || value > field->logicalMaximum) {
                    continue;
                }
                std::uint64_t index = static_cast<std::uint64_t>(value - field->logicalMinimum);
                for (const UsageItem& usage : field->usages) {
                    const std::uint64_t span = static_cast<std::uint64_t>(usage.maximum - usage.minimum) + 1;
                    if (index < span) {
                        if (usage.page == usagePage) {
                            emit(static_cast<std::uint16_t>(usage.minimum + index));
                        }
                        break;
                    }
                    index -= span;
                }
            }
            continue;
        }
        for (const UsageItem& usage : field->usages) {
            if (usage.page != usagePage) {
                continue;
            }
            const std::uint32_t span = static_cast<std::uint32_t>(usage.maximum - usage.minimum) + 1;
            bool tailReported = false;
            for (std::uint32_t f = 0; f < usage.fieldCount; ++f) {
                std::uint32_t bit = 0;
                ReadBits(report, base + usage.firstField + f, 1, bit);
                if (bit == 0) {
                    continue;
                }
                if (f + 1 >= span) {
                    // Fields past the range repeat its last usage: report it once.
                    if (tailReported) {
                        continue;
                    }
                    tailReported = true;
                    emit(usage.maximum);
                } else {
                    emit(static_cast<std::uint16_t>(usage.minimum + f));
                }
            }
        }
    }
    usageLength = found;
    return found > usageList.size() ? kHidpStatusBufferTooSmall : kHidpStatusSuccess;
}

HidReportDescriptor::ValueLookup HidReportDescriptor::FindValue(HidReportType type, std::uint16_t usagePage,
                                                                std::uint16_t usage,
                                                                std::span<const std::uint8_t> report) const {
    ValueLookup result;
    if (!IsKnownType(type)) {
        result.status = kHidpStatusInvalidReportType;
        return result;
    }
    if (report.empty()) {
        result.status = kHidpStatusInvalidReportLength;
        return result;
    }
    bool elsewhere = false;
    for (const Field& field : m_fields) {
        if (field.type != type || field.isButton) {
            continue;
        }
        for (const UsageItem& item : field.usages) {
            if (item.page != usagePage || usage < item.minimum || usage > item.maximum) {
                continue;
            }
            if (field.reportId != report[0]) {
                elsewhere = true;
                continue;
            }
            const std::uint32_t index = item.firstField + (usage - item.minimum);
            const std::uint64_t endBit =
                kIdBits + field.bitOffset + static_cast<std::uint64_t>(index + 1) * field.bitSize;
            if ((endBit + 7) / 8 > report.size()) {
                result.status = kHidpStatusInvalidReportLength;
                return result;
            }
            result.status = kHidpStatusSuccess;
            result.field = &field;
            result.fieldIndex = index;
            return result;
        }
    }
    result.status = elsewhere ? kHidpStatusIncompatibleReportId : kHidpStatusUsageNotFound;
    return result;
}

std::uint32_t HidReportDescriptor::GetUsageValue(HidReportType type, std::uint16_t usagePage, std::uint16_t usage,
                                                 std::uint32_t& value, std::span<const std::uint8_t> report) const {
    value = 0;
    const ValueLookup found = FindValue(type, usagePage, usage, report);
    if (found.status != kHidpStatusSuccess) {
        return found.status;
    }
    const Field& field = *found.field;
    ReadBits(report, kIdBits + field.bitOffset + static_cast<std::uint64_t>(found.fieldIndex) * field.bitSize,
             field.bitSize, value);
    return kHidpStatusSuccess;
}

std::uint32_t HidReportDescriptor::GetScaledUsageValue(HidReportType type, std::uint16_t usagePage, std::uint16_t usage,
                                                       std::int32_t& value,
                                                       std::span<const std::uint8_t> report) const {
    value = 0;
    const ValueLookup found = FindValue(type, usagePage, usage, report);
    if (found.status != kHidpStatusSuccess) {
        return found.status;
    }
    const Field& field = *found.field;
    std::uint32_t raw = 0;
    ReadBits(report, kIdBits + field.bitOffset + static_cast<std::uint64_t>(found.fieldIndex) * field.bitSize,
             field.bitSize, raw);
    const std::int64_t logicalMin = field.logicalMinimum;
    const std::int64_t logicalMax = field.logicalMaximum;
    std::int64_t physicalMin = field.physicalMinimum;
    std::int64_t physicalMax = field.physicalMaximum;
    // Without a physical range the logical range stands in for it (Physical Minimum 6.2.2.7).
    if (physicalMin == 0 && physicalMax == 0) {
        physicalMin = logicalMin;
        physicalMax = logicalMax;
    }
    if (logicalMin >= logicalMax || physicalMin > physicalMax) {
        return kHidpStatusBadLogPhyValues;
    }
    const std::int64_t logical = logicalMin < 0 ? SignExtend(raw, field.bitSize) : static_cast<std::int64_t>(raw);
    if (logical < logicalMin || logical > logicalMax) {
        return (field.flags & kFlagNullState) ? kHidpStatusNull : kHidpStatusValueOutOfRange;
    }
    // Each span fits in 33 bits; their product may not fit in 64, so wide ranges take the slow way.
    const std::int64_t offset = logical - logicalMin;
    const std::int64_t physicalSpan = physicalMax - physicalMin;
    const std::int64_t logicalSpan = logicalMax - logicalMin;
    std::int64_t scaled = 0;
    if (physicalSpan == 0 || offset <= std::numeric_limits<std::int64_t>::max() / physicalSpan) {
        scaled = physicalMin + offset * physicalSpan / logicalSpan;
    } else {
        scaled = physicalMin + static_cast<std::int64_t>(static_cast<long double>(offset) * physicalSpan / logicalSpan);
    }
    value = static_cast<std::int32_t>(std::clamp<std::int64_t>(scaled, std::numeric_limits<std::int32_t>::min(),
                                                               std::numeric_limits<std::int32_t>::max()));
    return kHidpStatusSuccess;
}

} // namespace brasslane
