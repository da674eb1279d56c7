#include "core/lighting/LightingModel.h"

#include "core/lighting/LightingPanelRules.h"

#include <algorithm>
#include <array>

namespace brasslane {

LightingModel::LightingModel(DeviceLink& link, const ConnectionState& connection)
    : m_link(link), m_connection(connection) {}

template <typename Writes> DeviceStatus LightingModel::Transaction(Writes writes) {
    DeviceStatus status = m_link.BeginSequence();
    if (status == kStatusSuccess) {
        status = writes();
    }
    // The sequence is closed even after a failure, so that the keyboard is never left inside one.
    const DeviceStatus end = m_link.EndSequence();
    if (status == kStatusSuccess) {
        status = end;
    }
    m_state.lastStatus = status;
    return status;
}

DeviceStatus LightingModel::WriteByte(std::uint16_t offset, std::uint8_t value) {
    std::array<std::uint8_t, 1> data{value};
    return m_link.WriteLighting(LightingAddress(m_state.profile, offset), data);
}

DeviceStatus LightingModel::WriteColour(Rgb colour) {
    // Handed over as red, green, blue: the link stores a 3-byte write green first.
    std::array<std::uint8_t, 3> data{colour.red, colour.green, colour.blue};
    return m_link.WriteLighting(LightingAddress(m_state.profile, kOffsetColour), data);
}

void LightingModel::Decode(const LightingBlock& block) {
    m_state.effect = block.Effect();
    // Values beyond the controls' ranges are shown as the nearest position the controls have.
    m_state.brightness = std::min(block.Brightness(), kMaxBrightness);
    m_state.speed = std::min(block.Speed(), kMaxSpeed);
    m_state.storedBrightness = block.Brightness();
    m_state.storedSpeed = block.Speed();
    m_state.direction = block.Direction();
    m_state.colourful = block.Colourful();
    m_state.colour = block.Colour();
    m_state.reportRate = std::min(block.ReportRate(), kMaxReportRate);
    m_state.fourColour = block.FourColour() <= kMaxFourColour ? block.FourColour() : 0;
    m_state.loaded = true;
}

DeviceStatus LightingModel::Load(bool onConnection) {
    m_effects.Clear();
    m_index = EffectIndexTable{};

    std::array<std::uint8_t, kDeviceInfoSize> info{};
    const DeviceStatus infoStatus = m_link.ReadDeviceInfo(info);
    if (infoStatus != kStatusSuccess) {
        m_state.lastStatus = infoStatus;
        return kStatusInfoFailed;
    }
    m_effects = EffectList::FromDeviceInfo(info);
    const std::uint8_t keyboardProfile = info[kInfoActiveProfileOffset];
    m_keyboardProfile = keyboardProfile < kLightingProfileCount ? keyboardProfile : -1;

    // The user mode is sent in its own transaction before the lighting area is read: sequences
    // do not nest, and its closing command must not leave the reads outside a sequence.
    if (onConnection && m_effects.SupportsPerKey() && m_userModeHook) {
        m_userModeHook();
    }

    bool currentRead = false;
    const DeviceStatus status = Transaction([&]() -> DeviceStatus {
        for (int profile = 0; profile < kLightingProfileCount; ++profile) {
            std::array<std::uint8_t, kFramePayload> data{};
            const DeviceStatus read =
                m_link.ReadLighting(LightingAddress(profile, 0), static_cast<std::uint8_t>(kFramePayload), data);
            if (read != kStatusSuccess) {
                return read;
            }
            m_state.blocks[static_cast<std::size_t>(profile)] = LightingBlock(data);
            currentRead = currentRead || profile == m_state.profile;
        }
        return kStatusSuccess;
    });
    if (currentRead) {
        Decode(m_state.blocks[static_cast<std::size_t>(m_state.profile)]);
    }
    m_index = EffectIndexTable(m_effects);
    return status;
}

DeviceStatus LightingModel::SelectEffect(int position) {
    ++m_effectSelections;
    const int type = m_index.TypeAt(position);
    const SelectionWrite what = SelectionWriteOf(type);
    if (what == SelectionWrite::kNothing) {
        return kStatusSuccess;
    }
    const auto effect = static_cast<std::uint8_t>(type);
    m_state.effect = effect;
    const DeviceStatus status = Transaction([&]() -> DeviceStatus {
        const DeviceStatus written = WriteByte(kOffsetEffect, effect);
        if (written != kStatusSuccess || what != SelectionWrite::kEffectAndColourful) {
            return written;
        }
        return WriteByte(kOffsetColourful, m_state.colourful ? 1 : 0);
    });
    if (what == SelectionWrite::kEffectAndRepaint && m_repaintHook) {
        m_repaintHook();
    }
    return status;
}

DeviceStatus LightingModel::SetBrightness(int position) {
    if (position < 0 || position > kMaxBrightness) {
        return kStatusBadValue;
    }
    const auto value = static_cast<std::uint8_t>(position);
    if (value == m_state.storedBrightness) {
        return kStatusSuccess;
    }
    m_state.brightness = value;
    const DeviceStatus status = Transaction([&] { return WriteByte(kOffsetBrightness, value); });
    // After a failed write the keyboard may still hold the old byte: the same change again
    // must send it again rather than count as already made.
    if (status == kStatusSuccess) {
        m_state.storedBrightness = value;
    }
    return status;
}

DeviceStatus LightingModel::SetSpeed(int position) {
    if (position < 0 || position > kMaxSpeed) {
        return kStatusBadValue;
    }
    const auto value = static_cast<std::uint8_t>(kMaxSpeed - position);
    if (value == m_state.storedSpeed) {
        return kStatusSuccess;
    }
    m_state.speed = value;
    const DeviceStatus status = Transaction([&] { return WriteByte(kOffsetSpeed, value); });
    // After a failed write the keyboard may still hold the old byte: the same change again
    // must send it again rather than count as already made.
    if (status == kStatusSuccess) {
        m_state.storedSpeed = value;
    }
    return status;
}

DeviceStatus LightingModel::SetDirection(bool first) {
    m_state.direction = first ? kDirectionFirst : kDirectionSecond;
    return Transaction([&] { return WriteByte(kOffsetDirection, m_state.direction); });
}

DeviceStatus LightingModel::SetColour(Rgb colour) {
    m_state.colourful = false;
    m_state.colour = colour;
    return Transaction([&]() -> DeviceStatus {
        const DeviceStatus written = WriteByte(kOffsetColourful, 0);
        if (written != kStatusSuccess) {
            return written;
        }
        return WriteColour(colour);
    });
}

DeviceStatus LightingModel::ToggleColourful() {
    m_state.colourful = !m_state.colourful;
    return Transaction([&] { return WriteByte(kOffsetColourful, m_state.colourful ? 1 : 0); });
}

DeviceStatus LightingModel::ChoosePreset(int preset) {
    if (preset < 0 || static_cast<std::size_t>(preset) >= kColourPresets.size()) {
        return kStatusBadValue;
    }
    return SetColour(kColourPresets[static_cast<std::size_t>(preset)]);
}

DeviceStatus LightingModel::SetReportRate(int rate) {
    if (rate < 0 || rate > kMaxReportRate) {
        return kStatusBadValue;
    }
    m_state.reportRate = static_cast<std::uint8_t>(rate);
    return Transaction([&] { return WriteByte(kOffsetReportRate, m_state.reportRate); });
}

DeviceStatus LightingModel::SetFourColour(int choice) {
    if (choice < 0 || choice > kMaxFourColour) {
        return kStatusBadValue;
    }
    m_state.fourColour = static_cast<std::uint8_t>(choice);
    return Transaction([&] { return WriteByte(kOffsetFourColour, m_state.fourColour); });
}

DeviceStatus LightingModel::WriteDefaultBlock() {
    std::array<std::uint8_t, kDefaultBlockSize> data = kDefaultBlock;
    const bool wasLoaded = m_state.loaded;
    Decode(LightingBlock(data));
    m_state.loaded = wasLoaded;
    return Transaction([&] { return m_link.WriteLighting(LightingAddress(m_state.profile, 0), data); });
}

DeviceStatus LightingModel::ResetToDefaults() {
    SelectEffect(m_index.PositionOf(1));
    if (m_effects.SupportsPerKey() && m_userModeResetHook) {
        m_userModeResetHook();
    }
    return WriteDefaultBlock();
}

bool LightingModel::SetProfile(int profile) {
    if (profile < 0 || profile >= kLightingProfileCount) {
        return false;
    }
    m_state.profile = profile;
    return true;
}

DeviceStatus LightingModel::SendKeyColours(int profile) {
    if (profile < 0 || profile >= kLightingProfileCount) {
        return kStatusBadValue;
    }
    const std::uint32_t keyCount = m_connection.keyCount.load();
    const std::array<std::uint8_t, kKeyColourAreaSize> area = m_keyColours.Encode(profile, keyCount);
    const std::uint32_t chunks = KeyColourChunkCount(keyCount);
    return Transaction([&]() -> DeviceStatus {
        for (std::uint32_t j = 0; j < chunks; ++j) {
            const auto chunk = std::span(area).subspan(j * kKeyColourChunkBytes, kKeyColourChunkBytes);
            const DeviceStatus written =
                m_link.WriteKeyColours(static_cast<std::uint32_t>(profile), j * kKeyColourChunkKeys, chunk);
            if (written != kStatusSuccess) {
                return written;
            }
        }
        return kStatusSuccess;
    });
}

DeviceStatus LightingModel::SetKeyColour(int index, Rgb colour) {
    if (!m_keyColours.Set(m_state.profile, index, colour)) {
        return kStatusBadValue;
    }
    const std::array<std::uint8_t, 3> data{colour.green, colour.red, colour.blue};
    return Transaction([&] {
        return m_link.WriteKeyColours(static_cast<std::uint32_t>(m_state.profile), static_cast<std::uint32_t>(index),
                                      data);
    });
}

} // namespace brasslane
