#pragma once

// The effects the keyboard offers and their order in the effect selector.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace brasslane {

constexpr std::size_t kEffectListSize = 32;
// Where the list and the keyboard's current profile sit in the 44-byte device information block.
constexpr std::size_t kInfoEffectListOffset = 12;
constexpr std::size_t kInfoActiveProfileOffset = 10;

// Effect 20: every key shows its own colour from the key colour table.
constexpr std::uint8_t kEffectPerKey = 20;

// 32 bytes, each an effect type (1..20) or 0 for an empty slot, in the keyboard's order.
class EffectList {
public:
    EffectList() = default;
    // The first 32 bytes of `bytes`; missing bytes read as empty slots.
    explicit EffectList(std::span<const std::uint8_t> bytes);
    // Bytes 12..43 of a device information block (a short block leaves the rest empty).
    static EffectList FromDeviceInfo(std::span<const std::uint8_t> info);

    std::span<const std::uint8_t, kEffectListSize> Bytes() const { return m_bytes; }
    void Clear() { m_bytes.fill(0); }

    // Does any of the 32 bytes hold `type`? (0 never counts: it marks an empty slot.)
    bool Offers(std::uint8_t type) const;
    bool SupportsPerKey() const { return Offers(kEffectPerKey); }

    bool operator==(const EffectList&) const = default;

private:
    std::array<std::uint8_t, kEffectListSize> m_bytes{};
};

// Position in the effect selector <-> effect type, built from the non-zero entries of an
// EffectList in list order.
class EffectIndexTable {
public:
    EffectIndexTable() = default;
    explicit EffectIndexTable(const EffectList& list);

    std::size_t Size() const { return m_size; }
    std::span<const std::uint8_t> Types() const { return std::span(m_types).first(m_size); }

    // The effect type shown at `position`; -1 when no entry is there.
    int TypeAt(int position) const;
    // The first position showing `type`; -1 when the selector does not offer it.
    int PositionOf(int type) const;

private:
    std::array<std::uint8_t, kEffectListSize> m_types{};
    std::size_t m_size = 0;
};

} // namespace brasslane
