#include "platform/sim/SimKeyboard.h"

#include "support/ManualClock.h"
#include "core/device/CHidDevice.h"
#include "core/keys/KeyAction.h"
#include "platform/sim/SimHidBackend.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace brasslane::sim {
namespace {

using Frame = std::array<std::uint8_t, 64>;
using namespace std::chrono_literals;

// A request as the keyboard expects it: report id 4 and the checksum over bytes 3..63.
Frame Request(std::uint8_t command, std::uint8_t length, std::uint16_t address,
              std::initializer_list<std::uint8_t> payload = {}) {
    Frame frame{};
    frame[0] = 4;
    frame[3] = command;
    frame[4] = length;
    frame[5] = static_cast<std::uint8_t>(address & 0xFF);
    frame[6] = static_cast<std::uint8_t>(address >> 8);
    std::copy(payload.begin(), payload.end(), frame.begin() + 8);
    unsigned sum = 0;
    for (std::size_t i = 3; i < 64; ++i) {
        sum += frame[i];
    }
    frame[1] = static_cast<std::uint8_t>(sum & 0xFF);
    frame[2] = static_cast<std::uint8_t>(sum >> 8);
    return frame;
}

TEST(SimKeyboard, FreshStateOfBothModels) {
    SimKeyboard small(SimModel::k7672);
    const auto info = small.Info();
    EXPECT_EQ(info[10], 0);
    EXPECT_EQ(info[11], 0x40);
    for (int i = 0; i < 18; ++i) {
        EXPECT_EQ(info[12 + i], i + 1);
    }
    EXPECT_EQ(info[30], 20);
    EXPECT_EQ(info[31], 0);

    const auto map = small.DefaultKeyMap();
    ASSERT_EQ(map.size(), 378u);
    const struct {
        int position;
        std::array<std::uint8_t, 3> action;
    } spots[] = {{0, {5, 0, 0}}, {8, {2, 2, 0x29}}, {53, {5, 2, 2}}, {112, {3, 0xB6, 0}}, {125, {2, 2, 0x63}}};
    for (const auto& spot : spots) {
        EXPECT_TRUE(std::equal(spot.action.begin(), spot.action.end(), map.begin() + 3 * spot.position))
            << spot.position;
    }
    const auto maps = small.KeyMaps();
    ASSERT_EQ(maps.size(), 3 * 378u);
    EXPECT_TRUE(std::equal(map.begin(), map.end(), maps.begin() + 756));
    const auto lighting = small.Lighting();
    for (std::size_t block = 0; block < 3; ++block) {
        const std::array<std::uint8_t, 8> start = {1, 5, 2, 0, 0xFF, 0xFF, 0xFF, 0xFF};
        EXPECT_TRUE(std::equal(start.begin(), start.end(), lighting.begin() + 42 * block));
        EXPECT_EQ(lighting[42 * block + 8], 0);
    }

    SimKeyboard large(SimModel::k505B);
    EXPECT_EQ(large.VendorId(), 0x320F);
    EXPECT_EQ(large.KeyCount(), 128u);
    const auto largeMap = large.DefaultKeyMap();
    ASSERT_EQ(largeMap.size(), 512u);
    EXPECT_TRUE(std::equal(map.begin(), map.end(), largeMap.begin()));
    EXPECT_TRUE(std::all_of(largeMap.begin() + 378, largeMap.end(), [](auto b) { return b == 0; }));
}

TEST(SimKeyboard, FactoryKeyMapIsTheProgramsBuiltInOne) {
    const auto builtIn = BuiltInDefaultKeyMap();
    const auto matrix = BuiltInDefaultMatrix();
    for (const SimModel model : {SimModel::k7672, SimModel::k505B}) {
        SimKeyboard keyboard(model);
        SCOPED_TRACE(keyboard.KeyCount());
        const auto map = keyboard.DefaultKeyMap();
        ASSERT_EQ(map.size(), keyboard.BlockSize());
        EXPECT_TRUE(std::equal(map.begin(), map.end(), builtIn.begin()));
        // Kind, sub and value of each position, in that order; the 128-key block ends in zeros.
        for (std::size_t position = 0; position < kBuiltInKeyPositions; ++position) {
            const KeyAction action = matrix[position];
            EXPECT_EQ(map[3 * position], action.kind) << position;
            EXPECT_EQ(map[3 * position + 1], action.sub) << position;
            EXPECT_EQ(map[3 * position + 2], action.value) << position;
        }
        EXPECT_TRUE(std::all_of(map.begin() + 3 * kBuiltInKeyPositions, map.end(), [](auto b) { return b == 0; }));
        const auto maps = keyboard.KeyMaps();
        for (std::size_t profile = 0; profile < 3; ++profile) {
            EXPECT_TRUE(std::equal(map.begin(), map.end(), maps.begin() + profile * map.size())) << profile;
        }
    }
}

TEST(SimKeyboard, AnswersRequestsWithinItsAreas) {
    SimKeyboard keyboard;
    const auto before = keyboard.SaveJson();

    auto bad = Request(8, 3, 0, {9, 9, 9});
    bad[1] ^= 1;
    EXPECT_EQ(keyboard.HandleRequest(bad)->at(7), 0xFF) << "checksum";
    EXPECT_EQ(keyboard.HandleRequest(Request(0x42, 0, 0))->at(7), 0xFF) << "unknown command";
    EXPECT_EQ(keyboard.HandleRequest(Request(6, 3, 125, {1, 2, 3}))->at(7), 0xFE) << "past the lighting area";
    EXPECT_EQ(keyboard.HandleRequest(Request(8, 1, 3 * 378, {1}))->at(7), 0xFE) << "past the key maps";
    EXPECT_EQ(keyboard.HandleRequest(Request(10, 1, 0x40 * 128, {1}))->at(7), 0xFE) << "past the macro capacity";
    EXPECT_EQ(keyboard.HandleRequest(Request(4, 1, 10, {3}))->at(7), 0xFE) << "no fourth profile";
    EXPECT_EQ(keyboard.HandleRequest(Request(17, 57, 0))->at(7), 0xFE) << "longer than a frame holds";
    EXPECT_EQ(keyboard.SaveJson(), before) << "nothing refused was written";

    const auto read = keyboard.HandleRequest(Request(5, 56, 84));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->at(7), 0);
    EXPECT_EQ(read->at(3), 5) << "the answer echoes the request";
    EXPECT_EQ(read->at(8), 1);
    EXPECT_EQ(read->at(8 + 42), 0) << "past the area reads as zero";

    EXPECT_EQ(keyboard.HandleRequest(Request(4, 1, 10, {2}))->at(7), 0);
    EXPECT_EQ(keyboard.ActiveProfile(), 2);
    EXPECT_EQ(keyboard.HandleRequest(Request(17, 3, 1533, {7, 8, 9}))->at(7), 0);
    EXPECT_EQ(keyboard.KeyColours()[1535], 9);
    EXPECT_EQ(keyboard.RequestLog().size(), 10u);

    EXPECT_FALSE(keyboard.HandleRequest(Request(0xEE, 0xEE, 0)));
    EXPECT_FALSE(keyboard.IsPlugged()) << "boot mode leaves the bus";
}

TEST(SimKeyboard, JsonRoundTripAndStateFiles) {
    SimKeyboard keyboard(SimModel::k505B);
    std::mt19937 random(7);
    std::vector<std::uint8_t> maps(3 * 512);
    for (auto& b : maps) {
        b = static_cast<std::uint8_t>(random());
    }
    keyboard.SetKeyMaps(maps);
    std::vector<std::uint8_t> macros(kSimMacroAreaMax);
    macros[kSimMacroAreaMax - 1] = 0xAB;
    keyboard.SetMacroArea(macros);
    keyboard.HandleRequest(Request(17, 3, 0, {0xDE, 0xAD, 0x01}));
    const std::string json = keyboard.SaveJson();
    EXPECT_NE(json.find("\"320f:505b\""), std::string::npos);
    EXPECT_NE(json.find("dead01"), std::string::npos) << "lowercase hex";

    SimKeyboard copy(SimModel::k7672);
    std::string error;
    ASSERT_TRUE(copy.LoadJson(json, &error)) << error;
    EXPECT_EQ(copy.Model(), SimModel::k505B);
    EXPECT_EQ(copy.KeyMaps(), maps);
    EXPECT_EQ(copy.MacroArea(), macros);
    EXPECT_EQ(copy.SaveJson(), json);

    const auto folder = std::filesystem::path(::testing::TempDir()) / "brasslane-sim-state";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto file = folder / "state.json";
    ASSERT_TRUE(keyboard.SaveStateFile(file, &error)) << error;
    ASSERT_TRUE(keyboard.SaveStateFile(file, &error)) << "replaces an existing file: " << error;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "no temporary file is left";
    SimKeyboard loaded;
    ASSERT_TRUE(loaded.LoadStateFile(file, &error)) << error;
    EXPECT_EQ(loaded.SaveJson(), json);
    EXPECT_FALSE(loaded.LoadStateFile(folder / "missing.json", &error));
    std::filesystem::remove_all(folder);
}

TEST(SimKeyboard, RefusesBadJsonAndKeepsItsState) {
    SimKeyboard keyboard;
    const std::string good = keyboard.SaveJson();
    const auto edit = [&](const std::function<void(nlohmann::json&)>& change) {
        auto state = nlohmann::json::parse(good);
        change(state);
        return state.dump();
    };
    const std::string cases[] = {
        "",
        "{\"model\": ",
        "[1, 2]",
        edit([](auto& j) { j["model"] = "046d:c077"; }),
        edit([](auto& j) { j["model"] = 7; }),
        edit([](auto& j) { j.erase("lighting"); }),
        edit([](auto& j) { j["info"] = j["info"].template get<std::string>().substr(2); }),
        edit([](auto& j) { j["info"] = j["info"].template get<std::string>() + "0"; }),
        edit([](auto& j) { j["key_colours"] = "zz" + j["key_colours"].template get<std::string>().substr(2); }),
        edit([](auto& j) { j["keymaps"] = 12; }),
        // A 126-key state that claims the larger model: its key maps are too short.
        edit([](auto& j) { j["model"] = "320f:505b"; }),
    };
    auto changed = nlohmann::json::parse(good);
    changed["info"] = std::string(88, 'f');
    const std::string before = changed.dump();
    ASSERT_TRUE(keyboard.LoadJson(before, nullptr));
    const std::string expected = keyboard.SaveJson();
    for (const std::string& text : cases) {
        SCOPED_TRACE(text.substr(0, 80));
        std::string error;
        EXPECT_FALSE(keyboard.LoadJson(text, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(keyboard.SaveJson(), expected);
    }
}

TEST(SimHidBackend, PresentsThreeInterfacesWithTheirDescriptors) {
    SimKeyboard keyboard;
    SimHidBackend backend(keyboard);
    std::vector<std::string> paths;
    ASSERT_TRUE(backend.Enumerate(paths));
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(paths[1], "sim:kbd/0#vid_0c45&pid_7672&mi_01&hid_0003:0C45:7672.0000");

    CHidDevice device(backend);
    const struct {
        std::string path;
        std::uint16_t page;
        std::uint16_t usage;
        std::uint16_t inputLength;
    } interfaces[] = {{backend.BootKeyboardPath(), 0x01, 0x06, 9}, // a zero report id byte ahead of 8 bytes
                      {backend.CommandPath(), 0xFF1C, 0x92, 64},
                      {backend.ConsumerPath(), 0x0C, 0x01, 5}};
    for (const auto& i : interfaces) {
        SCOPED_TRACE(i.path);
        ASSERT_TRUE(device.Open(i.path, true, false, true, false));
        EXPECT_EQ(device.Attributes().vendorId, 0x0C45);
        EXPECT_EQ(device.Caps().usagePage, i.page);
        EXPECT_EQ(device.Caps().usage, i.usage);
        EXPECT_EQ(device.Caps().inputReportByteLength, i.inputLength);
    }
    ASSERT_TRUE(device.Open(backend.CommandPath(), true, true, true, false));
    EXPECT_EQ(device.Caps().outputReportByteLength, 64);

    // A notification decodes to its usage through the consumer interface's own descriptor.
    ASSERT_TRUE(device.Open(backend.ConsumerPath(), true, false, true, false));
    keyboard.RaiseNotification(0x1811);
    std::vector<std::uint8_t> report(5);
    std::uint32_t count = 0;
    ASSERT_TRUE(device.ReadReport(report, &count, 100));
    EXPECT_EQ(report, (std::vector<std::uint8_t>{3, 0x11, 0x18, 0, 0}));
    ASSERT_TRUE(device.ParseInputReport(report));
    ASSERT_FALSE(device.UsageTable().empty());
    EXPECT_EQ(device.UsageTable().front().usages.front(), 0x1811);
}

TEST(SimHidBackend, UnplugKillsHandlesEvenAfterAReplug) {
    SimKeyboard keyboard;
    SimHidBackend backend(keyboard);
    const std::string commandBefore = backend.CommandPath();
    CHidDevice before(backend);
    ASSERT_TRUE(before.Open(backend.ConsumerPath(), true, false, true, false));

    std::atomic<bool> readFailed{false};
    std::thread reader([&] {
        std::vector<std::uint8_t> report(5);
        readFailed = !before.ReadReport(report, nullptr, kInfinite);
    });
    std::this_thread::sleep_for(20ms);
    keyboard.Unplug();
    reader.join();
    EXPECT_TRUE(readFailed) << "a pending read fails when the keyboard goes";
    EXPECT_FALSE(backend.IsPresent(backend.CommandPath()));
    std::vector<std::string> paths;
    ASSERT_TRUE(backend.Enumerate(paths));
    EXPECT_TRUE(paths.empty());

    keyboard.Plug();
    EXPECT_TRUE(backend.IsPresent(backend.CommandPath()));
    EXPECT_EQ(keyboard.PlugGeneration(), 1u);
    // Every plug gives the interfaces new paths: a path from before the unplug names nothing.
    EXPECT_NE(backend.CommandPath(), commandBefore);
    EXPECT_FALSE(backend.IsPresent(commandBefore));
    EXPECT_FALSE(CHidDevice(backend).Open(commandBefore, true, true, true, false));
    CHidDevice after(backend);
    ASSERT_TRUE(after.Open(backend.ConsumerPath(), true, false, true, false));
    keyboard.RaiseNotification(0x0401);
    std::vector<std::uint8_t> report(5);
    EXPECT_TRUE(after.ReadReport(report, nullptr, 100));
    EXPECT_FALSE(before.ReadReport(report, nullptr, 100)) << "a handle from before the unplug stays dead";
}

TEST(SimHidBackend, AKeyboardInItsBootLoaderComesBackWhenItsUpdaterTimeHasPassed) {
    test::ManualClock clock;
    SimKeyboard keyboard(SimModel::k7672, &clock);
    SimHidBackend backend(keyboard);
    SimFaults faults;
    faults.bootReturnAfter = 300ms;
    keyboard.SetFaults(faults);
    const std::string before = backend.CommandPath();

    EXPECT_FALSE(keyboard.HandleRequest(Request(0xEE, 0xEE, 0)));
    std::vector<std::string> paths;
    ASSERT_TRUE(backend.Enumerate(paths));
    EXPECT_TRUE(paths.empty()) << "the keyboard left for its boot loader";
    clock.Advance(299ms);
    EXPECT_FALSE(backend.IsPresent(before));
    EXPECT_FALSE(keyboard.IsPlugged());
    clock.Advance(1ms);
    ASSERT_TRUE(backend.Enumerate(paths));
    EXPECT_EQ(paths.size(), 3u) << "it is back once the time has passed";
    EXPECT_EQ(keyboard.PlugGeneration(), 1u);
    EXPECT_NE(backend.CommandPath(), before);
    EXPECT_TRUE(keyboard.HandleRequest(Request(1, 0, 0))) << "and it answers again";

    // Without the fault a keyboard in its boot loader stays away.
    SimKeyboard stays(SimModel::k7672, &clock);
    EXPECT_FALSE(stays.HandleRequest(Request(0xEE, 0xEE, 0)));
    clock.Advance(std::chrono::hours(1));
    EXPECT_FALSE(stays.IsPlugged());
}

TEST(SimHidBackend, FaultsShapeTheExchange) {
    // Waits jump to their deadline: the time each step took is read off the clock.
    test::ManualClock clock(test::ManualClock::kJumpToDeadline);
    SimKeyboard keyboard(SimModel::k7672, &clock);
    SimHidBackend backend(keyboard);
    CHidDevice device(backend);
    ASSERT_TRUE(device.Open(backend.CommandPath(), true, true, true, false));
    const Frame request = Request(1, 0, 0);
    Frame answer{};

    keyboard.SetFaults({.latencyPerReport = 5ms});
    auto start = clock.Now();
    ASSERT_TRUE(device.WriteReport(request, nullptr, 1000));
    EXPECT_EQ(clock.Now() - start, 5ms);
    ASSERT_TRUE(device.ReadReport(answer, nullptr, 1000));
    EXPECT_EQ(clock.Now() - start, 10ms) << "write and answer each take the latency";
    keyboard.ClearRequestLog();
    EXPECT_FALSE(device.WriteReport(request, nullptr, 3)) << "a timeout shorter than the latency";
    EXPECT_TRUE(keyboard.RequestLog().empty());

    keyboard.SetFaults({.lateAnswers = 1, .lateBy = 100ms});
    start = clock.Now();
    ASSERT_TRUE(device.WriteReport(request, nullptr, 1000));
    EXPECT_FALSE(device.ReadReport(answer, nullptr, 30)) << "not there yet";
    EXPECT_EQ(clock.Now() - start, 30ms);
    EXPECT_TRUE(device.ReadReport(answer, nullptr, 300));
    EXPECT_EQ(clock.Now() - start, 100ms);

    // One command refused, whatever its place in the exchange; the others answered as usual.
    keyboard.SetFaults({.refusedCommand = 10});
    for (const auto& [frame, status] : {std::pair{Request(10, 1, 0, {7}), 0xFF}, {Request(8, 1, 0, {7}), 0x00}}) {
        ASSERT_TRUE(device.WriteReport(frame, nullptr, 1000));
        ASSERT_TRUE(device.ReadReport(answer, nullptr, 1000));
        EXPECT_EQ(answer[7], status) << int{frame[3]};
    }
    EXPECT_EQ(keyboard.MacroArea()[0], 0) << "the refused write left the macro area alone";
    EXPECT_EQ(keyboard.KeyMaps()[0], 7);

    keyboard.SetFaults({.unplugAfter = 2});
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(device.WriteReport(request, nullptr, 1000));
        ASSERT_TRUE(device.ReadReport(answer, nullptr, 1000)) << i;
    }
    EXPECT_FALSE(keyboard.IsPlugged());
    EXPECT_FALSE(device.WriteReport(request, nullptr, 1000));
}

} // namespace
} // namespace brasslane::sim
