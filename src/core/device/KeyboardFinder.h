#pragma once

// Finding the keyboard among the HID interfaces, shared by the connection monitor, the
// command-line tool and tests that need a connected DeviceLink without the monitor thread.

#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"

#include <cstdint>
#include <optional>
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

// Enumerates, opens the first candidate accepted as the command interface into
// link.Device(), sets link's connected flag and geometry and the state's key count, block size
// and stride. False (and nothing open) when no keyboard is there or enumeration failed.
bool ConnectKeyboard(DeviceLink& link, ConnectionState& state);

// What the connection handler reads on arrival: the default key map (command 15, kept in the
// state on success) and the information block (command 3, macro capacity = byte 11 x 128).
// Returns the first failing status, else kStatusSuccess.
DeviceStatus ReadConnectionData(DeviceLink& link, ConnectionState& state);

} // namespace brasslane
