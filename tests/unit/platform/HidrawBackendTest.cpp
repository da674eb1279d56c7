#include "platform/linux/HidrawBackend.h"
#include "support/Hex.h"
#include "support/TempFolder.h"

#include "core/device/CHidDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brasslane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::Hex;

const char* kVendor = "06 1C FF 09 92 A1 01 85 04 09 01 15 00 26 FF 00 75 08 95 3F 81 02"
                      "09 02 95 3F 91 02 C0";
const char* kConsumer = "05 0C 09 01 A1 01 85 03 15 00 26 FF 03 19 00 2A FF 03 75 10 95 02 81 00 C0";
// No report ids: 8-byte input, 1-byte output.
const char* kBootKeyboard = "05 01 09 06 A1 01 05 07 19 E0 29 E7 15 00 25 01 75 01 95 08 81 02 95 01 75 08 81 01"
                            "95 05 75 01 05 08 19 01 29 05 91 02 95 01 75 03 91 01"
                            "95 06 75 08 15 00 25 65 05 07 19 00 29 65 81 00 C0";

// A sysfs tree and device nodes (FIFOs) in a temporary folder.
class HidrawBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sys = m_root / "sys";
        m_dev = m_root / "dev";
        fs::create_directories(m_dev);
    }
    void TearDown() override {
        for (int fd : m_fds) {
            ::close(fd);
        }
    }

    // Adds hidrawN for a HID device named `identity` below a USB device with release 0x0105.
    void AddInterface(int number, const std::string& identity, const std::string& uevent, const std::string& descriptor,
                      bool node = true) {
        const fs::path usbDevice = m_sys / "devices" / "usb1" / ("1-" + std::to_string(number));
        test::WriteBytes(usbDevice / "bcdDevice", "0105\n");
        const fs::path hidDevice = usbDevice / "1-1:1.1" / identity;
        test::WriteBytes(hidDevice / "uevent", uevent);
        const auto bytes = Hex(descriptor);
        std::ofstream(hidDevice / "report_descriptor", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const fs::path entry = m_sys / "class" / "hidraw" / ("hidraw" + std::to_string(number));
        fs::create_directories(entry);
        std::error_code ec;
        fs::remove(entry / "device", ec);
        fs::create_directory_symlink(fs::relative(hidDevice, entry), entry / "device");
        if (node) {
            ASSERT_EQ(::mkfifo((m_dev / ("hidraw" + std::to_string(number))).c_str(), 0600), 0);
        }
    }
    static std::string Uevent(const std::string& hidId, const std::string& phys = "usb-0000:00:14.0-1/input1") {
        return "DRIVER=hid-generic\nHID_ID=" + hidId + "\nHID_NAME=Test Keyboard\nHID_PHYS=" + phys +
               "\nHID_UNIQ=\nMODALIAS=hid:b0003g0001v00000C45p00007672\n";
    }
    // The other end of a node: what the keyboard would send or receive.
    int OpenNode(int number, int flags) {
        const int fd = ::open((m_dev / ("hidraw" + std::to_string(number))).c_str(), flags | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            m_fds.push_back(fd);
        }
        return fd;
    }
    std::string PathOf(HidrawBackend& backend, int number) {
        std::vector<std::string> paths;
        EXPECT_TRUE(backend.Enumerate(paths));
        const std::string node = (m_dev / ("hidraw" + std::to_string(number))).string() + "#";
        for (const auto& path : paths) {
            if (path.starts_with(node)) {
                return path;
            }
        }
        return {};
    }

    test::TempFolder m_temp{"brasslane-hidraw-"};
    fs::path m_root = m_temp.Path();
    fs::path m_sys, m_dev;
    std::vector<int> m_fds;
};

TEST_F(HidrawBackendTest, EnumerationReadsIdsFromUevent) {
    HidrawBackend backend(m_sys, m_dev);
    std::vector<std::string> paths{"stale"};
    EXPECT_TRUE(backend.Enumerate(paths)) << "no hidraw class folder: no interfaces";
    EXPECT_TRUE(paths.empty());

    AddInterface(10, "0003:0C45:7672.0005", Uevent("0003:00000C45:00007672"), kVendor);
    AddInterface(2, "0003:320F:505B.0001", Uevent("0003:0000320F:0000505B", "usb-0000:00:14.0-2/input2"), kConsumer);
    AddInterface(4, "0005:046D:B010.0002", Uevent("0005:0000046D:0000B010", "aa:bb:cc:dd:ee:ff"), kConsumer);
    AddInterface(5, "0003:0C45:7672.0006", Uevent("0003:00000C45:00007672"), kVendor, false); // no node
    // Entries whose uevent does not name the ids are skipped.
    const char* badIds[] = {"0003:00000C45", "0003:XYZ:00007672", "0003:000000C45:00007672", "::", ""};
    int number = 20;
    for (const char* bad : badIds) {
        AddInterface(number, "0003:0000:0000.00" + std::to_string(number), Uevent(bad), kVendor);
        ++number;
    }
    AddInterface(30, "0003:0000:0000.0030", "DRIVER=hid-generic\n", kVendor);
    fs::create_directories(m_sys / "class" / "hidraw" / "hidrawx");
    fs::create_directories(m_sys / "class" / "hidraw" / "foo");

    ASSERT_TRUE(backend.Enumerate(paths));
    const std::string dev = m_dev.string();
    EXPECT_EQ(paths, (std::vector<std::string>{
                         dev + "/hidraw2#vid_320f&pid_505b&mi_02&hid_0003:320F:505B.0001",
                         dev + "/hidraw4#vid_046d&pid_b010&hid_0005:046D:B010.0002",
                         dev + "/hidraw10#vid_0c45&pid_7672&mi_01&hid_0003:0C45:7672.0005",
                     }));

    // The roots come from the environment by default.
    ::setenv("BRASSLANE_SYSFS_ROOT", m_sys.c_str(), 1);
    ::setenv("BRASSLANE_DEV_ROOT", m_dev.c_str(), 1);
    HidrawBackend fromEnvironment;
    ::unsetenv("BRASSLANE_SYSFS_ROOT");
    ::unsetenv("BRASSLANE_DEV_ROOT");
    EXPECT_EQ(fromEnvironment.SysfsRoot(), m_sys);
    std::vector<std::string> again;
    ASSERT_TRUE(fromEnvironment.Enumerate(again));
    EXPECT_EQ(again, paths);
    EXPECT_EQ(HidrawBackend().SysfsRoot(), fs::path("/sys"));
    EXPECT_EQ(HidrawBackend().DevRoot(), fs::path("/dev"));
}

TEST_F(HidrawBackendTest, OpenGivesIdentityAndCapsThroughCHidDevice) {
    AddInterface(3, "0003:0C45:7672.0005", Uevent("0003:00000C45:00007672"), kVendor);
    AddInterface(4, "0003:0C45:7672.0007", Uevent("0003:00000C45:00007672", "usb-1/input0"), kConsumer);
    HidrawBackend backend(m_sys, m_dev);
    CHidDevice device(backend);
    ASSERT_TRUE(device.Enumerate());

    const std::string* path = device.NextPath();
    ASSERT_NE(path, nullptr);
    ASSERT_TRUE(device.Open(*path, true, true, true, false));
    EXPECT_EQ(device.Attributes().vendorId, 0x0C45);
    EXPECT_EQ(device.Attributes().productId, 0x7672);
    EXPECT_EQ(device.Attributes().versionNumber, 0x0105);
    EXPECT_EQ(device.Caps().usagePage, 0xFF1C);
    EXPECT_EQ(device.Caps().usage, 0x92);
    EXPECT_EQ(device.Caps().inputReportByteLength, 64);
    EXPECT_EQ(device.Caps().outputReportByteLength, 64);

    path = device.NextPath();
    ASSERT_NE(path, nullptr);
    ASSERT_TRUE(device.Open(*path, true, false, true, false));
    EXPECT_EQ(device.Caps().usagePage, 0x0C);
    EXPECT_EQ(device.Caps().inputReportByteLength, 5);
    ASSERT_EQ(device.UsageTable().size(), 1u);

    // Neither read nor write access: identity and capabilities still come from sysfs.
    ASSERT_TRUE(device.Open(*path, false, false, false, false));
    EXPECT_EQ(device.Caps().usagePage, 0x0C);
    std::vector<std::uint8_t> buffer(5);
    EXPECT_FALSE(device.ReadReport(buffer, nullptr, 10));

    // An unreadable descriptor fails the open.
    fs::remove(fs::canonical(m_sys / "class" / "hidraw" / "hidraw4" / "device") / "report_descriptor");
    EXPECT_FALSE(device.Open(*path, true, false, true, false));
}

TEST_F(HidrawBackendTest, PresenceFollowsTheNodeAndItsDevice) {
    AddInterface(3, "0003:0C45:7672.0005", Uevent("0003:00000C45:00007672"), kVendor);
    HidrawBackend backend(m_sys, m_dev);
    const std::string path = PathOf(backend, 3);
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(backend.IsPresent(path));
    EXPECT_TRUE(backend.IsPresent(path.substr(0, path.find("&hid_")))) << "a path without identity: node only";

    fs::remove(m_dev / "hidraw3");
    EXPECT_FALSE(backend.IsPresent(path));
    EXPECT_EQ(backend.Open(path, {true, true, true, false}), nullptr);

    // Replugged: the same node now belongs to a new HID device.
    AddInterface(3, "0003:0C45:7672.0009", Uevent("0003:00000C45:00007672"), kVendor);
    EXPECT_FALSE(backend.IsPresent(path));
    EXPECT_EQ(backend.Open(path, {true, true, true, false}), nullptr);
    const std::string fresh = PathOf(backend, 3);
    EXPECT_NE(fresh, path);
    EXPECT_TRUE(backend.IsPresent(fresh));

    // Only hidraw nodes are ever opened.
    test::WriteBytes(m_dev / "sda", "not a hid device");
    EXPECT_FALSE(backend.IsPresent((m_dev / "sda").string() + "#vid_0c45&pid_7672"));
    EXPECT_EQ(backend.Open((m_dev / "sda").string() + "#vid_0c45&pid_7672", {true, false, false, false}), nullptr);
    EXPECT_FALSE(backend.IsPresent(""));
}

TEST_F(HidrawBackendTest, ReadsWaitForAReportATimeoutOrTheStopEvent) {
    AddInterface(3, "0003:0C45:7672.0005", Uevent("0003:00000C45:00007672"), kVendor);
    AddInterface(6, "0003:0C45:7672.0006", Uevent("0003:00000C45:00007672"), kBootKeyboard);
    HidrawBackend backend(m_sys, m_dev);
    auto stop = backend.CreateStopEvent();
    ASSERT_NE(stop, nullptr);
    auto vendor = backend.Open(PathOf(backend, 3), {true, true, true, false});
    ASSERT_NE(vendor, nullptr);
    const int keyboardSide = OpenNode(3, O_WRONLY);
    ASSERT_GE(keyboardSide, 0);

    std::vector<std::uint8_t> answer(64);
    for (std::size_t i = 0; i < answer.size(); ++i) {
        answer[i] = static_cast<std::uint8_t>(i == 0 ? 4 : i * 3);
    }
    ASSERT_EQ(::write(keyboardSide, answer.data(), answer.size()), 64);
    std::vector<std::uint8_t> buffer(64);
    std::size_t transferred = 0;
    EXPECT_EQ(vendor->Read(buffer, transferred, 1000, *stop), HidIoResult::kDone);
    EXPECT_EQ(transferred, 64u);
    EXPECT_EQ(buffer, answer);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(vendor->Read(buffer, transferred, 40, *stop), HidIoResult::kTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 35ms);
    EXPECT_EQ(transferred, 0u);

    // A signal given before the wait stops it; it is used up by that.
    stop->Signal();
    stop->Signal();
    EXPECT_EQ(vendor->Read(buffer, transferred, kInfinite, *stop), HidIoResult::kStopped);
    EXPECT_EQ(vendor->Read(buffer, transferred, 10, *stop), HidIoResult::kTimeout);
    auto waiting = std::async(std::launch::async, [&] {
        std::size_t count = 0;
        return vendor->Read(buffer, count, kInfinite, *stop);
    });
    EXPECT_EQ(waiting.wait_for(30ms), std::future_status::timeout);
    stop->Signal();
    ASSERT_EQ(waiting.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), HidIoResult::kStopped);

    // Without report ids the report gets id byte 0 in front.
    auto keyboard = backend.Open(PathOf(backend, 6), {true, false, true, false});
    ASSERT_NE(keyboard, nullptr);
    const int keys = OpenNode(6, O_WRONLY);
    const std::uint8_t pressed[8] = {0x02, 0, 0x04, 0, 0, 0, 0, 0};
    ASSERT_EQ(::write(keys, pressed, sizeof pressed), 8);
    std::vector<std::uint8_t> report(9, 0xEE);
    EXPECT_EQ(keyboard->Read(report, transferred, 1000, *stop), HidIoResult::kDone);
    EXPECT_EQ(transferred, 9u);
    EXPECT_EQ(report, (std::vector<std::uint8_t>{0, 0x02, 0, 0x04, 0, 0, 0, 0, 0}));
    EXPECT_EQ(keyboard->Write(std::vector<std::uint8_t>{0, 1}, transferred, 10, *stop), HidIoResult::kFailed)
        << "opened for reading only";

    // The other side going away fails the read instead of waiting for ever.
    ::close(keys);
    m_fds.erase(std::find(m_fds.begin(), m_fds.end(), keys));
    EXPECT_EQ(keyboard->Read(report, transferred, kInfinite, *stop), HidIoResult::kFailed);
}

TEST_F(HidrawBackendTest, WritesDropTheIdOnlyWithoutReportIdsAndHonourTimeoutAndStop) {
    AddInterface(3, "0003:0C45:7672.0005", Uevent("0003:00000C45:00007672"), kVendor);
    AddInterface(6, "0003:0C45:7672.0006", Uevent("0003:00000C45:00007672"), kBootKeyboard);
    HidrawBackend backend(m_sys, m_dev);
    auto stop = backend.CreateStopEvent();
    const int vendorSide = OpenNode(3, O_RDONLY);
    const int keyboardSide = OpenNode(6, O_RDONLY);
    auto vendor = backend.Open(PathOf(backend, 3), {true, true, true, false});
    auto keyboard = backend.Open(PathOf(backend, 6), {false, true, true, false}); // write only
    ASSERT_NE(vendor, nullptr);
    ASSERT_NE(keyboard, nullptr);

    std::vector<std::uint8_t> command(64, 0x11);
    command[0] = 4;
    std::size_t transferred = 0;
    EXPECT_EQ(vendor->Write(command, transferred, 1000, *stop), HidIoResult::kDone);
    EXPECT_EQ(transferred, 64u);
    std::vector<std::uint8_t> received(128);
    ASSERT_EQ(::read(vendorSide, received.data(), received.size()), 64);
    received.resize(64);
    EXPECT_EQ(received, command);

    const std::vector<std::uint8_t> leds{0x00, 0x02};
    EXPECT_EQ(keyboard->Write(leds, transferred, 1000, *stop), HidIoResult::kDone);
    EXPECT_EQ(transferred, 2u);
    std::uint8_t led[4] = {};
    ASSERT_EQ(::read(keyboardSide, led, sizeof led), 1);
    EXPECT_EQ(led[0], 0x02);
    EXPECT_EQ(keyboard->Write(std::vector<std::uint8_t>{0x01, 0x02}, transferred, 1000, *stop), HidIoResult::kFailed)
        << "an interface without ids takes only id 0";
    EXPECT_EQ(keyboard->Write(std::vector<std::uint8_t>{}, transferred, 1000, *stop), HidIoResult::kFailed);

    // A full node: the write waits for its timeout or the stop event, and nothing is left behind.
    const int filler = OpenNode(3, O_WRONLY);
    ::fcntl(filler, F_SETPIPE_SZ, 4096);
    std::vector<std::uint8_t> block(512, 0xAA);
    while (::write(filler, block.data(), block.size()) > 0) {
    }
    EXPECT_EQ(vendor->Write(command, transferred, 30, *stop), HidIoResult::kTimeout);
    EXPECT_EQ(transferred, 0u);
    stop->Signal();
    EXPECT_EQ(vendor->Write(command, transferred, kInfinite, *stop), HidIoResult::kStopped);
    std::size_t drained = 0;
    for (ssize_t n; (n = ::read(vendorSide, received.data(), received.size())) > 0;) {
        drained += static_cast<std::size_t>(n);
        EXPECT_TRUE(std::all_of(received.begin(), received.begin() + n, [](std::uint8_t b) { return b == 0xAA; }));
    }
    EXPECT_GT(drained, 0u);
}

TEST_F(HidrawBackendTest, ANodeWithSeveralCollectionsIsListedOncePerCollection) {
    AddInterface(3, "0003:0C45:7672.0005", Uevent("0003:00000C45:00007672"), std::string(kConsumer) + kVendor);
    HidrawBackend backend(m_sys, m_dev);
    std::vector<std::string> paths;
    ASSERT_TRUE(backend.Enumerate(paths));
    const std::string node = (m_dev / "hidraw3").string();
    ASSERT_EQ(paths, (std::vector<std::string>{node + "#vid_0c45&pid_7672&mi_01&col01&hid_0003:0C45:7672.0005",
                                               node + "#vid_0c45&pid_7672&mi_01&col02&hid_0003:0C45:7672.0005"}));

    CHidDevice device(backend);
    ASSERT_TRUE(device.Open(paths[1], true, true, true, false));
    EXPECT_EQ(device.Caps().usagePage, 0xFF1C);
    EXPECT_EQ(device.Caps().inputReportByteLength, 64);
    EXPECT_EQ(backend.Open(node + "#vid_0c45&pid_7672&col03", {true, true, true, false}), nullptr);

    // The command collection's handle passes only report 4 and takes only report 4.
    const int keyboardSide = OpenNode(3, O_WRONLY);
    const std::uint8_t notification[5] = {0x03, 0xE9, 0x00, 0x00, 0x00};
    ASSERT_EQ(::write(keyboardSide, notification, sizeof notification), 5);
    std::vector<std::uint8_t> buffer(64);
    std::uint32_t bytes = 0;
    EXPECT_FALSE(device.ReadReport(buffer, &bytes, 50));
    std::vector<std::uint8_t> answer(64, 0x22);
    answer[0] = 4;
    ASSERT_EQ(::write(keyboardSide, answer.data(), answer.size()), 64);
    EXPECT_TRUE(device.ReadReport(buffer, &bytes, 1000));
    EXPECT_EQ(buffer, answer);
    EXPECT_FALSE(device.WriteReport(notification, &bytes, 100));
    EXPECT_TRUE(device.WriteReport(answer, &bytes, 100));
}

TEST_F(HidrawBackendTest, CloseWakesAReadWaitingOnTheNode) {
    AddInterface(3, "0003:0C45:7672.0005", Uevent("0003:00000C45:00007672"), kConsumer);
    HidrawBackend backend(m_sys, m_dev);
    CHidDevice device(backend);
    ASSERT_TRUE(device.Open(PathOf(backend, 3), true, false, true, false));
    const int keyboardSide = OpenNode(3, O_WRONLY);
    const std::uint8_t notification[5] = {0x03, 0x11, 0x18, 0, 0};
    ASSERT_EQ(::write(keyboardSide, notification, sizeof notification), 5);
    std::uint32_t bytes = 0;
    ASSERT_TRUE(device.ReadReport(device.InputReportBuffer(), &bytes, 1000));
    EXPECT_EQ(bytes, 5u);
    EXPECT_TRUE(device.ParseInputReport(device.InputReportBuffer()));

    auto listener = std::async(std::launch::async, [&] {
        std::vector<std::uint8_t> buffer(5);
        return device.ReadReport(buffer, nullptr, kInfinite);
    });
    EXPECT_EQ(listener.wait_for(30ms), std::future_status::timeout);
    EXPECT_TRUE(device.Close());
    ASSERT_EQ(listener.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(listener.get());
}

} // namespace
} // namespace brasslane
