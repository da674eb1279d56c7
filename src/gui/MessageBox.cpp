#include "gui/MessageBox.h"

#include "gui/SkinDialogStyle.h"

#include <QMessageBox>

namespace brasslane::gui {

namespace {

// Message boxes live on the GUI thread only, so these need no lock.
std::optional<MessageAnswer> g_nextAnswer;
bool g_neverBlock = false;
std::vector<MessageBox::Shown> g_shown;

MessageAnswer DefaultAnswer(MessageButtons buttons) {
    return buttons == MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kOk;
}

} // namespace

MessageAnswer MessageBox::Show(QWidget* parent, const QString& text, const QString& caption, MessageButtons buttons) {
    MessageAnswer answer = DefaultAnswer(buttons);
    if (g_nextAnswer) {
        answer = *g_nextAnswer;
        g_nextAnswer.reset();
        // An OK box cannot be answered Yes or No.
        if (buttons == MessageButtons::kOk) {
            answer = MessageAnswer::kOk;
        } else if (answer == MessageAnswer::kOk) {
            answer = MessageAnswer::kNo;
        }
    } else if (!g_neverBlock) {
        const std::unique_ptr<QMessageBox> box = Build(parent, text, caption, buttons);
        const int result = box->exec();
        if (buttons == MessageButtons::kYesNo) {
            answer = result == QMessageBox::Yes ? MessageAnswer::kYes : MessageAnswer::kNo;
        }
    }
    g_shown.push_back({text, caption, buttons, answer});
    return answer;
}

std::unique_ptr<QMessageBox> MessageBox::Build(QWidget* parent, const QString& text, const QString& caption,
                                               MessageButtons buttons) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setText(text);
    box->setWindowTitle(caption);
    if (buttons == MessageButtons::kYesNo) {
        box->setIcon(QMessageBox::Question);
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::No);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setIcon(QMessageBox::Information);
        box->setStandardButtons(QMessageBox::Ok);
    }
    ApplySkinDialogStyle(*box);
    CentreDialog(*box, parent);
    return box;
}

void MessageBox::SetNextAnswer(MessageAnswer answer) {
    g_nextAnswer = answer;
}

void MessageBox::SetNeverBlock(bool on) {
    g_neverBlock = on;
}

const std::vector<MessageBox::Shown>& MessageBox::ShownSoFar() {
    return g_shown;
}

void MessageBox::ClearShown() {
    g_shown.clear();
}

} // namespace brasslane::gui
