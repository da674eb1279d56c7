#pragma once

// Writing a configuration into the keyboard: the macro area and one or all three key maps, in
// one begin/end bracket.

namespace brasslane {

class ConnectionState;
class DeviceLink;
class Language;
class UiSink;
struct UploadSnapshot;
struct WorkingImage;

// Writes the snapshot's macros (command 10) and key maps (command 8) into the keyboard:
// - the macro area goes with names when they fit the keyboard's macro capacity, without them
//   otherwise ("EXTRA_PROFILE_SPACE_TIGHT" after the write); when even that does not fit,
//   "EXTRA_MACRO_TOO_LONG" is shown and nothing is written;
// - all three key maps when `allProfiles` is set or a macro that keys played was deleted since
//   the last write (working.allProfilesRequest, cleared here), else only `currentProfile`,
//   which must then be 0..2 (otherwise nothing is written and the result is false);
// - each key map starts from the keyboard's default map (the built-in one until the keyboard's
//   own was read) and every position is written from its own key's entry; macro assignments
//   refer to macro positions in the working image's list.
// Takes working.lock, then snapshot.lock (both re-entrant for a caller that holds them).
// Returns true when the last key-map write succeeded. Device failures do not stop the sequence.
bool WriteConfiguration(UploadSnapshot& snapshot, WorkingImage& working, bool allProfiles, int currentProfile,
                        DeviceLink& link, const ConnectionState& connection, UiSink& ui, Language& language);

} // namespace brasslane
