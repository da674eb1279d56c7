#include "core/lighting/LightingBlock.h"

#include <algorithm>

namespace brasslane {

LightingBlock::LightingBlock(std::span<const std::uint8_t> data) {
    std::copy_n(data.begin(), std::min(data.size(), m_bytes.size()), m_bytes.begin());
}

Rgb LightingBlock::Colour() const {
    return Rgb{m_bytes[kOffsetColour], m_bytes[kOffsetColour + 1], m_bytes[kOffsetColour + 2]};
}

} // namespace brasslane
