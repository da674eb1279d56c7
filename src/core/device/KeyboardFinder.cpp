#include "core/device/KeyboardFinder.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace brasslane {

namespace {

std::optional<std::size_t> FindIgnoringCase(std::string_view text, std::string_view needle) {
    if (needle.size() > text.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i + needle.size() <= text.size(); ++i) {
        bool match = true;
        for (std::size_t j = 0; j < needle.size(); ++j) {
            if (std::tolower(static_cast<unsigned char>(text[i + j])) != needle[j]) {
                match = false;
                break;
            }
        }
        if (match) {
            return i;
        }
    }
    return std::nullopt;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The number after `key`; overlong numbers wrap, which keeps their low 16 bits right.
std::uint32_t HexAfter(std::string_view path, std::string_view key) {
    const auto at = FindIgnoringCase(path, key);
    if (!at) {
        return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = *at + key.size(); i < path.size(); ++i) {
        const int digit = HexDigit(path[i]);
        if (digit < 0) {
            break;
        }
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

struct RoleUsage {
    std::uint16_t usagePage;
    std::uint16_t usage;
    bool write;
};

RoleUsage UsageOf(InterfaceRole role) {
    if (role == InterfaceRole::kCommand) {
        return RoleUsage{kCommandUsagePage, kCommandUsage, true};
    }
    return RoleUsage{kConsumerUsagePage, kConsumerUsage, false};
}

} // namespace

PathIds ParsePathIds(std::string_view path) {
    return PathIds{HexAfter(path, "vid_"), HexAfter(path, "pid_")};
}

std::optional<KeyboardModel> FindModel(std::uint32_t vendorId, std::uint32_t productId) {
    const std::uint32_t vid = vendorId & 0xFFFF;
    const std::uint32_t pid = productId & 0xFFFF;
    for (const KeyboardModel& model : {kModel7672, kModel505B}) {
        if (model.vendorId == vid && model.productId == pid) {
            return model;
        }
    }
    return std::nullopt;
}

bool IsCandidatePath(std::string_view path) {
    const PathIds ids = ParsePathIds(path);
    return FindModel(ids.vendorId, ids.productId).has_value();
}

bool OpenAsRole(CHidDevice& device, const std::string& path, InterfaceRole role) {
    const RoleUsage wanted = UsageOf(role);
    if (!device.Open(path, true, wanted.write, true, false)) {
        return false;
    }
    // The path only names the ids; what was actually opened decides.
    const HidAttributes& attributes = device.Attributes();
    const HidCaps& caps = device.Caps();
    if (FindModel(attributes.vendorId, attributes.productId) && caps.usagePage == wanted.usagePage &&
        caps.usage == wanted.usage) {
        return true;
    }
    device.Close();
    return false;
}

SearchResult FindInterface(CHidDevice& device, InterfaceRole role) {
    if (!device.Enumerate()) {
        return SearchResult::kEnumerationFailed;
    }
    SearchResult result = SearchResult::kNotFound;
    while (const std::string* path = device.NextPath()) {
        if (!IsCandidatePath(*path)) {
            continue;
        }
        if (OpenAsRole(device, *path, role)) {
            result = SearchResult::kFound;
            break;
        }
    }
    device.FreePaths();
    return result;
}

void ApplyModel(DeviceLink& link, ConnectionState& state, std::uint16_t vendorId, std::uint16_t productId) {
    const bool small = vendorId == kModel7672.vendorId && productId == kModel7672.productId;
    const KeyboardModel& model = small ? kModel7672 : kModel505B;
    state.keyCount.store(model.keyCount);
    state.blockSize.store(model.blockSize);
    state.blockStride.store(model.blockStride);
    link.SetGeometry(KeyMapGeometry{model.blockSize, model.blockStride});
}

SearchResult SearchKeyboard(DeviceLink& link, ConnectionState& state) {
    auto lock = link.LockDevice();
    const SearchResult result = FindInterface(link.Device(), InterfaceRole::kCommand);
    if (result == SearchResult::kFound) {
        const HidAttributes& attributes = link.Device().Attributes();
        ApplyModel(link, state, attributes.vendorId, attributes.productId);
        link.SetConnected(true);
    }
    return result;
}

bool ConnectKeyboard(DeviceLink& link, ConnectionState& state) {
    return SearchKeyboard(link, state) == SearchResult::kFound;
}

DeviceStatus ReadDefaultKeyMapInto(DeviceLink& link, ConnectionState& state) {
    std::array<std::uint8_t, kMaxKeyMapBlock> map{};
    const std::uint32_t size = std::min<std::uint32_t>(link.Geometry().blockSize, kMaxKeyMapBlock);
    const DeviceStatus status = link.ReadDefaultKeyMap(std::span<std::uint8_t>(map.data(), size));
    if (status == kStatusSuccess) {
        state.SetDefaultKeyMap(map);
    }
    return status;
}

DeviceStatus ReadMacroCapacity(DeviceLink& link, ConnectionState& state) {
    std::array<std::uint8_t, kDeviceInfoSize> info{};
    const DeviceStatus status = link.ReadDeviceInfo(info);
    if (status == kStatusSuccess) {
        state.macroCapacity.store(static_cast<std::uint32_t>(info[11]) * 128);
    }
    return status;
}

DeviceStatus ReadConnectionData(DeviceLink& link, ConnectionState& state) {
    const DeviceStatus keyMap = ReadDefaultKeyMapInto(link, state);
    const DeviceStatus info = ReadMacroCapacity(link, state);
    return keyMap != kStatusSuccess ? keyMap : info;
}

} // namespace brasslane
