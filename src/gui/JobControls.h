#pragma once

// The main window's controls while a long job runs on the worker thread: every control that
// would edit the working image or talk to the keyboard is disabled, and afterwards each gets
// back the state it had, so a control disabled for its own reasons (Apply without a pending
// edit, a key the flip setting takes away) stays disabled.

#include <QPointer>
#include <QWidget>

#include <utility>
#include <vector>

namespace brasslane::gui {

class JobControls {
public:
    // Disables the enabled direct children of `window` except those in `keep` (the window
    // commands that stay usable: Help, Minimize, Cancel, Close) and labels and pictures, which
    // only show. Does nothing while already locked.
    void Lock(QWidget& window, const std::vector<QWidget*>& keep);
    // Gives every control locked by Lock its former state back.
    void Unlock();
    bool Locked() const { return m_locked; }

private:
    bool m_locked = false;
    std::vector<QPointer<QWidget>> m_disabled;
};

} // namespace brasslane::gui
