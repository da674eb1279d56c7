// Profile store timings:
// - validating and loading the largest profile file the format allows in practice (100 macros
//   of 4000 steps with 249-character names, every one of the 2048 key entries carrying a
//   260-character text);
// - reading a keyboard with a full macro area (255 x 128 bytes) into a profile file when
//   every report takes 1 ms, against the floor that the exchanges themselves cost.

#include "core/base/AppState.h"
#include "core/base/UiSink.h"
#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/device/KeyboardFinder.h"
#include "core/keys/MacroBlob.h"
#include "core/profiles/ProfileStore.h"
#include "core/resources/Language.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

#include <sys/prctl.h>

namespace brasslane {
namespace {

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

std::filesystem::path BenchFolder() {
    std::random_device seed;
    auto folder = std::filesystem::temp_directory_path() / ("brasslane-profile-bench-" + std::to_string(seed()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Lang0409.ini") << "[TEXT]\nMACRO_NEW_PREFIX=Macro\nPROFILE_FORMAT_ERROR=%s\n";
    return folder;
}

struct Fixture {
    explicit Fixture(sim::SimModel model = sim::SimModel::k7672)
        : folder(BenchFolder()), language(folder, nullptr, [] { return std::uint16_t{0x0409}; }), keyboard(model),
          backend(keyboard), link(backend),
          store(working, snapshot, appState, link, connection, ui, language, folder / "user") {}
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    std::filesystem::path folder;
    QuietUi ui;
    Language language;
    sim::SimKeyboard keyboard;
    sim::SimHidBackend backend;
    DeviceLink link;
    ConnectionState connection;
    AppState appState;
    WorkingImage working;
    UploadSnapshot snapshot;
    ProfileStore store;
};

void BM_ValidateAndLoadLargestFile(benchmark::State& state) {
    Fixture fixture;
    {
        std::lock_guard lock(fixture.working.lock);
        fixture.store.CreateDefaultImage(std::nullopt);
        for (std::uint16_t id = 1; id <= kMaxMacros; ++id) {
            MacroBlock macro;
            macro.id = id;
            macro.name = std::u16string(kMaxMacroNameLength, static_cast<char16_t>(u'A' + id % 26));
            for (std::size_t i = 0; i < kMaxMacroSteps; ++i) {
                macro.steps.push_back({static_cast<std::uint32_t>(10 * i), static_cast<std::uint16_t>(0x10 + i % 40),
                                       static_cast<std::uint16_t>(i % 2)});
            }
            fixture.working.image.macros.push_back(std::move(macro));
        }
        for (std::size_t record = 0; record < kKeyEntryCount; ++record) {
            KeyEntry entry;
            entry.type = static_cast<std::uint16_t>(record % 2 == 0 ? AssignmentType::kProgram : AssignmentType::kText);
            fixture.working.image.SetEntry(record, entry);
            fixture.working.texts.Set(record, std::u16string(260, static_cast<char16_t>(u'a' + record % 26)));
        }
    }
    const auto path = fixture.folder / "largest.fwc";
    if (!fixture.store.SaveProfileFile(path, true)) {
        state.SkipWithError("cannot write the profile file");
        return;
    }
    for (auto _ : state) {
        std::lock_guard lock(fixture.working.lock);
        const bool valid = fixture.store.ValidateProfileFile(path) == ProfileFileCheck::kValid;
        fixture.store.FreeWorkingImage();
        if (!valid || !fixture.store.LoadProfileFile(path)) {
            state.SkipWithError("the profile file did not load");
            return;
        }
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_ValidateAndLoadLargestFile)->Unit(benchmark::kMillisecond);

void BM_ReadKeyboardWithFullMacroArea(benchmark::State& state) {
    Fixture fixture;
    constexpr std::size_t kFullArea = 255 * 128;
    auto info = fixture.keyboard.Info();
    info[11] = 255;
    fixture.keyboard.SetInfo(info);

    // Macros whose blob fills the whole area: 1 macro of 8132 steps would not be allowed, so
    // several long ones; the header's length says the area is full either way.
    std::vector<MacroBlock> macros;
    for (std::uint16_t id = 1; id <= 4; ++id) {
        MacroBlock macro;
        macro.id = id;
        macro.steps.assign(2030, MacroStep{20, 0x1E, 0});
        macros.push_back(std::move(macro));
    }
    std::vector<std::uint8_t> area(kFullArea, 0);
    if (MacroBlobSize(macros).withoutNames > kFullArea ||
        !BuildMacroBlob(macros, area, static_cast<std::uint16_t>(kFullArea), false)) {
        state.SkipWithError("cannot build the macro area");
        return;
    }
    fixture.keyboard.SetMacroArea(area);
    if (!ConnectKeyboard(fixture.link, fixture.connection) ||
        ReadConnectionData(fixture.link, fixture.connection) != kStatusSuccess) {
        state.SkipWithError("no simulated keyboard");
        return;
    }
    const auto latency = std::chrono::microseconds(state.range(0));
    sim::SimFaults faults;
    faults.latencyPerReport = latency;
    fixture.keyboard.SetFaults(faults);

    const auto path = fixture.folder / "backup.fwc";
    std::size_t exchanges = 0;
    for (auto _ : state) {
        fixture.keyboard.ClearRequestLog();
        if (!fixture.store.ReadKeyboardProfile(path)) {
            state.SkipWithError("reading the keyboard failed");
            return;
        }
        exchanges = fixture.keyboard.RequestLog().size();
    }
    // Each exchange is one report out and one report back, each delayed by the latency.
    const double floorMs = static_cast<double>(exchanges) * 2.0 * static_cast<double>(latency.count()) / 1000.0;
    state.counters["exchanges"] = static_cast<double>(exchanges);
    state.counters["floor_ms"] = floorMs;
}
BENCHMARK(BM_ReadKeyboardWithFullMacroArea)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The same number of exchanges with nothing around them: how close the link and the simulated
// keyboard themselves come to the floor on this machine.
void BM_BareExchanges(benchmark::State& state) {
    Fixture fixture;
    if (!ConnectKeyboard(fixture.link, fixture.connection)) {
        state.SkipWithError("no simulated keyboard");
        return;
    }
    const auto latency = std::chrono::microseconds(state.range(0));
    sim::SimFaults faults;
    faults.latencyPerReport = latency;
    fixture.keyboard.SetFaults(faults);
    const int exchanges = static_cast<int>(state.range(1));
    for (auto _ : state) {
        for (int i = 0; i < exchanges; ++i) {
            if (fixture.link.TestCommand() != kStatusSuccess) {
                state.SkipWithError("exchange failed");
                return;
            }
        }
    }
    state.counters["floor_ms"] = exchanges * 2.0 * static_cast<double>(latency.count()) / 1000.0;
}
BENCHMARK(BM_BareExchanges)->Args({1000, 605})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace
} // namespace brasslane

int main(int argc, char** argv) {
    // The simulated latency is timed by sleeps; without this the kernel may stretch each of the
    // 1210 sleeps of a full read by its 50 us timer slack, which measures the kernel, not the store.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
