// brasslanectl as a user runs it: the built program against the simulated keyboard, whose
// memory lives in a state file in a temporary folder, so that successive runs see one keyboard.
// The config and data homes point into the same folder: no test touches the user's own.

#include "core/lighting/KeyColourTable.h"
#include "core/lighting/UserModeFile.h"
#include "core/base/Messages.h"
#include "platform/SingleInstance.h"
#include "platform/sim/SimKeyboard.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace brasslane::test {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// One frame of a trace file: a request, an answer, or an answer that never came.
struct TraceLine {
    char mark = 0;
    bool timeout = false;
    std::vector<std::uint8_t> bytes;
};

class CliTest : public ::testing::Test {
protected:
    CliTest() {
        fs::create_directories(m_folder / "config");
        fs::create_directories(m_folder / "data");
    }

    fs::path Path(const std::string& name) const { return m_folder / name; }
    std::string State() const { return "--simulate=" + Path("state.json").string(); }

    // Runs brasslanectl with `args`; `extraEnv` adds NAME=value entries to its environment.
    Result Run(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {}) {
        std::vector<std::string> env;
        for (const std::string& entry : CurrentEnvironment()) {
            bool ours = false;
            for (const char* name :
                 {"XDG_CONFIG_HOME=", "XDG_DATA_HOME=", "BRASSLANE_SIM_FAULTS=", "BRASSLANE_SYSFS_ROOT=",
                  "BRASSLANE_DEV_ROOT=", "XDG_RUNTIME_DIR=", "APPDATA=", "LOCALAPPDATA="}) {
                ours = ours || entry.starts_with(name);
            }
            if (!ours) {
                env.push_back(entry);
            }
        }
        env.push_back("XDG_CONFIG_HOME=" + (m_folder / "config").string());
        env.push_back("XDG_DATA_HOME=" + (m_folder / "data").string());
        env.push_back("XDG_RUNTIME_DIR=" + (m_folder / "run").string());
        // Windows keeps settings and data in %APPDATA% and scopes the running app by
        // %LOCALAPPDATA%\Brasslane.
        env.push_back("APPDATA=" + (m_folder / "data").string());
        env.push_back("LOCALAPPDATA=" + (m_folder / "local").string());
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());

        std::vector<std::string> argv{BRASSLANECTL};
        argv.insert(argv.end(), args.begin(), args.end());
        const ProgramRun run = RunProgram(argv, env, m_folder.Path());
        return {run.status, run.out, run.err};
    }

    // Where the settings file and the running app's instance objects are on this system.
    fs::path SettingsFile() const {
#ifdef _WIN32
        return Path("data") / "Brasslane" / "Brasslane.ini";
#else
        return Path("config") / "Brasslane" / "Brasslane.ini";
#endif
    }
    fs::path RuntimeFolder() const {
#ifdef _WIN32
        return Path("local") / "Brasslane";
#else
        return Path("run");
#endif
    }

    // Runs and expects success.
    Result Ok(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {}) {
        Result result = Run(args, extraEnv);
        EXPECT_EQ(result.status, 0) << result.err;
        return result;
    }

    sim::SimKeyboard Keyboard() const {
        sim::SimKeyboard keyboard;
        std::string error;
        EXPECT_TRUE(keyboard.LoadStateFile(Path("state.json"), &error)) << error;
        return keyboard;
    }

    std::vector<TraceLine> Trace(const std::string& name = "trace.txt") const {
        std::vector<TraceLine> lines;
        std::istringstream in(ReadBytes(Path(name)));
        std::string line;
        while (std::getline(in, line)) {
            TraceLine parsed;
            parsed.mark = line.empty() ? 0 : line[0];
            if (line == "< timeout") {
                parsed.timeout = true;
            } else {
                // Two lower-case hexadecimal digits per byte, single spaces between them.
                EXPECT_EQ(line.size(), 2 + 64 * 3 - 1) << line;
                for (std::size_t at = 2; at + 1 < line.size(); at += 3) {
                    EXPECT_TRUE(at == 2 || line[at - 1] == ' ');
                    const std::string digits = line.substr(at, 2);
                    EXPECT_EQ(digits.find_first_not_of("0123456789abcdef"), std::string::npos) << line;
                    parsed.bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits, nullptr, 16)));
                }
            }
            lines.push_back(parsed);
        }
        return lines;
    }

    static std::vector<int> Commands(const std::vector<TraceLine>& trace) {
        std::vector<int> commands;
        for (const TraceLine& line : trace) {
            if (line.mark == '>') {
                commands.push_back(line.bytes.at(3));
            }
        }
        return commands;
    }

    // The requests after the connection's own reads (command 15 chunks, then command 3).
    static std::vector<int> AfterConnection(const std::vector<int>& commands) {
        std::size_t at = 0;
        while (at < commands.size() && commands[at] == 15) {
            ++at;
        }
        EXPECT_GT(at, 0U);
        EXPECT_LT(at, commands.size());
        EXPECT_EQ(commands[at], 3);
        return std::vector<int>(commands.begin() + static_cast<std::ptrdiff_t>(at + 1), commands.end());
    }

    // A profile with keys of every kind the keyboard keeps, and two macros.
    std::string SampleJson() const {
        return R"({
  "format": "brasslane-profile",
  "version": 1,
  "profiles": [
    { "profile": 1, "g-codes": true, "keys": {
        "Esc": { "type": "stop-macro" },
        "A": { "type": "key", "key": "B" },
        "CapsLock": { "type": "disabled" },
        "F1": { "type": "macro", "macro": 1 },
        "F2": { "type": "macro", "macro": 2 },
        "F5": { "type": "media", "function": 7 },
        "F6": { "type": "function", "function": 3 } } },
    { "profile": 2, "g-codes": true, "keys": {
        "Q": { "type": "key", "key": "LeftButton" },
        "W": { "type": "key", "key": "RollDown" },
        "E": { "type": "key", "key": "Ctrl" } } },
    { "profile": 3, "g-codes": true, "keys": {} }
  ],
  "macros": [
    { "id": 1, "name": "Hello", "repeat": 2, "steps": [
        { "key": "H", "action": "press", "delay": 50 },
        { "key": "H", "action": "release", "delay": 0 } ] },
    { "id": 2, "name": "Copy", "repeat": 1, "steps": [
        { "key": "Ctrl", "action": "press", "delay": 10 },
        { "key": "C", "action": "press", "delay": 40000 },
        { "key": "C", "action": "release", "delay": 10 },
        { "key": "Ctrl", "action": "release", "delay": 0 } ] }
  ]
}
)";
    }

    // Writes the sample profile into the keyboard.
    void RestoreSample() {
        WriteBytes(Path("sample.json"), SampleJson());
        Ok({"fwc", "from-json", Path("sample.json").string(), Path("sample.fwc").string()});
        Ok({State(), "restore", Path("sample.fwc").string()});
    }

    // Runs the tool's `args` against a keyboard holding the sample, once with each fault at each
    // exchange in turn: status 0xFF, status 0xFE and an unplug at every exchange; no answer and
    // a late answer (each costs the link's timeouts) at the first, middle and last. After each
    // run: a success left exactly what a run without faults leaves, a failure exits 1 with a
    // message; the keyboard's state file is whole, `output` (when given) is the new file or
    // untouched, and no temporary file is left. The same command once the fault is gone then
    // leaves exactly what it should.
    void FaultMatrix(const std::vector<std::string>& args, const std::string& output = {}) {
        RestoreSample();
        fs::copy_file(Path("state.json"), Path("baseline.json"), fs::copy_options::overwrite_existing);
        std::vector<std::string> clean{State(), "--trace", Path("clean.txt").string()};
        clean.insert(clean.end(), args.begin(), args.end());
        Ok(clean);
        const std::string expected = Keyboard().SaveJson();
        const std::string expectedOutput = output.empty() ? std::string() : ReadBytes(Path(output));
        const std::vector<int> requests = Commands(Trace("clean.txt"));
        const int exchanges = static_cast<int>(requests.size());
        ASSERT_GT(exchanges, 2);

        std::vector<std::string> command{State()};
        command.insert(command.end(), args.begin(), args.end());
        int runs = 0;
        int reported = 0;
        for (int at = 0; at < exchanges; ++at) {
            // An unplug after `at` answers; before the first one the keyboard is simply absent.
            std::vector<std::string> faults{"status=ff", "status=fe"};
            if (at > 0) {
                faults.push_back("unplug");
            }
            if (at == 0 || at == exchanges / 2 || at == exchanges - 1) {
                faults.insert(faults.end(), {"no-answer=4", "late=1"});
            }
            for (const std::string& fault : faults) {
                const std::string text = fault == "unplug" ? "unplug-after=" + std::to_string(at)
                                                           : "faults-after=" + std::to_string(at) + "," + fault;
                SCOPED_TRACE(text + " (command " + std::to_string(requests[static_cast<std::size_t>(at)]) + ")");
                fs::copy_file(Path("baseline.json"), Path("state.json"), fs::copy_options::overwrite_existing);
                if (!output.empty()) {
                    WriteBytes(Path(output), "the old file");
                }
                const Result faulty = Run(command, {"BRASSLANE_SIM_FAULTS=" + text});
                ++runs;
                if (faulty.status == 0) {
                    // A fault the link's retry absorbed: then the result must be whole.
                    EXPECT_EQ(Keyboard().SaveJson(), expected);
                    if (!output.empty()) {
                        EXPECT_EQ(ReadBytes(Path(output)), expectedOutput);
                    }
                } else {
                    ++reported;
                    EXPECT_EQ(faulty.status, 1) << faulty.err;
                    EXPECT_NE(faulty.err.find(": "), std::string::npos) << faulty.err;
                    Keyboard(); // the state file is still a whole keyboard state
                    if (!output.empty()) {
                        EXPECT_EQ(ReadBytes(Path(output)), "the old file");
                    }
                }
                for (const auto& entry : fs::directory_iterator(Path(""))) {
                    EXPECT_FALSE(entry.path().extension() == ".tmp") << entry.path();
                }

                const Result again = Run(command);
                EXPECT_EQ(again.status, 0) << again.err;
                EXPECT_EQ(Keyboard().SaveJson(), expected);
                if (!output.empty()) {
                    EXPECT_EQ(ReadBytes(Path(output)), expectedOutput);
                }
                if (HasFailure()) {
                    return; // one broken case says enough; the rest would repeat it
                }
            }
        }
        std::printf("%s: %d exchanges, %d runs with a fault, %d reported as failures\n", args.front().c_str(),
                    exchanges, runs, reported);
        // Status faults and unplugs are never absorbed: every one of them is a failure.
        EXPECT_GE(reported, 3 * exchanges - 1);
    }

private:
    TempFolder m_folder{"brasslane-e2e-"};
};

TEST_F(CliTest, KeySetUnderEveryFaultIsReportedAndTheRetryIsExact) {
    FaultMatrix({"key", "set", "CapsLock", "Ctrl"});
}

TEST_F(CliTest, LightingSetUnderEveryFaultIsReportedAndTheRetryIsExact) {
    FaultMatrix({"lighting", "set", "--brightness", "2", "--colour", "112233"});
}

TEST_F(CliTest, RestoreUnderEveryFaultIsReportedAndTheRetryIsExact) {
    WriteBytes(Path("other.json"), SampleJson().replace(SampleJson().find("\"B\""), 3, "\"D\""));
    Ok({"fwc", "from-json", Path("other.json").string(), Path("other.fwc").string()});
    FaultMatrix({"restore", Path("other.fwc").string()});
}

TEST_F(CliTest, BackupUnderEveryFaultIsReportedAndKeepsTheOldFile) {
    FaultMatrix({"backup", Path("out.fwc").string()}, "out.fwc");
}

TEST_F(CliTest, BackupRestoreBackupGivesIdenticalFiles) {
    for (const std::string model : {"7672", "505b"}) {
        fs::remove(Path("state.json"));
        Ok({State(), "--model", model, "info"});
        RestoreSample();
        Ok({State(), "backup", Path("first.fwc").string()});
        Ok({State(), "restore", Path("first.fwc").string()});
        Ok({State(), "backup", Path("second.fwc").string()});
        const std::string first = ReadBytes(Path("first.fwc"));
        EXPECT_GT(first.size(), 32832U) << "the macros are in the backup";
        EXPECT_EQ(first, ReadBytes(Path("second.fwc"))) << model;
    }
}

TEST_F(CliTest, JsonThroughTheKeyboardComesBackTheSame) {
    RestoreSample();
    Ok({State(), "backup", Path("back.fwc").string()});
    const Result json = Ok({"fwc", "to-json", Path("back.fwc").string()});
    EXPECT_EQ(nlohmann::json::parse(json.out), nlohmann::json::parse(SampleJson()));

    // The same through a file, and the canonical form is what to-json of the source gives.
    Ok({"fwc", "to-json", Path("sample.fwc").string(), Path("sample-again.json").string()});
    EXPECT_EQ(ReadBytes(Path("sample-again.json")), json.out);
}

TEST_F(CliTest, LightingSetChangesExactlyTheBytesOfEachSetting) {
    struct Case {
        std::vector<std::string> args;
        std::map<std::size_t, std::uint8_t> changes; // lighting byte -> new value
    };
    const std::vector<Case> cases{
        {{"--brightness", "3"}, {{1, 3}}},
        {{"--profile", "3", "--brightness", "3"}, {{2 * 42 + 1, 3}}},
        {{"--colour", "112233"}, {{4, 0}, {5, 0x22}, {6, 0x11}, {7, 0x33}}},
        {{"--profile", "2", "--speed", "4"}, {{42 + 2, 0}}},
        {{"--speed", "0"}, {{2, 4}}},
        {{"--direction", "left"}, {{3, 0xFF}}},
        {{"--rate", "4"}, {{15, 3}}},
        {{"--effect", "5", "--colourful", "off"}, {{0, 5}, {4, 0}}},
        {{"--effect", "17", "--four-colour", "red"}, {{0, 17}, {17, 2}}},
        {{"--effect", "12", "--direction", "up"}, {{0, 12}, {3, 0xFF}}},
        // Two values are sent in order: the last one stays.
        {{"--brightness", "2", "--brightness", "5"}, {}},
        {{"--colour", "ABCDEF", "--colourful", "on"}, {{4, 1}, {5, 0xCD}, {6, 0xAB}, {7, 0xEF}}},
    };
    for (const Case& c : cases) {
        fs::remove(Path("state.json"));
        Ok({State(), "info"});
        const auto before = Keyboard().Lighting();
        std::vector<std::string> args{State(), "lighting", "set"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Ok(args);
        const auto after = Keyboard().Lighting();
        std::string written;
        for (const std::string& a : c.args) {
            written += a + " ";
        }
        for (std::size_t i = 0; i < after.size(); ++i) {
            const auto expected = c.changes.find(i);
            EXPECT_EQ(after[i], expected != c.changes.end() ? expected->second : before[i]) << written << "byte " << i;
        }
        EXPECT_EQ(Keyboard().ActiveProfile(), 0) << "--profile does not switch profiles";
    }

    // What was set is what lighting show reads back.
    Ok({State(), "lighting", "set", "--effect", "2", "--brightness", "1", "--colour", "102030", "--rate", "2"});
    const Result shown = Ok({State(), "lighting", "show"});
    for (const char* line : {"Effect:       2 ", "Brightness:   1\n", "Colour:       102030\n", "Colourful:    off\n",
                             "Report rate:  2\n"}) {
        EXPECT_NE(shown.out.find(line), std::string::npos) << line << "\n" << shown.out;
    }
    Ok({State(), "lighting", "reset"});
    const auto reset = Keyboard().Lighting();
    EXPECT_EQ(std::vector<std::uint8_t>(reset.begin(), reset.begin() + 8),
              (std::vector<std::uint8_t>{1, 5, 2, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(CliTest, KeyColoursGoToTheirProfilesAddressesGreenRedBlue) {
    Ok({State(), "info"});
    const auto before = Keyboard().KeyColours();
    // A is the key at row 3, column 1 of the lighting matrix (index 64); Fn has index 110.
    Ok({State(), "key-colour", "--profile", "2", "a", "112233", "Fn", "445566"});
    Ok({State(), "profile", "3"});
    Ok({State(), "key-colour", "0x01E", "#778899"});
    const auto after = Keyboard().KeyColours();
    std::map<std::size_t, std::uint8_t> expected{
        {512 + 64 * 3, 0x22},  {512 + 64 * 3 + 1, 0x11},  {512 + 64 * 3 + 2, 0x33},
        {512 + 110 * 3, 0x55}, {512 + 110 * 3 + 1, 0x44}, {512 + 110 * 3 + 2, 0x66},
        {1024 + 64 * 3, 0x88}, {1024 + 64 * 3 + 1, 0x77}, {1024 + 64 * 3 + 2, 0x99},
    };
    for (std::size_t i = 0; i < after.size(); ++i) {
        const auto found = expected.find(i);
        EXPECT_EQ(after[i], found != expected.end() ? found->second : before[i]) << "byte " << i;
    }
    // Keys without a light of their own are refused before anything is sent.
    const Result noLight = Run({State(), "key-colour", "Mute", "112233"});
    EXPECT_EQ(noLight.status, 2);
    EXPECT_NE(noLight.err.find("has no light"), std::string::npos);
}

TEST_F(CliTest, LightingResetRestoresTheUserModesAndSendsTheirKeyColours) {
    Ok({State(), "info"});
    // Edited user modes of profiles 1 and 2, and a key painted on the keyboard.
    const fs::path user = Path("data") / "Brasslane";
    fs::create_directories(user);
    const std::string edited = "[PRESENTMODE]\nmode=4\n[Mode4]\n64=1,2,3,1\n";
    WriteBytes(user / "UserDengColor_0.userd", edited);
    WriteBytes(user / "UserDengColor_1.userd", edited);
    Ok({State(), "key-colour", "--profile", "2", "A", "010203"});
    const auto before = Keyboard().KeyColours();

    Ok({State(), "--trace", Path("trace.txt").string(), "lighting", "reset", "--profile", "2"});
    const fs::path installed = fs::path(BRASSLANECTL).parent_path() / "Skins" / "UserDengColor_3.userd";
    ASSERT_TRUE(fs::exists(installed));
    EXPECT_TRUE(ReadBytes(user / "UserDengColor_1.userd") == ReadBytes(installed)) << "profile 2's modes not restored";
    EXPECT_EQ(ReadBytes(user / "UserDengColor_0.userd"), edited);

    // Profile 2's keys show the installed default's current mode; the other profiles keep theirs.
    const UserModeFile defaults(installed);
    const int mode = defaults.ReadCurrentMode();
    const auto after = Keyboard().KeyColours();
    std::vector<int> wrongKeys;
    for (const std::uint8_t index : KeyButtonColourIndices()) {
        const Rgb colour = defaults.ReadKeyEntry(mode, index).colour;
        const std::size_t at = 512 + std::size_t{index} * 3;
        if (after[at] != colour.green || after[at + 1] != colour.red || after[at + 2] != colour.blue) {
            wrongKeys.push_back(index);
        }
    }
    EXPECT_TRUE(wrongKeys.empty()) << wrongKeys.size() << " keys do not show the default mode";
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + 512, before.begin()));
    EXPECT_TRUE(std::equal(after.begin() + 1024, after.end(), before.begin() + 1024));
    // The default block comes last, in a transaction of its own.
    const std::vector<int> commands = AfterConnection(Commands(Trace()));
    ASSERT_GE(commands.size(), 3U);
    EXPECT_EQ(std::vector<int>(commands.end() - 3, commands.end()), (std::vector<int>{1, 6, 2}));
    const auto lighting = Keyboard().Lighting();
    EXPECT_EQ(std::vector<std::uint8_t>(lighting.begin() + 42, lighting.begin() + 50),
              (std::vector<std::uint8_t>{1, 5, 2, 0, 0xFF, 0xFF, 0xFF, 0xFF}));

    // A mode file that cannot be replaced: the keyboard is reset all the same, and the exit
    // status says that a file was not written.
    fs::remove(user / "UserDengColor_0.userd");
    fs::create_directories(user / "UserDengColor_0.userd" / "in-the-way");
    Ok({State(), "lighting", "set", "--effect", "5"});
    const Result blocked = Run({State(), "lighting", "reset"});
    EXPECT_EQ(blocked.status, 3);
    EXPECT_NE(blocked.err.find("user lighting modes of profile 1"), std::string::npos) << blocked.err;
    EXPECT_EQ(Keyboard().Lighting()[0], 1);
}

TEST_F(CliTest, ProfileSwitchSendsOnlyTheInformationReadAndWrite) {
    Ok({State(), "--trace", Path("trace.txt").string(), "profile", "2"});
    const std::vector<TraceLine> trace = Trace();
    EXPECT_EQ(AfterConnection(Commands(trace)), (std::vector<int>{3, 4}));
    // Every request got its answer; the written block names profile index 1.
    ASSERT_EQ(trace.size() % 2, 0U);
    for (std::size_t i = 0; i < trace.size(); i += 2) {
        EXPECT_EQ(trace[i].mark, '>');
        EXPECT_EQ(trace[i + 1].mark, '<');
        EXPECT_FALSE(trace[i + 1].timeout);
    }
    EXPECT_EQ(trace[trace.size() - 2].bytes[8 + 10], 1);
    EXPECT_EQ(Keyboard().ActiveProfile(), 1);
    EXPECT_EQ(Ok({State(), "profile"}).out, "2\n");

    // The trace is appended to, run after run.
    Ok({State(), "--trace", Path("trace.txt").string(), "profile"});
    EXPECT_GT(Trace().size(), trace.size());
}

TEST_F(CliTest, BadProfileFilesExitThreeAndNothingIsWritten) {
    RestoreSample();
    const std::string sample = ReadBytes(Path("sample.fwc"));
    std::string badChecksum = sample;
    badChecksum[31] = static_cast<char>(badChecksum[31] + 1);
    std::string badText = sample;
    // Entry of key A in profile 1: a text whose offset lies far outside the (empty) pool.
    const std::size_t entryA = 64 + 16 * 0x1E;
    badText[entryA] = 6;
    badText[entryA + 4] = 0x40;
    const std::map<std::string, std::string> files{
        {"short.fwc", sample.substr(0, 100)},
        {"truncated.fwc", sample.substr(0, sample.size() - 10)},
        {"checksum.fwc", badChecksum},
        {"text.fwc", badText},
        {"zeros.fwc", std::string(sample.size(), '\0')},
    };
    const auto keyMaps = Keyboard().KeyMaps();
    const auto macros = Keyboard().MacroArea();
    for (const auto& [name, contents] : files) {
        WriteBytes(Path(name), contents);
        fs::remove(Path("trace.txt"));
        const Result result = Run({State(), "--trace", Path("trace.txt").string(), "restore", Path(name).string()});
        EXPECT_EQ(result.status, 3) << name;
        EXPECT_NE(result.err.find("restore: " + Path(name).string() + ": "), std::string::npos) << result.err;
        for (const int command : Commands(Trace())) {
            EXPECT_NE(command, 8) << name;
            EXPECT_NE(command, 10) << name;
        }
        EXPECT_EQ(ReadBytes(Path(name)), contents);
    }
    const Result missing = Run({State(), "restore", Path("missing.fwc").string()});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("does not exist"), std::string::npos);
    EXPECT_EQ(Keyboard().KeyMaps(), keyMaps);
    EXPECT_EQ(Keyboard().MacroArea(), macros);

    // The file commands refuse them the same way, and from-json leaves no output behind.
    EXPECT_EQ(Run({"fwc", "show", Path("checksum.fwc").string()}).status, 3);
    EXPECT_EQ(Run({"fwc", "to-json", Path("short.fwc").string()}).status, 3);
    WriteBytes(Path("bad.json"), R"({"format": "brasslane-profile", "version": 1, "profiles": []})");
    const Result json = Run({"fwc", "from-json", Path("bad.json").string(), Path("out.fwc").string()});
    EXPECT_EQ(json.status, 3);
    EXPECT_NE(json.err.find("profiles: must be an array of the 3 profiles"), std::string::npos) << json.err;
    EXPECT_FALSE(fs::exists(Path("out.fwc")));

    // A state file that is no keyboard state is refused, and kept as it was.
    WriteBytes(Path("broken.json"), "{ \"model\": ");
    const Result state = Run({"--simulate=" + Path("broken.json").string(), "info"});
    EXPECT_EQ(state.status, 3);
    EXPECT_NE(state.err.find("simulated keyboard: "), std::string::npos) << state.err;
    EXPECT_EQ(ReadBytes(Path("broken.json")), "{ \"model\": ");
}

TEST_F(CliTest, KeyboardThatStopsAnsweringLeavesEveryFileIntact) {
    RestoreSample();
    // Count the answers up to the first key-map write of a good restore.
    Ok({State(), "--trace", Path("trace.txt").string(), "restore", Path("sample.fwc").string()});
    std::size_t answers = 0;
    for (const TraceLine& line : Trace()) {
        if (line.mark == '>' && line.bytes[3] == 8) {
            break;
        }
        answers += line.mark == '<' && !line.timeout ? 1 : 0;
    }
    const std::string unplug = "BRASSLANE_SIM_FAULTS=unplug-after=" + std::to_string(answers + 2);

    const std::string sample = ReadBytes(Path("sample.fwc"));
    const Result restore = Run({State(), "restore", Path("sample.fwc").string()}, {unplug});
    EXPECT_EQ(restore.status, 1);
    EXPECT_NE(restore.err.find("restore: writing to the keyboard"), std::string::npos) << restore.err;
    EXPECT_EQ(ReadBytes(Path("sample.fwc")), sample);
    Keyboard(); // the state file is still a whole keyboard state

    // A backup that breaks off keeps the old backup as it was.
    Ok({State(), "backup", Path("old.fwc").string()});
    const std::string old = ReadBytes(Path("old.fwc"));
    const Result backup = Run({State(), "backup", Path("old.fwc").string()}, {"BRASSLANE_SIM_FAULTS=unplug-after=12"});
    EXPECT_EQ(backup.status, 1);
    EXPECT_NE(backup.err.find("backup: "), std::string::npos);
    EXPECT_EQ(ReadBytes(Path("old.fwc")), old);

    // Nothing half-written was left behind.
    for (const auto& entry : fs::directory_iterator(Path(""))) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find("tmp"), std::string::npos) << name;
    }

    // A keyboard that never answers: the step and the status are named.
    const Result silent = Run({State(), "info"}, {"BRASSLANE_SIM_FAULTS=never-answer"});
    EXPECT_EQ(silent.status, 1);
    EXPECT_NE(silent.err.find("no keyboard or no answer"), std::string::npos) << silent.err;
}

TEST_F(CliTest, RefusedMacroAreaWritesNoKeyMapAndTheNextRestoreWritesTheWholeFile) {
    // What the sample looks like in the memory of a keyboard that took it at once.
    WriteBytes(Path("sample.json"), SampleJson());
    Ok({"fwc", "from-json", Path("sample.json").string(), Path("sample.fwc").string()});
    Ok({"--simulate=" + Path("clean.json").string(), "restore", Path("sample.fwc").string()});
    sim::SimKeyboard clean;
    std::string error;
    ASSERT_TRUE(clean.LoadStateFile(Path("clean.json"), &error)) << error;

    // This keyboard holds another configuration, and refuses the sample's macro area.
    Ok({"fwc", "new", Path("empty.fwc").string()});
    Ok({State(), "restore", Path("empty.fwc").string()});
    const auto keyMaps = Keyboard().KeyMaps();
    const auto macroArea = Keyboard().MacroArea();
    const Result refused = Run({State(), "--trace", Path("trace.txt").string(), "restore", Path("sample.fwc").string()},
                               {"BRASSLANE_SIM_FAULTS=refuse-command=10"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("restore: writing to the keyboard: the macro area"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
    // No key map after the refused macro area: none may play a macro the keyboard lacks.
    const std::vector<int> commands = AfterConnection(Commands(Trace()));
    const auto macroWrite = std::find(commands.begin(), commands.end(), 10);
    ASSERT_NE(macroWrite, commands.end());
    EXPECT_EQ(std::count(macroWrite, commands.end(), 8), 0);
    EXPECT_EQ(commands.back(), 2) << "the write is closed";
    EXPECT_EQ(Keyboard().KeyMaps(), keyMaps);
    EXPECT_EQ(Keyboard().MacroArea(), macroArea);

    // The fault gone, the same restore leaves the memory as the clean keyboard's, and a backup
    // reads the file back.
    Ok({State(), "restore", Path("sample.fwc").string()});
    EXPECT_EQ(Keyboard().KeyMaps(), clean.KeyMaps());
    const auto written = Keyboard().MacroArea();
    const std::size_t length = written[2] | written[3] << 8;
    EXPECT_GT(length, 16U);
    EXPECT_TRUE(
        std::equal(written.begin(), written.begin() + static_cast<std::ptrdiff_t>(length), clean.MacroArea().begin()));
    Ok({State(), "backup", Path("back.fwc").string()});
    const Result json = Ok({"fwc", "to-json", Path("back.fwc").string()});
    EXPECT_EQ(nlohmann::json::parse(json.out), nlohmann::json::parse(SampleJson()));
}

TEST_F(CliTest, RestoreAndKeySetReadBackWhatTheyWrote) {
    RestoreSample();
    // One key-map chunk of profile 2 (the 10th of 21 writes with command 8) stored wrong.
    const std::string corrupt = "BRASSLANE_SIM_FAULTS=corrupt-command=8,corrupt-after=9";
    const Result caught = Run({State(), "restore", Path("sample.fwc").string()}, {corrupt});
    EXPECT_EQ(caught.status, 1);
    EXPECT_NE(caught.err.find("restore: writing to the keyboard: the key map of profile 2 read back differs"),
              std::string::npos)
        << caught.err;
    EXPECT_EQ(caught.out, "");

    // Unverified, the same fault passes unseen and the read-back's exchanges are not made.
    fs::remove(Path("trace.txt"));
    Ok({State(), "--trace", Path("trace.txt").string(), "restore", Path("sample.fwc").string()});
    const std::vector<int> verified = AfterConnection(Commands(Trace()));
    fs::remove(Path("trace.txt"));
    const Result unverified =
        Run({State(), "--trace", Path("trace.txt").string(), "restore", "--no-verify", Path("sample.fwc").string()},
            {corrupt});
    EXPECT_EQ(unverified.status, 0) << unverified.err;
    const std::vector<int> plain = AfterConnection(Commands(Trace()));
    EXPECT_EQ(std::count(verified.begin(), verified.end(), 7), 3 * 7);
    EXPECT_EQ(std::count(plain.begin(), plain.end(), 7), 0);
    EXPECT_GT(std::count(verified.begin(), verified.end(), 9), 0);
    EXPECT_EQ(std::count(plain.begin(), plain.end(), 9), 0);

    // key set checks its macro area too.
    const Result keySet = Run({State(), "key", "set", "A", "B"}, {"BRASSLANE_SIM_FAULTS=corrupt-command=10"});
    EXPECT_EQ(keySet.status, 1);
    EXPECT_NE(keySet.err.find("the macro area read back differs"), std::string::npos) << keySet.err;
    EXPECT_EQ(Run({State(), "key", "set", "--no-verify", "A", "B"}, {"BRASSLANE_SIM_FAULTS=corrupt-command=10"}).status,
              0);
}

TEST_F(CliTest, ListFindsTheCommandInterfaceAndNoKeyboardIsExitOne) {
    const Result list = Ok({State(), "list"});
    EXPECT_NE(list.out.find("0c45:7672  7672   command"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("consumer"), std::string::npos);
    const Result quiet = Ok({State(), "list", "--quiet"});
    EXPECT_EQ(quiet.out + quiet.err, "");

    // hidraw with empty sysfs and /dev folders: no keyboard.
    fs::create_directories(Path("sys"));
    fs::create_directories(Path("dev"));
    const std::vector<std::string> noHardware{"BRASSLANE_SYSFS_ROOT=" + Path("sys").string(),
                                              "BRASSLANE_DEV_ROOT=" + Path("dev").string()};
    const Result none = Run({"list", "--quiet"}, noHardware);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out + none.err, "");
    const Result info = Run({"info"}, noHardware);
    EXPECT_EQ(info.status, 1);
    EXPECT_NE(info.err.find("connecting: no keyboard found"), std::string::npos) << info.err;
}

TEST_F(CliTest, InfoDescribesTheKeyboardAndItsEffects) {
    const Result info = Ok({State(), "--model", "505b", "info"});
    for (const char* line :
         {"Keyboard:        320f:505b (model 505b, 128 keys)\n", "Active profile:  1\n",
          "Macro capacity:  8192 bytes\n", "Effects:         19 offered\n", "  20  Custom per-key\n"}) {
        EXPECT_NE(info.out.find(line), std::string::npos) << line << info.out;
    }
    // The model of an existing state file wins.
    EXPECT_NE(Ok({State(), "--model", "7672", "info"}).out.find("128 keys"), std::string::npos);
    // The language choice was stored in the test's own config folder.
    EXPECT_TRUE(fs::exists(SettingsFile()));
}

TEST_F(CliTest, UsageErrorsExitTwoAndSendNothing) {
    Ok({State(), "info"});
    const std::string state = ReadBytes(Path("state.json"));
    const std::vector<std::vector<std::string>> cases{
        {},
        {"bogus"},
        {State(), "profile", "4"},
        {State(), "lighting"},
        {State(), "lighting", "set"},
        {State(), "lighting", "set", "--brightness", "9"},
        {State(), "lighting", "set", "--speed", "fast"},
        {State(), "lighting", "set", "--colour", "12345"},
        {State(), "lighting", "set", "--direction", "up"}, // effect 1 goes left or right
        {State(), "lighting", "set", "--effect", "19"},    // not offered by the keyboard
        {State(), "lighting", "set", "--effect", "12", "--brightness", "1", "--direction", "left"},
        {State(), "lighting", "set", "--profile", "0", "--brightness", "1"},
        {State(), "key-colour", "A"},
        {State(), "key-colour", "Nokey", "112233"},
        {State(), "backup"},
        {"--model", "7672", "info"},
        {State(), "--model", "1234", "info"},
        {"fwc"},
        {"fwc", "from-json", "only-one"},
        {State(), "info", "extra"},
    };
    for (const auto& args : cases) {
        std::string written;
        for (const std::string& a : args) {
            written += a + " ";
        }
        const Result result = Run(args);
        EXPECT_EQ(result.status, 2) << written << "\n" << result.err;
        EXPECT_FALSE(result.err.empty()) << written;
        EXPECT_EQ(result.err.find("terminate"), std::string::npos) << written;
    }
    EXPECT_EQ(ReadBytes(Path("state.json")), state) << "a usage error changed the keyboard";
    const Result faults = Run({State(), "info"}, {"BRASSLANE_SIM_FAULTS=unplug-after=x"});
    EXPECT_EQ(faults.status, 2);
    EXPECT_NE(faults.err.find("BRASSLANE_SIM_FAULTS"), std::string::npos);
}

TEST_F(CliTest, HelpWorksForEveryCommand) {
    const std::vector<std::vector<std::string>> commands{
        {},
        {"list"},
        {"info"},
        {"backup"},
        {"restore"},
        {"profile"},
        {"lighting"},
        {"lighting", "show"},
        {"lighting", "set"},
        {"lighting", "reset"},
        {"key-colour"},
        {"fwc"},
        {"fwc", "new"},
        {"fwc", "show"},
        {"fwc", "to-json"},
        {"fwc", "from-json"},
        {"keys"},
        {"firmware-update"},
    };
    for (std::vector<std::string> args : commands) {
        std::string name = "brasslanectl";
        for (const std::string& a : args) {
            name += " " + a;
        }
        args.push_back("--help");
        const Result result = Run(args);
        EXPECT_EQ(result.status, 0) << name;
        EXPECT_NE(result.out.find("Usage: " + name), std::string::npos) << result.out;
    }
    const Result set = Run({"lighting", "set", "--help"});
    for (const char* option : {"--effect", "--brightness", "--speed", "--direction", "--colour", "--colourful",
                               "--rate", "--four-colour", "--profile"}) {
        EXPECT_NE(set.out.find(option), std::string::npos) << option;
    }
}

TEST_F(CliTest, KeysListsNamesThatTheOtherCommandsAccept) {
    const Result keys = Ok({"keys"});
    for (const char* line : {"A              0x01E  64\n", "CapsLock       0x03A  63\n", "UP             0x148  ",
                             "Fn             -      110\n"}) {
        EXPECT_NE(keys.out.find(line), std::string::npos) << line;
    }
    Ok({"fwc", "new", Path("new.fwc").string()});
    EXPECT_EQ(fs::file_size(Path("new.fwc")), 32832U);
    const Result shown = Ok({"fwc", "show", Path("new.fwc").string()});
    EXPECT_NE(shown.out.find("Profile 3\n  every key has its default function\nMacros: 0\n"), std::string::npos)
        << shown.out;
}

TEST_F(CliTest, FirmwareUpdateAsksTheRunningAppAndFailsWithoutOne) {
    fs::create_directories(RuntimeFolder());
    fs::permissions(RuntimeFolder(), fs::perms::owner_all);
    const Result none = Run({"firmware-update"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("not running"), std::string::npos) << none.err;

    // A stand-in for the running app: it takes the lock and listens where the app would.
    platform::SingleInstance app(RuntimeFolder());
    ASSERT_TRUE(app.TryBecomeFirst());
    std::vector<platform::InstanceMessage> received;
    std::thread listener([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (received.empty() && std::chrono::steady_clock::now() < deadline) {
            received = app.ReadPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const Result asked = Run({"firmware-update"});
    listener.join();
    EXPECT_EQ(asked.status, 0) << asked.err;
    EXPECT_EQ(received,
              (std::vector<platform::InstanceMessage>{{platform::kInstanceCommandMessage, kCommandFirmwareUpdate}}));
}

// The automatic-profile rules are edited in the file beside the settings, keeping what the
// user wrote there that the tool cannot read.
TEST_F(CliTest, AutoProfileRulesAreEditedInTheirFile) {
    const fs::path rules = Path("config") / "Brasslane" / "AutoProfiles.conf";
    Ok({"auto-profile", "add", "--class", "steam_app_570", "--profile", "2"});
    Ok({"auto-profile", "add", "--exe", "/usr/bin/gimp", "--profile", "3"});
    Ok({"auto-profile", "add", "--title", "Blender", "--profile", "1", "--at", "1"});
    Ok({"auto-profile", "on"});
    Ok({"auto-profile", "default", "none"});
    EXPECT_EQ(Ok({"auto-profile", "list"}).out, "file: " + rules.string() +
                                                    "\nenabled: yes\ndefault: none\n"
                                                    "1: title Blender = 1\n"
                                                    "2: class steam_app_570 = 2\n"
                                                    "3: exe /usr/bin/gimp = 3\n");

    // A line the user broke is reported by every command and survives their rewrites.
    std::ofstream(rules, std::ios::app) << "clas firefox = 2\n";
    const Result removed = Ok({"auto-profile", "remove", "2"});
    EXPECT_NE(removed.err.find("line "), std::string::npos) << removed.err;
    Ok({"auto-profile", "off"});
    const std::string text = ReadBytes(rules);
    EXPECT_NE(text.find("\nclas firefox = 2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("enabled = no"), std::string::npos) << text;
    EXPECT_EQ(text.find("steam_app_570"), std::string::npos) << text;

    // Mistakes change nothing.
    EXPECT_EQ(Run({"auto-profile", "remove", "9"}).status, 2);
    EXPECT_EQ(Run({"auto-profile", "add", "--profile", "2"}).status, 2);
    EXPECT_EQ(Run({"auto-profile", "add", "--class", "a", "--exe", "b", "--profile", "2"}).status, 2);
    EXPECT_EQ(Run({"auto-profile", "add", "--class", "a", "--profile", "4"}).status, 2);
    EXPECT_EQ(Run({"auto-profile", "add", "--class", "a=b", "--profile", "1"}).status, 2);
    EXPECT_EQ(ReadBytes(rules), text);
}

} // namespace
} // namespace brasslane::test
