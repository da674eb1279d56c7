#pragma once

// Profile files as JSON, for reading and editing them with ordinary tools:
//
//   { "format": "brasslane-profile", "version": 1,
//     "profiles": [ { "profile": 1, "g-codes": true,
//                     "keys": { "A": { "type": "key", "key": "B" },
//                               "F1": { "type": "macro", "macro": 1, "repeat": 1 } } },
//                   { "profile": 2, ... }, { "profile": 3, ... } ],
//     "macros": [ { "id": 1, "name": "Hello", "repeat": 1,
//                   "steps": [ { "key": "H", "action": "press", "delay": 50 }, ... ] } ] }
//
// Keys are named as KeyNames.h describes; keys left out of "keys" keep their default function.
// Assignment types and their fields:
//   default, disabled, stop-macro           no field
//   key        "key": the key it acts as (a name or "0x..." scan code)
//   program    "path": the program to launch          text  "text": the text to type
//   macro      "macro": a macro id that "macros" holds; "repeat": 0..255 (optional, 0 = not set)
//   media      "function": 0..17                      function  "function": 0..10
//   a number   an assignment type this program does not know, with "param"
// So that a file converted to JSON and back is the same file byte for byte, the JSON also
// carries whatever else the file holds, each only where it differs from what is implied:
//   per profile  "g-codes": the G-key slots carry their G codes (G1..G9 of both banks); a
//                missing "g-codes" reads as true
//   per key      "extra", "param", "selection", "reserved": the entry's raw fields;
//                "path-units"/"text-units": a text that is not valid UTF-16, as code units
//   per macro    "new": the new flag; "name-units": a name that is not valid UTF-16
//   top level    "flag": the file header's flag byte (0 or 1); "header-reserved": the file
//                header's reserved bytes 20..29 in hexadecimal when they are not zero;
//                "key-table-header": the 32 bytes of the key table header in hexadecimal when
//                they are not the usual ones; "pool-padding": zero bytes after the texts;
//                "extra-area": the fourth key area, which no keyboard profile uses, in the form
//                of a profile (its "g-codes" reads as false when missing)
//
// A file can also hold values beyond the limits below (a backup of a keyboard whose macro area
// is damaged does). They are carried as raw values, which reading accepts as they are:
//   per key      "param" instead of "macro" (no macro has the id) or "function" (beyond the
//                list); "param" of a program or text entry: its offset into "raw-pool"
//   per macro    "raw-id" (0, above 100, or an id an earlier macro has), "raw-repeat" (0),
//                per step "raw-delay" (above 40000); "raw-block": the whole 32512-byte block in
//                hexadecimal, alone, for a block that holds more than its fields (bytes in its
//                reserved or unused places, a step count above 4000, a step state other than
//                press or release, a name without its terminator)
//   top level    "raw-pool": the string pool in hexadecimal when its texts are not packed in
//                key-entry order; the texts shown must then be the ones it holds;
//                "trailing-bytes": bytes after the end the file header gives, in hexadecimal
//
// Reading JSON checks every limit (100 macros with unique ids 1..100, 4000 steps, delays up to
// 40000 ms, repeat counts 1..255, names up to 249 characters, macro ids that keys name must
// exist), except for the raw values, and refuses the first fault with its JSON path:
//   profiles[0].keys.A.type: unknown type "kye"
// Whatever it accepts gives a file the profile loader accepts.

#include "core/keys/ProfileImage.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brasslane::cli {

// What a profile file holds, in the form both the file and the JSON are made from.
struct ProfileDocument {
    // Header block (file header with its flag byte, key table header, 2048 key entries) and
    // macros. The file header's sizes are rebuilt when the document is written.
    ProfileImage image;
    // The texts of the text-carrying entries (programs and typed texts).
    StringTable texts;
    // Zero bytes the pool holds after the texts (texts of slots whose entry no longer carries
    // one still count in the pool size of files the desktop app writes).
    std::uint32_t poolPadding = 0;

    // What the fields above cannot give back as the file holds it, kept as bytes so that a file
    // converted to JSON and back is unchanged:
    // macro blocks (by list position) that hold more than their fields;
    std::map<std::size_t, std::vector<std::uint8_t>> rawMacroBlocks;
    // the string pool, when its texts are not packed in key-entry order (the text entries then
    // keep their offsets, and `poolPadding` is unused);
    std::optional<std::vector<std::uint8_t>> rawPool;
    // the bytes after the end the file header gives, which no reader uses.
    std::vector<std::uint8_t> trailingBytes;
};

// The longest JSON text or profile file the tool reads: larger ones are refused unread.
constexpr std::uintmax_t kMaxInputFileSize = 256ULL * 1024 * 1024;

// The bytes of a profile file as a document, the parts its fields cannot give back kept as bytes.
// False with `error` for bytes that are not a profile file (the file header, the length or a
// text is wrong).
bool DecodeProfileDocument(std::span<const std::uint8_t> bytes, ProfileDocument& document, std::string* error);

// The document as profile file bytes: texts packed in key-entry order (their offsets stored in
// the entries) unless a raw pool is kept, then the file header rebuilt (its reserved bytes kept).
// False with `error` when it cannot be a file the profile loader accepts (too many macros, 4 GiB
// or more, texts that a raw pool does not hold).
bool EncodeProfileDocument(ProfileDocument& document, std::vector<std::uint8_t>& bytes, std::string* error);

// The document as JSON text (two-space indentation, ending in a newline).
std::string ProfileDocumentToJson(const ProfileDocument& document);

// The bytes of a profile file as JSON text that converts back to exactly these bytes; the
// conversion back is made and compared before the text is given out. False with `error` for
// bytes that are not a profile file, or whose JSON form would be longer than `maxJsonSize`
// (which reading JSON refuses).
bool ProfileBytesToJson(std::span<const std::uint8_t> bytes, std::string& json, std::string* error,
                        std::uintmax_t maxJsonSize = kMaxInputFileSize);

// A JSON text as a document. False with `error` ("path: what is wrong") on any fault; the
// document is then untouched.
bool ProfileDocumentFromJson(std::string_view text, ProfileDocument& document, std::string* error);

// Reads a whole file of at most `limit` bytes. False with `error` in plain words.
bool ReadWholeFile(const std::filesystem::path& path, std::uintmax_t limit, std::string& contents, std::string* error);

// Reads a profile file for listing or conversion. Unlike an import it does not ask for write
// access. False with `error` when the file cannot be read or is not a profile file.
bool ReadProfileDocument(const std::filesystem::path& path, ProfileDocument& document, std::string* error);

} // namespace brasslane::cli
