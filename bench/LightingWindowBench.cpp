// CPU used by the desktop app's main window while the lighting preview plays effect 1 in its
// colourful form (the simulated keyboard's own lighting), run as a process against the
// simulated keyboard on Qt's offscreen platform, over BRASSLANE_IDLE_SECONDS (default 30)
// seconds:
//  - BM_PreviewShown: lighting switch on, window shown, every key button repainted every
//    50 ms. Target: < 5 % of one core.
//  - BM_PreviewHidden: lighting switch on, window hidden in the tray. Target: no more than
//    BM_SwitchOffHidden, since a hidden window computes no frame.
//  - BM_SwitchOffShown, BM_SwitchOffHidden: lighting switch off, no preview at all.

#include "BenchProgram.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace brasslane::bench;

int MeasuredSeconds() {
    const char* setting = std::getenv("BRASSLANE_IDLE_SECONDS");
    return setting != nullptr && std::atoi(setting) > 0 ? std::atoi(setting) : 30;
}

void MeasureWindow(benchmark::State& state, bool switchOn, bool shown) {
    if (!fs::exists(Program())) {
        state.SkipWithError("the desktop app is not built");
        return;
    }
    const int seconds = MeasuredSeconds();
    for (auto _ : state) {
        TempHome home;
        const fs::path userFolder = home.Root() / "data" / "Brasslane";
        fs::create_directories(userFolder);
        std::ofstream(userFolder / "wskb.ini") << "[KEYCOLOR]\nDengCheck=" << (switchOn ? 1 : 0) << "\n";
        // Without "/Start" the window opens as soon as the keyboard is found.
        std::vector<std::string> arguments{"--simulate"};
        if (!shown) {
            arguments.emplace_back("/Start");
        }
        Run run(home, arguments, {"BRASSLANE_TRACE_STATES=1"});
        if (!StartReady(state, run)) {
            return;
        }
        if (shown && !run.WaitForOutput("brasslane: state shown", std::chrono::seconds(20))) {
            state.SkipWithError("the window did not open");
            return;
        }
        MeasureCpu(state, run, seconds, "seconds");
        Stop(home);
        run.Wait(std::chrono::seconds(10));
    }
}

void BM_PreviewShown(benchmark::State& state) {
    MeasureWindow(state, true, true);
}
BENCHMARK(BM_PreviewShown)->Iterations(1)->Unit(benchmark::kSecond);

void BM_PreviewHidden(benchmark::State& state) {
    MeasureWindow(state, true, false);
}
BENCHMARK(BM_PreviewHidden)->Iterations(1)->Unit(benchmark::kSecond);

void BM_SwitchOffShown(benchmark::State& state) {
    MeasureWindow(state, false, true);
}
BENCHMARK(BM_SwitchOffShown)->Iterations(1)->Unit(benchmark::kSecond);

void BM_SwitchOffHidden(benchmark::State& state) {
    MeasureWindow(state, false, false);
}
BENCHMARK(BM_SwitchOffHidden)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
