#include "core/device/DeviceLink.h"

#include "core/base/Bytes.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace brasslane {

namespace {

constexpr int kAttempts = 4;
constexpr std::uint32_t kWriteTimeoutMs = 1000;
constexpr std::uint32_t kReadTimeoutMs = 300;
constexpr auto kEndSequencePause = std::chrono::milliseconds(10);
constexpr std::size_t kStatusByte = 7;
constexpr std::size_t kPayloadOffset = 8;
constexpr std::uint8_t kAnswerRefusedFF = 0xFF;
constexpr std::uint8_t kAnswerRefusedFE = 0xFE;
constexpr std::uint32_t kMaxBlockIndex = 3;
// Macro offsets are 16-bit: a longer transfer would wrap onto its own start.
constexpr std::size_t kMaxChunkedTransfer = 65536;
// A device that keeps streaming input reports must not hold the drain forever.
constexpr int kMaxDrainedReports = 64;

CommandFrame MakeFrame(Command command, std::uint8_t length, std::uint16_t address) {
    CommandFrame frame{};
    frame[0] = 4;
    frame[3] = static_cast<std::uint8_t>(command);
    frame[4] = length;
    WriteU16(frame, 5, address);
    frame[7] = 0;
    return frame;
}

} // namespace

void SetFrameChecksum(CommandFrame& frame) {
    std::uint32_t sum = 0;
    for (std::size_t i = 3; i < frame.size(); ++i) {
        sum += frame[i];
    }
    WriteU16(frame, 1, static_cast<std::uint16_t>(sum & 0xFFFF));
}

DeviceLink::DeviceLink(HidBackend& backend, WaitClock* clock)
    : m_ownClock(clock == nullptr ? std::make_unique<SteadyWaitClock>() : nullptr),
      m_clock(clock != nullptr ? *clock : *m_ownClock), m_device(backend) {}

KeyMapGeometry DeviceLink::Geometry() const {
    return KeyMapGeometry{m_blockSize.load(), m_blockStride.load()};
}

void DeviceLink::SetGeometry(KeyMapGeometry geometry) {
    m_blockSize.store(geometry.blockSize);
    m_blockStride.store(geometry.blockStride);
}

std::unique_lock<std::mutex> DeviceLink::LockDevice() {
    return std::unique_lock<std::mutex>(m_lock);
}

void DeviceLink::DrainLateAnswers() {
    // An answer that came after its read timed out would otherwise be taken for the answer
    // to the request about to be written.
    const std::size_t length = std::max<std::size_t>(kFrameSize, m_device.Caps().inputReportByteLength);
    if (m_drainBuffer.size() < length) {
        m_drainBuffer.resize(length);
    }
    for (int i = 0; i < kMaxDrainedReports; ++i) {
        std::uint32_t count = 0;
        if (!m_device.ReadReport(std::span<std::uint8_t>(m_drainBuffer.data(), length), &count, 0)) {
            return;
        }
    }
}

DeviceStatus DeviceLink::SendCommand(std::span<const std::uint8_t> request, std::span<std::uint8_t> answer,
                                     std::uint32_t* bytes) {
    if (bytes != nullptr) {
        *bytes = 0;
    }
    if (!IsConnected()) {
        return kStatusNoAnswer;
    }
    CommandFrame frame{};
    std::copy_n(request.begin(), std::min(request.size(), frame.size()), frame.begin());

    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::lock_guard lock(m_lock);
        DrainLateAnswers();
        FrameObserver* observer = m_observer.load();
        if (observer != nullptr) {
            observer->OnRequest(frame);
        }
        if (!m_device.WriteReport(frame, nullptr, kWriteTimeoutMs)) {
            if (observer != nullptr) {
                observer->OnAnswer(std::nullopt);
            }
            return kStatusWriteFailed;
        }
        std::uint32_t count = 0;
        const bool read = m_device.ReadReport(answer, &count, kReadTimeoutMs);
        if (read) {
            // A short report must not leave bytes of an earlier one behind as if they were its own.
            const std::size_t received = std::min<std::size_t>(count, answer.size());
            std::fill(answer.begin() + static_cast<std::ptrdiff_t>(received), answer.end(), std::uint8_t{0});
        }
        if (observer != nullptr) {
            observer->OnAnswer(read ? std::optional<std::span<const std::uint8_t>>(answer) : std::nullopt);
        }
        if (read) {
            if (bytes != nullptr) {
                *bytes = count;
            }
            return kStatusSuccess;
        }
    }
    return kStatusNoAnswer;
}

int DeviceLink::SendOnly(std::span<const std::uint8_t> request) {
    if (!IsConnected()) {
        return 0;
    }
    CommandFrame frame{};
    std::copy_n(request.begin(), std::min(request.size(), frame.size()), frame.begin());
    std::lock_guard lock(m_lock);
    FrameObserver* observer = m_observer.load();
    if (observer != nullptr) {
        observer->OnRequest(frame);
    }
    return m_device.WriteReport(frame, nullptr, kWriteTimeoutMs) ? 1 : 0;
}

void DeviceLink::BeginProgress(std::uint32_t total) {
    m_progressDone.store(0);
    m_progressTotal.store(total);
}

void DeviceLink::EndProgress() {
    m_progressTotal.store(0);
    m_progressDone.store(0);
}

LinkProgress DeviceLink::Progress() const {
    LinkProgress progress{m_progressDone.load(), m_progressTotal.load()};
    // The two counters are read one after the other; a reader never sees more done than planned.
    progress.done = std::min(progress.done, progress.total);
    return progress;
}

DeviceStatus DeviceLink::Exchange(CommandFrame& frame, ResponseFrame& answer) {
    SetFrameChecksum(frame);
    answer.fill(0);
    const DeviceStatus status = SendCommand(frame, answer, nullptr);
    if (m_progressTotal.load() != 0) {
        m_progressDone.fetch_add(1);
    }
    if (status != kStatusSuccess) {
        return status;
    }
    if (answer[kStatusByte] == kAnswerRefusedFF) {
        return kStatusRefusedFF;
    }
    if (answer[kStatusByte] == kAnswerRefusedFE) {
        return kStatusRefusedFE;
    }
    return kStatusSuccess;
}

DeviceStatus DeviceLink::ChunkedRead(Command command, std::uint32_t base, std::span<std::uint8_t> data) {
    if (data.empty()) {
        return kStatusSuccess;
    }
    if (data.size() > kMaxChunkedTransfer) {
        return kStatusWriteFailed;
    }
    CommandFrame frame = MakeFrame(command, 0, 0);
    ResponseFrame answer{};
    for (std::size_t off = 0; off < data.size(); off += kFramePayload) {
        const std::size_t n = std::min(kFramePayload, data.size() - off);
        frame[4] = static_cast<std::uint8_t>(n);
        WriteU16(frame, 5, static_cast<std::uint16_t>((base + off) & 0xFFFF));
        const DeviceStatus status = Exchange(frame, answer);
        if (status != kStatusSuccess) {
            return status;
        }
        std::copy_n(answer.begin() + kPayloadOffset, n, data.begin() + static_cast<std::ptrdiff_t>(off));
    }
    return kStatusSuccess;
}

DeviceStatus DeviceLink::ChunkedWrite(Command command, std::uint32_t base, std::span<const std::uint8_t> data) {
    if (data.empty()) {
        return kStatusSuccess;
    }
    if (data.size() > kMaxChunkedTransfer) {
        return kStatusWriteFailed;
    }
    // The frame is built once: a short last chunk leaves the previous chunk's tail in place,
    // which the keyboard ignores because byte 4 gives the length.
    CommandFrame frame = MakeFrame(command, 0, 0);
    ResponseFrame answer{};
    for (std::size_t off = 0; off < data.size(); off += kFramePayload) {
        const std::size_t n = std::min(kFramePayload, data.size() - off);
        frame[4] = static_cast<std::uint8_t>(n);
        WriteU16(frame, 5, static_cast<std::uint16_t>((base + off) & 0xFFFF));
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(off), n, frame.begin() + kPayloadOffset);
        const DeviceStatus status = Exchange(frame, answer);
        if (status != kStatusSuccess) {
            return status;
        }
    }
    return kStatusSuccess;
}

DeviceStatus DeviceLink::BeginSequence() {
    CommandFrame frame = MakeFrame(Command::kBeginSequence, 0, 0);
    ResponseFrame answer{};
    return Exchange(frame, answer);
}

DeviceStatus DeviceLink::EndSequence() {
    CommandFrame frame = MakeFrame(Command::kEndSequence, 0, 0);
    ResponseFrame answer{};
    // The keyboard needs a moment after the last write of a sequence before it commits it.
    if (IsConnected()) {
        m_clock.WaitFor(kEndSequencePause);
    }
    return Exchange(frame, answer);
}

DeviceStatus DeviceLink::ReadDeviceInfo(std::span<std::uint8_t, kDeviceInfoSize> info) {
    CommandFrame frame = MakeFrame(Command::kReadDeviceInfo, kDeviceInfoSize, 0);
    ResponseFrame answer{};
    const DeviceStatus status = Exchange(frame, answer);
    if (status == kStatusSuccess) {
        std::copy_n(answer.begin() + kPayloadOffset, kDeviceInfoSize, info.begin());
    }
    return status;
}

DeviceStatus DeviceLink::WriteDeviceInfo(std::span<const std::uint8_t, kDeviceInfoSize> info) {
    CommandFrame frame = MakeFrame(Command::kWriteDeviceInfo, kDeviceInfoSize, 0);
    std::copy(info.begin(), info.end(), frame.begin() + kPayloadOffset);
    ResponseFrame answer{};
    return Exchange(frame, answer);
}

DeviceStatus DeviceLink::ReadLighting(std::uint16_t address, std::uint8_t length,
                                      std::span<std::uint8_t, kFramePayload> data) {
    CommandFrame frame = MakeFrame(Command::kReadLighting, length, address);
    ResponseFrame answer{};
    const DeviceStatus status = Exchange(frame, answer);
    if (status != kStatusSuccess) {
        return status;
    }
    // The keyboard keeps a block's colour green, red, blue; the program holds red, green, blue.
    std::swap(answer[kPayloadOffset + 5], answer[kPayloadOffset + 6]);
    std::copy_n(answer.begin() + kPayloadOffset, kFramePayload, data.begin());
    return kStatusSuccess;
}

DeviceStatus DeviceLink::WriteLighting(std::uint16_t address, std::span<std::uint8_t> data) {
    if (data.size() > kFramePayload) {
        return kStatusWriteFailed;
    }
    // Every 3-byte lighting write is a colour: red, green, blue in, green, red, blue stored.
    if (data.size() == 3) {
        std::swap(data[0], data[1]);
    }
    CommandFrame frame = MakeFrame(Command::kWriteLighting, static_cast<std::uint8_t>(data.size()), address);
    std::copy(data.begin(), data.end(), frame.begin() + kPayloadOffset);
    ResponseFrame answer{};
    return Exchange(frame, answer);
}

DeviceStatus DeviceLink::ReadKeyMapBlock(std::uint32_t block, std::span<std::uint8_t> data) {
    if (block >= kMaxBlockIndex) {
        return kStatusBadBlock;
    }
    return ChunkedRead(Command::kReadKeyMapBlock, (block * m_blockStride.load()) & 0xFFFF, data);
}

DeviceStatus DeviceLink::WriteKeyMapBlock(std::uint32_t block, std::span<const std::uint8_t> data) {
    if (block >= kMaxBlockIndex) {
        return kStatusBadBlock;
    }
    return ChunkedWrite(Command::kWriteKeyMapBlock, (block * m_blockStride.load()) & 0xFFFF, data);
}

DeviceStatus DeviceLink::ReadMacroArea(std::span<std::uint8_t> data) {
    return ChunkedRead(Command::kReadMacroArea, 0, data);
}

DeviceStatus DeviceLink::WriteMacroArea(std::span<const std::uint8_t> data) {
    return ChunkedWrite(Command::kWriteMacroArea, 0, data);
}

DeviceStatus DeviceLink::TestCommand() {
    CommandFrame frame = MakeFrame(Command::kTestCommand, 0, 0);
    ResponseFrame answer{};
    return Exchange(frame, answer);
}

DeviceStatus DeviceLink::ReadDefaultKeyMap(std::span<std::uint8_t> data) {
    return ChunkedRead(Command::kReadDefaultKeyMap, 0, data);
}

DeviceStatus DeviceLink::WriteKeyColours(std::uint32_t profile, std::uint32_t firstKey,
                                         std::span<const std::uint8_t> data) {
    if (data.size() > kFramePayload) {
        return kStatusWriteFailed;
    }
    // Each profile's colours take 512 bytes of the key-colour area.
    const auto address = static_cast<std::uint16_t>((profile * 512 + firstKey * 3) & 0xFFFF);
    CommandFrame frame = MakeFrame(Command::kWriteKeyColours, static_cast<std::uint8_t>(data.size()), address);
    std::copy(data.begin(), data.end(), frame.begin() + kPayloadOffset);
    ResponseFrame answer{};
    return Exchange(frame, answer);
}

int DeviceLink::EnterBootMode() {
    // The one frame without a checksum: the boot loader looks at bytes 3 and 4 only.
    CommandFrame frame{};
    frame[0] = 4;
    frame[3] = static_cast<std::uint8_t>(Command::kEnterBootMode);
    frame[4] = static_cast<std::uint8_t>(Command::kEnterBootMode);
    return SendOnly(frame);
}

} // namespace brasslane
