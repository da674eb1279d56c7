#include "core/device/DeviceAccessRole.h"

#include "core/device/HidReportDescriptor.h"
#include "core/device/ConnectionState.h"

#include <algorithm>

namespace brasslane {

namespace {

constexpr std::uint16_t kGenericDesktopPage = 0x0001;
constexpr std::uint16_t kKeyboardUsage = 0x0006;
constexpr std::uint16_t kKeypadUsage = 0x0007;
constexpr std::uint16_t kKeyboardKeypadPage = 0x0007;

bool CarriesKeystrokes(const HidReportDescriptor& parsed) {
    for (const HidCollectionInfo& collection : parsed.TopLevelCollections()) {
        if (collection.usagePage == kGenericDesktopPage &&
            (collection.usage == kKeyboardUsage || collection.usage == kKeypadUsage)) {
            return true;
        }
    }
    const auto& buttons = parsed.ButtonCaps(HidReportType::kInput);
    const auto& values = parsed.ValueCaps(HidReportType::kInput);
    return std::any_of(buttons.begin(), buttons.end(),
                       [](const HidButtonCaps& caps) { return caps.usagePage == kKeyboardKeypadPage; }) ||
           std::any_of(values.begin(), values.end(),
                       [](const HidValueCaps& caps) { return caps.usagePage == kKeyboardKeypadPage; });
}

bool HasCollection(const HidReportDescriptor& parsed, std::uint16_t usagePage, std::uint16_t usage) {
    const auto& collections = parsed.TopLevelCollections();
    return std::any_of(collections.begin(), collections.end(), [&](const HidCollectionInfo& collection) {
        return collection.usagePage == usagePage && collection.usage == usage;
    });
}

} // namespace

AccessRole AccessRoleOf(std::span<const std::uint8_t> descriptor) {
    HidReportDescriptor parsed;
    if (!parsed.Parse(descriptor) || CarriesKeystrokes(parsed)) {
        return AccessRole::kNone;
    }
    if (HasCollection(parsed, kCommandUsagePage, kCommandUsage)) {
        return AccessRole::kCommand;
    }
    if (HasCollection(parsed, kConsumerUsagePage, kConsumerUsage)) {
        return AccessRole::kConsumer;
    }
    return AccessRole::kNone;
}

std::string_view AccessRoleName(AccessRole role) {
    switch (role) {
    case AccessRole::kCommand:
        return "command";
    case AccessRole::kConsumer:
        return "consumer";
    case AccessRole::kNone:
        break;
    }
    return "none";
}

} // namespace brasslane
