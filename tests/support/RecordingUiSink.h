#pragma once

// A UiSink that records every call, from any thread, and answers Yes/No questions from a
// script (No once the script runs out, as the preselected button would). Tests read what was
// recorded through its accessors and may wait for a call a device thread is about to make.

#include "core/base/UiSink.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace brasslane::test {

struct UiEvent {
    enum class Kind { kSend, kPost, kTimer, kIcon, kMessage, kHide };
    Kind kind = Kind::kSend;
    std::uint32_t message = 0; // Send/Post: message number; Timer: id; Icon: resource
    std::uintptr_t wParam = 0; // Send/Post: wParam; Timer: period in milliseconds
    std::string text;          // Message: the text shown
    std::string caption;       // Message: its caption
    MessageButtons buttons = MessageButtons::kOk;
    std::thread::id thread = std::this_thread::get_id();
};

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageButtons buttons;
};

class RecordingUiSink : public UiSink {
public:
    std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) override {
        Add(UiEvent::Kind::kSend, message, wParam);
        return 0;
    }
    void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) override {
        Add(UiEvent::Kind::kPost, message, wParam);
    }
    void SetTimer(int id, int milliseconds) override {
        Add(UiEvent::Kind::kTimer, static_cast<std::uint32_t>(id), static_cast<std::uintptr_t>(milliseconds));
    }
    void SetTrayIcon(int resourceId) override { Add(UiEvent::Kind::kIcon, static_cast<std::uint32_t>(resourceId)); }
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageButtons buttons) override {
        MessageAnswer answer = MessageAnswer::kOk;
        {
            std::lock_guard lock(m_mutex);
            UiEvent event;
            event.kind = UiEvent::Kind::kMessage;
            event.text = text;
            event.caption = caption;
            event.buttons = buttons;
            m_events.push_back(std::move(event));
            if (buttons == MessageButtons::kYesNo) {
                answer = MessageAnswer::kNo;
                if (!m_answers.empty()) {
                    answer = m_answers.front();
                    m_answers.pop_front();
                }
            }
        }
        m_changed.notify_all();
        return answer;
    }
    void HideMainWindow() override { Add(UiEvent::Kind::kHide); }

    // The answers to the next questions, in order, in place of any still unused.
    void SetAnswers(std::initializer_list<MessageAnswer> answers) {
        std::lock_guard lock(m_mutex);
        m_answers.assign(answers.begin(), answers.end());
    }

    std::vector<UiEvent> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::size_t Count(UiEvent::Kind kind, std::uint32_t message) const {
        std::lock_guard lock(m_mutex);
        return CountLocked(kind, message);
    }
    // The message boxes shown so far.
    std::vector<ShownMessage> Messages() const {
        std::lock_guard lock(m_mutex);
        std::vector<ShownMessage> messages;
        for (const UiEvent& event : m_events) {
            if (event.kind == UiEvent::Kind::kMessage) {
                messages.push_back({event.text, event.caption, event.buttons});
            }
        }
        return messages;
    }
    // Their texts.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (ShownMessage& message : Messages()) {
            texts.push_back(std::move(message.text));
        }
        return texts;
    }
    // Their texts, forgetting everything recorded so far.
    std::vector<std::string> TakeTexts() {
        std::vector<std::string> texts = Texts();
        Clear();
        return texts;
    }

    // Waits until `count` events of this kind and number have been recorded. The timeout only
    // keeps a broken test from hanging.
    bool WaitFor(UiEvent::Kind kind, std::uint32_t message, std::size_t count = 1,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return CountLocked(kind, message) >= count; });
    }
    // Forgets every recorded call (the answer script stays).
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }

private:
    void Add(UiEvent::Kind kind, std::uint32_t message = 0, std::uintptr_t wParam = 0) {
        UiEvent event;
        event.kind = kind;
        event.message = message;
        event.wParam = wParam;
        {
            std::lock_guard lock(m_mutex);
            m_events.push_back(std::move(event));
        }
        m_changed.notify_all();
    }
    std::size_t CountLocked(UiEvent::Kind kind, std::uint32_t message) const {
        std::size_t count = 0;
        for (const UiEvent& event : m_events) {
            count += event.kind == kind && event.message == message ? 1 : 0;
        }
        return count;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<UiEvent> m_events;
    std::deque<MessageAnswer> m_answers;
};

} // namespace brasslane::test
