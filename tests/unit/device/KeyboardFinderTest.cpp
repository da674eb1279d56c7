#include "core/device/KeyboardFinder.h"

#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <gtest/gtest.h>

namespace brasslane {
namespace {

// One interface whose path names the keyboard's ids while the device itself reports others.
class ImpostorBackend : public HidBackend {
public:
    class Handle : public HidHandle {
    public:
        bool GetAttributes(HidAttributes& attributes) const override {
            attributes = HidAttributes{0x1234, 0x7672, 1};
            return true;
        }
        bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) const override {
            const auto bytes = sim::SimHidBackend::CommandDescriptor();
            descriptor.assign(bytes.begin(), bytes.end());
            return true;
        }
        HidIoResult Read(std::span<std::uint8_t>, std::size_t& transferred, std::uint32_t, HidStopEvent&) override {
            transferred = 0;
            return HidIoResult::kFailed;
        }
        HidIoResult Write(std::span<const std::uint8_t>, std::size_t& transferred, std::uint32_t,
                          HidStopEvent&) override {
            transferred = 0;
            return HidIoResult::kFailed;
        }
    };
    class Stop : public HidStopEvent {
    public:
        void Signal() override {}
    };
    bool Enumerate(std::vector<std::string>& paths) override {
        paths = {"fake#VID_0C45&PID_7672"};
        return true;
    }
    std::unique_ptr<HidHandle> Open(const std::string&, const HidOpenMode&) override {
        return std::make_unique<Handle>();
    }
    bool IsPresent(const std::string&) override { return true; }
    std::unique_ptr<HidStopEvent> CreateStopEvent() override { return std::make_unique<Stop>(); }
};

TEST(KeyboardFinder, PathIdsAndModels) {
    struct Case {
        const char* path;
        std::uint32_t vid;
        std::uint32_t pid;
        bool candidate;
    };
    const Case cases[] = {
        {"/dev/hidraw3#vid_0c45&pid_7672&mi_01", 0x0C45, 0x7672, true},
        {"\\\\?\\HID#VID_0C45&PID_7672&MI_01#7&1a", 0x0C45, 0x7672, true},
        {"sim:kbd/0#Vid_320F&Pid_505b", 0x320F, 0x505B, true},
        {"x#vid_10c45&pid_7672", 0x10C45, 0x7672, true}, // only the low 16 bits count
        {"x#pid_7672", 0, 0x7672, false},
        {"x#vid_0c45&pid_", 0x0C45, 0, false},
        {"x#vid_0c45&pid_505b", 0x0C45, 0x505B, false}, // ids of two different models
        {"", 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const PathIds ids = ParsePathIds(c.path);
        EXPECT_EQ(ids.vendorId, c.vid);
        EXPECT_EQ(ids.productId, c.pid);
        EXPECT_EQ(IsCandidatePath(c.path), c.candidate);
    }
    ASSERT_TRUE(FindModel(0x320F, 0x505B));
    EXPECT_EQ(FindModel(0x320F, 0x505B)->keyCount, 128u);
    EXPECT_EQ(FindModel(0x10C45, 0x17672)->blockSize, 378u);
}

TEST(KeyboardFinder, OpensOnlyTheInterfaceOfTheRole) {
    sim::SimKeyboard keyboard;
    sim::SimHidBackend backend(keyboard);
    CHidDevice device(backend);

    EXPECT_FALSE(OpenAsRole(device, backend.BootKeyboardPath(), InterfaceRole::kCommand));
    EXPECT_FALSE(device.IsOpen()) << "a rejected interface is closed again";
    EXPECT_FALSE(OpenAsRole(device, backend.ConsumerPath(), InterfaceRole::kCommand));
    EXPECT_FALSE(OpenAsRole(device, backend.CommandPath(), InterfaceRole::kConsumer));
    EXPECT_FALSE(device.IsOpen());

    ASSERT_EQ(FindInterface(device, InterfaceRole::kConsumer), SearchResult::kFound);
    EXPECT_EQ(device.Path(), backend.ConsumerPath());
    ASSERT_EQ(FindInterface(device, InterfaceRole::kCommand), SearchResult::kFound);
    EXPECT_EQ(device.Path(), backend.CommandPath());
    EXPECT_EQ(device.NextPath(), nullptr) << "the path list is freed";

    keyboard.Unplug();
    EXPECT_EQ(FindInterface(device, InterfaceRole::kCommand), SearchResult::kNotFound);

    ImpostorBackend impostor;
    CHidDevice other(impostor);
    EXPECT_EQ(FindInterface(other, InterfaceRole::kCommand), SearchResult::kNotFound);
    EXPECT_FALSE(other.IsOpen());
}

TEST(KeyboardFinder, ConnectSetsGeometryAndReadsConnectionData) {
    for (const auto model : {sim::SimModel::k7672, sim::SimModel::k505B}) {
        sim::SimKeyboard keyboard(model);
        sim::SimHidBackend backend(keyboard);
        DeviceLink link(backend);
        ConnectionState state;
        ASSERT_TRUE(ConnectKeyboard(link, state));
        EXPECT_TRUE(link.IsConnected());
        EXPECT_EQ(state.keyCount.load(), keyboard.KeyCount());
        EXPECT_EQ(state.blockSize.load(), keyboard.BlockSize());
        EXPECT_EQ(link.Geometry().blockStride, keyboard.BlockSize());

        auto info = keyboard.Info();
        info[11] = 3;
        keyboard.SetInfo(info);
        ASSERT_EQ(ReadConnectionData(link, state), kStatusSuccess);
        EXPECT_EQ(state.macroCapacity.load(), 3u * 128);
        const auto map = state.DefaultKeyMap();
        const auto expected = keyboard.DefaultKeyMap();
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), map.begin()));
        EXPECT_TRUE(std::all_of(map.begin() + expected.size(), map.end(), [](auto b) { return b == 0; }));
        EXPECT_EQ(keyboard.RequestLog().size(), expected.size() == 378 ? 7u + 1 : 10u + 1);

        // A refused information read keeps the capacity the state had.
        keyboard.SetFaults({.statusByte = 0xFF, .statusCount = 2});
        info[11] = 9;
        keyboard.SetInfo(info);
        EXPECT_EQ(ReadConnectionData(link, state), kStatusRefusedFF);
        EXPECT_EQ(state.macroCapacity.load(), 3u * 128);
    }
}

} // namespace
} // namespace brasslane
