#pragma once

#include <cstdint>

namespace brasslane {

// The preview's own small random generator (SplitMix64). Its sequence is the same on every
// platform and standard library, so a seeded preview animates identically everywhere and
// tests can pin frames down. Any seed, zero included, gives a full-quality sequence.
class PreviewRandom {
public:
    constexpr PreviewRandom() = default;
    explicit constexpr PreviewRandom(std::uint64_t seed) : m_state(seed) {}

    constexpr std::uint32_t Next() {
        m_state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = m_state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 32);
    }

    // A number in 0..bound-1; 0 when bound is 0.
    constexpr std::uint32_t Below(std::uint32_t bound) { return bound == 0 ? 0 : Next() % bound; }

private:
    std::uint64_t m_state = 0;
};

} // namespace brasslane
