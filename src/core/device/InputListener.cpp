#include "core/device/InputListener.h"

#include "core/base/Messages.h"
#include "core/device/KeyboardFinder.h"

#include <algorithm>
#include <vector>

namespace brasslane {

namespace {

constexpr auto kSearchInterval = std::chrono::milliseconds(1000);
constexpr auto kTraySwitchHold = std::chrono::milliseconds(1);

} // namespace

InputListener::InputListener(HidBackend& backend, const ConnectionState& state, UiSink& ui, WaitClock* clock)
    : m_state(state), m_ui(ui), m_ownClock(clock == nullptr ? std::make_unique<SteadyWaitClock>() : nullptr),
      m_clock(clock != nullptr ? *clock : *m_ownClock), m_device(backend) {}

InputListener::~InputListener() {
    Stop();
}

void InputListener::Start() {
    if (m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_stopping.store(false);
    }
    m_running.store(true);
    m_thread = std::thread([this] { Run(); });
}

void InputListener::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping.store(true);
        // Wakes a read blocked without timeout through the device's stop event.
        m_device.Close();
    }
    m_clock.Interrupt();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    ReapTrayWorkers(true);
}

bool InputListener::IsRunning() const {
    return m_running.load();
}

void InputListener::Run() {
    for (;;) {
        SearchResult result;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping.load()) {
                break;
            }
            result = FindInterface(m_device, InterfaceRole::kConsumer);
        }
        if (result == SearchResult::kEnumerationFailed) {
            break;
        }
        if (result == SearchResult::kFound) {
            Listen();
            std::lock_guard lock(m_mutex);
            m_device.Close();
        }
        if (m_clock.WaitFor(kSearchInterval, [this] { return m_stopping.load(); })) {
            break;
        }
    }
    m_running.store(false);
}

void InputListener::Listen() {
    // Reports go into a buffer of our own: a Close from Stop frees the device's buffer while
    // the woken read may still be returning.
    std::vector<std::uint8_t> buffer;
    {
        std::lock_guard lock(m_mutex);
        buffer.assign(std::max<std::size_t>(m_device.Caps().inputReportByteLength, 1), 0);
    }
    for (;;) {
        std::uint32_t count = 0;
        if (!m_device.ReadReport(buffer, &count, kInfinite)) {
            return;
        }
        std::uint16_t usage = 0;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping.load()) {
                return;
            }
            const std::size_t length = std::min<std::size_t>(count, buffer.size());
            if (!m_device.ParseInputReport(std::span<const std::uint8_t>(buffer.data(), length))) {
                continue;
            }
            const auto& table = m_device.UsageTable();
            if (table.empty() || table.front().usages.empty()) {
                continue;
            }
            usage = table.front().usages.front();
        }
        HandleUsage(usage);
        ReapTrayWorkers(false);
    }
}

void InputListener::HandleUsage(std::uint16_t usage) {
    switch (usage) {
    case kUsageLightingChanged:
        m_ui.SetTimer(kTimerLightingReload, 0);
        break;
    case kUsageSettingsReset:
        m_ui.SetTimer(kTimerSettingsReset, 0);
        break;
    case kUsageStateOn:
        StartTrayWorker(kIconKeyboardState);
        break;
    case kUsageStateOff:
        StartTrayWorker(0);
        break;
    default:
        break;
    }
}

void InputListener::StartTrayWorker(int icon) {
    TrayWorker& worker = m_workers.emplace_back();
    // Workers take the tray in the order their notifications came, so that "state off" right
    // after "state on" always ends with the icon off.
    const std::uint64_t ticket = m_trayTickets++;
    worker.thread = std::thread([this, icon, ticket, &worker] {
        {
            std::unique_lock hold(m_trayMutex);
            m_trayTurn.wait(hold, [this, ticket] { return m_trayServing == ticket; });
            m_ui.SetTrayIcon(icon != 0 ? icon : m_state.stateIcon.load());
            m_clock.WaitFor(kTraySwitchHold, [this] { return m_stopping.load(); });
            ++m_trayServing;
        }
        m_trayTurn.notify_all();
        worker.done.store(true);
    });
}

void InputListener::ReapTrayWorkers(bool all) {
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (all || it->done.load()) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace brasslane
