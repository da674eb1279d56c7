// Cost of the command exchange through DeviceLink and CHidDevice against the simulated
// keyboard: the link's own overhead per exchange (the keyboard answers at once), and how
// close a key-map read comes to the floor the keyboard's latency sets.

#include "core/device/DeviceLink.h"
#include "core/device/KeyboardFinder.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <benchmark/benchmark.h>
#include <sys/prctl.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <vector>

namespace {

using brasslane::ConnectionState;
using brasslane::DeviceLink;
using brasslane::kStatusSuccess;
namespace sim = brasslane::sim;

void BM_Exchange(benchmark::State& state) {
    sim::SimKeyboard keyboard(sim::SimModel::k7672);
    sim::SimHidBackend backend(keyboard);
    DeviceLink link(backend);
    ConnectionState connection;
    if (!brasslane::ConnectKeyboard(link, connection)) {
        state.SkipWithError("the simulated keyboard did not connect");
        return;
    }
    std::int64_t exchanges = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (link.TestCommand() != kStatusSuccess) {
            state.SkipWithError("exchange failed");
            break;
        }
        // The keyboard logs every request; keep the log from growing through the run.
        if ((++exchanges & 0xFFF) == 0) {
            keyboard.ClearRequestLog();
        }
    }
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    state.counters["us_per_exchange"] = elapsed.count() / static_cast<double>(std::max<std::int64_t>(exchanges, 1));
    state.SetItemsProcessed(exchanges);
}
BENCHMARK(BM_Exchange)->UseRealTime()->Unit(benchmark::kMicrosecond);

// A 512-byte key map is ten exchanges; with 1 ms on the way out and 1 ms back per report the
// keyboard alone needs 20 ms. floor_ratio is the measured time over that floor.
void BM_KeyMapRead512WithLatency(benchmark::State& state) {
    sim::SimKeyboard keyboard(sim::SimModel::k505B);
    sim::SimHidBackend backend(keyboard);
    DeviceLink link(backend);
    ConnectionState connection;
    if (!brasslane::ConnectKeyboard(link, connection)) {
        state.SkipWithError("the simulated keyboard did not connect");
        return;
    }
    // The simulated latency is timed by this thread's sleeps; without this the kernel may let
    // each of the twenty sleeps per read run 50 us long, which is timer slack, not link cost.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    keyboard.SetFaults({.latencyPerReport = std::chrono::milliseconds(1)});
    std::vector<std::uint8_t> block(512);
    std::int64_t reads = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (link.ReadKeyMapBlock(0, block) != kStatusSuccess) {
            state.SkipWithError("key-map read failed");
            break;
        }
        ++reads;
        keyboard.ClearRequestLog();
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    constexpr double kFloorMs = 10 * 2.0;
    state.counters["ms_per_read"] = elapsed.count() / static_cast<double>(std::max<std::int64_t>(reads, 1));
    state.counters["floor_ratio"] =
        elapsed.count() / (kFloorMs * static_cast<double>(std::max<std::int64_t>(reads, 1)));
}
BENCHMARK(BM_KeyMapRead512WithLatency)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// What the machine itself allows: twenty 1 ms condition-variable waits, the waits a 512-byte
// read makes, with nothing else. floor_ratio here against floor_ratio above shows the link's
// share of the excess.
void BM_TwentyTimedWaits(benchmark::State& state) {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::mutex mutex;
    std::condition_variable never;
    std::int64_t rounds = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::unique_lock lock(mutex);
        for (int i = 0; i < 20; ++i) {
            never.wait_until(lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(1));
        }
        ++rounds;
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    state.counters["floor_ratio"] = elapsed.count() / (20.0 * static_cast<double>(std::max<std::int64_t>(rounds, 1)));
}
BENCHMARK(BM_TwentyTimedWaits)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
