#include "core/device/CHidDevice.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <thread>

namespace brasslane {
namespace {

using namespace std::chrono_literals;

using test::Hex;

// Report 1: buttons 1-5 (padded), button 9 (padded), X, Y, Z. Report 2: vendor values 5..7.
// Report 3: consumer array of two 16-bit usages.
const char* kMixed = "05 01 09 02 A1 01 85 01 05 09 19 01 29 05 15 00 25 01 75 01 95 05 81 02 75 03 95 01 81 03"
                     "09 09 75 01 95 01 81 02 75 07 81 03"
                     "05 01 09 30 09 31 09 32 15 81 25 7F 75 08 95 03 81 06"
                     "85 02 06 00 FF 19 05 29 07 15 00 26 FF 00 75 08 95 03 81 02"
                     "85 03 05 0C 15 00 26 FF 03 19 00 2A FF 03 75 10 95 02 81 00 C0";

// The fake's whole state sits behind one lock and one condition variable, which every wait
// (reads, blocked writes, stop events) uses.
struct FakeBus {
    std::mutex mutex;
    std::condition_variable changed;
    int readsWaiting = 0;
    int writesWaiting = 0;
    int liveHandles = 0;
    bool handleFreedDuringTransfer = false;
    int transfersInFlight = 0;
};

class FakeStop : public HidStopEvent {
public:
    explicit FakeStop(FakeBus& bus) : m_bus(bus) {}
    void Signal() override {
        std::lock_guard<std::mutex> lock(m_bus.mutex);
        signalled = true;
        m_bus.changed.notify_all();
    }
    bool signalled = false; // guarded by the bus lock

private:
    FakeBus& m_bus;
};

struct FakeInterface {
    std::vector<std::uint8_t> descriptor;
    HidAttributes attributes;
    bool present = true;
    bool descriptorReadable = true;
    std::deque<std::vector<std::uint8_t>> inputs;
    bool writesBlock = false;
    // Reads that ignore the stop event and finish on their own after this long.
    std::chrono::milliseconds stubbornRead{0};
    std::vector<std::vector<std::uint8_t>> written;
};

class FakeHandle : public HidHandle {
public:
    FakeHandle(FakeBus& bus, FakeInterface& device) : m_bus(bus), m_device(device) {
        std::lock_guard<std::mutex> lock(m_bus.mutex);
        ++m_bus.liveHandles;
    }
    ~FakeHandle() override {
        std::lock_guard<std::mutex> lock(m_bus.mutex);
        --m_bus.liveHandles;
        if (m_inTransfer > 0) {
            m_bus.handleFreedDuringTransfer = true;
        }
    }
    bool GetAttributes(HidAttributes& attributes) const override {
        attributes = m_device.attributes;
        return true;
    }
    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) const override {
        descriptor = m_device.descriptor;
        return m_device.descriptorReadable;
    }
    HidIoResult Read(std::span<std::uint8_t> buffer, std::size_t& transferred, std::uint32_t timeoutMs,
                     HidStopEvent& stop) override {
        auto& fakeStop = static_cast<FakeStop&>(stop);
        std::unique_lock<std::mutex> lock(m_bus.mutex);
        ++m_inTransfer;
        ++m_bus.readsWaiting;
        m_bus.changed.notify_all();
        HidIoResult result = HidIoResult::kTimeout;
        if (m_device.stubbornRead.count() > 0) {
            m_bus.changed.wait_for(lock, m_device.stubbornRead, [&] { return false; });
            result = HidIoResult::kDone;
        } else {
            auto ready = [&] { return fakeStop.signalled || !m_device.inputs.empty() || !m_device.present; };
            const bool woke = timeoutMs == kInfinite
                                  ? (m_bus.changed.wait(lock, ready), true)
                                  : m_bus.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
            if (!woke) {
                result = HidIoResult::kTimeout;
            } else if (fakeStop.signalled) {
                fakeStop.signalled = false;
                result = HidIoResult::kStopped;
            } else if (!m_device.present) {
                result = HidIoResult::kFailed;
            } else {
                const auto report = m_device.inputs.front();
                m_device.inputs.pop_front();
                transferred = std::min(report.size(), buffer.size());
                std::copy_n(report.begin(), transferred, buffer.begin());
                result = HidIoResult::kDone;
            }
        }
        --m_bus.readsWaiting;
        --m_inTransfer;
        return result;
    }
    HidIoResult Write(std::span<const std::uint8_t> report, std::size_t& transferred, std::uint32_t timeoutMs,
                      HidStopEvent& stop) override {
        auto& fakeStop = static_cast<FakeStop&>(stop);
        std::unique_lock<std::mutex> lock(m_bus.mutex);
        ++m_inTransfer;
        ++m_bus.writesWaiting;
        m_bus.changed.notify_all();
        auto ready = [&] { return fakeStop.signalled || !m_device.writesBlock; };
        const bool woke = timeoutMs == kInfinite
                              ? (m_bus.changed.wait(lock, ready), true)
                              : m_bus.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        HidIoResult result = HidIoResult::kTimeout;
        if (woke && fakeStop.signalled) {
            fakeStop.signalled = false;
            result = HidIoResult::kStopped;
        } else if (woke) {
            m_device.written.emplace_back(report.begin(), report.end());
            transferred = report.size();
            result = HidIoResult::kDone;
        }
        --m_bus.writesWaiting;
        --m_inTransfer;
        return result;
    }

private:
    FakeBus& m_bus;
    FakeInterface& m_device;
    int m_inTransfer = 0; // guarded by the bus lock
};

class FakeBackend : public HidBackend {
public:
    bool Enumerate(std::vector<std::string>& paths) override {
        if (failEnumerate) {
            return false;
        }
        for (const auto& [path, device] : devices) {
            if (device.present) {
                paths.push_back(path);
            }
        }
        return true;
    }
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode& mode) override {
        ++opens;
        lastMode = mode;
        auto found = devices.find(path);
        if (found == devices.end() || !found->second.present) {
            return nullptr;
        }
        return std::make_unique<FakeHandle>(bus, found->second);
    }
    bool IsPresent(const std::string& path) override {
        auto found = devices.find(path);
        return found != devices.end() && found->second.present;
    }
    std::unique_ptr<HidStopEvent> CreateStopEvent() override { return std::make_unique<FakeStop>(bus); }

    FakeInterface& Add(const std::string& path, const std::string& descriptorHex) {
        FakeInterface& device = devices[path];
        device.descriptor = Hex(descriptorHex);
        device.attributes = {0x0C45, 0x7672, 0x0105};
        return device;
    }
    void Push(FakeInterface& device, std::vector<std::uint8_t> report) {
        std::lock_guard<std::mutex> lock(bus.mutex);
        device.inputs.push_back(std::move(report));
        bus.changed.notify_all();
    }
    void WaitUntil(const std::function<bool()>& condition) {
        std::unique_lock<std::mutex> lock(bus.mutex);
        bus.changed.wait_for(lock, 5s, condition);
    }

    FakeBus bus;
    std::map<std::string, FakeInterface> devices;
    bool failEnumerate = false;
    int opens = 0;
    HidOpenMode lastMode;
};

const std::string kPath = "/dev/hidraw3#vid_0c45&pid_7672&mi_01";

TEST(CHidDeviceTest, EnumerationWalksAFreshListOnce) {
    FakeBackend backend;
    CHidDevice device(backend);
    EXPECT_EQ(device.NextPath(), nullptr) << "no list yet";
    EXPECT_TRUE(device.Enumerate());
    EXPECT_EQ(device.NextPath(), nullptr) << "no interface present";

    backend.Add("/dev/hidraw0#vid_046d&pid_c52f", kMixed);
    backend.Add("/dev/hidraw1#vid_0c45&pid_7672", kMixed);
    backend.Add("/dev/hidraw2#vid_0c45&pid_7672", kMixed).present = false;
    ASSERT_TRUE(device.Enumerate());
    const std::string* first = device.NextPath();
    const std::string* second = device.NextPath();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(*first, "/dev/hidraw0#vid_046d&pid_c52f");
    EXPECT_EQ(*second, "/dev/hidraw1#vid_0c45&pid_7672");
    EXPECT_EQ(device.NextPath(), nullptr);
    EXPECT_EQ(device.NextPath(), nullptr) << "stays at the end until the next Enumerate";

    // Enumerating again without FreePaths starts over on a fresh list.
    ASSERT_TRUE(device.Enumerate());
    ASSERT_NE(device.NextPath(), nullptr);
    device.FreePaths();
    EXPECT_EQ(device.NextPath(), nullptr);

    backend.failEnumerate = true;
    EXPECT_FALSE(device.Enumerate());
    EXPECT_EQ(device.NextPath(), nullptr) << "a failed enumeration leaves an empty list";
}

TEST(CHidDeviceTest, OpenFailuresLeaveTheObjectClosed) {
    FakeBackend backend;
    CHidDevice device(backend);
    auto& keyboard = backend.Add(kPath, kMixed);

    keyboard.present = false;
    EXPECT_FALSE(device.Open(kPath, true, true, true, false)) << "the device has gone";
    EXPECT_FALSE(device.IsOpen());
    EXPECT_FALSE(device.Close());

    keyboard.present = true;
    const int opensBefore = backend.opens;
    EXPECT_FALSE(device.Open(std::string(260, 'x'), true, true, true, false));
    EXPECT_EQ(backend.opens, opensBefore) << "an overlong path is refused before the backend is asked";
    EXPECT_FALSE(device.Open(kPath + std::string(259 - kPath.size(), 'x'), true, true, true, false));
    EXPECT_EQ(backend.opens, opensBefore + 1) << "259 characters are allowed";

    keyboard.descriptor = Hex("05 01 09 02 A1 01 B4 C0"); // malformed
    EXPECT_FALSE(device.Open(kPath, true, true, true, false));
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(backend.bus.liveHandles, 0) << "the handle of a failed open is closed";
    keyboard.descriptor = Hex(kMixed);
    keyboard.descriptorReadable = false;
    EXPECT_FALSE(device.Open(kPath, true, true, true, false));
    EXPECT_EQ(backend.bus.liveHandles, 0);
    EXPECT_TRUE(device.UsageTable().empty());
    EXPECT_EQ(device.Caps().inputReportByteLength, 0);

    keyboard.descriptorReadable = true;
    ASSERT_TRUE(device.Open(kPath, true, false, true, true));
    EXPECT_TRUE(backend.lastMode.read);
    EXPECT_FALSE(backend.lastMode.write);
    EXPECT_TRUE(backend.lastMode.exclusive);
    EXPECT_EQ(device.Path(), kPath);
    // Opening an open object re-opens it: the first handle is closed.
    ASSERT_TRUE(device.Open(kPath, true, true, true, false));
    EXPECT_EQ(backend.bus.liveHandles, 1);
    EXPECT_TRUE(device.Close());
    EXPECT_EQ(backend.bus.liveHandles, 0);
    EXPECT_FALSE(device.Close());
    EXPECT_TRUE(device.UsageTable().empty());
}

TEST(CHidDeviceTest, OpenBuildsCapsAndUsageTable) {
    FakeBackend backend;
    CHidDevice device(backend);
    backend.Add(kPath, kMixed);
    ASSERT_TRUE(device.Open(kPath, true, true, true, false));
    EXPECT_EQ(device.Attributes().vendorId, 0x0C45);
    EXPECT_EQ(device.Attributes().productId, 0x7672);
    EXPECT_EQ(device.Caps().usagePage, 0x01);
    EXPECT_EQ(device.Caps().usage, 0x02);
    EXPECT_EQ(device.Caps().inputReportByteLength, 6); // report 1: 5 bytes + id
    EXPECT_EQ(device.Caps().numberInputButtonCaps, 3);
    EXPECT_EQ(device.Caps().numberInputValueCaps, 4);
    EXPECT_EQ(device.InputReportBuffer().size(), 6u);

    // Button entries first, then every value usage, the range 5..7 expanded in order.
    struct Expected {
        std::uint8_t kind;
        std::uint16_t page;
        std::uint32_t reportId;
        std::uint16_t first, last; // usage range of a button entry, usage of a value entry in `first`
        std::uint32_t maxCount;
    };
    const Expected expected[] = {
        {1, 0x09, 1, 1, 5, 6},    {1, 0x09, 1, 9, 9, 6},    {1, 0x0C, 3, 0, 0x3FF, 2},
        {0, 0x01, 1, 0x30, 0, 0}, {0, 0x01, 1, 0x31, 0, 0}, {0, 0x01, 1, 0x32, 0, 0},
        {0, 0xFF00, 2, 5, 0, 0},  {0, 0xFF00, 2, 6, 0, 0},  {0, 0xFF00, 2, 7, 0, 0},
    };
    const auto& table = device.UsageTable();
    ASSERT_EQ(table.size(), std::size(expected));
    for (std::size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(i);
        const HidUsageEntry& entry = table[i];
        EXPECT_EQ(entry.kind, expected[i].kind);
        EXPECT_EQ(entry.usagePage, expected[i].page);
        EXPECT_EQ(entry.reportId, expected[i].reportId);
        EXPECT_EQ(entry.status, kHidpStatusSuccess);
        EXPECT_EQ(entry.touched, 0);
        if (entry.kind == 1) {
            EXPECT_EQ(entry.usageMinimum, expected[i].first);
            EXPECT_EQ(entry.usageMaximum, expected[i].last);
            EXPECT_EQ(entry.maxUsageCount, expected[i].maxCount);
            EXPECT_EQ(entry.usages, std::vector<std::uint16_t>(expected[i].maxCount, 0));
        } else {
            EXPECT_EQ(entry.usage, expected[i].first);
        }
    }
}

TEST(CHidDeviceTest, ParseInputReportRules) {
    FakeBackend backend;
    CHidDevice device(backend);
    EXPECT_FALSE(device.ParseInputReport(std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0})) << "nothing open";
    backend.Add(kPath, kMixed);
    ASSERT_TRUE(device.Open(kPath, true, true, true, false));
    const auto& table = device.UsageTable();

    // No entry has report id 9: nothing changes.
    EXPECT_TRUE(device.ParseInputReport(std::vector<std::uint8_t>{9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    for (const HidUsageEntry& entry : table) {
        EXPECT_EQ(entry.touched, 0);
    }
    EXPECT_FALSE(device.ParseInputReport({})) << "an empty report has no id";

    // Buttons 3 and 9 pressed: the range 1..5 keeps 3, the single 9 keeps 9; X=-1, Y=2, Z=127.
    ASSERT_TRUE(device.ParseInputReport(std::vector<std::uint8_t>{1, 0x04, 0x01, 0xFF, 0x02, 0x7F}));
    EXPECT_EQ(table[0].usages, (std::vector<std::uint16_t>{3, 0, 0, 0, 0, 0}));
    EXPECT_EQ(table[1].usages, (std::vector<std::uint16_t>{9, 0, 0, 0, 0, 0}));
    EXPECT_EQ(table[0].touched, 1);
    EXPECT_EQ(table[2].touched, 0) << "report 3 entries are not visited";
    EXPECT_EQ(table[3].rawValue, 0xFFu);
    EXPECT_EQ(table[3].scaledValue, -1);
    EXPECT_EQ(table[4].scaledValue, 2);
    EXPECT_EQ(table[5].scaledValue, 127);
    EXPECT_EQ(table[6].touched, 0);

    // Fewer buttons than before: stale usages do not survive behind the terminating zero.
    ASSERT_TRUE(device.ParseInputReport(std::vector<std::uint8_t>{1, 0x1F, 0x00, 0, 0, 0}));
    EXPECT_EQ(table[0].usages, (std::vector<std::uint16_t>{1, 2, 3, 4, 5, 0}));
    ASSERT_TRUE(device.ParseInputReport(std::vector<std::uint8_t>{1, 0x10, 0x00, 0, 0, 0}));
    EXPECT_EQ(table[0].usages, (std::vector<std::uint16_t>{5, 0, 0, 0, 0, 0}));
    EXPECT_EQ(table[1].usages, (std::vector<std::uint16_t>(6, 0)));

    // Consumer report: both usages land in the range entry.
    ASSERT_TRUE(device.ParseInputReport(std::vector<std::uint8_t>{3, 0xE9, 0x00, 0xCD, 0x00}));
    EXPECT_EQ(table[2].usages, (std::vector<std::uint16_t>{0xE9, 0xCD}));
    EXPECT_EQ(table[2].status, kHidpStatusSuccess);

    // A short report 2: usage 5 is read, usage 6 is not; the parse stops there with false.
    EXPECT_FALSE(device.ParseInputReport(std::vector<std::uint8_t>{2, 0x42}));
    EXPECT_EQ(table[6].rawValue, 0x42u);
    EXPECT_EQ(table[6].touched, 1);
    EXPECT_EQ(table[7].status, kHidpStatusInvalidReportLength);
    EXPECT_EQ(table[7].touched, 0);
    EXPECT_EQ(table[8].touched, 0);

    // A short report 1 cannot hide a value read past its end; the buttons report the length.
    EXPECT_FALSE(device.ParseInputReport(std::vector<std::uint8_t>{1, 0x01}));
    EXPECT_EQ(table[0].status, kHidpStatusInvalidReportLength);
    EXPECT_EQ(table[0].usages, (std::vector<std::uint16_t>(6, 0)));
}

TEST(CHidDeviceTest, ReadsAndWritesMoveReportsWithinTheirTimeout) {
    FakeBackend backend;
    CHidDevice device(backend);
    auto& keyboard = backend.Add(kPath, kMixed);
    std::vector<std::uint8_t> buffer(6, 0xEE);
    std::uint32_t bytes = 77;
    EXPECT_FALSE(device.ReadReport(buffer, &bytes, 10)) << "nothing open";
    EXPECT_EQ(bytes, 0u);

    ASSERT_TRUE(device.Open(kPath, true, true, true, false));
    bytes = 77;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(device.ReadReport(buffer, &bytes, 30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms);
    EXPECT_EQ(bytes, 0u);

    backend.Push(keyboard, {1, 2, 3, 4, 5, 6});
    EXPECT_TRUE(device.ReadReport(buffer, &bytes, 1000));
    EXPECT_EQ(bytes, 6u);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    backend.Push(keyboard, {3, 0xE9, 0, 0, 0});
    EXPECT_TRUE(device.ReadReport(buffer, nullptr, kInfinite)) << "the byte count is optional";

    const std::vector<std::uint8_t> request(64, 0x04);
    EXPECT_TRUE(device.WriteReport(request, &bytes, 100));
    EXPECT_EQ(bytes, 64u);
    ASSERT_EQ(keyboard.written.size(), 1u);
    keyboard.writesBlock = true;
    EXPECT_FALSE(device.WriteReport(request, &bytes, 20));
    EXPECT_EQ(bytes, 0u);

    keyboard.present = false;
    backend.Push(keyboard, {});
    EXPECT_FALSE(device.ReadReport(buffer, &bytes, kInfinite)) << "a device that fails the read ends the wait";
}

TEST(CHidDeviceTest, CloseFromAnotherThreadWakesWaitingTransfersBeforeFreeing) {
    FakeBackend backend;
    CHidDevice device(backend);
    auto& keyboard = backend.Add(kPath, kMixed);
    ASSERT_TRUE(device.Open(kPath, true, true, true, false));
    keyboard.writesBlock = true;

    auto reader = std::async(std::launch::async, [&] {
        std::vector<std::uint8_t> buffer(6);
        std::uint32_t bytes = 99;
        const bool ok = device.ReadReport(buffer, &bytes, kInfinite);
        return ok || bytes != 0;
    });
    auto writer = std::async(std::launch::async, [&] {
        std::vector<std::uint8_t> request(64, 0);
        return device.WriteReport(request, nullptr, kInfinite);
    });
    backend.WaitUntil([&] { return backend.bus.readsWaiting == 1 && backend.bus.writesWaiting == 1; });

    EXPECT_TRUE(device.Close());
    // Close returns only once both waits have ended, and it freed the handle itself.
    EXPECT_EQ(backend.bus.readsWaiting, 0);
    EXPECT_EQ(backend.bus.writesWaiting, 0);
    EXPECT_EQ(backend.bus.liveHandles, 0);
    EXPECT_FALSE(backend.bus.handleFreedDuringTransfer);
    ASSERT_EQ(reader.wait_for(2s), std::future_status::ready);
    ASSERT_EQ(writer.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(reader.get());
    EXPECT_FALSE(writer.get());

    // Open from another thread wakes a waiting read the same way.
    keyboard.writesBlock = false;
    ASSERT_TRUE(device.Open(kPath, true, true, true, false));
    auto second = std::async(std::launch::async, [&] {
        std::vector<std::uint8_t> buffer(6);
        return device.ReadReport(buffer, nullptr, kInfinite);
    });
    backend.WaitUntil([&] { return backend.bus.readsWaiting == 1; });
    ASSERT_TRUE(device.Open(kPath, true, true, true, false));
    ASSERT_EQ(second.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(second.get());
    EXPECT_FALSE(backend.bus.handleFreedDuringTransfer);
    EXPECT_EQ(backend.bus.liveHandles, 1);
}

TEST(CHidDeviceTest, AStopSignalNobodyTookDoesNotStopTheNextRead) {
    FakeBackend backend;
    CHidDevice device(backend);
    auto& keyboard = backend.Add(kPath, kMixed);
    ASSERT_TRUE(device.Open(kPath, true, true, true, false));
    keyboard.stubbornRead = 60ms; // this read ends on its own and never takes the signal

    auto reader = std::async(std::launch::async, [&] {
        std::vector<std::uint8_t> buffer(6);
        return device.ReadReport(buffer, nullptr, kInfinite);
    });
    backend.WaitUntil([&] { return backend.bus.readsWaiting == 1; });
    EXPECT_TRUE(device.Close());
    EXPECT_FALSE(backend.bus.handleFreedDuringTransfer);
    reader.get();

    keyboard.stubbornRead = 0ms;
    ASSERT_TRUE(device.Open(kPath, true, true, true, false));
    backend.Push(keyboard, {1, 0, 0, 0, 0, 0});
    std::vector<std::uint8_t> buffer(6);
    EXPECT_TRUE(device.ReadReport(buffer, nullptr, 1000));
}

} // namespace
} // namespace brasslane
