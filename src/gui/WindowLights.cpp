#include "gui/WindowLights.h"

#include "gui/widgets/SkinPlacement.h"

#include "core/resources/SkinKeys.h"

#include <QEvent>
#include <QWidget>

namespace brasslane::gui {

namespace {

// The locks are polled: the LED devices send no notice of a change. A quarter second feels
// immediate without waking the program often.
constexpr int kLockPeriodMs = 250;
constexpr int kArrowPeriodMs = 1000;

} // namespace

WindowLights::WindowLights(QWidget& window, Parts parts, const SkinLayout& layout, const QImage& arrowPicture,
                           std::function<platform::LockLeds()> readLocks, std::function<bool()> arrowsDown)
    : QObject(&window), m_parts(parts), m_layout(layout), m_arrowPicture(arrowPicture),
      m_readLocks(std::move(readLocks)), m_arrowsDown(std::move(arrowsDown)) {
    m_lockTimer.setInterval(kLockPeriodMs);
    m_arrowTimer.setInterval(kArrowPeriodMs);
    connect(&m_lockTimer, &QTimer::timeout, this, &WindowLights::RefreshLocks);
    connect(&m_arrowTimer, &QTimer::timeout, this, &WindowLights::NextArrowFrame);
    window.installEventFilter(this);
    ShowArrows();
    RefreshLocks();
}

bool WindowLights::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        RefreshLocks();
        ShowArrows();
        m_lockTimer.start();
        m_arrowTimer.start();
    } else if (event->type() == QEvent::Hide) {
        m_lockTimer.stop();
        m_arrowTimer.stop();
    }
    return QObject::eventFilter(watched, event);
}

void WindowLights::RefreshLocks() {
    const platform::LockLeds leds = m_readLocks ? m_readLocks() : platform::LockLeds{};
    for (const auto& [button, lit] : {std::pair{m_parts.num, leds.num}, std::pair{m_parts.caps, leds.caps},
                                      std::pair{m_parts.scroll, leds.scroll}}) {
        if (button != nullptr && button->IsSelected() != lit) {
            button->SetSelected(lit);
        }
    }
}

void WindowLights::NextArrowFrame() {
    m_frame = m_frame == 1 ? 2 : 1;
    ShowArrows();
}

void WindowLights::ShowArrows() {
    const bool down = m_arrowsDown && m_arrowsDown();
    const std::pair<CPngButton*, const char*> arrows[] = {
        {m_parts.leftArrow, down ? "DOWN_ARROW_LEFT" : "UP_ARROW_LEFT"},
        {m_parts.rightArrow, down ? "DOWN_ARROW_RIGHT" : "UP_ARROW_RIGHT"},
    };
    for (const auto& [arrow, base] : arrows) {
        if (arrow != nullptr) {
            PlaceWithFaceOrigin(*arrow, m_layout, arrow->objectName().toStdString(), SkinLayout::kArrowSection,
                                skin::ArrowOriginKey(base, m_frame), m_arrowPicture);
        }
    }
}

} // namespace brasslane::gui
