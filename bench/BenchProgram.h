#pragma once

// The desktop app run as a process against the simulated keyboard on Qt's offscreen platform,
// for the whole-program benchmarks: a home of its own per run, the program's output, its CPU
// time and resident memory. The program is looked for beside the benchmark (both live in the
// build's bin folder).

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

namespace brasslane::bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline fs::path Program() {
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
inline long ResidentKilobytes(pid_t pid) {
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
inline long long CpuTicks(pid_t pid) {
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

// The CPU the program of `run` uses over `seconds` of wall time, as counters of `state`:
// "cpu_percent_of_core" and `secondsCounter` (the wall time measured). The first second after
// start-up is left out: start-up work is not what is measured.
inline void MeasureCpu(benchmark::State& state, const Run& run, int seconds, const char* secondsCounter) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long long before = CpuTicks(run.Pid());
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long long after = CpuTicks(run.Pid());
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = static_cast<double>(after - before) / static_cast<double>(sysconf(_SC_CLK_TCK));
    state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
    state.counters[secondsCounter] = wall;
}

// Starts the program hidden in the tray with the keyboard read, or reports why not.
inline bool StartReady(benchmark::State& state, Run& run) {
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

inline void Stop(const TempHome& home) {
    Run kill(home, {"/Kill"}, {});
    kill.Wait(std::chrono::seconds(10));
}

} // namespace brasslane::bench
