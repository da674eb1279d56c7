#pragma once

// A pop-up menu in the skin's colours: dark surface, brass highlight.

#include <QMenu>

namespace brasslane::gui {

class CSkinMenu : public QMenu {
    Q_OBJECT

public:
    explicit CSkinMenu(QWidget* parent = nullptr);
};

} // namespace brasslane::gui
