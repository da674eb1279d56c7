#pragma once

// The simulated keyboard: a model of the keyboard's side of the protocol (not a mock). It keeps
// the keyboard's memory areas, answers command frames as the keyboard does, raises its
// consumer-control notifications and can be told to misbehave. SimHidBackend presents it as
// HID interfaces with real report descriptors.
//
// Thread-safe: the command interface, the listener interface and the test that drives the
// faults may all be on different threads.

#include "core/base/WaitClock.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brasslane::sim {

enum class SimModel { k7672, k505B };

constexpr std::size_t kSimInfoSize = 44;
constexpr std::size_t kSimLightingSize = 3 * 42;
constexpr std::size_t kSimKeyColourSize = 3 * 512;
constexpr std::size_t kSimMacroAreaMax = 255 * 128;

struct SimFaults {
    // Requests answered normally before the faults below begin, all but unplugAfter and the
    // latency (statusAfter counts on from there).
    int faultsAfter = 0;
    int noAnswer = 0;            // the next N requests get no answer at all
    bool neverAnswer = false;    // no request gets an answer
    std::uint8_t statusByte = 0; // with statusCount > 0: status byte of the next answers (0xFF / 0xFE)
    int statusCount = 0;
    int statusAfter = 0; // requests answered normally before the status fault starts
    int lateAnswers = 0; // the next N answers arrive `lateBy` after their request
    std::chrono::milliseconds lateBy{400};
    int unplugAfter = -1;                          // unplug once N more requests have been answered (-1: never)
    std::chrono::microseconds latencyPerReport{0}; // added to every write and every answer
    bool failWrites = false;                       // writes fail (as if the device refused them)
    std::uint8_t refusedCommand = 0;               // requests with this command number get status 0xFF (0: none)
    // After the boot-mode command the keyboard comes back, as when its updater has finished,
    // once this much time has passed (negative: it stays away until Plug).
    std::chrono::milliseconds bootReturnAfter{-1};
    // A write with this command number, after `corruptAfter` such writes were stored faithfully,
    // stores its first data byte inverted and still answers success; then the fault ends (0: none).
    std::uint8_t corruptCommand = 0;
    int corruptAfter = 0;
};

class SimKeyboard {
public:
    // `clock` times latencies, late answers and the timeouts of reads and writes on the
    // keyboard's interfaces; without one the keyboard runs on the steady clock. A clock that is
    // given must outlive the keyboard and every handle opened on it.
    explicit SimKeyboard(SimModel model = SimModel::k7672, WaitClock* clock = nullptr);

    SimModel Model() const;
    std::uint16_t VendorId() const;
    std::uint16_t ProductId() const;
    std::uint32_t KeyCount() const;  // 126 or 128
    std::uint32_t BlockSize() const; // 378 or 512

    // Memory areas. Copies, taken under the keyboard's lock.
    std::array<std::uint8_t, kSimInfoSize> Info() const;
    std::vector<std::uint8_t> DefaultKeyMap() const;             // BlockSize() bytes
    std::vector<std::uint8_t> KeyMaps() const;                   // 3 x BlockSize() bytes
    std::vector<std::uint8_t> MacroArea() const;                 // kSimMacroAreaMax bytes
    std::array<std::uint8_t, kSimLightingSize> Lighting() const; // as the keyboard keeps it (green before red)
    std::array<std::uint8_t, kSimKeyColourSize> KeyColours() const;
    void SetInfo(const std::array<std::uint8_t, kSimInfoSize>& info);
    void SetKeyMaps(std::span<const std::uint8_t> maps);
    void SetMacroArea(std::span<const std::uint8_t> area);
    void SetLighting(const std::array<std::uint8_t, kSimLightingSize>& lighting);
    std::uint8_t ActiveProfile() const; // information byte 10

    // Answers one 64-byte request as the keyboard does (checksum checked, memory read or
    // written). nullopt when the keyboard sends no answer (command 0xEE).
    std::optional<std::array<std::uint8_t, 64>> HandleRequest(std::span<const std::uint8_t> request);

    // Faults. Changing them takes effect from the next request.
    void SetFaults(const SimFaults& faults);
    SimFaults Faults() const;

    // Plugging: an unplugged keyboard's interfaces are absent, pending reads fail.
    void Plug();
    void Unplug();
    bool IsPlugged() const;
    // Counts plug events, so that a handle opened before an unplug stays dead after a replug.
    std::uint64_t PlugGeneration() const;

    // Queues a consumer-control report (report id 3) carrying `usage` on the listener interface.
    // It reaches every handle open on that interface at the time, and nobody else.
    void RaiseNotification(std::uint16_t usage);
    // Open handles of the present keyboard that read the consumer-control interface.
    std::size_t ConsumerReaders() const;
    // Waits until ConsumerReaders() is `count`, so that a test knows a listener is there before
    // it raises a notification. False when that does not happen within `guard`, which only
    // keeps a broken test from hanging.
    bool WaitForConsumerReaders(std::size_t count, std::chrono::milliseconds guard = std::chrono::seconds(10)) const;

    // Every request received, in order (for tests and traces).
    std::vector<std::array<std::uint8_t, 64>> RequestLog() const;
    void ClearRequestLog();

    // State as JSON: {"model": "0c45:7672", "info": hex, "default_keymap": hex, "keymaps": hex,
    // "macro_area": hex, "lighting": hex, "key_colours": hex}.
    std::string SaveJson() const;
    bool LoadJson(const std::string& json, std::string* error);
    bool SaveStateFile(const std::filesystem::path& path, std::string* error) const; // temp file + rename
    bool LoadStateFile(const std::filesystem::path& path, std::string* error);

    // Used by SimHidBackend: the answers and notifications waiting to be read.
    struct Pending {
        std::array<std::uint8_t, 64> report;
        std::chrono::steady_clock::time_point readyAt;
    };

private:
    friend class SimHidBackend;
    friend class SimHandle;
    friend class SimStopEvent;
    // Defined in SimKeyboardImpl.h, shared with the backend's handles, which keep it alive.
    struct Impl;
    std::shared_ptr<Impl> m_impl;
};

} // namespace brasslane::sim
