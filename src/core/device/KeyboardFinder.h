#pragma once

// Finding the keyboard among the HID interfaces, shared by the connection monitor, the
// command-line tool and tests that need a connected DeviceLink without the monitor thread.

#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brasslane {

struct PathIds {
    std::uint32_t vendorId = 0;
    std::uint32_t productId = 0;
};

// Reads the hexadecimal numbers after "vid_" and "pid_" (case ignored; missing = 0).
PathIds ParsePathIds(std::string_view path);
// The accepted model for these ids, or nullopt (only the low 16 bits count).
std::optional<KeyboardModel> FindModel(std::uint32_t vendorId, std::uint32_t productId);
// Is the path a candidate: do its ids name an accepted keyboard?
bool IsCandidatePath(std::string_view path);

enum class InterfaceRole {
    kCommand,  // usage page 0xFF1C, usage 0x0092; opened for reading and writing
    kConsumer, // usage page 0x000C, usage 0x0001; opened for reading only
};

enum class SearchResult { kFound, kNotFound, kEnumerationFailed };

// Opens `path` into `device` as `role` requires (overlapped, shared). Keeps it open and
// returns true only when the opened interface's ids are an accepted pair and its usage page
// and usage are the role's; otherwise closes it again.
bool OpenAsRole(CHidDevice& device, const std::string& path, InterfaceRole role);
// Enumerates with `device` and opens the first candidate accepted for `role` into it. The
// path list is freed before returning.
SearchResult FindInterface(CHidDevice& device, InterfaceRole role);
// Sets the link's geometry and the state's key count, block size and stride for the model
// with these ids: 0x0C45/0x7672 is the 126-key model, anything else the 128-key one.
void ApplyModel(DeviceLink& link, ConnectionState& state, std::uint16_t vendorId, std::uint16_t productId);

// Enumerates, opens the first candidate accepted as the command interface into
// link.Device(), sets link's connected flag and geometry and the state's key count, block size
// and stride. False (and nothing open) when no keyboard is there or enumeration failed.
bool ConnectKeyboard(DeviceLink& link, ConnectionState& state);
// The same, telling a missing keyboard from a failed enumeration. Holds the device lock while
// it opens interfaces into link.Device().
SearchResult SearchKeyboard(DeviceLink& link, ConnectionState& state);

// What the connection handler reads on arrival: the default key map (command 15, kept in the
// state on success) and the information block (command 3, macro capacity = byte 11 x 128).
// Returns the first failing status, else kStatusSuccess.
DeviceStatus ReadConnectionData(DeviceLink& link, ConnectionState& state);
// Command 15 over the block size into a zeroed 512-byte map, kept in the state on success.
DeviceStatus ReadDefaultKeyMapInto(DeviceLink& link, ConnectionState& state);
// Command 3; on success the state's macro capacity becomes byte 11 x 128.
DeviceStatus ReadMacroCapacity(DeviceLink& link, ConnectionState& state);

} // namespace brasslane
