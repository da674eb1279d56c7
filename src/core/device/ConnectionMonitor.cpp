#include "core/device/ConnectionMonitor.h"

#include "core/base/Messages.h"
#include "core/device/KeyboardFinder.h"

#include <array>
#include <utility>

namespace brasslane {

namespace {

constexpr auto kFirstShowPause = std::chrono::milliseconds(10);
constexpr auto kPresenceInterval = std::chrono::milliseconds(100);
constexpr auto kSearchInterval = std::chrono::milliseconds(1000);

} // namespace

ConnectionMonitor::ConnectionMonitor(HidBackend& backend, DeviceLink& link, ConnectionState& state, AppState& app,
                                     UiSink& ui, TextLookup text, WaitClock* clock)
    : m_backend(backend), m_link(link), m_state(state), m_app(app), m_ui(ui), m_text(std::move(text)),
      m_ownClock(clock == nullptr ? std::make_unique<SteadyWaitClock>() : nullptr),
      m_clock(clock != nullptr ? *clock : *m_ownClock) {}

ConnectionMonitor::~ConnectionMonitor() {
    Stop();
}

void ConnectionMonitor::Start() {
    if (m_thread.joinable()) {
        return;
    }
    m_stopping.store(false);
    m_running.store(true);
    m_thread = std::thread([this] { Run(); });
}

void ConnectionMonitor::Stop() {
    m_stopping.store(true);
    m_clock.Interrupt();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool ConnectionMonitor::IsRunning() const {
    return m_running.load();
}

bool ConnectionMonitor::Sleep(std::chrono::milliseconds duration) {
    return !m_clock.WaitFor(duration, [this] { return m_stopping.load(); });
}

void ConnectionMonitor::SetStateIcon(int icon) {
    m_state.stateIcon.store(icon);
    m_ui.SetTrayIcon(icon);
}

bool ConnectionMonitor::Probe() {
    SearchResult result;
    {
        auto lock = m_link.LockDevice();
        result = FindInterface(m_link.Device(), InterfaceRole::kCommand);
    }
    if (result == SearchResult::kEnumerationFailed) {
        return false;
    }
    if (result == SearchResult::kFound) {
        // One exchange on a fresh open before the connection is announced; the answer is not used.
        m_link.SetConnected(true);
        std::array<std::uint8_t, kDeviceInfoSize> info{};
        m_link.ReadDeviceInfo(info);
        m_link.SetConnected(false);
        auto lock = m_link.LockDevice();
        m_link.Device().Close();
    }
    return true;
}

void ConnectionMonitor::Run() {
    if (m_state.firstShow.load() != 0) {
        Sleep(kFirstShowPause);
    }
    if (!Probe()) {
        m_running.store(false);
        return;
    }
    bool firstPass = true;
    while (!m_stopping.load()) {
        if (m_link.IsConnected()) {
            // The command device stays as it is until the next successful search replaces it.
            if (!m_backend.IsPresent(m_link.Device().Path())) {
                m_link.SetConnected(false);
                PublishConnection(0);
            }
        } else {
            const SearchResult result = SearchKeyboard(m_link, m_state);
            if (result == SearchResult::kEnumerationFailed) {
                break;
            }
            if (result == SearchResult::kFound) {
                PublishConnection(1);
            }
            if (firstPass) {
                PublishConnection(m_link.IsConnected() ? 1 : 0);
                if (result != SearchResult::kFound) {
                    m_state.firstShow.store(1);
                }
            }
        }
        firstPass = false;
        if (!Sleep(m_link.IsConnected() ? kPresenceInterval : kSearchInterval)) {
            break;
        }
    }
    m_running.store(false);
}

void ConnectionMonitor::PublishConnection(int newState) {
    const int published = m_state.publishedState.load();
    if (newState == published) {
        return;
    }
    if (newState != 0) {
        if (ReadDefaultKeyMapInto(m_link, m_state) != kStatusSuccess) {
            // The built-in default map stays; key maps written now may not match this keyboard.
            m_ui.ShowMessage(m_text ? m_text("MAIN_DEFAULT_MATRIX_PROMPT") : std::string("MAIN_DEFAULT_MATRIX_PROMPT"),
                             std::string(), MessageButtons::kOk);
        }
        ReadMacroCapacity(m_link, m_state);
        m_ui.Send(MSG_PROFILE_SYNC, kCodeProf, 0);
        SetStateIcon(kIconConnected);
    } else {
        if (published != 0) {
            // The active profile is read from the keyboard again when it comes back.
            m_app.activeProfile.store(-1);
            m_ui.Send(MSG_DEVICE_LOST, 0, 0);
            m_ui.HideMainWindow();
        }
        SetStateIcon(kIconNoKeyboard);
    }
    m_state.publishedState.store(newState);
    if (m_state.firstShow.load() == 0) {
        if (newState != 0) {
            m_ui.Post(MSG_OPEN, kCodeOpen, 0);
        }
        m_state.firstShow.store(1);
    }
}

} // namespace brasslane
