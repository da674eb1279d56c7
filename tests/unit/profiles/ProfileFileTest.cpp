#include "core/profiles/ProfileFile.h"

#include "core/base/Bytes.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace brasslane {
namespace {

std::vector<std::uint8_t> Serialize(ProfileImage image, StringTable texts) {
    const std::vector<std::uint8_t> pool = PackStringPool(image, texts);
    RebuildFileHeader(image, static_cast<std::uint32_t>(pool.size()));
    std::ostringstream out;
    EXPECT_TRUE(WriteProfileImage(out, image, pool));
    const std::string s = out.str();
    return {s.begin(), s.end()};
}

KeyEntry Entry(AssignmentType type, std::uint32_t param = 0) {
    KeyEntry e;
    e.type = static_cast<std::uint16_t>(type);
    e.param = param;
    return e;
}

MacroBlock Macro(std::u16string name, std::uint16_t id, std::size_t steps) {
    MacroBlock m;
    m.name = std::move(name);
    m.id = id;
    m.repeat = static_cast<std::uint8_t>(id + 1);
    for (std::size_t i = 0; i < steps; ++i) {
        m.steps.push_back({static_cast<std::uint32_t>(10 * i), static_cast<std::uint16_t>(0x1E + i % 20),
                           static_cast<std::uint16_t>(i % 2)});
    }
    return m;
}

// A valid file with two texts and one macro, the fixture the hostile cases start from.
std::vector<std::uint8_t> ValidFileWithTexts() {
    ProfileImage image = MakeDefaultImage();
    StringTable texts;
    image.SetEntry(RecordIndex(0, 0x1E), Entry(AssignmentType::kProgram));
    texts.Set(RecordIndex(0, 0x1E), u"/usr/bin/editor");
    image.SetEntry(RecordIndex(1, 0x30), Entry(AssignmentType::kText));
    texts.Set(RecordIndex(1, 0x30), u"hello");
    image.macros.push_back(Macro(u"one", 1, 3));
    return Serialize(image, texts);
}

// Rewrites header fields and then the checksum, as a careful forger would.
void SetHeader(std::vector<std::uint8_t>& bytes, std::uint16_t macroCount, std::uint32_t poolSize) {
    WriteU16(bytes, 14, macroCount);
    WriteU32(bytes, 16, poolSize);
    WriteU32(bytes, 8, static_cast<std::uint32_t>(ProfileFileHeader::TotalSizeFor(macroCount, poolSize)));
    bytes[31] = ProfileFileHeader::Checksum(bytes);
}

TEST(ProfileFileTest, DefaultImageLayout) {
    const std::vector<std::uint8_t> bytes = Serialize(MakeDefaultImage(), StringTable());
    ASSERT_EQ(bytes.size(), 32832u);
    EXPECT_EQ(CheckProfileBytes(bytes), ProfileFormatError::kNone);

    unsigned sum = 0;
    for (int i = 0; i < 31; ++i) {
        sum += bytes[i];
    }
    EXPECT_EQ(bytes[31], sum & 0xFF);
    const std::vector<std::uint8_t> fileHeader{0x46, 0x44, 32, 0, 3, 0, 1, 0, 0x40, 0x80, 0, 0, 0x00, 0x08, 0, 0};
    EXPECT_TRUE(std::equal(fileHeader.begin(), fileHeader.end(), bytes.begin()));
    const std::vector<std::uint8_t> keyTableHeader{0x4B, 0x48, 32,   0,    0x20, 0x80, 0,    0, 4, 0, 0, 2, 0, 0, 0, 0,
                                                   0x45, 0x0C, 0x72, 0x76, 0x4F, 0x1C, 0x0E, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(keyTableHeader.begin(), keyTableHeader.end(), bytes.begin() + 32));

    // Only the G-key slots of area 0 are filled, with their codes.
    ProfileImage image;
    StringTable texts;
    ASSERT_EQ(DecodeProfileBytes(bytes, image, texts), ProfileFormatError::kNone);
    for (std::size_t record = 0; record < kKeyEntryCount; ++record) {
        KeyEntry expected;
        if (record >= 256 && record <= 264) {
            expected.extra = static_cast<std::uint16_t>(0x0301 + record - 256);
        } else if (record >= 265 && record <= 273) {
            expected.extra = static_cast<std::uint16_t>(0x1301 + record - 265);
        }
        ASSERT_EQ(image.Entry(record), expected) << "record " << record;
    }
    EXPECT_TRUE(image.macros.empty());
    EXPECT_EQ(texts.Total(), 0u);
}

TEST(ProfileFileTest, HeaderFieldsAreChecked) {
    const std::vector<std::uint8_t> valid = Serialize(MakeDefaultImage(), StringTable());
    struct Case {
        const char* what;
        std::size_t offset;
        std::uint8_t value;
        bool fixChecksum;
        ProfileFormatError expected;
    };
    const Case cases[] = {
        {"magic", 0, 0x47, true, ProfileFormatError::kBadHeader},
        {"header size", 2, 33, true, ProfileFormatError::kBadHeader},
        {"format word 1", 4, 4, true, ProfileFormatError::kBadHeader},
        {"format word 2", 6, 2, true, ProfileFormatError::kBadHeader},
        {"key entry count", 12, 0x01, true, ProfileFormatError::kBadHeader},
        {"total size", 8, 0x41, true, ProfileFormatError::kBadHeader},
        {"flag 2", 30, 2, true, ProfileFormatError::kBadHeader},
        {"flag 1", 30, 1, true, ProfileFormatError::kNone},
        {"reserved byte", 22, 7, true, ProfileFormatError::kNone},
        {"checksum", 31, 0, false, ProfileFormatError::kBadHeader},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = valid;
        bytes[c.offset] = c.value;
        if (c.fixChecksum) {
            bytes[31] = ProfileFileHeader::Checksum(bytes);
        }
        EXPECT_EQ(CheckProfileBytes(bytes), c.expected) << c.what;
    }
}

TEST(ProfileFileTest, PackingSkipsTextsOfOtherTypes) {
    ProfileImage image = MakeDefaultImage();
    StringTable texts;
    // A key-type entry holding a text (left over from an earlier assignment) and a program entry.
    image.SetEntry(5, Entry(AssignmentType::kKey, 0x1E));
    texts.Set(5, u"stale");
    image.SetEntry(9, Entry(AssignmentType::kProgram, 12345));
    texts.Set(9, u"ab");

    ProfileImage packed = image;
    StringTable packedTexts = texts;
    const std::vector<std::uint8_t> pool = PackStringPool(packed, packedTexts);
    ASSERT_EQ(pool.size(), 12u + 6u);
    EXPECT_EQ(packed.Entry(9).param, 0u);
    EXPECT_EQ(packed.Entry(5).param, 0x1Eu) << "a non-text entry keeps its param";
    const std::vector<std::uint8_t> expectedPool{'a', 0, 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(pool, expectedPool);

    const std::vector<std::uint8_t> bytes = Serialize(image, texts);
    EXPECT_EQ(*ReadU32(bytes, 16), 18u);
    ProfileImage loaded;
    StringTable loadedTexts;
    ASSERT_EQ(DecodeProfileBytes(bytes, loaded, loadedTexts), ProfileFormatError::kNone);
    EXPECT_EQ(loadedTexts.Text(9), u"ab");
    EXPECT_EQ(loadedTexts.Length(5), 0u);
    EXPECT_EQ(loadedTexts.Total(), 6u);
}

TEST(ProfileFileTest, TextEntryWithoutTextStaysReadable) {
    ProfileImage image = MakeDefaultImage();
    image.SetEntry(40, Entry(AssignmentType::kText, 0xFFFFFFF0));
    const std::vector<std::uint8_t> bytes = Serialize(image, StringTable());
    ProfileImage loaded;
    StringTable texts;
    ASSERT_EQ(DecodeProfileBytes(bytes, loaded, texts), ProfileFormatError::kNone);
    EXPECT_EQ(texts.Length(40), 2u);
    EXPECT_EQ(texts.Text(40), u"");
}

TEST(ProfileFileTest, RoundTripWithMacrosAndTexts) {
    ProfileImage image = MakeDefaultImage();
    StringTable texts;
    for (std::uint16_t n = 1; n <= 5; ++n) {
        image.macros.push_back(Macro(u"macro " + std::u16string(n, u'x'), n, n * 100));
    }
    image.macros.push_back(Macro(std::u16string(249, u'\u4e2d'), 77, kMaxMacroSteps));
    image.SetEntry(RecordIndex(0, 0x10), Entry(AssignmentType::kMacro, 3));
    image.SetEntry(RecordIndex(2, 0x11), Entry(AssignmentType::kProgram));
    texts.Set(RecordIndex(2, 0x11), u"C:\\Programme\\\u00e9diteur.exe");
    image.SetEntry(RecordIndex(3, 0x12), Entry(AssignmentType::kText));
    texts.Set(RecordIndex(3, 0x12), std::u16string(5000, u'z'));

    const std::vector<std::uint8_t> bytes = Serialize(image, texts);
    ProfileImage loaded;
    StringTable loadedTexts;
    ASSERT_EQ(DecodeProfileBytes(bytes, loaded, loadedTexts), ProfileFormatError::kNone);
    EXPECT_EQ(loaded.macros, image.macros);
    EXPECT_EQ(loaded.Entry(RecordIndex(0, 0x10)), image.Entry(RecordIndex(0, 0x10)));
    EXPECT_EQ(loadedTexts.Text(RecordIndex(2, 0x11)), texts.Text(RecordIndex(2, 0x11)));
    EXPECT_EQ(loadedTexts.Text(RecordIndex(3, 0x12)), texts.Text(RecordIndex(3, 0x12)));
    EXPECT_EQ(loadedTexts.Total(), texts.Total());
    // Saving what was loaded gives the same bytes.
    EXPECT_EQ(Serialize(loaded, loadedTexts), bytes);
}

TEST(ProfileFileTest, HostileTexts) {
    const std::vector<std::uint8_t> valid = ValidFileWithTexts();
    ProfileFileHeader header;
    ASSERT_TRUE(ProfileFileHeader::Read(valid, header));
    const std::size_t poolOffset = kHeaderBlockSize + kMacroBlockSize * header.macroCount;
    const std::size_t programRecord = kKeyTableOffset + RecordIndex(0, 0x1E) * kKeyEntrySize;

    // Offsets at and past the end of the pool, and at the top of the 32-bit range.
    for (const std::uint32_t offset : {header.poolSize, header.poolSize + 1, header.poolSize + 2, 0xFFFFFFFEu}) {
        std::vector<std::uint8_t> bytes = valid;
        WriteU32(bytes, programRecord + 4, offset);
        EXPECT_EQ(CheckProfileBytes(bytes), ProfileFormatError::kBadText) << offset;
    }

    // The last text loses its terminator: it now runs off the end of the pool.
    std::vector<std::uint8_t> unterminated = valid;
    unterminated[poolOffset + header.poolSize - 2] = 'x';
    EXPECT_EQ(CheckProfileBytes(unterminated), ProfileFormatError::kBadText);

    // An odd pool size leaves half a unit at the end, which cannot terminate a text.
    std::vector<std::uint8_t> odd = valid;
    odd.resize(odd.size() - 1);
    SetHeader(odd, header.macroCount, header.poolSize - 1);
    EXPECT_EQ(CheckProfileBytes(odd), ProfileFormatError::kBadText);

    // An odd offset is read at the even offset below it.
    std::vector<std::uint8_t> oddOffset = valid;
    WriteU32(oddOffset, programRecord + 4, 1);
    ProfileImage image;
    StringTable texts;
    ASSERT_EQ(DecodeProfileBytes(oddOffset, image, texts), ProfileFormatError::kNone);
    EXPECT_EQ(texts.Text(RecordIndex(0, 0x1E)), u"/usr/bin/editor");

    // Every entry pointing at the same text: more text than the pool holds.
    std::vector<std::uint8_t> shared = valid;
    for (std::size_t record = 0; record < kKeyEntryCount; ++record) {
        WriteU16(shared, kKeyTableOffset + record * kKeyEntrySize, 3);
        WriteU32(shared, kKeyTableOffset + record * kKeyEntrySize + 4, 0);
    }
    EXPECT_EQ(CheckProfileBytes(shared), ProfileFormatError::kBadText);
}

TEST(ProfileFileTest, HostileSizesAndTruncations) {
    const std::vector<std::uint8_t> valid = ValidFileWithTexts();
    ProfileFileHeader header;
    ASSERT_TRUE(ProfileFileHeader::Read(valid, header));

    // Huge counts with a matching total and checksum: refused before anything is read.
    for (const auto& [macros, pool] : {std::pair<std::uint16_t, std::uint32_t>{0xFFFF, 0},
                                       {100, 0xFFFF0000u},
                                       {0, 0xFFFFFFFFu},
                                       {100, 0xFFFFFFFFu - 32832u - 32512u * 100u}}) {
        std::vector<std::uint8_t> bytes = valid;
        SetHeader(bytes, macros, pool);
        const ProfileFormatError error = CheckProfileBytes(bytes);
        EXPECT_TRUE(error == ProfileFormatError::kBadHeader || error == ProfileFormatError::kTruncated)
            << macros << " " << pool;
    }

    // Cut at every boundary of the layout and around it.
    const std::size_t poolOffset = kHeaderBlockSize + kMacroBlockSize;
    for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{31}, std::size_t{32}, std::size_t{63},
                                  std::size_t{64}, kHeaderBlockSize - 1, kHeaderBlockSize, kHeaderBlockSize + 1,
                                  poolOffset - 1, poolOffset, poolOffset + 1, valid.size() - 1}) {
        const ProfileFormatError error = CheckProfileBytes(std::span(valid).first(cut));
        EXPECT_NE(error, ProfileFormatError::kNone) << cut;
        ProfileImage image;
        StringTable texts;
        EXPECT_NE(DecodeProfileBytes(std::span(valid).first(cut), image, texts), ProfileFormatError::kNone);
    }
}

TEST(ProfileFileTest, RandomBytesNeverCrash) {
    std::mt19937 random(20240611);
    const std::vector<std::uint8_t> valid = ValidFileWithTexts();
    int accepted = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes;
        if (round % 3 == 0) {
            bytes.resize(random() % (2 * valid.size()));
            for (auto& b : bytes) {
                b = static_cast<std::uint8_t>(random());
            }
        } else {
            // Flip a few bytes of a valid file, then keep the header self-consistent so the
            // damage reaches the key table, the macros and the pool.
            bytes = valid;
            for (int flips = 0; flips < 1 + round % 40; ++flips) {
                bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
            }
            if (round % 3 == 2) {
                SetHeader(bytes, *ReadU16(bytes, 14), *ReadU32(bytes, 16));
            }
        }
        ProfileImage image;
        StringTable texts;
        if (DecodeProfileBytes(bytes, image, texts) == ProfileFormatError::kNone) {
            ++accepted;
            EXPECT_LE(image.macros.size(), kMaxMacros);
            EXPECT_LE(texts.Total(), *ReadU32(bytes, 16));
            for (const MacroBlock& m : image.macros) {
                EXPECT_LE(m.steps.size(), kMaxMacroSteps);
                EXPECT_LE(m.name.size(), kMaxMacroNameLength);
            }
        }
    }
    EXPECT_GT(accepted, 0) << "the damage should sometimes miss everything that is checked";
}

} // namespace
} // namespace brasslane
