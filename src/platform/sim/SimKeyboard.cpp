#include "platform/sim/SimKeyboard.h"

#include "core/base/AtomicFile.h"
#include "core/base/Keyboard.h"
#include "core/keys/KeyAction.h"
#include "platform/sim/SimKeyboardImpl.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace brasslane::sim {

namespace {

using Clock = std::chrono::steady_clock;
using Report = std::array<std::uint8_t, 64>;

constexpr std::uint8_t kStatusOk = 0x00;
constexpr std::uint8_t kStatusBadRequest = 0xFF; // checksum wrong or command unknown
constexpr std::uint8_t kStatusRefused = 0xFE;    // outside the addressed area
constexpr std::size_t kPayload = 56;
constexpr std::uint8_t kFreshMacroUnits = 0x40;
constexpr std::size_t kLightingBlock = 42;
constexpr std::uintmax_t kMaxStateFileSize = 16 * 1024 * 1024;

// Effect 1, brightness 5, speed 2, direction 0, colourful, white; the rest of the 42 bytes zero.
constexpr std::array<std::uint8_t, 8> kDefaultLightingStart = {0x01, 0x05, 0x02, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};

std::uint16_t Checksum(const Report& frame) {
    std::uint32_t sum = 0;
    for (std::size_t i = 3; i < frame.size(); ++i) {
        sum += frame[i];
    }
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

std::uint8_t ReadArea(std::span<const std::uint8_t> area, std::size_t address, std::size_t length, Report& answer) {
    for (std::size_t i = 0; i < length; ++i) {
        answer[8 + i] = address + i < area.size() ? area[address + i] : 0;
    }
    return kStatusOk;
}

std::uint8_t WriteArea(std::span<std::uint8_t> area, std::size_t address, std::size_t length, const Report& request) {
    if (address > area.size() || area.size() - address < length) {
        return kStatusRefused;
    }
    std::copy_n(request.begin() + 8, length, area.begin() + static_cast<std::ptrdiff_t>(address));
    return kStatusOk;
}

std::string ToHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool HexField(const nlohmann::json& state, const char* name, std::size_t expected, std::vector<std::uint8_t>& out,
              std::string& error) {
    const auto it = state.find(name);
    if (it == state.end()) {
        error = std::string("field \"") + name + "\" is missing";
        return false;
    }
    if (!it->is_string()) {
        error = std::string("field \"") + name + "\" is not a string";
        return false;
    }
    const std::string& text = it->get_ref<const std::string&>();
    if (text.size() != expected * 2) {
        error = std::string("field \"") + name + "\" holds " + std::to_string(text.size()) +
                " hexadecimal digits, expected " + std::to_string(expected * 2);
        return false;
    }
    out.resize(expected);
    for (std::size_t i = 0; i < expected; ++i) {
        const int high = HexValue(text[2 * i]);
        const int low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            error = std::string("field \"") + name + "\" has a character that is not hexadecimal at position " +
                    std::to_string(high < 0 ? 2 * i : 2 * i + 1);
            return false;
        }
        out[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

void SetError(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
}

} // namespace

SimKeyboard::Impl::Impl(SimModel simModel, WaitClock* givenClock)
    : ownClock(givenClock == nullptr ? std::make_unique<SteadyWaitClock>() : nullptr),
      clock(givenClock != nullptr ? *givenClock : *ownClock), model(simModel) {
    Reset(simModel);
}

void SimKeyboard::Impl::Reset(SimModel simModel) {
    model = simModel;
    info.fill(0);
    info[10] = 0;
    info[11] = kFreshMacroUnits;
    for (std::uint8_t effect = 1; effect <= 18; ++effect) {
        info[11 + effect] = effect;
    }
    info[30] = 20;

    // The keyboard leaves the factory with the key map the program has built in: 126 positions,
    // on the 128-key model followed by zeros.
    const auto factoryMap = BuiltInDefaultKeyMap();
    defaultKeyMap.assign(factoryMap.begin(), factoryMap.begin() + BlockSize());
    keyMaps.clear();
    for (int profile = 0; profile < kProfileCount; ++profile) {
        keyMaps.insert(keyMaps.end(), defaultKeyMap.begin(), defaultKeyMap.end());
    }
    macroArea.assign(kSimMacroAreaMax, 0);

    lighting.fill(0);
    for (std::size_t block = 0; block < 3; ++block) {
        std::copy(kDefaultLightingStart.begin(), kDefaultLightingStart.end(),
                  lighting.begin() + block * kLightingBlock);
    }
    keyColours.fill(0);
}

std::uint32_t SimKeyboard::Impl::BlockSize() const {
    return model == SimModel::k7672 ? 378 : 512;
}

std::uint16_t SimKeyboard::Impl::VendorId() const {
    return model == SimModel::k7672 ? 0x0C45 : 0x320F;
}

std::uint16_t SimKeyboard::Impl::ProductId() const {
    return model == SimModel::k7672 ? 0x7672 : 0x505B;
}

void SimKeyboard::Impl::Notify() {
    ++events;
    changed.notify_all();
    clock.Interrupt();
}

void SimKeyboard::Impl::UnplugLocked() {
    plugged = false;
    for (SimReportQueue* queue : queues) {
        queue->reports.clear();
    }
    Notify();
}

void SimKeyboard::Impl::PlugLocked() {
    returnAt.reset();
    if (!plugged) {
        plugged = true;
        ++generation;
        Notify();
    }
}

void SimKeyboard::Impl::ReturnIfDueLocked() {
    if (!plugged && returnAt && clock.Now() >= *returnAt) {
        PlugLocked();
    }
}

bool SimKeyboard::Impl::Alive(const SimReportQueue& queue) const {
    return plugged && queue.generation == generation;
}

void SimKeyboard::Impl::Push(SimInterface iface, const Report& report, Clock::time_point readyAt) {
    for (SimReportQueue* queue : queues) {
        if (queue->iface != iface || !Alive(*queue)) {
            continue;
        }
        auto& reports = queue->reports;
        if (reports.size() >= kSimMaxQueuedReports) {
            reports.pop_front();
        }
        const auto at = std::upper_bound(reports.begin(), reports.end(), readyAt,
                                         [](Clock::time_point t, const Pending& p) { return t < p.readyAt; });
        reports.insert(at, Pending{report, readyAt});
    }
    Notify();
}

std::optional<Report> SimKeyboard::Impl::Answer(const Report& request) {
    if (request[3] == 0xEE) {
        if (faults.bootReturnAfter.count() >= 0) {
            returnAt = clock.Now() + faults.bootReturnAfter;
        }
        UnplugLocked();
        return std::nullopt;
    }
    Report answer{};
    std::copy_n(request.begin(), 7, answer.begin());
    answer[7] = Execute(request, answer);
    const std::uint16_t sum = Checksum(answer);
    answer[1] = static_cast<std::uint8_t>(sum & 0xFF);
    answer[2] = static_cast<std::uint8_t>(sum >> 8);
    return answer;
}

std::uint8_t SimKeyboard::Impl::Execute(const Report& request, Report& answer) {
    const std::uint16_t sum = Checksum(request);
    if (request[1] != (sum & 0xFF) || request[2] != (sum >> 8)) {
        return kStatusBadRequest;
    }
    const std::size_t length = request[4];
    const std::size_t address = static_cast<std::size_t>(request[5] | request[6] << 8);
    const std::uint8_t command = request[3];
    const bool needsNoLength = command == 1 || command == 2 || command == 13;
    if (!needsNoLength && length > kPayload) {
        return kStatusRefused;
    }
    const std::size_t macroCapacity = static_cast<std::size_t>(info[11]) * 128;
    const std::span<std::uint8_t> macros(macroArea.data(), std::min(macroCapacity, macroArea.size()));
    switch (command) {
    case 1:
    case 2:
    case 13:
        return kStatusOk;
    case 3:
        return ReadArea(info, address, length, answer);
    case 4:
        // The active profile is one of three; anything else would leave the keyboard in no profile.
        if (address <= 10 && address + length > 10 && request[8 + 10 - address] > 2) {
            return kStatusRefused;
        }
        return WriteArea(info, address, length, request);
    case 5:
        return ReadArea(lighting, address, length, answer);
    case 6:
        return WriteArea(lighting, address, length, request);
    case 7:
        return ReadArea(keyMaps, address, length, answer);
    case 8:
        return WriteArea(keyMaps, address, length, request);
    case 9:
        return ReadArea(macros, address, length, answer);
    case 10:
        return WriteArea(macros, address, length, request);
    case 15:
        return ReadArea(defaultKeyMap, address, length, answer);
    case 17:
        return WriteArea(keyColours, address, length, request);
    default:
        return kStatusBadRequest;
    }
}

bool SimKeyboard::Impl::WaitForChange(std::unique_lock<std::mutex>& lock, std::optional<Clock::time_point> when) {
    const std::uint64_t seen = events.load();
    // The clock waits without the keyboard's lock: Notify takes that lock before it wakes the
    // clock, and a change made in between is seen in `events`.
    lock.unlock();
    const bool woken = clock.WaitUntil(when.value_or(Clock::time_point::max()), [&] { return events.load() != seen; });
    lock.lock();
    return woken;
}

void SimKeyboard::Impl::Register(SimReportQueue* queue) {
    std::lock_guard lock(mutex);
    queues.push_back(queue);
    Notify();
}

void SimKeyboard::Impl::Unregister(SimReportQueue* queue) {
    std::lock_guard lock(mutex);
    std::erase(queues, queue);
    Notify();
}

std::size_t SimKeyboard::Impl::ReadersLocked(SimInterface iface) const {
    return static_cast<std::size_t>(std::count_if(queues.begin(), queues.end(), [&](const SimReportQueue* queue) {
        return queue->iface == iface && Alive(*queue);
    }));
}

void SimKeyboard::Impl::SignalStop(SimStopState& stop) {
    std::lock_guard lock(mutex);
    stop.signalled = true;
    Notify();
}

HidIoResult SimKeyboard::Impl::Write(SimReportQueue& queue, std::span<const std::uint8_t> report,
                                     std::size_t& transferred, std::uint32_t timeoutMs, SimStopState& stop) {
    transferred = 0;
    std::unique_lock lock(mutex);
    const auto start = clock.Now();
    const auto latency = std::chrono::duration_cast<Clock::duration>(faults.latencyPerReport);
    const auto sentAt = start + latency;
    const std::optional<Clock::time_point> deadline =
        timeoutMs == kInfinite ? std::nullopt : std::optional(start + std::chrono::milliseconds(timeoutMs));
    for (;;) {
        if (!Alive(queue)) {
            return HidIoResult::kFailed;
        }
        if (stop.signalled) {
            stop.signalled = false;
            return HidIoResult::kStopped;
        }
        const auto now = clock.Now();
        if (now >= sentAt) {
            break;
        }
        if (deadline && now >= *deadline) {
            return HidIoResult::kTimeout;
        }
        WaitForChange(lock, deadline ? std::min(sentAt, *deadline) : sentAt);
    }
    if (faults.failWrites || queue.iface != SimInterface::kCommand) {
        return HidIoResult::kFailed;
    }
    // The command interface has one output report: id 4 and 63 bytes.
    if (report.size() != kSimCommandReportSize || report[0] != 4) {
        return HidIoResult::kFailed;
    }
    Report request{};
    std::copy(report.begin(), report.end(), request.begin());
    transferred = report.size();
    requestLog.push_back(request);

    std::optional<Report> answer;
    if (request[3] == 0xEE) {
        Answer(request);
        return HidIoResult::kDone;
    }
    auto readyAt = clock.Now() + latency;
    if (faults.faultsAfter > 0) {
        --faults.faultsAfter;
        Push(SimInterface::kCommand, *Answer(request), readyAt);
        return HidIoResult::kDone;
    }
    if (faults.neverAnswer) {
        return HidIoResult::kDone;
    }
    if (faults.noAnswer > 0) {
        --faults.noAnswer;
        return HidIoResult::kDone;
    }
    // A refused request leaves the keyboard's memory as it was.
    const auto refused = [&request](std::uint8_t status) {
        Report refusal{};
        std::copy_n(request.begin(), 7, refusal.begin());
        refusal[7] = status;
        return refusal;
    };
    if (faults.statusCount > 0 && faults.statusAfter > 0) {
        --faults.statusAfter;
        answer = Answer(request);
    } else if (faults.statusCount > 0) {
        --faults.statusCount;
        answer = refused(faults.statusByte);
    } else if (faults.refusedCommand != 0 && request[3] == faults.refusedCommand) {
        answer = refused(kStatusBadRequest);
    } else if (faults.corruptCommand != 0 && request[3] == faults.corruptCommand && faults.corruptAfter-- <= 0) {
        // The memory takes a changed byte while the answer says all went well.
        faults.corruptCommand = 0;
        faults.corruptAfter = 0;
        Report stored = request;
        stored[8] ^= 0xFF;
        const std::uint16_t sum = Checksum(stored);
        stored[1] = static_cast<std::uint8_t>(sum & 0xFF);
        stored[2] = static_cast<std::uint8_t>(sum >> 8);
        answer = Answer(stored);
    } else {
        answer = Answer(request);
    }
    if (faults.lateAnswers > 0) {
        --faults.lateAnswers;
        readyAt += faults.lateBy;
    }
    Push(SimInterface::kCommand, *answer, readyAt);
    return HidIoResult::kDone;
}

HidIoResult SimKeyboard::Impl::Read(SimReportQueue& queue, std::span<std::uint8_t> buffer, std::size_t& transferred,
                                    std::uint32_t timeoutMs, SimStopState& stop) {
    transferred = 0;
    std::unique_lock lock(mutex);
    const std::optional<Clock::time_point> deadline =
        timeoutMs == kInfinite ? std::nullopt : std::optional(clock.Now() + std::chrono::milliseconds(timeoutMs));
    for (;;) {
        if (!Alive(queue)) {
            return HidIoResult::kFailed;
        }
        if (stop.signalled) {
            stop.signalled = false;
            return HidIoResult::kStopped;
        }
        const auto now = clock.Now();
        if (!queue.reports.empty() && queue.reports.front().readyAt <= now) {
            const std::size_t size =
                queue.iface == SimInterface::kConsumer ? kSimConsumerReportSize : kSimCommandReportSize;
            const std::size_t count = std::min(size, buffer.size());
            std::copy_n(queue.reports.front().report.begin(), count, buffer.begin());
            queue.reports.pop_front();
            transferred = count;
            if (queue.iface == SimInterface::kCommand && faults.unplugAfter > 0 && --faults.unplugAfter == 0) {
                faults.unplugAfter = -1;
                UnplugLocked();
            }
            return HidIoResult::kDone;
        }
        if (deadline && now >= *deadline) {
            return HidIoResult::kTimeout;
        }
        std::optional<Clock::time_point> wake = deadline;
        if (!queue.reports.empty()) {
            wake = wake ? std::min(*wake, queue.reports.front().readyAt) : queue.reports.front().readyAt;
        }
        WaitForChange(lock, wake);
    }
}

SimKeyboard::SimKeyboard(SimModel model, WaitClock* clock) : m_impl(std::make_shared<Impl>(model, clock)) {}

SimModel SimKeyboard::Model() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->model;
}

std::uint16_t SimKeyboard::VendorId() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->VendorId();
}

std::uint16_t SimKeyboard::ProductId() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->ProductId();
}

std::uint32_t SimKeyboard::KeyCount() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->model == SimModel::k7672 ? 126 : 128;
}

std::uint32_t SimKeyboard::BlockSize() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->BlockSize();
}

std::array<std::uint8_t, kSimInfoSize> SimKeyboard::Info() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->info;
}

std::vector<std::uint8_t> SimKeyboard::DefaultKeyMap() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->defaultKeyMap;
}

std::vector<std::uint8_t> SimKeyboard::KeyMaps() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->keyMaps;
}

std::vector<std::uint8_t> SimKeyboard::MacroArea() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->macroArea;
}

std::array<std::uint8_t, kSimLightingSize> SimKeyboard::Lighting() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->lighting;
}

std::array<std::uint8_t, kSimKeyColourSize> SimKeyboard::KeyColours() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->keyColours;
}

void SimKeyboard::SetInfo(const std::array<std::uint8_t, kSimInfoSize>& info) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->info = info;
}

void SimKeyboard::SetKeyMaps(std::span<const std::uint8_t> maps) {
    std::lock_guard lock(m_impl->mutex);
    std::copy_n(maps.begin(), std::min(maps.size(), m_impl->keyMaps.size()), m_impl->keyMaps.begin());
}

void SimKeyboard::SetMacroArea(std::span<const std::uint8_t> area) {
    std::lock_guard lock(m_impl->mutex);
    std::copy_n(area.begin(), std::min(area.size(), m_impl->macroArea.size()), m_impl->macroArea.begin());
}

void SimKeyboard::SetLighting(const std::array<std::uint8_t, kSimLightingSize>& lighting) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->lighting = lighting;
}

std::uint8_t SimKeyboard::ActiveProfile() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->info[10];
}

std::optional<std::array<std::uint8_t, 64>> SimKeyboard::HandleRequest(std::span<const std::uint8_t> request) {
    Report frame{};
    std::copy_n(request.begin(), std::min(request.size(), frame.size()), frame.begin());
    std::lock_guard lock(m_impl->mutex);
    m_impl->requestLog.push_back(frame);
    return m_impl->Answer(frame);
}

void SimKeyboard::SetFaults(const SimFaults& faults) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->faults = faults;
    if (faults.unplugAfter == 0) {
        m_impl->faults.unplugAfter = -1;
        m_impl->UnplugLocked();
    }
    m_impl->Notify();
}

SimFaults SimKeyboard::Faults() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->faults;
}

void SimKeyboard::Plug() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->PlugLocked();
}

void SimKeyboard::Unplug() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->UnplugLocked();
}

bool SimKeyboard::IsPlugged() const {
    std::lock_guard lock(m_impl->mutex);
    m_impl->ReturnIfDueLocked();
    return m_impl->plugged;
}

std::uint64_t SimKeyboard::PlugGeneration() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->generation;
}

std::size_t SimKeyboard::ConsumerReaders() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->ReadersLocked(SimInterface::kConsumer);
}

bool SimKeyboard::WaitForConsumerReaders(std::size_t count, std::chrono::milliseconds guard) const {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->changed.wait_for(lock, guard,
                                    [&] { return m_impl->ReadersLocked(SimInterface::kConsumer) == count; });
}

void SimKeyboard::RaiseNotification(std::uint16_t usage) {
    std::lock_guard lock(m_impl->mutex);
    if (!m_impl->plugged) {
        return;
    }
    Report report{};
    report[0] = 3;
    report[1] = static_cast<std::uint8_t>(usage & 0xFF);
    report[2] = static_cast<std::uint8_t>(usage >> 8);
    m_impl->Push(SimInterface::kConsumer, report, m_impl->clock.Now());
}

std::vector<std::array<std::uint8_t, 64>> SimKeyboard::RequestLog() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requestLog;
}

void SimKeyboard::ClearRequestLog() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->requestLog.clear();
}

std::string SimKeyboard::SaveJson() const {
    std::lock_guard lock(m_impl->mutex);
    const Impl& impl = *m_impl;
    nlohmann::ordered_json state;
    state["model"] = impl.model == SimModel::k7672 ? "0c45:7672" : "320f:505b";
    state["info"] = ToHex(impl.info);
    state["default_keymap"] = ToHex(impl.defaultKeyMap);
    state["keymaps"] = ToHex(impl.keyMaps);
    state["macro_area"] = ToHex(impl.macroArea);
    state["lighting"] = ToHex(impl.lighting);
    state["key_colours"] = ToHex(impl.keyColours);
    return state.dump(2) + "\n";
}

bool SimKeyboard::LoadJson(const std::string& json, std::string* error) {
    nlohmann::json state;
    try {
        state = nlohmann::json::parse(json);
    } catch (const nlohmann::json::exception& e) {
        SetError(error, std::string("keyboard state is not valid JSON: ") + e.what());
        return false;
    }
    if (!state.is_object()) {
        SetError(error, "keyboard state is not a JSON object");
        return false;
    }
    const auto modelField = state.find("model");
    if (modelField == state.end() || !modelField->is_string()) {
        SetError(error, "field \"model\" is missing or not a string");
        return false;
    }
    std::string modelName = modelField->get<std::string>();
    std::transform(modelName.begin(), modelName.end(), modelName.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    SimModel model;
    if (modelName == "0c45:7672") {
        model = SimModel::k7672;
    } else if (modelName == "320f:505b") {
        model = SimModel::k505B;
    } else {
        SetError(error, "field \"model\" names no known keyboard: " + modelField->get<std::string>());
        return false;
    }
    const std::size_t blockSize = model == SimModel::k7672 ? 378 : 512;

    std::vector<std::uint8_t> info, defaultKeyMap, keyMaps, macroArea, lighting, keyColours;
    std::string problem;
    if (!HexField(state, "info", kSimInfoSize, info, problem) ||
        !HexField(state, "default_keymap", blockSize, defaultKeyMap, problem) ||
        !HexField(state, "keymaps", 3 * blockSize, keyMaps, problem) ||
        !HexField(state, "macro_area", kSimMacroAreaMax, macroArea, problem) ||
        !HexField(state, "lighting", kSimLightingSize, lighting, problem) ||
        !HexField(state, "key_colours", kSimKeyColourSize, keyColours, problem)) {
        SetError(error, "keyboard state: " + problem);
        return false;
    }

    std::lock_guard lock(m_impl->mutex);
    Impl& impl = *m_impl;
    impl.model = model;
    std::copy(info.begin(), info.end(), impl.info.begin());
    impl.defaultKeyMap = std::move(defaultKeyMap);
    impl.keyMaps = std::move(keyMaps);
    impl.macroArea = std::move(macroArea);
    std::copy(lighting.begin(), lighting.end(), impl.lighting.begin());
    std::copy(keyColours.begin(), keyColours.end(), impl.keyColours.begin());
    return true;
}

bool SimKeyboard::SaveStateFile(const std::filesystem::path& path, std::string* error) const {
    return WriteFileAtomically(path, SaveJson(), error);
}

bool SimKeyboard::LoadStateFile(const std::filesystem::path& path, std::string* error) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        SetError(error, "cannot read " + path.string() + ": " + ec.message());
        return false;
    }
    if (size > kMaxStateFileSize) {
        SetError(error, path.string() + " is too large for a keyboard state");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SetError(error, "cannot open " + path.string());
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        SetError(error, "cannot read " + path.string());
        return false;
    }
    return LoadJson(text.str(), error);
}

} // namespace brasslane::sim
