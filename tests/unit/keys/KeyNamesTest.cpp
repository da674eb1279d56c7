// Canonical key and slot names: every name reads back as its key, and the readers' edges.

#include "core/keys/KeyNames.h"

#include "core/keys/KeyEntry.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace brasslane {
namespace {

TEST(KeyNamesTest, EveryNameReadsBackAsItsKeyAndSlot) {
    std::set<std::string> seen;
    for (const NamedKey& key : NamedKeys()) {
        EXPECT_TRUE(seen.insert(key.name).second) << key.name;
        EXPECT_EQ(ParseScanCode(key.name), key.scanCode) << key.name;
        EXPECT_EQ(ScanCodeName(key.scanCode), key.name);
    }
    for (std::size_t slot = 0; slot < kAreaSlots; ++slot) {
        EXPECT_EQ(ParseSlotName(SlotName(slot)), slot) << SlotName(slot);
    }
    // Names are read without regard to case and spaces, and the key table's own names work.
    for (const char* name : {"CapsLock", "caps lock", "Caps Lock", "IDS_KEYBOARD_CAPS", "CAPS", "0x03A", "0x3a"}) {
        EXPECT_EQ(ParseScanCode(name), 0x3AU) << name;
    }
    EXPECT_EQ(ScanCodeName(0x148), "UP");
    EXPECT_EQ(ScanCodeName(0x36), "RightShift");
    EXPECT_EQ(ScanCodeName(0x136), "0x136");
    EXPECT_EQ(ParseSlotName("g1"), kGSlotBankA);
    EXPECT_EQ(ParseSlotName("G9B"), kGSlotBankB + 8);
    for (const char* bad : {"", "G0", "G10", "slot512", "0x19E", "0x200", "Nokey", "0x"}) {
        EXPECT_FALSE(ParseSlotName(bad).has_value()) << bad;
    }
    EXPECT_EQ(ParseScanCode("0x19E"), 0x19EU);
    EXPECT_FALSE(ParseScanCode("0x10000").has_value());
}

} // namespace
} // namespace brasslane
