#pragma once

#include <cstdint>
#include <string>

namespace brasslane {

// Result of every command operation. Callers test for kStatusSuccess only.
using DeviceStatus = std::int32_t;

constexpr DeviceStatus kStatusSuccess = 1;
constexpr DeviceStatus kStatusNoAnswer = 0;     // not connected (nothing sent), or no answer after four attempts
constexpr DeviceStatus kStatusWriteFailed = -1; // writing the request failed or timed out; not retried
constexpr DeviceStatus kStatusRefusedFF = -102; // the answer's status byte was 0xFF
constexpr DeviceStatus kStatusRefusedFE = -103; // the answer's status byte was 0xFE
constexpr DeviceStatus kStatusBadBlock = -201;  // key-map block index 3 or more; nothing sent

// Plain words for a status, for messages of the command-line tool.
inline std::string DeviceStatusText(DeviceStatus status) {
    switch (status) {
    case kStatusSuccess:
        return "success";
    case kStatusNoAnswer:
        return "no keyboard or no answer";
    case kStatusWriteFailed:
        return "the request could not be written";
    case kStatusRefusedFF:
    case kStatusRefusedFE:
        return "the keyboard refused the command";
    case kStatusBadBlock:
        return "profile block out of range";
    default:
        return "unknown status";
    }
}

} // namespace brasslane
