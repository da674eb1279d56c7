// Whole-program wall time of brasslanectl against the simulated keyboard (no added latency):
// process start, finding and reading the keyboard, the command itself and saving the
// keyboard's state file. The tool is spawned as a user runs it.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A folder for the state file and the config and data homes, so that the user's own are not
// touched.
class BenchFolder {
public:
    BenchFolder() {
        m_path = fs::temp_directory_path() / ("brasslane-clibench-" + std::to_string(::getpid()));
        fs::create_directories(m_path / "config");
        fs::create_directories(m_path / "data");
        setenv("XDG_CONFIG_HOME", (m_path / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_path / "data").c_str(), 1);
        unsetenv("BRASSLANE_SIM_FAULTS");
    }
    ~BenchFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    fs::path operator/(const std::string& name) const { return m_path / name; }

private:
    fs::path m_path;
};

// Runs brasslanectl with `args`, its output discarded; returns its exit status.
int RunCtl(const std::vector<std::string>& args) {
    std::vector<std::string> argv{BRASSLANECTL};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argp;
    for (std::string& a : argv) {
        argp.push_back(a.data());
    }
    argp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A keyboard with something in every profile and two macros, so that a backup has work to do.
void PrepareKeyboard(const BenchFolder& folder, const std::string& simulate) {
    std::ofstream(folder / "sample.json") << R"({"format": "brasslane-profile", "version": 1,
      "profiles": [ {"profile": 1, "keys": {"A": {"type": "key", "key": "B"}, "F1": {"type": "macro", "macro": 1}}},
                    {"profile": 2, "keys": {"CapsLock": {"type": "disabled"}}},
                    {"profile": 3, "keys": {"F2": {"type": "macro", "macro": 2}}} ],
      "macros": [ {"id": 1, "name": "Hello", "steps": [{"key": "H", "action": "press", "delay": 50},
                                                       {"key": "H", "action": "release"}]},
                  {"id": 2, "name": "Copy", "steps": [{"key": "Ctrl", "action": "press"}, {"key": "C", "action": "press"},
                                                      {"key": "C", "action": "release"},
                                                      {"key": "Ctrl", "action": "release"}]} ] })";
    RunCtl({"fwc", "from-json", (folder / "sample.json").string(), (folder / "sample.fwc").string()});
    RunCtl({simulate, "restore", (folder / "sample.fwc").string()});
}

void BM_Info(benchmark::State& state) {
    BenchFolder folder;
    const std::string simulate = "--simulate=" + (folder / "state.json").string();
    PrepareKeyboard(folder, simulate);
    for (auto _ : state) {
        if (RunCtl({simulate, "info"}) != 0) {
            state.SkipWithError("brasslanectl info failed");
            break;
        }
    }
}
BENCHMARK(BM_Info)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Backup(benchmark::State& state) {
    BenchFolder folder;
    const std::string simulate = "--simulate=" + (folder / "state.json").string();
    PrepareKeyboard(folder, simulate);
    const std::string backup = (folder / "backup.fwc").string();
    for (auto _ : state) {
        if (RunCtl({simulate, "backup", backup}) != 0) {
            state.SkipWithError("brasslanectl backup failed");
            break;
        }
    }
}
BENCHMARK(BM_Backup)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor under both: a command that starts the program and touches no keyboard.
void BM_Keys(benchmark::State& state) {
    BenchFolder folder;
    for (auto _ : state) {
        if (RunCtl({"keys"}) != 0) {
            state.SkipWithError("brasslanectl keys failed");
            break;
        }
    }
}
BENCHMARK(BM_Keys)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
