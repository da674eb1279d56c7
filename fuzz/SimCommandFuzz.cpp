// The simulated keyboard's command handling: the input is a run of 64-byte requests (the last
// one padded with zeros). The first byte of each request chooses whether its checksum is
// made right, so that most requests reach the command's own checks. Both models (first byte
// of the input, whose bits 1-4 also ask for a save and load of the state at the end).

#include "platform/sim/SimKeyboard.h"

#include <algorithm>
#include <array>
#include <cstdint>

using namespace brasslane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    sim::SimKeyboard keyboard(data[0] & 1 ? sim::SimModel::k505B : sim::SimModel::k7672);
    for (std::size_t offset = 1; offset < size; offset += 64) {
        std::array<std::uint8_t, 64> request{};
        std::copy_n(data + offset, std::min<std::size_t>(64, size - offset), request.begin());
        const bool fixChecksum = (request[0] & 0x80) == 0;
        request[0] = 4;
        if (fixChecksum) {
            unsigned sum = 0;
            for (std::size_t i = 3; i < request.size(); ++i) {
                sum += request[i];
            }
            request[1] = static_cast<std::uint8_t>(sum & 0xFF);
            request[2] = static_cast<std::uint8_t>(sum >> 8);
        }
        keyboard.HandleRequest(request);
    }
    // The state it ends in saves and loads again, for one input in sixteen: the JSON text is
    // large and its round trip takes most of the time, while the commands are what is fuzzed.
    if ((data[0] & 0x1E) != 0x1E) {
        return 0;
    }
    std::string error;
    sim::SimKeyboard copy(keyboard.Model());
    if (!copy.LoadJson(keyboard.SaveJson(), &error)) {
        __builtin_trap();
    }
    return 0;
}
