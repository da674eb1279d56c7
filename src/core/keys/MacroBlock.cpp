#include "core/keys/MacroBlock.h"

#include "core/base/Bytes.h"

#include <algorithm>

namespace brasslane {

namespace {

constexpr std::size_t kNameOffset = 0;
constexpr std::size_t kRepeatOffset = 500;
constexpr std::size_t kNewFlagOffset = 502;
constexpr std::size_t kIdOffset = 506;
constexpr std::size_t kStepCountOffset = 508;
constexpr std::size_t kStepsOffset = 512;
constexpr std::size_t kStepSize = 8;

static_assert(kStepsOffset + kMaxMacroSteps * kStepSize == kMacroBlockSize);

// A step state is a press (0) or a release (1); anything else counts as a press so that a
// damaged block can never produce a state the encoders do not know.
std::uint16_t NormalState(std::uint16_t state) {
    return state == 1 ? 1 : 0;
}

} // namespace

MacroBlock MacroBlock::Read(std::span<const std::uint8_t, kMacroBlockSize> bytes) {
    const std::span<const std::uint8_t> data(bytes);
    MacroBlock block;
    for (std::size_t i = 0; i < kMaxMacroNameLength; ++i) {
        const std::uint16_t unit = *ReadU16(data, kNameOffset + 2 * i);
        if (unit == 0) {
            break;
        }
        block.name.push_back(static_cast<char16_t>(unit));
    }
    block.repeat = *ReadU8(data, kRepeatOffset);
    block.newFlag = *ReadU16(data, kNewFlagOffset);
    block.id = *ReadU16(data, kIdOffset);
    const std::size_t count = std::min<std::size_t>(*ReadU16(data, kStepCountOffset), kMaxMacroSteps);
    block.steps.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kStepsOffset + i * kStepSize;
        MacroStep& step = block.steps[i];
        step.delay = *ReadU32(data, at);
        step.key = *ReadU16(data, at + 4);
        step.state = NormalState(*ReadU16(data, at + 6));
    }
    return block;
}

void MacroBlock::Write(std::span<std::uint8_t, kMacroBlockSize> bytes) const {
    const std::span<std::uint8_t> data(bytes);
    std::fill(data.begin(), data.end(), std::uint8_t{0});
    // The last unit of the name field always stays 0: the terminator.
    const std::size_t units = std::min(name.size(), kMaxMacroNameLength);
    for (std::size_t i = 0; i < units; ++i) {
        WriteU16(data, kNameOffset + 2 * i, static_cast<std::uint16_t>(name[i]));
    }
    WriteU8(data, kRepeatOffset, repeat);
    WriteU16(data, kNewFlagOffset, newFlag);
    WriteU16(data, kIdOffset, id);
    const std::size_t count = std::min(steps.size(), kMaxMacroSteps);
    WriteU16(data, kStepCountOffset, static_cast<std::uint16_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kStepsOffset + i * kStepSize;
        WriteU32(data, at, steps[i].delay);
        WriteU16(data, at + 4, steps[i].key);
        WriteU16(data, at + 6, NormalState(steps[i].state));
    }
}

} // namespace brasslane
