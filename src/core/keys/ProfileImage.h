#pragma once

// The profile image: every key assignment of the keyboard's three profiles (plus a fourth,
// carried area), the macros they share and the texts some assignments carry. The same image is
// what the dialogs edit (WorkingImage), what a profile file holds, and the source of what is
// written into the keyboard (UploadSnapshot).
//
// Byte layout of the header block (32832 bytes): ProfileFileHeader (32), KeyTableHeader (32),
// 2048 KeyEntry records (16 each). The header block is kept as bytes so that a loaded file's
// key table header survives a save unchanged; entries are read and written through accessors.

#include "core/keys/KeyEntry.h"
#include "core/keys/MacroBlock.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace brasslane {

constexpr std::size_t kFileHeaderSize = 32;
constexpr std::size_t kKeyTableHeaderOffset = 32;
constexpr std::size_t kKeyTableOffset = 64;
constexpr std::size_t kHeaderBlockSize = 32832;
constexpr std::uint16_t kProfileMagic = 0x4446;
constexpr std::size_t kStringSlots = 2048;

struct ProfileImage {
    std::vector<std::uint8_t> header = std::vector<std::uint8_t>(kHeaderBlockSize, 0);
    std::vector<MacroBlock> macros; // in list order; at most 100

    KeyEntry Entry(std::size_t record) const {
        return KeyEntry::Read(std::span<const std::uint8_t, kKeyEntrySize>(
            header.data() + kKeyTableOffset + record * kKeyEntrySize, kKeyEntrySize));
    }
    void SetEntry(std::size_t record, const KeyEntry& entry) {
        entry.Write(std::span<std::uint8_t, kKeyEntrySize>(header.data() + kKeyTableOffset + record * kKeyEntrySize,
                                                           kKeyEntrySize));
    }
    std::uint16_t MacroCount() const { return static_cast<std::uint16_t>(macros.size()); }
};

// One text per key entry (program paths of type 3, texts of type 6). An empty slot has length
// 0; a filled slot's byte length counts its terminator: (characters + 1) x 2.
class StringTable {
public:
    StringTable() : m_slots(kStringSlots) {}
    const std::u16string& Text(std::size_t slot) const { return m_slots[slot].text; }
    std::uint32_t Length(std::size_t slot) const { return m_slots[slot].length; }
    void Set(std::size_t slot, std::u16string text) {
        m_total -= m_slots[slot].length;
        m_slots[slot].length = static_cast<std::uint32_t>((text.size() + 1) * 2);
        m_slots[slot].text = std::move(text);
        m_total += m_slots[slot].length;
    }
    void Clear(std::size_t slot) {
        m_total -= m_slots[slot].length;
        m_slots[slot] = {};
    }
    void ClearAll() {
        for (auto& s : m_slots) {
            s = {};
        }
        m_total = 0;
    }
    // Sum of all slot lengths: the pool size a file or snapshot of this image gets.
    std::uint32_t Total() const { return m_total; }

private:
    struct Slot {
        std::u16string text;
        std::uint32_t length = 0;
    };
    std::vector<Slot> m_slots;
    std::uint32_t m_total = 0;
};

// What the dialogs edit. Take `lock` before touching any field; when both images are needed,
// take the working image's lock first.
struct WorkingImage {
    std::recursive_mutex lock;
    ProfileImage image;
    StringTable texts;
    // Raised when a macro that keys use was deleted: the next write sends all three key maps.
    std::atomic<bool> allProfilesRequest{false};
};

// What the last apply wrote into the keyboard, with its texts packed into one pool.
struct UploadSnapshot {
    std::recursive_mutex lock;
    ProfileImage image;
    std::vector<std::uint8_t> pool;
};

} // namespace brasslane
