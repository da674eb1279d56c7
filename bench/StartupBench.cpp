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

#include "platform/linux/LinuxPaths.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path Program() {
    return brasslane::platform::ExecutablePath().parent_path() / "brasslane";
}

// A home of its own for each run, so that no run sees another's files or lock.
class TempHome {
public:
    TempHome() {
        std::string pattern = (fs::temp_directory_path() / "brasslane-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            m_root = pattern;
            fs::create_directories(m_root / "run");
            fs::permissions(m_root / "run", fs::perms::owner_all);
        }
    }
    ~TempHome() {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    const fs::path& Root() const { return m_root; }

private:
    fs::path m_root;
};

// One run of the program, its standard output read through a pipe.
class Run {
public:
    Run(const TempHome& home, std::vector<std::string> arguments, std::vector<std::string> extraEnvironment) {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view text(*entry);
            if (!text.starts_with("HOME=") && !text.starts_with("XDG_") && !text.starts_with("QT_QPA_PLATFORM=") &&
                !text.starts_with("BRASSLANE_") && !text.starts_with("DISPLAY=") &&
                !text.starts_with("WAYLAND_DISPLAY=")) {
                environment.emplace_back(text);
            }
        }
        const std::string root = home.Root().string();
        environment.push_back("HOME=" + root);
        environment.push_back("XDG_DATA_HOME=" + root + "/data");
        environment.push_back("XDG_CONFIG_HOME=" + root + "/config");
        environment.push_back("XDG_RUNTIME_DIR=" + root + "/run");
        environment.push_back("QT_QPA_PLATFORM=offscreen");
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());

        const std::string program = Program().string();
        arguments.insert(arguments.begin(), program);
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);

        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        m_out = fds[0];
    }
    ~Run() {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            Wait(std::chrono::seconds(5));
        }
        if (m_out >= 0) {
            close(m_out);
        }
    }

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // Reads output until it contains `text`. False on timeout or end of output.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (m_output.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return false;
            }
            pollfd entry{m_out, POLLIN, 0};
            if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
            char buffer[512];
            const ssize_t got = read(m_out, buffer, sizeof buffer);
            if (got <= 0) {
                return m_output.find(text) != std::string::npos;
            }
            m_output.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }

    // Exit code, or nullopt when it did not end in time.
    std::optional<int> Wait(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            int status = 0;
            const pid_t done = waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_exited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return std::nullopt;
    }

    const std::string& Output() const { return m_output; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    bool m_exited = false;
    std::string m_output;
};

// "VmRSS:" of /proc/<pid>/status in kilobytes.
long ResidentKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

// utime + stime of /proc/<pid>/stat in clock ticks.
long long CpuTicks(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The command name may hold spaces; the fields after it are counted from its closing ')'.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    // Fields 3..13 come before utime (14) and stime (15).
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14) {
            utime = std::atoll(field.c_str());
        } else if (index == 15) {
            stime = std::atoll(field.c_str());
        }
    }
    return utime + stime;
}

// Starts the program hidden in the tray with the keyboard read, or reports why not.
bool StartReady(benchmark::State& state, Run& run) {
    if (!run.Started()) {
        state.SkipWithError("the program could not be started");
        return false;
    }
    if (!run.WaitForOutput("brasslane: state hidden-in-tray", std::chrono::seconds(20)) ||
        !run.WaitForOutput("brasslane: state keyboard-connected", std::chrono::seconds(20))) {
        state.SkipWithError("the program did not finish its start-up");
        return false;
    }
    return true;
}

void Stop(const TempHome& home) {
    Run kill(home, {"/Kill"}, {});
    kill.Wait(std::chrono::seconds(10));
}

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
        // Start-up work is not idle time.
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const long long before = CpuTicks(run.Pid());
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const long long after = CpuTicks(run.Pid());
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = static_cast<double>(after - before) / static_cast<double>(sysconf(_SC_CLK_TCK));
        state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
        state.counters["idle_seconds"] = wall;
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
