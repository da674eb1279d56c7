#include "gui/QtUiSink.h"

#include "gui/MessageBox.h"

#include <QMetaObject>
#include <QThread>

#include <memory>

namespace brasslane::gui {

QtUiSink::QtUiSink(WaitClock* clock, QObject* parent)
    : QObject(parent), m_ownClock(clock == nullptr ? std::make_unique<SteadyWaitClock>() : nullptr),
      m_clock(clock == nullptr ? *m_ownClock : *clock) {}

QtUiSink::~QtUiSink() {
    BeginShutdown();
}

void QtUiSink::SetHandlers(Handlers handlers) {
    m_handlers = std::move(handlers);
}

bool QtUiSink::OnGuiThread() const {
    return QThread::currentThread() == thread();
}

void QtUiSink::RunOnGui(std::function<void()> job) {
    if (m_shutdown.load()) {
        return;
    }
    if (OnGuiThread()) {
        job();
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, job = std::move(job)] {
            if (!m_shutdown.load()) {
                job();
            }
        },
        Qt::QueuedConnection);
}

bool QtUiSink::RunOnGuiAndWait(std::function<void()> job) {
    if (m_shutdown.load()) {
        return false;
    }
    if (OnGuiThread()) {
        job();
        return true;
    }
    // The flag outlives this call: when shutdown releases the waiter first, the queued job may
    // still run (or be dropped) after we returned.
    auto done = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        this,
        [this, job = std::move(job), done] {
            if (!m_shutdown.load()) {
                job();
            }
            {
                std::lock_guard lock(m_waitMutex);
                *done = true;
            }
            m_clock.Interrupt();
        },
        Qt::QueuedConnection);
    m_clock.WaitUntil(WaitClock::TimePoint::max(), [&] {
        std::lock_guard lock(m_waitMutex);
        return *done || m_shutdown.load();
    });
    std::lock_guard lock(m_waitMutex);
    return *done && !m_shutdown.load();
}

std::intptr_t QtUiSink::Send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    // Written by the GUI thread, read after the wait: the mutex of the wait orders the two.
    auto result = std::make_shared<std::intptr_t>(0);
    const bool ran = RunOnGuiAndWait([this, result, message, wParam, lParam] {
        if (m_handlers.message) {
            *result = m_handlers.message(message, wParam, lParam);
        }
    });
    if (!ran) {
        return 0;
    }
    std::lock_guard lock(m_waitMutex);
    return *result;
}

void QtUiSink::Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (m_shutdown.load()) {
        return;
    }
    // Always queued, also on the GUI thread: the poster expects to go on before it is handled.
    QMetaObject::invokeMethod(
        this,
        [this, message, wParam, lParam] {
            if (!m_shutdown.load() && m_handlers.message) {
                m_handlers.message(message, wParam, lParam);
            }
        },
        Qt::QueuedConnection);
}

void QtUiSink::SetTimer(int id, int milliseconds) {
    RunOnGui([this, id, milliseconds] {
        if (m_handlers.timer) {
            m_handlers.timer(id, milliseconds);
        }
    });
}

void QtUiSink::SetTrayIcon(int resourceId) {
    RunOnGui([this, resourceId] {
        if (m_handlers.trayIcon) {
            m_handlers.trayIcon(resourceId);
        }
    });
}

MessageAnswer QtUiSink::ShowMessage(const std::string& text, const std::string& caption, MessageButtons buttons) {
    const MessageAnswer fallback = buttons == MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kOk;
    auto answer = std::make_shared<MessageAnswer>(fallback);
    const bool ran = RunOnGuiAndWait([this, answer, text, caption, buttons] {
        *answer =
            MessageBox::Show(m_messageParent, QString::fromStdString(text), QString::fromStdString(caption), buttons);
    });
    if (!ran) {
        return fallback;
    }
    std::lock_guard lock(m_waitMutex);
    return *answer;
}

void QtUiSink::HideMainWindow() {
    RunOnGui([this] {
        if (m_handlers.hideMainWindow) {
            m_handlers.hideMainWindow();
        }
    });
}

void QtUiSink::BeginShutdown() {
    {
        std::lock_guard lock(m_waitMutex);
        m_shutdown.store(true);
    }
    m_clock.Interrupt();
}

void QtUiSink::SetNextAnswer(MessageAnswer answer) {
    MessageBox::SetNextAnswer(answer);
}

} // namespace brasslane::gui
