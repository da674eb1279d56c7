#pragma once

// The byte form of a profile image as profile files and the cache file hold it: a 32832-byte
// header block (file header, key table header, 2048 key entries), the macro blocks, then the
// string pool. Everything here is pure: bytes in, bytes out. Reading a file from disk with its
// access and size rules is ReadProfileFileBytes at the end.

#include "core/keys/ProfileImage.h"

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brasslane {

constexpr std::uint16_t kProfileHeaderSizeField = 32;
constexpr std::uint16_t kProfileFormatWord1 = 3;
constexpr std::uint16_t kProfileFormatWord2 = 1;
// The flag byte is written as 0; files carrying 1 are accepted too.
constexpr std::uint8_t kProfileMaxFlag = 1;
// Sizes are 32-bit in the header: nothing of 4 GiB or more can be described.
constexpr std::uint64_t kProfileFileSizeLimit = 0x100000000ULL;

constexpr std::uint16_t kKeyTableTag = 0x484B;
constexpr std::uint16_t kKeyTableHeaderSize = 32;
constexpr std::uint32_t kKeyTableLength = 32800; // key table header plus the 2048 entries
constexpr std::uint16_t kKeyTableAreas = 4;
constexpr std::uint16_t kKeyTableEntriesPerArea = 512;
constexpr std::uint16_t kKeyTableVendorId = 0x0C45;
constexpr std::uint16_t kKeyTableProductId = 0x7672;
constexpr std::uint16_t kKeyTableIdWord1 = 0x1C4F;
constexpr std::uint16_t kKeyTableIdWord2 = 0x000E;

// The first 32 bytes of every profile file.
struct ProfileFileHeader {
    std::uint16_t magic = kProfileMagic;
    std::uint16_t headerSize = kProfileHeaderSizeField;
    std::uint16_t formatWord1 = kProfileFormatWord1;
    std::uint16_t formatWord2 = kProfileFormatWord2;
    std::uint32_t totalSize = kHeaderBlockSize;
    std::uint16_t keyEntryCount = kKeyEntryCount;
    std::uint16_t macroCount = 0;
    std::uint32_t poolSize = 0;
    std::uint8_t flag = 0;
    std::uint8_t checksum = 0; // as read; Write computes its own

    // A header describing `macroCount` macro blocks and a pool of `poolSize` bytes. The caller
    // keeps TotalSizeFor below 4 GiB (see FitsProfileFile).
    static ProfileFileHeader Build(std::uint16_t macroCount, std::uint32_t poolSize, std::uint8_t flag);
    // Reads the fields from the first 32 bytes; false when fewer than 32 bytes are given.
    static bool Read(std::span<const std::uint8_t> bytes, ProfileFileHeader& header);
    // Writes every field (reserved ones as 0), then the checksum, into the first 32 bytes.
    // False when fewer than 32 bytes are given.
    bool Write(std::span<std::uint8_t> bytes) const;
    // Low byte of the sum of bytes 0..30 (0 when fewer than 31 bytes are given).
    static std::uint8_t Checksum(std::span<const std::uint8_t> bytes);
    // 32832 + 32512 x macroCount + poolSize, without 32-bit overflow.
    static std::uint64_t TotalSizeFor(std::uint64_t macroCount, std::uint64_t poolSize);
};

// Can an image with these counts be written as a file (at most 100 macros, under 4 GiB)?
bool FitsProfileFile(std::size_t macroCount, std::uint64_t poolSize);

// Writes the key table header into header block bytes 32..63.
void WriteKeyTableHeader(std::span<std::uint8_t> headerBlock);

// Zeroes the key table and gives the G-key slots of area 0 their G codes.
void FillDefaultKeyTable(ProfileImage& image);

// A complete default image: file header (no macros, empty pool, `flag`), key table header,
// default key table.
ProfileImage MakeDefaultImage(std::uint8_t flag = 0);

// Rewrites bytes 0..31 of the image's header block from its macro count and `poolSize`.
void RebuildFileHeader(ProfileImage& image, std::uint32_t poolSize, std::uint8_t flag = 0);

// Does a key entry of this type carry a text (a program path or a typed text)?
constexpr bool CarriesText(std::uint16_t type) {
    return type == static_cast<std::uint16_t>(AssignmentType::kProgram) ||
           type == static_cast<std::uint16_t>(AssignmentType::kText);
}

// Why a file's bytes are not a profile image.
enum class ProfileFormatError {
    kNone,
    kTooShort,  // fewer bytes than one header block
    kBadHeader, // a header field or the checksum is wrong
    kTruncated, // fewer bytes than the header's total size
    kBadText,   // a text lies outside the pool, has no terminator inside it, or the texts
                // add up to more than the pool can hold
};

std::string_view ProfileFormatErrorText(ProfileFormatError error);

// Checks the file header at the start of `bytes` (at least 32 bytes, else kTooShort).
ProfileFormatError CheckProfileHeader(std::span<const std::uint8_t> bytes);

// Checks the texts of every text-carrying entry of `headerBlock` against `pool`. Each text must
// start inside the pool and end with a zero unit inside it. A well-formed pool holds every text
// once, so the texts together may not be longer than the pool: that keeps a hostile file from
// making thousands of entries copy the same huge text.
ProfileFormatError CheckProfileTexts(std::span<const std::uint8_t> headerBlock, std::span<const std::uint8_t> pool);

// Checks a whole file's bytes: header, length against the header's total size (longer files
// are fine; only the described part counts), texts.
ProfileFormatError CheckProfileBytes(std::span<const std::uint8_t> bytes);

// Decodes checked bytes into an image and its texts (texts only for text-carrying entries,
// each slot's length counting its terminator). Returns the check's result; on any error the
// outputs are untouched.
ProfileFormatError DecodeProfileBytes(std::span<const std::uint8_t> bytes, ProfileImage& image, StringTable& texts);

// Packs the texts into one pool in key-entry order and stores each text's pool offset in its
// entry's param. Only text-carrying entries get their text written; the texts of other slots
// still count in the pool size and leave zero bytes. A text-carrying entry whose slot is empty
// first gets an empty text, so that every file written from the image can be read back.
// The result is texts.Total() bytes long.
std::vector<std::uint8_t> PackStringPool(ProfileImage& image, StringTable& texts);

// Writes header block, macro blocks and pool. False when the stream fails.
bool WriteProfileImage(std::ostream& out, const ProfileImage& image, std::span<const std::uint8_t> pool);

// The outcome of reading a profile file from disk.
enum class ProfileFileCheck {
    kValid,
    kInvalid,    // missing, of an impossible size, or not a profile image
    kUnreadable, // cannot be opened for reading and writing (a read-only file), read fails, or
                 // no memory for it
};

struct ProfileFileRead {
    ProfileFileCheck check = ProfileFileCheck::kInvalid;
    // Set for a file whose bytes could be read but are not a profile image: the one case in
    // which the user is told the file is damaged.
    ProfileFormatError format = ProfileFormatError::kNone;
    std::string error; // plain words for the command-line tool
};

// Reads a profile file's described bytes into `bytes` (the header block first, then the rest
// once the header's sizes were checked against the file's real size, so a hostile header can
// never make us allocate more than the file holds). Files of 4 GiB or more are refused.
ProfileFileRead ReadProfileFileBytes(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes);

// Is the file there, a regular file, not marked read-only, and can it be opened for reading
// and writing? A profile file that could not be written back is refused as a whole.
bool IsReadWriteFile(const std::filesystem::path& path);

} // namespace brasslane
