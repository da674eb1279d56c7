#include "core/lighting/EffectList.h"

#include <algorithm>

namespace brasslane {

EffectList::EffectList(std::span<const std::uint8_t> bytes) {
    std::copy_n(bytes.begin(), std::min(bytes.size(), m_bytes.size()), m_bytes.begin());
}

EffectList EffectList::FromDeviceInfo(std::span<const std::uint8_t> info) {
    if (info.size() <= kInfoEffectListOffset) {
        return EffectList{};
    }
    return EffectList(info.subspan(kInfoEffectListOffset));
}

bool EffectList::Offers(std::uint8_t type) const {
    return type != 0 && std::find(m_bytes.begin(), m_bytes.end(), type) != m_bytes.end();
}

EffectIndexTable::EffectIndexTable(const EffectList& list) {
    for (std::uint8_t type : list.Bytes()) {
        if (type != 0) {
            m_types[m_size++] = type;
        }
    }
}

int EffectIndexTable::TypeAt(int position) const {
    if (position < 0 || static_cast<std::size_t>(position) >= m_size) {
        return -1;
    }
    return m_types[static_cast<std::size_t>(position)];
}

int EffectIndexTable::PositionOf(int type) const {
    for (std::size_t i = 0; i < m_size; ++i) {
        if (m_types[i] == type) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace brasslane
