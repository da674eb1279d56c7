// A skin layout value ("x,y,w,h[,fx,fy]") as a hand-edited skin file holds it.

#include "core/resources/SkinLayout.h"

#include <cstdint>
#include <string_view>

using namespace brasslane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view value(reinterpret_cast<const char*>(data), size);
    const SkinRect rect = ParseSkinRect(value);
    FaceOrigin(rect);
    IsDisabledPlacement(rect);
    return 0;
}
