// Encoding a full configuration for the keyboard: the macro blob of a configuration that fills
// the largest macro area (255 x 128 bytes) and the key maps of all three profiles, as one
// write does before it sends anything.

#include "core/keys/KeyAction.h"
#include "core/keys/MacroBlob.h"
#include "core/keys/ProfileImage.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

using namespace brasslane;

constexpr std::size_t kLargestMacroArea = 255 * 128;

// 100 macros of 70 steps with 20-character names: 32616 bytes with names.
std::vector<MacroBlock> FullMacroList() {
    std::mt19937 random(1);
    std::vector<MacroBlock> macros(kMaxMacros);
    for (std::size_t i = 0; i < macros.size(); ++i) {
        macros[i].id = static_cast<std::uint16_t>(i + 1);
        macros[i].name = std::u16string(20, static_cast<char16_t>(u'a' + i % 26));
        macros[i].steps.resize(70);
        for (MacroStep& step : macros[i].steps) {
            step = {static_cast<std::uint32_t>(random() % 40000), static_cast<ScanCode>(random() % 0x180),
                    static_cast<std::uint16_t>(random() % 2)};
        }
    }
    return macros;
}

ProfileImage FullyAssignedImage(const std::vector<MacroBlock>& macros) {
    std::mt19937 random(2);
    ProfileImage image;
    image.macros = macros;
    for (std::size_t record = 0; record < kKeyEntryCount; ++record) {
        KeyEntry entry;
        entry.type = static_cast<std::uint16_t>(random() % 9);
        entry.param = entry.Type() == AssignmentType::kKey     ? random() % 0x180
                      : entry.Type() == AssignmentType::kMacro ? 1 + random() % 100
                                                               : random() % 11;
        image.SetEntry(record, entry);
    }
    return image;
}

void BM_EncodeFullConfiguration(benchmark::State& state) {
    const std::vector<MacroBlock> macros = FullMacroList();
    const ProfileImage image = FullyAssignedImage(macros);
    const auto defaults = BuiltInDefaultKeyMap();
    const MacroBlobSizes sizes = MacroBlobSize(macros);
    if (sizes.withNames > kLargestMacroArea) {
        state.SkipWithError("configuration does not fit the macro area");
        return;
    }
    std::vector<std::uint8_t> blob(sizes.withNames);
    for (auto _ : state) {
        const bool built = BuildMacroBlob(macros, blob, static_cast<std::uint16_t>(sizes.withNames), true);
        benchmark::DoNotOptimize(built);
        for (std::size_t profile = 0; profile < 3; ++profile) {
            auto map = EncodeKeyMap(defaults, 126, image, profile, image.macros);
            benchmark::DoNotOptimize(map);
        }
        benchmark::ClobberMemory();
    }
    state.counters["blob_bytes"] = static_cast<double>(sizes.withNames);
}
BENCHMARK(BM_EncodeFullConfiguration)->Unit(benchmark::kMicrosecond);

void BM_BuildFullMacroBlob(benchmark::State& state) {
    const std::vector<MacroBlock> macros = FullMacroList();
    const MacroBlobSizes sizes = MacroBlobSize(macros);
    std::vector<std::uint8_t> blob(sizes.withNames);
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildMacroBlob(macros, blob, static_cast<std::uint16_t>(sizes.withNames), true));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BuildFullMacroBlob)->Unit(benchmark::kMicrosecond);

void BM_EncodeThreeKeyMaps(benchmark::State& state) {
    const ProfileImage image = FullyAssignedImage(FullMacroList());
    const auto defaults = BuiltInDefaultKeyMap();
    for (auto _ : state) {
        for (std::size_t profile = 0; profile < 3; ++profile) {
            auto map = EncodeKeyMap(defaults, 126, image, profile, image.macros);
            benchmark::DoNotOptimize(map);
        }
    }
}
BENCHMARK(BM_EncodeThreeKeyMaps)->Unit(benchmark::kMicrosecond);

void BM_ParseFullMacroArea(benchmark::State& state) {
    const std::vector<MacroBlock> macros = FullMacroList();
    const MacroBlobSizes sizes = MacroBlobSize(macros);
    std::vector<std::uint8_t> blob(sizes.withNames);
    BuildMacroBlob(macros, blob, static_cast<std::uint16_t>(sizes.withNames), true);
    std::vector<MacroBlock> back;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseMacroBlob(blob, "Macro", back));
    }
}
BENCHMARK(BM_ParseFullMacroArea)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
