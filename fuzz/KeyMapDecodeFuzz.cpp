// A key map as read back from the keyboard, decoded into a profile area against the built-in
// default map and against a default map from the keyboard (the input's second half).

#include "core/keys/KeyAction.h"
#include "core/keys/ProfileImage.h"

#include <algorithm>
#include <cstdint>

using namespace brasslane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // First byte: the key count the connection gives (up to 255), then the map, then the
    // keyboard's default map from the rest.
    const std::size_t keyCount = data[0];
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    const std::size_t half = rest.size() / 2;
    ProfileImage image;
    const auto builtIn = BuiltInDefaultKeyMap();
    DecodeKeyMap(rest, builtIn, keyCount, image, 1);
    DecodeKeyMap(rest.first(half), rest.subspan(half), keyCount, image, 3);
    for (std::size_t i = 0; i + kKeyActionSize <= rest.size(); i += kKeyActionSize) {
        DecodeKeyAction(KeyAction{rest[i], rest[i + 1], rest[i + 2]});
    }
    return 0;
}
