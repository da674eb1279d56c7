#pragma once

// The program's message boxes: a QMessageBox in the skin's style whose Yes/No questions preselect
// No. Tests answer
// boxes in advance so that no box ever waits for a person.

#include "core/base/UiSink.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QMessageBox;
class QWidget;

namespace brasslane::gui {

class MessageBox {
public:
    // Shows `text` with `caption`; returns kOk for an OK box, kYes or kNo for a question
    // (closing a question box counts as No).
    static MessageAnswer Show(QWidget* parent, const QString& text, const QString& caption, MessageButtons buttons);

    // The box Show runs, in the skin's dark style and centred on `parent` (on the screen while
    // `parent` is hidden or null), not yet shown.
    static std::unique_ptr<QMessageBox> Build(QWidget* parent, const QString& text, const QString& caption,
                                              MessageButtons buttons);

    // The next box takes this answer instead of waiting for the user.
    static void SetNextAnswer(MessageAnswer answer);
    // With `on`, a box without a preset answer takes its default (OK, or No for a question)
    // instead of opening: tests can never block on an unexpected box.
    static void SetNeverBlock(bool on);

    // Every box shown (or answered in advance) since the last ClearShown, for tests.
    struct Shown {
        QString text;
        QString caption;
        MessageButtons buttons;
        MessageAnswer answer;
    };
    static const std::vector<Shown>& ShownSoFar();
    static void ClearShown();
};

} // namespace brasslane::gui
