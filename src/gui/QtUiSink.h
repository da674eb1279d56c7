#pragma once

// The desktop app's UiSink: every call from a device thread is carried over to the GUI thread,
// where the main window handles it. Send and ShowMessage wait for the GUI thread; Post,
// SetTimer, SetTrayIcon and HideMainWindow are queued. Calls made on the GUI thread itself run
// at once.
//
// Shutdown: once BeginShutdown has been called, a thread waiting in Send or ShowMessage is
// released at once (Send returns 0, a question is answered No) and later calls do nothing, so
// the close sequence can join a connection monitor that is waiting for the GUI thread.
//
// The waits go through a WaitClock: the program's steady clock, or a test's own, which tells
// the test when a device thread is parked waiting for the GUI thread.

#include "core/base/UiSink.h"
#include "core/base/WaitClock.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class QWidget;

namespace brasslane::gui {

class QtUiSink : public QObject, public UiSink {
    Q_OBJECT

public:
    // What the main window does with each kind of call; unset handlers ignore the call.
    struct Handlers {
        std::function<std::intptr_t(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)> message;
        std::function<void(int id, int milliseconds)> timer;
        std::function<void(int resourceId)> trayIcon;
        std::function<void()> hideMainWindow;
    };

    // Lives on the thread that constructs it, which must be the GUI thread. `clock` (the steady
    // clock when null) must outlive the sink.
    explicit QtUiSink(WaitClock* clock = nullptr, QObject* parent = nullptr);
    ~QtUiSink() override;

    // Set on the GUI thread before the device threads start.
    void SetHandlers(Handlers handlers);
    // The parent of message boxes; may be null.
    void SetMessageParent(QWidget* parent) { m_messageParent = parent; }

    std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void SetTimer(int id, int milliseconds) override;
    void SetTrayIcon(int resourceId) override;
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageButtons buttons) override;
    void HideMainWindow() override;

    // Releases every waiting thread and turns every later call into a no-op. Any thread.
    void BeginShutdown();
    bool ShuttingDown() const { return m_shutdown.load(); }

    // Answers the next message box in advance (see MessageBox::SetNextAnswer).
    static void SetNextAnswer(MessageAnswer answer);

private:
    bool OnGuiThread() const;
    // Runs `job` on the GUI thread: at once when called there, else queued.
    void RunOnGui(std::function<void()> job);
    // Runs `job` on the GUI thread and waits until it ran or shutdown began. True when it ran.
    bool RunOnGuiAndWait(std::function<void()> job);

    Handlers m_handlers;
    QWidget* m_messageParent = nullptr;
    std::atomic<bool> m_shutdown{false};
    std::unique_ptr<WaitClock> m_ownClock; // the steady clock, when none was given
    WaitClock& m_clock;                    // waking its waits wakes the waiting calls
    // Guards the completion flags of the waiting calls.
    std::mutex m_waitMutex;
};

} // namespace brasslane::gui
