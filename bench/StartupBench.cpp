// The desktop app as a whole, run as a process against the simulated keyboard on Qt's
// offscreen platform:
//  - BM_StartupToTray: from launch until start-up has finished and the window is hidden in the
//    tray (the program ends itself there when BRASSLANE_EXIT_AFTER_INIT=1). Target: < 300 ms.
//  - BM_ResidentMemory: resident memory (VmRSS) once started with the keyboard read. Target:
//    < 80 MB.
//  - BM_IdleCpu: CPU used while idle with the keyboard connected and the window hidden, over
//    BRASSLANE_IDLE_SECONDS (default 60) seconds. Target: < 0.2 % of one core.
//  - BM_IdleCpuWatchingWindows: the same with automatic profiles on and the active-window
//    watcher connected to an X server of its own (Xvfb). Target: the same 0.2 %.
// The program is looked for beside this benchmark (both live in the build's bin folder).

#include "BenchProgram.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace brasslane::bench;

void BM_StartupToTray(benchmark::State& state) {
    if (!fs::exists(Program())) {
        state.SkipWithError("the desktop app is not built");
        return;
    }
    double reported = 0;
    for (auto _ : state) {
        TempHome home;
        const auto start = Clock::now();
        Run run(home, {"--simulate", "/Start"}, {"BRASSLANE_EXIT_AFTER_INIT=1"});
        const std::optional<int> code = run.Wait(std::chrono::seconds(30));
        const auto elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (!code || *code != 0) {
            state.SkipWithError("the program did not end by itself after start-up");
            return;
        }
        state.SetIterationTime(elapsed);
        run.WaitForOutput("us\n", std::chrono::seconds(1));
        const std::size_t at = run.Output().find("start-up finished after ");
        if (at != std::string::npos) {
            reported += std::atof(run.Output().c_str() + at + 24) / 1000.0;
        }
    }
    // The program's own view: from its application object to MSG_INIT handled, in ms.
    state.counters["in_program_ms"] = benchmark::Counter(reported, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_StartupToTray)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ResidentMemory(benchmark::State& state) {
    if (!fs::exists(Program())) {
        state.SkipWithError("the desktop app is not built");
        return;
    }
    for (auto _ : state) {
        TempHome home;
        Run run(home, {"--simulate", "/Start"}, {"BRASSLANE_TRACE_STATES=1"});
        if (!StartReady(state, run)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        state.counters["VmRSS_MB"] = static_cast<double>(ResidentKilobytes(run.Pid())) / 1024.0;
        Stop(home);
        run.Wait(std::chrono::seconds(10));
    }
}
BENCHMARK(BM_ResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// An Xvfb on a display it picks itself (-displayfd); Display() is empty when none started.
class PrivateXServer {
public:
    PrivateXServer() {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        const std::string fd = std::to_string(fds[1]);
        std::vector<std::string> arguments{"Xvfb", "-displayfd", fd, "-nolisten", "tcp", "-screen", "0", "320x240x24"};
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        std::string number;
        char c = 0;
        while (m_pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) {
            m_display = ":" + number;
        }
    }
    ~PrivateXServer() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& Display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

void IdleCpu(benchmark::State& state, bool watchWindows) {
    if (!fs::exists(Program())) {
        state.SkipWithError("the desktop app is not built");
        return;
    }
    const char* setting = std::getenv("BRASSLANE_IDLE_SECONDS");
    const int seconds = setting != nullptr && std::atoi(setting) > 0 ? std::atoi(setting) : 60;
    for (auto _ : state) {
        TempHome home;
        std::vector<std::string> environment{"BRASSLANE_TRACE_STATES=1"};
        std::optional<PrivateXServer> server;
        if (watchWindows) {
            server.emplace();
            if (server->Display().empty()) {
                state.SkipWithError("needs Xvfb");
                return;
            }
            environment.push_back("DISPLAY=" + server->Display());
            fs::create_directories(home.Root() / "config" / "Brasslane");
            std::ofstream(home.Root() / "config" / "Brasslane" / "AutoProfiles.conf")
                << "enabled = yes\ndefault = 1\nclass steam_app_570 = 2\n";
        }
        Run run(home, {"--simulate", "/Start"}, environment);
        if (!StartReady(state, run)) {
            return;
        }
        MeasureCpu(state, run, seconds, "idle_seconds");
        Stop(home);
        run.Wait(std::chrono::seconds(10));
    }
}
void BM_IdleCpu(benchmark::State& state) {
    IdleCpu(state, false);
}
BENCHMARK(BM_IdleCpu)->Iterations(1)->Unit(benchmark::kSecond);

void BM_IdleCpuWatchingWindows(benchmark::State& state) {
    IdleCpu(state, true);
}
BENCHMARK(BM_IdleCpuWatchingWindows)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
