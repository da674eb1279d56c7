#pragma once

// Writing a configuration into the keyboard: the macro area and one or all three key maps, in
// one begin/end bracket.

#include "core/device/DeviceStatus.h"

#include <cstddef>
#include <string>

namespace brasslane {

class ConnectionState;
class DeviceLink;
class Language;
class UiSink;
struct UploadSnapshot;
struct WorkingImage;

// The part of a configuration write that failed first.
enum class WriteFailure {
    kNone,            // every command of the bracket succeeded
    kProfileUnknown,  // one profile was to be written but the current one is not known; nothing sent
    kCapacityUnknown, // the macro capacity was not known and the keyboard did not answer its read; nothing sent
    kMacrosTooLong,   // the macros do not fit the keyboard's macro capacity; nothing sent
    kOutOfMemory,     // no memory for the macro area or the key maps; nothing sent
    kKeyboardGone,    // the keyboard is not connected, or went away during the write
    kBegin,           // the keyboard did not take the begin command (1)
    kMacroArea,       // the macro area (command 10) failed; no key map was sent after it
    kKeyMap,          // the key map (command 8) of `profile` failed
    kEnd,             // the keyboard did not take the end command (2)
    kReadBack,        // verifying: reading back the macro area (profile -1) or the key map of `profile` failed
    kMismatch,        // verifying: the keyboard holds other bytes than were written in the macro area
                      // (profile -1) or in the key map of `profile`, first at `offset`
};

struct WriteResult {
    WriteFailure failure = WriteFailure::kNone;
    int profile = -1;                     // kKeyMap: the profile index 0..2 whose key map failed first
    DeviceStatus status = kStatusSuccess; // the failed command's status (kBegin .. kReadBack, kCapacityUnknown)
    std::size_t offset = 0;               // kMismatch: the first byte that differs, from the area's start

    bool Ok() const { return failure == WriteFailure::kNone; }
    explicit operator bool() const { return Ok(); }
};

// The result in plain words for messages, naming the part that failed and why: "the macro
// area: the keyboard refused the command (status -102)". "written" for success.
std::string WriteResultText(const WriteResult& result);

// Writes the snapshot's macros (command 10) and key maps (command 8) into the keyboard:
// - the macro capacity is read again (command 3) when it is not known yet (0: the read at
//   connection failed or was never made); when the keyboard does not answer it, nothing is
//   written (kCapacityUnknown, no message);
// - the macro area goes with names when they fit the keyboard's macro capacity, without them
//   otherwise ("EXTRA_PROFILE_SPACE_TIGHT" after the write); when even that does not fit,
//   "EXTRA_MACRO_TOO_LONG" is shown and nothing is written;
// - all three key maps when `allProfiles` is set or a macro that keys played was deleted since
//   the last write (working.allProfilesRequest), else only `currentProfile`, which must then be
//   0..2 (otherwise nothing is written);
// - each key map starts from the keyboard's default map (the built-in one until the keyboard's
//   own was read) and every position is written from its own key's entry; macro assignments
//   refer to macro positions in the working image's list.
// A failed macro area stops the write before any key map, which could otherwise name macros
// the keyboard does not have; a failed key map does not stop the other profiles' key maps. The
// end command closes every bracket that was begun. The all-profiles request is cleared only
// when everything was written.
// With `verify`, a write whose every command succeeded is read back after the end command: each
// key map written (command 7) and the macro area up to the length written (command 9), compared
// byte for byte with what was sent. A read that fails gives kReadBack; a difference gives
// kMismatch and the message "EXTRA_VERIFY_KEY_MAP" (with the profile number 1..3) or
// "EXTRA_VERIFY_MACRO_AREA". Either way the all-profiles request stays.
// Takes working.lock, then snapshot.lock (both re-entrant for a caller that holds them).
WriteResult WriteConfiguration(UploadSnapshot& snapshot, WorkingImage& working, bool allProfiles, int currentProfile,
                               DeviceLink& link, ConnectionState& connection, UiSink& ui, Language& language,
                               bool verify = false);

} // namespace brasslane
