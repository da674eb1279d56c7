#include "platform/linux/EvdevKeys.h"

#include "core/keys/KeyCapture.h"
#include "core/keys/KeyTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace brasslane::platform {
namespace {

TEST(EvdevKeys, EveryKeyOfTheKeyTableCanBeCaught) {
    const auto table = EvdevKeyTable();
    // Looked up by binary search: strictly ascending evdev codes.
    EXPECT_TRUE(std::adjacent_find(table.begin(), table.end(), [](const EvdevKey& a, const EvdevKey& b) {
                    return a.evdev >= b.evdev;
                }) == table.end());

    std::set<ScanCode> reached;
    for (const EvdevKey& key : table) {
        EXPECT_FALSE(KeyRowOf(key.scanCode).IsEmpty()) << "evdev " << key.evdev;
        EXPECT_EQ(EvdevToScanCode(key.evdev), key.scanCode);
        reached.insert(key.scanCode);
    }
    // Keys no keyboard sends under a code of their own: Sys Req and Break come as Print Screen
    // and Pause with a modifier, Right Shift's second row is never reported, and the mouse,
    // wheel, pan, double-click and window functions are not keys.
    const std::set<ScanCode> unreachable{0x54,  0x136, 0x146, 0x161, 0x162, 0x16E, 0x16F,
                                         0x170, 0x171, 0x172, 0x173, 0x179, 0x17A};
    for (std::uint16_t index = 0; index < kKeyTableRows; ++index) {
        const ScanCode code = FromScanIndex(index);
        if (KeyRowOf(code).IsEmpty() || unreachable.contains(code)) {
            continue;
        }
        EXPECT_TRUE(reached.contains(code)) << std::hex << "0x" << code << " has no evdev key";
    }
    // The eighteen media keys among them, so that the dialog can let them pass.
    EXPECT_EQ(std::count_if(reached.begin(), reached.end(), [](ScanCode code) { return IsMediaKey(code); }), 18);
}

TEST(EvdevKeys, NativeScanCodesAreEvdevCodesPlusEight) {
    const struct {
        std::uint32_t evdev;
        ScanCode code;
    } keys[] = {{30, 0x1E},   {48, 0x30},   {99, 0x137},  {119, 0x45},  {69, 0x145},  {96, 0x11C},
                {97, 0x11D},  {125, 0x15B}, {126, 0x15C}, {127, 0x15D}, {113, 0x120}, {164, 0x122},
                {103, 0x148}, {54, 0x36},   {183, 0x64},  {86, 0x56}};
    for (const auto& key : keys) {
        EXPECT_EQ(NativeScanCodeToScanCode(key.evdev + 8), key.code) << key.evdev;
        EXPECT_EQ(ScanCodeToEvdev(key.code), key.evdev);
    }
    for (const std::uint32_t native : {0U, 7U, 8U, 84U + 8U, 240U + 8U, 0xFFFFFFFFU}) {
        EXPECT_EQ(NativeScanCodeToScanCode(native), 0) << native;
    }
    EXPECT_FALSE(ScanCodeToEvdev(0x171));
}

} // namespace
} // namespace brasslane::platform
