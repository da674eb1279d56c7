#include "gui/JobControls.h"

#include <QLabel>

#include <algorithm>

namespace brasslane::gui {

namespace {

// Controls a user can act on. Labels, and what lets the mouse through (the busy indicator, the
// lock indicators, the arrows), only show.
bool Acts(QWidget* widget) {
    return qobject_cast<QLabel*>(widget) == nullptr && !widget->testAttribute(Qt::WA_TransparentForMouseEvents);
}

} // namespace

void JobControls::Lock(QWidget& window, const std::vector<QWidget*>& keep) {
    if (m_locked) {
        return;
    }
    m_locked = true;
    m_disabled.clear();
    for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || !child->isEnabled() || std::find(keep.begin(), keep.end(), child) != keep.end()) {
            continue;
        }
        if (!Acts(child)) {
            continue;
        }
        child->setEnabled(false);
        m_disabled.emplace_back(child);
    }
}

void JobControls::Unlock() {
    if (!m_locked) {
        return;
    }
    m_locked = false;
    for (const QPointer<QWidget>& child : m_disabled) {
        if (child) {
            child->setEnabled(true);
        }
    }
    m_disabled.clear();
}

} // namespace brasslane::gui
