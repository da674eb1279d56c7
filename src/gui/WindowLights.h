#pragma once

// The main window's small moving parts while it is shown: the lock indicators, lit from the
// keyboards' real Num, Caps and Scroll Lock state, and the two arrows beside the lighting
// switch, which alternate their two frames once a second (the down set while the lighting
// switch is on, the up set otherwise). Nothing runs while the window is hidden.

#include "gui/widgets/CPngButton.h"

#include "core/resources/SkinLayout.h"
#include "platform/linux/LockLeds.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <functional>

namespace brasslane::gui {

class WindowLights : public QObject {
    Q_OBJECT

public:
    struct Parts {
        CPngButton* num = nullptr;
        CPngButton* caps = nullptr;
        CPngButton* scroll = nullptr;
        CPngButton* leftArrow = nullptr;
        CPngButton* rightArrow = nullptr;
    };

    // `window` is watched for being shown and hidden; `layout` and `arrowPicture` must outlive
    // this object. `readLocks` gives the current lock state; `arrowsDown` chooses the arrow set.
    WindowLights(QWidget& window, Parts parts, const SkinLayout& layout, const QImage& arrowPicture,
                 std::function<platform::LockLeds()> readLocks, std::function<bool()> arrowsDown);

    // Reads the locks and shows them. Also run by the lock timer.
    void RefreshLocks();
    // Shows the next arrow frame. Also run by the arrow timer.
    void NextArrowFrame();
    int ArrowFrame() const { return m_frame; }
    bool Running() const { return m_lockTimer.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowArrows();

    Parts m_parts;
    const SkinLayout& m_layout;
    const QImage& m_arrowPicture;
    std::function<platform::LockLeds()> m_readLocks;
    std::function<bool()> m_arrowsDown;
    QTimer m_lockTimer;
    QTimer m_arrowTimer;
    int m_frame = 1;
};

} // namespace brasslane::gui
