#pragma once

// A UiSink that records every call, from any thread, and lets a test wait for a condition on
// what was recorded.

#include "core/base/UiSink.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brasslane::test {

struct UiEvent {
    enum class Kind { kSend, kPost, kTimer, kIcon, kMessage, kHide };
    Kind kind;
    std::uint32_t message = 0; // Send/Post: message number; Timer: id; Icon: resource
    std::uintptr_t wParam = 0;
    std::string text;
    std::thread::id thread = std::this_thread::get_id();
};

class RecordingUiSink : public UiSink {
public:
    std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) override {
        Add({UiEvent::Kind::kSend, message, wParam, {}});
        return 0;
    }
    void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) override {
        Add({UiEvent::Kind::kPost, message, wParam, {}});
    }
    void SetTimer(int id, int milliseconds) override {
        Add({UiEvent::Kind::kTimer, static_cast<std::uint32_t>(id), static_cast<std::uintptr_t>(milliseconds), {}});
    }
    void SetTrayIcon(int resourceId) override {
        Add({UiEvent::Kind::kIcon, static_cast<std::uint32_t>(resourceId), 0, {}});
    }
    MessageAnswer ShowMessage(const std::string& text, const std::string&, MessageButtons) override {
        Add({UiEvent::Kind::kMessage, 0, 0, text});
        return MessageAnswer::kOk;
    }
    void HideMainWindow() override { Add({UiEvent::Kind::kHide, 0, 0, {}}); }

    std::vector<UiEvent> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::size_t Count(UiEvent::Kind kind, std::uint32_t message) const {
        std::lock_guard lock(m_mutex);
        std::size_t count = 0;
        for (const UiEvent& event : m_events) {
            count += event.kind == kind && event.message == message ? 1 : 0;
        }
        return count;
    }
    // Waits until `count` events of this kind and number have been recorded.
    bool WaitFor(UiEvent::Kind kind, std::uint32_t message, std::size_t count = 1,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] {
            std::size_t seen = 0;
            for (const UiEvent& event : m_events) {
                seen += event.kind == kind && event.message == message ? 1 : 0;
            }
            return seen >= count;
        });
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }

private:
    void Add(UiEvent event) {
        {
            std::lock_guard lock(m_mutex);
            m_events.push_back(std::move(event));
        }
        m_changed.notify_all();
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<UiEvent> m_events;
};

} // namespace brasslane::test
