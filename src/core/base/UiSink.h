#pragma once

// The one way the device threads (connection monitor, input listener, tray workers) and the
// core's long operations reach the user interface. The desktop app marshals every call onto
// its GUI thread; brasslanectl and the tests implement it inline.

#include <cstdint>
#include <string>

namespace brasslane {

enum class MessageButtons { kOk, kYesNo };
enum class MessageAnswer { kOk, kYes, kNo };

class UiSink {
public:
    virtual ~UiSink() = default;

    // Delivers a message to the main window and returns after it was handled (SendMessage).
    // Returns the handler's result, 0 when nobody handled it.
    virtual std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Queues a message for the main window and returns at once (PostMessage).
    virtual void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Starts (or restarts) main window timer `id` with the given period in milliseconds.
    virtual void SetTimer(int id, int milliseconds) = 0;
    // Shows one of the tray icon resources (kIconNoKeyboard, kIconConnected, kIconKeyboardState).
    virtual void SetTrayIcon(int resourceId) = 0;
    // Shows a message box. `text` is already looked up and formatted. Yes/No boxes preselect No.
    virtual MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageButtons buttons) = 0;
    virtual void HideMainWindow() = 0;
};

// A sink that hands every call on to another one; a caller that changes one kind of call
// derives from it and overrides only that.
class ForwardingUiSink : public UiSink {
public:
    explicit ForwardingUiSink(UiSink& target) : m_target(target) {}
    std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        return m_target.Send(message, wParam, lParam);
    }
    void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        m_target.Post(message, wParam, lParam);
    }
    void SetTimer(int id, int milliseconds) override { m_target.SetTimer(id, milliseconds); }
    void SetTrayIcon(int resourceId) override { m_target.SetTrayIcon(resourceId); }
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageButtons buttons) override {
        return m_target.ShowMessage(text, caption, buttons);
    }
    void HideMainWindow() override { m_target.HideMainWindow(); }

protected:
    UiSink& Target() { return m_target; }

private:
    UiSink& m_target;
};

} // namespace brasslane
