// Time to make one preview frame of each lighting effect. The main window asks for one frame
// every 50 ms; a frame has to stay far below 50 us so the timer never crowds the UI thread.

#include "core/lighting/PreviewEngine.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

using brasslane::PreviewEngine;
using brasslane::PreviewInput;

// Arguments: effect 1..20, then 0 for single colour or 1 for colourful.
void BM_PreviewFrame(benchmark::State& state) {
    const auto effect = static_cast<std::uint8_t>(state.range(0));
    const bool colourful = state.range(1) != 0;
    // A fixed clock keeps effect 10 comparable with the others; BM_PreviewScatterWallClock
    // measures it with the real one.
    PreviewEngine engine(1, [] { return std::uint64_t{1}; });
    const PreviewInput input{effect, colourful, 0xFF, {200, 100, 50}};
    for (auto _ : state) {
        auto frame = engine.Tick(input);
        benchmark::DoNotOptimize(frame);
        benchmark::ClobberMemory();
    }
    state.SetLabel("effect " + std::to_string(effect) + (colourful ? " colourful" : " single"));
}
BENCHMARK(BM_PreviewFrame)->ArgsProduct({benchmark::CreateDenseRange(1, 20, 1), {0, 1}});

void BM_PreviewScatterWallClock(benchmark::State& state) {
    PreviewEngine engine;
    const PreviewInput input{10, true, 0x00, {200, 100, 50}};
    for (auto _ : state) {
        auto frame = engine.Tick(input);
        benchmark::DoNotOptimize(frame);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PreviewScatterWallClock);

// The effect changes and every state is reset, as on an effect selection, then one frame.
void BM_PreviewFrameAfterReset(benchmark::State& state) {
    PreviewEngine engine(1, [] { return std::uint64_t{1}; });
    const PreviewInput input{14, true, 0x00, {200, 100, 50}};
    for (auto _ : state) {
        engine.RequestReset();
        auto frame = engine.Tick(input);
        benchmark::DoNotOptimize(frame);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PreviewFrameAfterReset);

} // namespace

BENCHMARK_MAIN();
