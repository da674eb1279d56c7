// The command exchange through the real hidraw backend, against the simulated keyboard served
// by brasslane-vhid (FUSE: every report crosses the kernel twice), beside the same work against
// the simulated keyboard in process. Exchanges per second, and a full read-back: the three key
// maps and the macro area, what a backup reads.

#include "core/device/DeviceLink.h"
#include "core/device/KeyboardFinder.h"
#include "platform/linux/HidrawBackend.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using brasslane::ConnectionState;
using brasslane::DeviceLink;
using brasslane::HidBackend;
using brasslane::kStatusSuccess;
namespace sim = brasslane::sim;

// brasslane-vhid on a temporary folder for the whole run.
class Mount {
public:
    Mount() {
        char pattern[] = "/tmp/brasslane-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr || ::access("/dev/fuse", R_OK | W_OK) != 0) {
            return;
        }
        m_folder = pattern;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execl(BRASSLANE_VHID, BRASSLANE_VHID, m_folder.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 1000 && m_pid > 0; ++i) {
            std::error_code ec;
            if (fs::exists(m_folder / "control", ec)) {
                m_ready = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~Mount() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            ::umount2(m_folder.c_str(), MNT_DETACH);
        }
        std::error_code ec;
        fs::remove(m_folder, ec);
    }
    bool Ready() const { return m_ready; }
    const fs::path& Folder() const { return m_folder; }

private:
    fs::path m_folder;
    pid_t m_pid = -1;
    bool m_ready = false;
};

Mount& SharedMount() {
    static Mount mount;
    return mount;
}

// The backend a benchmark runs against: the virtual keyboard's files (range 1) or the simulated
// keyboard in process (range 0).
struct Target {
    std::unique_ptr<sim::SimKeyboard> keyboard;
    std::unique_ptr<HidBackend> backend;
};

bool MakeTarget(benchmark::State& state, Target& target) {
    if (state.range(0) == 0) {
        target.keyboard = std::make_unique<sim::SimKeyboard>(sim::SimModel::k7672);
        target.backend = std::make_unique<sim::SimHidBackend>(*target.keyboard);
        state.SetLabel("in process");
        return true;
    }
    if (!SharedMount().Ready()) {
        state.SkipWithError("FUSE cannot be mounted here");
        return false;
    }
    target.backend =
        std::make_unique<brasslane::HidrawBackend>(SharedMount().Folder() / "sys", SharedMount().Folder() / "dev");
    state.SetLabel("hidraw + brasslane-vhid");
    return true;
}

void BM_Exchange(benchmark::State& state) {
    Target target;
    if (!MakeTarget(state, target)) {
        return;
    }
    DeviceLink link(*target.backend);
    ConnectionState connection;
    if (!brasslane::ConnectKeyboard(link, connection)) {
        state.SkipWithError("the keyboard did not connect");
        return;
    }
    std::int64_t exchanges = 0;
    for (auto _ : state) {
        if (link.TestCommand() != kStatusSuccess) {
            state.SkipWithError("exchange failed");
            break;
        }
        ++exchanges;
    }
    state.counters["exchanges_per_s"] = benchmark::Counter(static_cast<double>(exchanges), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Exchange)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Three 378-byte key maps and the 8 KiB macro area: 3 x 7 + 147 exchanges.
void BM_FullReadBack(benchmark::State& state) {
    Target target;
    if (!MakeTarget(state, target)) {
        return;
    }
    DeviceLink link(*target.backend);
    ConnectionState connection;
    if (!brasslane::ConnectKeyboard(link, connection) ||
        brasslane::ReadMacroCapacity(link, connection) != kStatusSuccess) {
        state.SkipWithError("the keyboard did not connect");
        return;
    }
    std::vector<std::uint8_t> keyMap(connection.blockSize.load());
    std::vector<std::uint8_t> macros(connection.macroCapacity.load());
    for (auto _ : state) {
        for (std::uint32_t profile = 0; profile < 3; ++profile) {
            if (link.ReadKeyMapBlock(profile, keyMap) != kStatusSuccess) {
                state.SkipWithError("key-map read failed");
                return;
            }
        }
        if (link.ReadMacroArea(macros) != kStatusSuccess) {
            state.SkipWithError("macro-area read failed");
            return;
        }
    }
}
BENCHMARK(BM_FullReadBack)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
