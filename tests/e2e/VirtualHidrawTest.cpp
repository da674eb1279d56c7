// The hidraw backend, the connection monitor, the input listener and brasslanectl against the
// simulated keyboard served by brasslane-vhid: real files, real poll(), real hot-plug. Skipped
// where FUSE cannot be mounted.

#include "support/VirtualKeyboard.h"

#include "core/base/AppState.h"
#include "core/base/Messages.h"
#include "core/device/CHidDevice.h"
#include "core/device/ConnectionMonitor.h"
#include "core/device/DeviceLink.h"
#include "core/device/InputListener.h"
#include "platform/linux/HidrawBackend.h"
#include "support/RecordingUiSink.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <chrono>
#include <future>
#include <iostream>
#include <thread>

extern char** environ;

namespace brasslane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Kind = UiEvent::Kind;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class VirtualHidrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_folder / "config");
        fs::create_directories(m_folder / "data");
    }

    // Mounts the virtual keyboard, or skips the test with the reason it cannot be mounted.
    void Mount(const std::vector<std::string>& options = {}) {
        const std::string reason = m_keyboard.Start(options);
        if (!reason.empty()) {
            GTEST_SKIP() << reason;
        }
        m_backend = std::make_unique<HidrawBackend>(m_keyboard.SysRoot(), m_keyboard.DevRoot());
    }

    // Runs brasslanectl against the mounted keyboard.
    Result Run(const std::vector<std::string>& args) {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (!entry.starts_with("BRASSLANE_") && !entry.starts_with("XDG_")) {
                env.push_back(entry);
            }
        }
        env.push_back("XDG_CONFIG_HOME=" + (m_folder / "config").string());
        env.push_back("XDG_DATA_HOME=" + (m_folder / "data").string());
        env.push_back("XDG_RUNTIME_DIR=" + (m_folder / "run").string());
        for (const auto& entry : m_keyboard.Environment()) {
            env.push_back(entry);
        }
        std::vector<std::string> argv{BRASSLANECTL};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, env);
    }

    // Runs `argv` (program first) with `env`, or with this process's environment when empty.
    Result RunProgram(std::vector<std::string> argv, std::vector<std::string> env = {}) {
        if (env.empty()) {
            for (char** e = environ; *e != nullptr; ++e) {
                env.emplace_back(*e);
            }
        }

        const fs::path out = m_folder / "out.txt";
        const fs::path err = m_folder / "err.txt";
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(outFd, 1);
            ::dup2(errFd, 2);
            std::vector<char*> argp;
            std::vector<char*> envp;
            for (auto& a : argv) {
                argp.push_back(a.data());
            }
            for (auto& e : env) {
                envp.push_back(e.data());
            }
            argp.push_back(nullptr);
            envp.push_back(nullptr);
            ::execve(argp[0], argp.data(), envp.data());
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        Result result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = ReadAll(out);
        result.err = ReadAll(err);
        return result;
    }

    Result Ok(const std::vector<std::string>& args) {
        Result result = Run(args);
        EXPECT_EQ(result.status, 0) << args.back() << "\n" << result.err;
        return result;
    }

    fs::path Path(const std::string& name) const { return m_folder / name; }

    TempFolder m_folder{"brasslane-vhid-"};
    VirtualKeyboard m_keyboard{m_folder.Path()};
    std::unique_ptr<HidrawBackend> m_backend;
};

TEST_F(VirtualHidrawTest, ToolListsDescribesBacksUpAndRestoresThroughHidraw) {
    Mount({"--state", Path("keyboard.json").string()});

    const Result list = Ok({"list"});
    EXPECT_NE(list.out.find("hidraw0#vid_0c45&pid_7672&mi_00"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("hidraw1#vid_0c45&pid_7672&mi_01"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("command"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("consumer"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("usage 0x0006"), std::string::npos) << "the keystroke interface is listed, not taken";

    const Result info = Ok({"info"});
    EXPECT_NE(info.out.find("0c45:7672 (model 7672, 126 keys)"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("/hidraw1#"), std::string::npos) << "the command interface is hidraw1";

    const std::string profile = R"({
  "format": "brasslane-profile", "version": 1,
  "profiles": [
    { "profile": 1, "g-codes": true, "keys": { "A": { "type": "key", "key": "B" }, "F1": { "type": "macro", "macro": 1 } } },
    { "profile": 2, "g-codes": true, "keys": { "CapsLock": { "type": "disabled" } } },
    { "profile": 3, "g-codes": true, "keys": {} } ],
  "macros": [ { "id": 1, "name": "Hi", "repeat": 1, "steps": [
      { "key": "H", "action": "press", "delay": 20 }, { "key": "H", "action": "release", "delay": 0 } ] } ]
})";
    std::ofstream(Path("profile.json")) << profile;
    Ok({"fwc", "from-json", Path("profile.json").string(), Path("profile.fwc").string()});
    Ok({"restore", Path("profile.fwc").string()});
    Ok({"backup", Path("back.fwc").string()});
    const Result json = Ok({"fwc", "to-json", Path("back.fwc").string()});
    EXPECT_EQ(nlohmann::json::parse(json.out), nlohmann::json::parse(profile));

    // What went through the files is in the keyboard's memory: the state saved on unmount
    // carries the restored key maps into a simulated run of the tool.
    ASSERT_TRUE(m_keyboard.Stop());
    Ok({"--simulate=" + Path("keyboard.json").string(), "backup", Path("again.fwc").string()});
    EXPECT_EQ(ReadAll(Path("again.fwc")), ReadAll(Path("back.fwc")));
}

TEST_F(VirtualHidrawTest, ToolSaysPlainlyWhenTheKeyboardMayNotBeOpened) {
    Mount();
    ASSERT_TRUE(m_keyboard.Control("deny-open on"));
    const Result info = Run({"info"});
    EXPECT_EQ(info.status, 1);
    EXPECT_NE(info.err.find("may not open"), std::string::npos) << info.err;
    EXPECT_NE(info.err.find("/hidraw1"), std::string::npos) << info.err;
    EXPECT_NE(info.err.find("udevadm"), std::string::npos) << "names the command that installs the rule\n" << info.err;

    ASSERT_TRUE(m_keyboard.Control("deny-open off"));
    Ok({"info"});
}

TEST_F(VirtualHidrawTest, MonitorSeesPlugUnplugAndReplug) {
    Mount({"--unplugged"});
    DeviceLink link(*m_backend);
    ConnectionState state;
    AppState app;
    RecordingUiSink ui;
    ConnectionMonitor monitor(*m_backend, link, state, app, ui, [](std::string_view key) { return std::string(key); });
    monitor.Start();

    // No keyboard at start: the first search ends with nothing announced; a plug is found by a
    // later 1000 ms search.
    const auto guard = std::chrono::steady_clock::now() + 10s;
    while (state.firstShow.load() == 0 && std::chrono::steady_clock::now() < guard) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(state.firstShow.load(), 1) << "the first search never ended";
    EXPECT_TRUE(ui.Events().empty());
    ASSERT_TRUE(m_keyboard.Control("plug"));
    ASSERT_TRUE(ui.WaitFor(Kind::kSend, MSG_PROFILE_SYNC, 1, 10s)) << "the plugged keyboard was never found";
    EXPECT_TRUE(link.IsConnected());
    EXPECT_EQ(state.macroCapacity.load(), 0x40u * 128) << "the information block came through the node";
    const std::string firstPath = link.Device().Path();

    // Unplug: seen at the next 100 ms presence check. The figure goes to the log; the bound
    // only catches a monitor that stopped looking.
    const auto unplugged = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_keyboard.Control("unplug"));
    ASSERT_TRUE(ui.WaitFor(Kind::kSend, MSG_DEVICE_LOST, 1, 10s));
    const auto latency =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - unplugged);
    std::cout << "unplug seen after " << latency.count() << " ms\n";
    EXPECT_LT(latency, 1000ms) << "the connected keyboard is checked every 100 ms";
    EXPECT_FALSE(link.IsConnected());
    EXPECT_TRUE(ui.WaitFor(Kind::kIcon, kIconNoKeyboard, 1, 10s)) << "the tray shows that no keyboard is there";
    EXPECT_EQ(ui.Count(Kind::kHide, 0), 1u) << "the window was hidden";

    // Replug: the kernel's new sequence number makes a new path, and it connects again.
    ASSERT_TRUE(m_keyboard.Control("plug"));
    ASSERT_TRUE(ui.WaitFor(Kind::kSend, MSG_PROFILE_SYNC, 2, 10s));
    EXPECT_TRUE(link.IsConnected());
    EXPECT_NE(link.Device().Path(), firstPath);
    EXPECT_EQ(link.Device().Path().substr(0, firstPath.find('#')), firstPath.substr(0, firstPath.find('#')))
        << "the same node again";
    EXPECT_TRUE(ui.WaitFor(Kind::kIcon, kIconConnected, 2, 10s));
    EXPECT_EQ(ui.Count(Kind::kPost, MSG_OPEN), 0u) << "started without a keyboard: the window is never brought up";
    monitor.Stop();
}

TEST_F(VirtualHidrawTest, ListenerReceivesTheKeyboardsNotifications) {
    Mount();
    ConnectionState state;
    state.stateIcon = kIconConnected;
    RecordingUiSink ui;
    InputListener listener(*m_backend, state, ui);
    listener.Start();
    ASSERT_TRUE(m_keyboard.WaitForStatus("consumer-readers", 1)) << "the listener never opened hidraw2";

    ASSERT_TRUE(m_keyboard.Control("notify 0401"));
    EXPECT_TRUE(ui.WaitFor(Kind::kTimer, kTimerLightingReload, 1, 10s));
    ASSERT_TRUE(m_keyboard.Control("notify 0402"));
    EXPECT_TRUE(ui.WaitFor(Kind::kTimer, kTimerSettingsReset, 1, 10s));
    ASSERT_TRUE(m_keyboard.Control("notify 1811"));
    EXPECT_TRUE(ui.WaitFor(Kind::kIcon, kIconKeyboardState, 1, 10s));
    ASSERT_TRUE(m_keyboard.Control("notify 1810"));
    EXPECT_TRUE(ui.WaitFor(Kind::kIcon, kIconConnected, 1, 10s)) << "back to the state icon";

    // Replugged, the listener finds the new node again and goes on.
    ASSERT_TRUE(m_keyboard.Control("replug"));
    ASSERT_TRUE(m_keyboard.WaitForStatus("consumer-readers", 1)) << "the listener never came back";
    ASSERT_TRUE(m_keyboard.Control("notify 0401"));
    EXPECT_TRUE(ui.WaitFor(Kind::kTimer, kTimerLightingReload, 2, 10s));
    listener.Stop();
}

TEST_F(VirtualHidrawTest, ReadsEndOnTimeoutOnCloseAndOnUnplug) {
    Mount();
    CHidDevice device(*m_backend);
    const std::string node = (m_keyboard.DevRoot() / "hidraw1").string();
    ASSERT_TRUE(device.Enumerate());
    std::string commandPath;
    while (const std::string* path = device.NextPath()) {
        if (path->starts_with(node + "#")) {
            commandPath = *path;
        }
    }
    device.FreePaths();
    ASSERT_TRUE(device.Open(commandPath, true, true, true, false));

    // A request that never gets an answer: the read returns on its timeout.
    ASSERT_TRUE(m_keyboard.Control("faults never-answer"));
    std::array<std::uint8_t, 64> request{};
    request[0] = 4;
    request[3] = 3;
    request[1] = 3; // checksum of bytes 3..63: the command number alone
    ASSERT_TRUE(device.WriteReport(request, nullptr, 1000));
    std::array<std::uint8_t, 64> answer{};
    std::uint32_t bytes = 99;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(device.ReadReport(answer, &bytes, 200));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 200ms);
    EXPECT_EQ(bytes, 0u);

    // A read without a timeout is woken by Close from another thread.
    auto blocked = std::async(std::launch::async, [&] { return device.ReadReport(answer, nullptr, kInfinite); });
    EXPECT_EQ(blocked.wait_for(100ms), std::future_status::timeout) << "the read waits for a report";
    EXPECT_TRUE(device.Close());
    ASSERT_EQ(blocked.wait_for(10s), std::future_status::ready) << "Close did not wake the read";
    EXPECT_FALSE(blocked.get());

    // Answered again, a request gets its answer through the node.
    ASSERT_TRUE(m_keyboard.Control("faults"));
    ASSERT_TRUE(device.Open(commandPath, true, true, true, false));
    ASSERT_TRUE(device.WriteReport(request, nullptr, 1000));
    ASSERT_TRUE(device.ReadReport(answer, &bytes, 2000));
    EXPECT_EQ(bytes, 64u);
    EXPECT_EQ(answer[0], 4);
    EXPECT_EQ(answer[3], 3);

    // An unplug fails a read that waits without a timeout (the node reports an error).
    auto waiting = std::async(std::launch::async, [&] { return device.ReadReport(answer, nullptr, kInfinite); });
    EXPECT_EQ(waiting.wait_for(100ms), std::future_status::timeout);
    ASSERT_TRUE(m_keyboard.Control("unplug"));
    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready) << "the unplug did not end the read";
    EXPECT_FALSE(waiting.get());
    EXPECT_FALSE(m_backend->IsPresent(commandPath));
    ASSERT_TRUE(m_keyboard.Control("plug"));
    EXPECT_FALSE(m_backend->IsPresent(commandPath)) << "a replugged keyboard has new paths";
}

// The device rule's helper on the folders udev hands it for the keyboard's three nodes.
TEST_F(VirtualHidrawTest, RuleHelperNamesEachNodesRole) {
    Mount();
    const std::array<const char*, 3> expected = {"none", "command", "consumer"};
    for (std::size_t n = 0; n < expected.size(); ++n) {
        const fs::path folder = m_keyboard.SysRoot() / "class" / "hidraw" / ("hidraw" + std::to_string(n));
        const Result result = RunProgram({BRASSLANE_HID_ROLE, folder.string()});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, std::string("BRASSLANE_HID_ROLE=") + expected[n] + "\n") << folder;
    }
}

} // namespace
} // namespace brasslane::test
