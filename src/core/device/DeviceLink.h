#pragma once

// The command channel to the keyboard: one 64-byte CommandFrame written, one 64-byte
// ResponseFrame read, under the device lock, with timeouts and retries, and one operation per
// command the keyboard understands.

#include "core/base/WaitClock.h"
#include "core/device/CHidDevice.h"
#include "core/device/DeviceStatus.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace brasslane {

constexpr std::size_t kFrameSize = 64;
constexpr std::size_t kFramePayload = 56;
constexpr std::size_t kDeviceInfoSize = 44;
constexpr std::size_t kMaxKeyMapBlock = 512;

using CommandFrame = std::array<std::uint8_t, kFrameSize>;
using ResponseFrame = std::array<std::uint8_t, kFrameSize>;

// Command numbers (byte 3 of a CommandFrame).
enum class Command : std::uint8_t {
    kBeginSequence = 1,
    kEndSequence = 2,
    kReadDeviceInfo = 3,
    kWriteDeviceInfo = 4,
    kReadLighting = 5,
    kWriteLighting = 6,
    kReadKeyMapBlock = 7,
    kWriteKeyMapBlock = 8,
    kReadMacroArea = 9,
    kWriteMacroArea = 10,
    kTestCommand = 13,
    kReadDefaultKeyMap = 15,
    kWriteKeyColours = 17,
    kEnterBootMode = 0xEE,
};

// Sum of bytes 3..63 into bytes 1 (low) and 2 (high).
void SetFrameChecksum(CommandFrame& frame);

// Sees every frame that crosses the link, for traces (brasslanectl --trace) and tests.
class FrameObserver {
public:
    virtual ~FrameObserver() = default;
    virtual void OnRequest(std::span<const std::uint8_t> request) = 0;
    // The answer read for the last request, or nullopt when none came in time or the request
    // could not be written. Called once after every OnRequest of SendCommand.
    virtual void OnAnswer(std::optional<std::span<const std::uint8_t>> answer) = 0;
};

// Key-map geometry of the connected model: 378/378 for 0x0C45/0x7672, 512/512 for 0x320F/0x505B.
// How far a long sequence of exchanges has come: `done` exchanges of the `total` announced.
// total 0: no sequence announced.
struct LinkProgress {
    std::uint32_t done = 0;
    std::uint32_t total = 0;
};

struct KeyMapGeometry {
    std::uint32_t blockSize = 378;
    std::uint32_t blockStride = 378;
};

class DeviceLink {
public:
    // `clock` (which must outlive the link) times the pause before a sequence ends; without
    // one the link uses the steady clock. Timeouts of the exchanges are the backend's.
    explicit DeviceLink(HidBackend& backend, WaitClock* clock = nullptr);

    // The command device, opened by the connection monitor (or ConnectKeyboard).
    CHidDevice& Device() { return m_device; }

    // Connected flag: set while the command interface is open and identified.
    bool IsConnected() const { return m_connected.load(); }
    void SetConnected(bool connected) { m_connected.store(connected); }

    KeyMapGeometry Geometry() const;
    void SetGeometry(KeyMapGeometry geometry);

    void SetObserver(FrameObserver* observer) { m_observer.store(observer); }

    // A long sequence (a configuration write) announces how many exchanges it will make; every
    // exchange from then on counts towards it until EndProgress. Any thread may read Progress.
    void BeginProgress(std::uint32_t total);
    void EndProgress();
    LinkProgress Progress() const;

    // Takes the device lock. The connection monitor holds it while it opens, re-opens or
    // closes the command device, so that no exchange runs on a device being replaced.
    std::unique_lock<std::mutex> LockDevice();

    // One exchange: up to four attempts of write (1000 ms) then read (300 ms) under the device
    // lock. `request` shorter than 64 bytes is padded with zeros. Returns 1, 0 or -1.
    DeviceStatus SendCommand(std::span<const std::uint8_t> request, std::span<std::uint8_t> answer,
                             std::uint32_t* bytes);
    // Writes one request under the device lock and reads no answer. 1 when written, else 0.
    int SendOnly(std::span<const std::uint8_t> request);

    DeviceStatus BeginSequence();
    DeviceStatus EndSequence(); // waits 10 ms before it is sent
    DeviceStatus ReadDeviceInfo(std::span<std::uint8_t, kDeviceInfoSize> info);
    DeviceStatus WriteDeviceInfo(std::span<const std::uint8_t, kDeviceInfoSize> info);
    // Reads `length` bytes at `address`; always fills all 56 bytes of `data`. Data bytes 5 and
    // 6 are exchanged (the keyboard keeps green before red).
    DeviceStatus ReadLighting(std::uint16_t address, std::uint8_t length, std::span<std::uint8_t, kFramePayload> data);
    // Writes data.size() <= 56 bytes. A 3-byte write is a colour: its first two bytes are
    // exchanged in the caller's buffer before they are sent.
    DeviceStatus WriteLighting(std::uint16_t address, std::span<std::uint8_t> data);
    // Key-map block of profile `block` (0..2): data.size() bytes from block * stride.
    DeviceStatus ReadKeyMapBlock(std::uint32_t block, std::span<std::uint8_t> data);
    DeviceStatus WriteKeyMapBlock(std::uint32_t block, std::span<const std::uint8_t> data);
    // data.size() bytes of the macro area from address 0.
    DeviceStatus ReadMacroArea(std::span<std::uint8_t> data);
    DeviceStatus WriteMacroArea(std::span<const std::uint8_t> data);
    DeviceStatus TestCommand();
    DeviceStatus ReadDefaultKeyMap(std::span<std::uint8_t> data);
    // Key colours of `profile` from key colour index `firstKey`, three bytes (green, red, blue)
    // per key, at most 56 bytes.
    DeviceStatus WriteKeyColours(std::uint32_t profile, std::uint32_t firstKey, std::span<const std::uint8_t> data);
    // Sends 04 00 00 EE EE and zeros without an answer. 1 when written.
    int EnterBootMode();

private:
    DeviceStatus Exchange(CommandFrame& frame, ResponseFrame& answer);
    DeviceStatus ChunkedRead(Command command, std::uint32_t base, std::span<std::uint8_t> data);
    DeviceStatus ChunkedWrite(Command command, std::uint32_t base, std::span<const std::uint8_t> data);
    void DrainLateAnswers();

    std::unique_ptr<WaitClock> m_ownClock; // the steady clock, when none was given
    WaitClock& m_clock;
    CHidDevice m_device;
    std::atomic<bool> m_connected{false};
    std::atomic<std::uint32_t> m_blockSize{378};
    std::atomic<std::uint32_t> m_blockStride{378};
    std::atomic<FrameObserver*> m_observer{nullptr};
    std::atomic<std::uint32_t> m_progressDone{0};
    std::atomic<std::uint32_t> m_progressTotal{0};
    std::mutex m_lock;                       // the device lock: one exchange (write + its read) at a time
    std::vector<std::uint8_t> m_drainBuffer; // guarded by m_lock
};

} // namespace brasslane
