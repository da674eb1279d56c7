// What reading back a write costs: the write of all three key maps and a macro area to the
// simulated 128-key keyboard at 1 ms per report, with and without the read-back that compares
// them. Argument 0 writes plainly, 1 verifies; "exchanges" counts the requests of one write.

#include "core/base/UiSink.h"
#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/device/KeyboardFinder.h"
#include "core/keys/MacroBlock.h"
#include "core/keys/ProfileImage.h"
#include "core/profiles/WriteSequence.h"
#include "core/resources/Language.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <benchmark/benchmark.h>
#include <sys/prctl.h>

#include <chrono>
#include <cstdint>
#include <filesystem>

namespace {

using namespace brasslane;

// Answers every question with its default and shows nothing: the write shows no message here.
class QuietUi : public UiSink {
public:
    std::intptr_t Send(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
    void Post(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    void SetTimer(int, int) override {}
    void SetTrayIcon(int) override {}
    MessageAnswer ShowMessage(const std::string&, const std::string&, MessageButtons) override {
        return MessageAnswer::kOk;
    }
    void HideMainWindow() override {}
};

void BM_WriteAllProfiles(benchmark::State& state) {
    const bool verify = state.range(0) != 0;
    sim::SimKeyboard keyboard(sim::SimModel::k505B);
    sim::SimHidBackend backend(keyboard);
    DeviceLink link(backend);
    ConnectionState connection;
    if (!ConnectKeyboard(link, connection) || ReadConnectionData(link, connection) != kStatusSuccess) {
        state.SkipWithError("the simulated keyboard did not connect");
        return;
    }
    Language language(std::filesystem::temp_directory_path() / "brasslane-bench-no-language", nullptr,
                      [] { return Language::kDefaultLanguageId; });
    QuietUi ui;
    WorkingImage working;
    UploadSnapshot snapshot;
    working.image.header.assign(kHeaderBlockSize, 0);
    // Three macros of 50 key presses: a macro area of a little over 1 KiB, 20 chunks.
    for (std::uint16_t id = 1; id <= 3; ++id) {
        MacroBlock macro;
        macro.id = id;
        macro.name = u"Benchmark";
        macro.repeat = 1;
        for (int i = 0; i < 50; ++i) {
            macro.steps.push_back({10, 0x1E, 0});
            macro.steps.push_back({10, 0x1E, 1});
        }
        working.image.macros.push_back(macro);
    }
    snapshot.image = working.image;

    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    keyboard.SetFaults({.latencyPerReport = std::chrono::milliseconds(1)});
    std::size_t exchanges = 0;
    for (auto _ : state) {
        keyboard.ClearRequestLog();
        const WriteResult result =
            WriteConfiguration(snapshot, working, true, 0, link, connection, ui, language, verify);
        if (!result) {
            state.SkipWithError(WriteResultText(result).c_str());
            break;
        }
        exchanges = keyboard.RequestLog().size();
    }
    state.counters["exchanges"] = static_cast<double>(exchanges);
}
BENCHMARK(BM_WriteAllProfiles)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
