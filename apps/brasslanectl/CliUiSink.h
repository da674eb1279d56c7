#pragma once

// The command-line tool's user-interface sink: everything happens inline on the calling
// thread. Messages go to standard error in plain words. Questions are never put to the user:
// a Yes/No question gets the answer the desktop app preselects, No, so that a command never
// blocks on a prompt and never takes a step the user did not ask for.

#include "core/base/UiSink.h"

#include <iostream>

namespace brasslane::cli {

class CliUiSink : public UiSink {
public:
    std::intptr_t Send(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
    void Post(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    void SetTimer(int, int) override {}
    void SetTrayIcon(int) override {}
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageButtons buttons) override {
        std::cerr << "brasslanectl: " << (caption.empty() ? "" : caption + ": ") << text;
        if (buttons == MessageButtons::kYesNo) {
            std::cerr << " [answered No]";
        }
        std::cerr << '\n';
        return buttons == MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kOk;
    }
    void HideMainWindow() override {}
};

} // namespace brasslane::cli
