#include "core/keys/MacroBlock.h"

#include "core/base/Bytes.h"
#include "core/base/Utf8.h"

#include <gtest/gtest.h>

#include <vector>

namespace brasslane {
namespace {

using Block = std::vector<std::uint8_t>;

std::span<std::uint8_t, kMacroBlockSize> Bytes(Block& block) {
    return std::span<std::uint8_t, kMacroBlockSize>(block.data(), kMacroBlockSize);
}

TEST(MacroBlock, WriteLayout) {
    MacroBlock macro;
    macro.name = u"Hi";
    macro.repeat = 200;
    macro.newFlag = 1;
    macro.id = 42;
    macro.steps = {{40000, 0x1D, 0}, {10, 0x162, 1}, {5, 0x1E, 9}};
    Block block(kMacroBlockSize, 0xEE);
    macro.Write(Bytes(block));
    const struct {
        std::size_t offset;
        std::uint16_t value;
    } words[] = {
        {0, u'H'},    {2, u'i'}, {4, 0},      {500, 200}, {502, 1},     {504, 0}, {506, 42}, {508, 3}, {510, 0},
        {512, 40000}, {514, 0},  {516, 0x1D}, {518, 0},   {524, 0x162}, {526, 1}, {534, 0}, // state 9 is stored as a
                                                                                            // press
    };
    for (const auto& w : words) {
        EXPECT_EQ(*ReadU16(block, w.offset), w.value) << w.offset;
    }
    // Everything else is zero, unused steps included.
    for (std::size_t at = 536; at < kMacroBlockSize; ++at) {
        ASSERT_EQ(block[at], 0) << at;
    }
    EXPECT_EQ(MacroBlock::Read(Bytes(block)).steps[2].state, 0);
}

TEST(MacroBlock, RoundTripAndLimits) {
    MacroBlock macro;
    macro.name = utf8::ToUtf16("Makro \xE2\x82\xAC \xF0\x9F\x98\x80");
    macro.repeat = 255;
    macro.id = 100;
    for (std::uint32_t i = 0; i < kMaxMacroSteps; ++i) {
        macro.steps.push_back(
            {i * 10, static_cast<std::uint16_t>(0x100 + i % 0x80), static_cast<std::uint16_t>(i % 2)});
    }
    Block block(kMacroBlockSize);
    macro.Write(Bytes(block));
    EXPECT_EQ(MacroBlock::Read(Bytes(block)), macro);

    // A name is cut to 249 units so that the terminator always fits; steps beyond 4000 are dropped.
    MacroBlock big = macro;
    big.name = std::u16string(300, u'n');
    big.steps.push_back({1, 2, 0});
    big.Write(Bytes(block));
    const MacroBlock back = MacroBlock::Read(Bytes(block));
    EXPECT_EQ(back.name, std::u16string(kMaxMacroNameLength, u'n'));
    EXPECT_EQ(*ReadU16(block, 2 * kMaxMacroNameLength), 0);
    EXPECT_EQ(back.steps.size(), kMaxMacroSteps);
}

TEST(MacroBlock, DamagedBlocksReadSafely) {
    Block block(kMacroBlockSize, 0x41); // no terminator anywhere, huge counts
    WriteU16(block, 508, 0xFFFF);
    const MacroBlock macro = MacroBlock::Read(Bytes(block));
    EXPECT_EQ(macro.name.size(), kMaxMacroNameLength);
    EXPECT_EQ(macro.steps.size(), kMaxMacroSteps);
    for (const MacroStep& step : macro.steps) {
        ASSERT_EQ(step.state, 0);
    }
    WriteU16(block, 4, 0);
    WriteU16(block, 508, 1);
    WriteU16(block, 518, 1);
    const MacroBlock small = MacroBlock::Read(Bytes(block));
    EXPECT_EQ(small.name, u"\x4141\x4141");
    ASSERT_EQ(small.steps.size(), 1u);
    EXPECT_EQ(small.steps[0], (MacroStep{0x41414141, 0x4141, 1}));
}

} // namespace
} // namespace brasslane
