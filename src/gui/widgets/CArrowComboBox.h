#pragma once

// A combo box for the skinned dialogs: the style sheet that lets it sit on a picture's well
// also hides the style's drop-down arrow, so it draws its own.

#include <QComboBox>

namespace brasslane::gui {

class CArrowComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit CArrowComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace brasslane::gui
