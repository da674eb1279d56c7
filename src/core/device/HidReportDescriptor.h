#pragma once

// A HID report descriptor, parsed: the top-level collection's usage, the report lengths, the
// button and value capabilities of each report kind, and the decoding of reports into pressed
// button usages and value usages. It gives CHidDevice what the Windows HID parser gives there,
// with the same status codes, so the device class works unchanged on every backend.
//
// Reports handed to the decoding functions are in the form CHidDevice reads them: byte 0 is
// the report id (0 when the descriptor declares none), the report's fields follow from byte 1.
// Every read from a report is bounds-checked against the span it came in.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brasslane {

// Status codes of the HID parsing calls (the values the Windows HID parser uses).
constexpr std::uint32_t kHidpStatusSuccess = 0x00110000;
constexpr std::uint32_t kHidpStatusNull = 0x80110001;
constexpr std::uint32_t kHidpStatusInvalidReportType = 0xC0110002;
constexpr std::uint32_t kHidpStatusInvalidReportLength = 0xC0110003;
constexpr std::uint32_t kHidpStatusUsageNotFound = 0xC0110004;
constexpr std::uint32_t kHidpStatusValueOutOfRange = 0xC0110005;
constexpr std::uint32_t kHidpStatusBadLogPhyValues = 0xC0110006;
constexpr std::uint32_t kHidpStatusBufferTooSmall = 0xC0110007;
constexpr std::uint32_t kHidpStatusIncompatibleReportId = 0xC011000A;

enum class HidReportType : std::uint8_t { kInput = 0, kOutput = 1, kFeature = 2 };

// One button capability: a list of on/off usages. A single usage has usageMinimum ==
// usageMaximum == usage and isRange false.
struct HidButtonCaps {
    std::uint16_t usagePage = 0;
    std::uint8_t reportId = 0;
    bool isRange = false;
    bool isArray = false;    // the field reports usage indexes, not one bit per usage
    std::uint16_t usage = 0; // == usageMinimum
    std::uint16_t usageMinimum = 0;
    std::uint16_t usageMaximum = 0;
    std::uint32_t reportCount = 0; // fields of the main item this capability belongs to
    std::uint32_t bitField = 0;    // the main item's flags (Data/Constant, Array/Variable, ...)
};

// One value capability: one usage (or a range of usages, one field each) carrying a number.
struct HidValueCaps {
    std::uint16_t usagePage = 0;
    std::uint8_t reportId = 0;
    bool isRange = false;
    bool hasNull = false;
    bool isAbsolute = true;
    std::uint16_t usage = 0; // == usageMinimum
    std::uint16_t usageMinimum = 0;
    std::uint16_t usageMaximum = 0;
    std::int64_t logicalMinimum = 0;
    std::int64_t logicalMaximum = 0;
    std::int64_t physicalMinimum = 0;
    std::int64_t physicalMaximum = 0;
    std::uint32_t unit = 0;
    std::uint32_t unitExponent = 0;
    std::uint32_t bitSize = 0;     // bits per field, 1..32
    std::uint32_t reportCount = 0; // fields this capability covers
    std::uint32_t bitField = 0;
};

struct HidCollectionInfo {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::uint8_t type = 0; // 0 physical, 1 application, 2 logical, ...
};

class HidReportDescriptor {
public:
    // Upper bounds that keep a hostile descriptor from making us allocate without limit.
    static constexpr std::size_t kMaxDescriptorBytes = 65535;
    static constexpr std::size_t kMaxReportBytes = 16384; // one report's fields, id byte excluded
    static constexpr std::size_t kMaxPushDepth = 32;
    static constexpr std::size_t kMaxCollectionDepth = 32;
    static constexpr std::size_t kMaxTopLevelCollections = 64; // for splitting: each part copies the globals
    static constexpr std::size_t kMaxMainItems = 4096;
    static constexpr std::size_t kMaxCaps = 4096; // per report kind, buttons and values together
    static constexpr std::size_t kMaxInputValueUsages = 65536;
    static constexpr std::size_t kMaxInputButtonSlots = 1u << 20;

    // Parses `descriptor`, replacing anything parsed before. On failure the object is empty
    // and `error` (when given) says what is wrong and at which byte offset.
    bool Parse(std::span<const std::uint8_t> descriptor, std::string* error = nullptr);
    bool IsValid() const { return m_valid; }

    // Splits a descriptor with several top-level collections into one descriptor per
    // collection, as Windows presents each one as an interface of its own: every global item in
    // order (so the item state stays the same) with the local and main items of that collection
    // only. Main items outside any collection are left out. False (and `error`) for a malformed
    // item or unbalanced collections.
    static bool SplitTopLevelCollections(std::span<const std::uint8_t> descriptor,
                                         std::vector<std::vector<std::uint8_t>>& parts, std::string* error = nullptr);

    // The first top-level application collection (0 and 0 when there is none).
    std::uint16_t UsagePage() const { return m_usagePage; }
    std::uint16_t Usage() const { return m_usage; }
    const std::vector<HidCollectionInfo>& TopLevelCollections() const { return m_topLevel; }

    // True when the descriptor declares report ids; reports then carry their id on the wire.
    bool UsesReportIds() const { return m_usesReportIds; }
    // The longest report of that kind in bytes, plus one for the report id byte (counted even
    // when the descriptor declares no ids); 0 when there is no report of that kind.
    std::uint16_t ReportByteLength(HidReportType type) const;
    // Bytes (id byte included) of one report of that kind and id; 0 when it does not exist.
    std::uint16_t ReportByteLength(HidReportType type, std::uint8_t reportId) const;

    const std::vector<HidButtonCaps>& ButtonCaps(HidReportType type) const;
    const std::vector<HidValueCaps>& ValueCaps(HidReportType type) const;

    // How many button usages of `usagePage` (0: any page) GetUsages can return at most.
    std::uint32_t MaxUsageListLength(HidReportType type, std::uint16_t usagePage) const;

    // The pressed button usages of `usagePage` in `report`: array fields give the usages whose
    // indexes they hold, variable one-bit fields the usages of their set bits. Fills at most
    // usageList.size() entries; `usageLength` receives how many there are. Returns
    // kHidpStatusBufferTooSmall when they do not all fit, kHidpStatusUsageNotFound when the
    // page has no buttons, kHidpStatusIncompatibleReportId when none are in this report,
    // kHidpStatusInvalidReportLength when the report is too short for its fields.
    std::uint32_t GetUsages(HidReportType type, std::uint16_t usagePage, std::span<std::uint16_t> usageList,
                            std::uint32_t& usageLength, std::span<const std::uint8_t> report) const;
    // The raw bits of a value usage (not sign-extended); 0 on failure.
    std::uint32_t GetUsageValue(HidReportType type, std::uint16_t usagePage, std::uint16_t usage, std::uint32_t& value,
                                std::span<const std::uint8_t> report) const;
    // The value mapped from the logical onto the physical range (which defaults to the logical
    // range); kHidpStatusNull / kHidpStatusValueOutOfRange for a value outside the logical
    // range, kHidpStatusBadLogPhyValues for an empty range. 0 on failure.
    std::uint32_t GetScaledUsageValue(HidReportType type, std::uint16_t usagePage, std::uint16_t usage,
                                      std::int32_t& value, std::span<const std::uint8_t> report) const;

private:
    struct UsageItem {
        std::uint16_t page = 0;
        std::uint16_t minimum = 0;
        std::uint16_t maximum = 0;
        bool isRange = false;
        std::uint32_t firstField = 0; // variable fields: the first field this usage names
        std::uint32_t fieldCount = 0; // and how many (the last usage also takes the rest)
    };
    struct Field {
        HidReportType type = HidReportType::kInput;
        std::uint8_t reportId = 0;
        std::uint32_t bitOffset = 0; // after the report id byte
        std::uint32_t bitSize = 0;
        std::uint32_t count = 0;
        std::uint32_t flags = 0;
        std::int64_t logicalMinimum = 0;
        std::int64_t logicalMaximum = 0;
        std::int64_t physicalMinimum = 0;
        std::int64_t physicalMaximum = 0;
        bool isButton = false;
        std::vector<UsageItem> usages;
    };
    struct ValueLookup {
        std::uint32_t status = kHidpStatusUsageNotFound;
        const Field* field = nullptr;
        std::uint32_t fieldIndex = 0;
    };
    class Parser;

    void Clear();
    static std::size_t Index(HidReportType type) { return static_cast<std::size_t>(type); }
    ValueLookup FindValue(HidReportType type, std::uint16_t usagePage, std::uint16_t usage,
                          std::span<const std::uint8_t> report) const;

    bool m_valid = false;
    std::uint16_t m_usagePage = 0;
    std::uint16_t m_usage = 0;
    bool m_usesReportIds = false;
    std::vector<HidCollectionInfo> m_topLevel;
    std::vector<Field> m_fields;
    // Bits used per report id (index 0..255), per report kind.
    std::vector<std::uint32_t> m_reportBits[3];
    std::vector<bool> m_reportExists[3];
    std::vector<HidButtonCaps> m_buttonCaps[3];
    std::vector<HidValueCaps> m_valueCaps[3];
};

} // namespace brasslane
