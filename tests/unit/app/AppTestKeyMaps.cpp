#include "core/keys/KeyAction.h"
#include "core/keys/ProfileImage.h"
#include "platform/sim/SimKeyboard.h"

#include <span>

namespace brasslane::test {

KeyEntry DecodedKeyboardEntry(const sim::SimKeyboard& keyboard, int profile, std::size_t slot) {
    const std::vector<std::uint8_t> maps = keyboard.KeyMaps();
    const std::vector<std::uint8_t> defaultMap = keyboard.DefaultKeyMap();
    const std::size_t size = keyboard.BlockSize();
    ProfileImage image;
    DecodeKeyMap(std::span(maps).subspan(static_cast<std::size_t>(profile) * size, size), defaultMap,
                 keyboard.KeyCount(), image, 0);
    return image.Entry(RecordIndex(0, slot));
}

} // namespace brasslane::test
