#include "core/profiles/ProfileFile.h"

#include "core/base/Bytes.h"

#include <algorithm>
#include <fstream>
#include <new>
#include <system_error>

namespace brasslane {

namespace {

constexpr std::size_t kChecksumOffset = 31;

std::uint16_t EntryType(std::span<const std::uint8_t> headerBlock, std::size_t record) {
    return ReadU16(headerBlock, kKeyTableOffset + record * kKeyEntrySize).value_or(0);
}

std::uint32_t EntryParam(std::span<const std::uint8_t> headerBlock, std::size_t record) {
    return ReadU32(headerBlock, kKeyTableOffset + record * kKeyEntrySize + 4).value_or(0);
}

// Offsets in a file are even; an odd one is taken at the even offset below it.
std::size_t TextOffset(std::uint32_t param) {
    return param & ~std::uint32_t{1};
}

// Byte length of the text at `offset`, terminator included, or 0 when the pool holds no
// terminated text there. Scans at most `limit` bytes.
std::size_t TerminatedLength(std::span<const std::uint8_t> pool, std::size_t offset, std::size_t limit) {
    if (offset >= pool.size()) {
        return 0;
    }
    const std::size_t end = offset + std::min(limit, pool.size() - offset);
    for (std::size_t at = offset; at + 1 < end; at += 2) {
        if (pool[at] == 0 && pool[at + 1] == 0) {
            return at + 2 - offset;
        }
    }
    return 0;
}

std::u16string TextAt(std::span<const std::uint8_t> pool, std::size_t offset, std::size_t byteLength) {
    std::u16string text;
    text.reserve(byteLength / 2 - 1);
    for (std::size_t at = offset; at + 2 < offset + byteLength; at += 2) {
        text.push_back(static_cast<char16_t>(pool[at] | (pool[at + 1] << 8)));
    }
    return text;
}

} // namespace

ProfileFileHeader ProfileFileHeader::Build(std::uint16_t macroCount, std::uint32_t poolSize, std::uint8_t flag) {
    ProfileFileHeader header;
    header.macroCount = macroCount;
    header.poolSize = poolSize;
    header.totalSize = static_cast<std::uint32_t>(TotalSizeFor(macroCount, poolSize));
    header.flag = flag;
    return header;
}

bool ProfileFileHeader::Read(std::span<const std::uint8_t> bytes, ProfileFileHeader& header) {
    if (bytes.size() < kFileHeaderSize) {
        return false;
    }
    header.magic = *ReadU16(bytes, 0);
    header.headerSize = *ReadU16(bytes, 2);
    header.formatWord1 = *ReadU16(bytes, 4);
    header.formatWord2 = *ReadU16(bytes, 6);
    header.totalSize = *ReadU32(bytes, 8);
    header.keyEntryCount = *ReadU16(bytes, 12);
    header.macroCount = *ReadU16(bytes, 14);
    header.poolSize = *ReadU32(bytes, 16);
    header.flag = *ReadU8(bytes, 30);
    header.checksum = *ReadU8(bytes, kChecksumOffset);
    return true;
}

bool ProfileFileHeader::Write(std::span<std::uint8_t> bytes) const {
    if (bytes.size() < kFileHeaderSize) {
        return false;
    }
    std::fill_n(bytes.begin(), kFileHeaderSize, std::uint8_t{0});
    WriteU16(bytes, 0, magic);
    WriteU16(bytes, 2, headerSize);
    WriteU16(bytes, 4, formatWord1);
    WriteU16(bytes, 6, formatWord2);
    WriteU32(bytes, 8, totalSize);
    WriteU16(bytes, 12, keyEntryCount);
    WriteU16(bytes, 14, macroCount);
    WriteU32(bytes, 16, poolSize);
    WriteU8(bytes, 30, flag);
    WriteU8(bytes, kChecksumOffset, Checksum(bytes));
    return true;
}

std::uint8_t ProfileFileHeader::Checksum(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kChecksumOffset) {
        return 0;
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i < kChecksumOffset; ++i) {
        sum += bytes[i];
    }
    return static_cast<std::uint8_t>(sum & 0xFF);
}

std::uint64_t ProfileFileHeader::TotalSizeFor(std::uint64_t macroCount, std::uint64_t poolSize) {
    return kHeaderBlockSize + kMacroBlockSize * macroCount + poolSize;
}

bool FitsProfileFile(std::size_t macroCount, std::uint64_t poolSize) {
    return macroCount <= kMaxMacros && ProfileFileHeader::TotalSizeFor(macroCount, poolSize) < kProfileFileSizeLimit;
}

void WriteKeyTableHeader(std::span<std::uint8_t> headerBlock) {
    const std::span<std::uint8_t> block = headerBlock.subspan(kKeyTableHeaderOffset, kKeyTableHeaderSize);
    std::fill(block.begin(), block.end(), std::uint8_t{0});
    WriteU16(block, 0, kKeyTableTag);
    WriteU16(block, 2, kKeyTableHeaderSize);
    WriteU32(block, 4, kKeyTableLength);
    WriteU16(block, 8, kKeyTableAreas);
    WriteU16(block, 10, kKeyTableEntriesPerArea);
    WriteU16(block, 16, kKeyTableVendorId);
    WriteU16(block, 18, kKeyTableProductId);
    WriteU16(block, 20, kKeyTableIdWord1);
    WriteU16(block, 22, kKeyTableIdWord2);
}

void FillDefaultKeyTable(ProfileImage& image) {
    std::fill(image.header.begin() + kKeyTableOffset, image.header.end(), std::uint8_t{0});
    for (std::uint16_t n = 1; n <= 9; ++n) {
        KeyEntry bankA;
        bankA.extra = static_cast<std::uint16_t>(kGCodeBankA + n);
        image.SetEntry(RecordIndex(0, kGSlotBankA + n - 1), bankA);
        KeyEntry bankB;
        bankB.extra = static_cast<std::uint16_t>(kGCodeBankB + n);
        image.SetEntry(RecordIndex(0, kGSlotBankB + n - 1), bankB);
    }
}

ProfileImage MakeDefaultImage(std::uint8_t flag) {
    ProfileImage image;
    ProfileFileHeader::Build(0, 0, flag).Write(image.header);
    WriteKeyTableHeader(image.header);
    FillDefaultKeyTable(image);
    return image;
}

void RebuildFileHeader(ProfileImage& image, std::uint32_t poolSize, std::uint8_t flag) {
    ProfileFileHeader::Build(image.MacroCount(), poolSize, flag).Write(image.header);
}

std::string_view ProfileFormatErrorText(ProfileFormatError error) {
    switch (error) {
    case ProfileFormatError::kNone:
        return "no error";
    case ProfileFormatError::kTooShort:
        return "the file is too short to be a profile";
    case ProfileFormatError::kBadHeader:
        return "the file header is not that of a profile";
    case ProfileFormatError::kTruncated:
        return "the file is shorter than its header says";
    case ProfileFormatError::kBadText:
        return "a text of the profile lies outside its string pool";
    }
    return "unknown error";
}

ProfileFormatError CheckProfileHeader(std::span<const std::uint8_t> bytes) {
    ProfileFileHeader header;
    if (!ProfileFileHeader::Read(bytes, header)) {
        return ProfileFormatError::kTooShort;
    }
    const bool valid = header.magic == kProfileMagic && header.headerSize == kProfileHeaderSizeField &&
                       header.formatWord1 == kProfileFormatWord1 && header.formatWord2 == kProfileFormatWord2 &&
                       header.totalSize >= kHeaderBlockSize && header.keyEntryCount == kKeyEntryCount &&
                       header.macroCount <= kMaxMacros && header.flag <= kProfileMaxFlag &&
                       header.totalSize == ProfileFileHeader::TotalSizeFor(header.macroCount, header.poolSize) &&
                       header.checksum == ProfileFileHeader::Checksum(bytes);
    return valid ? ProfileFormatError::kNone : ProfileFormatError::kBadHeader;
}

ProfileFormatError CheckProfileTexts(std::span<const std::uint8_t> headerBlock, std::span<const std::uint8_t> pool) {
    if (headerBlock.size() < kHeaderBlockSize) {
        return ProfileFormatError::kTooShort;
    }
    // Every scan is bounded by what is left of the pool's budget, so the whole check reads at
    // most about twice the pool however the entries point into it.
    std::size_t budget = pool.size();
    for (std::size_t record = 0; record < kKeyEntryCount; ++record) {
        if (!CarriesText(EntryType(headerBlock, record))) {
            continue;
        }
        const std::size_t length = TerminatedLength(pool, TextOffset(EntryParam(headerBlock, record)), budget);
        if (length == 0) {
            return ProfileFormatError::kBadText;
        }
        budget -= length;
    }
    return ProfileFormatError::kNone;
}

ProfileFormatError CheckProfileBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderBlockSize) {
        return ProfileFormatError::kTooShort;
    }
    if (const ProfileFormatError header = CheckProfileHeader(bytes); header != ProfileFormatError::kNone) {
        return header;
    }
    ProfileFileHeader header;
    ProfileFileHeader::Read(bytes, header);
    if (bytes.size() < header.totalSize) {
        return ProfileFormatError::kTruncated;
    }
    const std::size_t poolOffset = kHeaderBlockSize + kMacroBlockSize * header.macroCount;
    return CheckProfileTexts(bytes.first(kHeaderBlockSize), bytes.subspan(poolOffset, header.poolSize));
}

ProfileFormatError DecodeProfileBytes(std::span<const std::uint8_t> bytes, ProfileImage& image, StringTable& texts) {
    if (const ProfileFormatError error = CheckProfileBytes(bytes); error != ProfileFormatError::kNone) {
        return error;
    }
    ProfileFileHeader header;
    ProfileFileHeader::Read(bytes, header);

    ProfileImage decoded;
    std::copy_n(bytes.begin(), kHeaderBlockSize, decoded.header.begin());
    decoded.macros.reserve(header.macroCount);
    for (std::size_t n = 0; n < header.macroCount; ++n) {
        const auto block = bytes.subspan(kHeaderBlockSize + kMacroBlockSize * n).first<kMacroBlockSize>();
        decoded.macros.push_back(MacroBlock::Read(block));
    }

    const std::size_t poolOffset = kHeaderBlockSize + kMacroBlockSize * header.macroCount;
    const std::span<const std::uint8_t> pool = bytes.subspan(poolOffset, header.poolSize);
    StringTable decodedTexts;
    for (std::size_t record = 0; record < kKeyEntryCount; ++record) {
        if (!CarriesText(EntryType(decoded.header, record))) {
            continue;
        }
        const std::size_t offset = TextOffset(EntryParam(decoded.header, record));
        const std::size_t length = TerminatedLength(pool, offset, pool.size());
        decodedTexts.Set(record, TextAt(pool, offset, length));
    }

    image = std::move(decoded);
    texts = std::move(decodedTexts);
    return ProfileFormatError::kNone;
}

std::vector<std::uint8_t> PackStringPool(ProfileImage& image, StringTable& texts) {
    for (std::size_t record = 0; record < kKeyEntryCount; ++record) {
        if (CarriesText(image.Entry(record).type) && texts.Length(record) == 0) {
            texts.Set(record, std::u16string());
        }
    }
    std::vector<std::uint8_t> pool(texts.Total(), 0);
    std::size_t offset = 0;
    for (std::size_t record = 0; record < kKeyEntryCount; ++record) {
        const std::size_t length = texts.Length(record);
        if (length == 0 || offset + length > pool.size()) {
            continue;
        }
        KeyEntry entry = image.Entry(record);
        if (!CarriesText(entry.type)) {
            continue;
        }
        const std::u16string& text = texts.Text(record);
        for (std::size_t i = 0; i < text.size(); ++i) {
            WriteU16(pool, offset + 2 * i, static_cast<std::uint16_t>(text[i]));
        }
        entry.param = static_cast<std::uint32_t>(offset);
        image.SetEntry(record, entry);
        offset += length;
    }
    return pool;
}

bool WriteProfileImage(std::ostream& out, const ProfileImage& image, std::span<const std::uint8_t> pool) {
    out.write(reinterpret_cast<const char*>(image.header.data()), static_cast<std::streamsize>(image.header.size()));
    std::vector<std::uint8_t> block(kMacroBlockSize);
    for (const MacroBlock& macro : image.macros) {
        macro.Write(std::span<std::uint8_t, kMacroBlockSize>(block.data(), kMacroBlockSize));
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    }
    out.write(reinterpret_cast<const char*>(pool.data()), static_cast<std::streamsize>(pool.size()));
    return static_cast<bool>(out);
}

bool IsReadWriteFile(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::is_regular_file(status)) {
        return false;
    }
    // A process with full rights can open a write-protected file for writing anyway, so the
    // owner's write permission is what marks a file read-only.
    if ((status.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none) {
        return false;
    }
    std::fstream probe(path, std::ios::in | std::ios::out | std::ios::binary);
    return probe.is_open();
}

ProfileFileRead ReadProfileFileBytes(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
    ProfileFileRead result;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        result.error = "the file does not exist";
        return result;
    }
    if (!IsReadWriteFile(path)) {
        result.check = ProfileFileCheck::kUnreadable;
        result.error = "the file cannot be opened for reading and writing";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    in.seekg(0, std::ios::beg);
    if (!in || end < 0) {
        result.check = ProfileFileCheck::kUnreadable;
        result.error = "the file cannot be read";
        return result;
    }
    const auto fileSize = static_cast<std::uint64_t>(end);
    if (fileSize >= kProfileFileSizeLimit || fileSize < kHeaderBlockSize) {
        result.error = "the file's size is not that of a profile";
        return result;
    }

    try {
        bytes.assign(kHeaderBlockSize, 0);
        if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(kHeaderBlockSize))) {
            result.check = ProfileFileCheck::kUnreadable;
            result.error = "the file cannot be read";
            return result;
        }
        if (const ProfileFormatError header = CheckProfileHeader(bytes); header != ProfileFormatError::kNone) {
            result.format = header;
            result.error = std::string(ProfileFormatErrorText(header));
            return result;
        }
        ProfileFileHeader header;
        ProfileFileHeader::Read(bytes, header);
        if (fileSize < header.totalSize) {
            result.format = ProfileFormatError::kTruncated;
            result.error = std::string(ProfileFormatErrorText(result.format));
            return result;
        }
        bytes.resize(header.totalSize);
        const std::size_t rest = header.totalSize - kHeaderBlockSize;
        if (rest > 0 &&
            !in.read(reinterpret_cast<char*>(bytes.data() + kHeaderBlockSize), static_cast<std::streamsize>(rest))) {
            result.check = ProfileFileCheck::kUnreadable;
            result.error = "the file cannot be read";
            return result;
        }
    } catch (const std::bad_alloc&) {
        bytes.clear();
        bytes.shrink_to_fit();
        result.check = ProfileFileCheck::kUnreadable;
        result.error = "not enough memory for the file";
        return result;
    }

    if (const ProfileFormatError error = CheckProfileBytes(bytes); error != ProfileFormatError::kNone) {
        result.format = error;
        result.error = std::string(ProfileFormatErrorText(error));
        return result;
    }
    result.check = ProfileFileCheck::kValid;
    return result;
}

} // namespace brasslane
