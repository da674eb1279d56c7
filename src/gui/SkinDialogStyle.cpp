#include "gui/SkinDialogStyle.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

namespace brasslane::gui {

namespace {

constexpr const char* kStyle =
    "QDialog, QMessageBox, QFileDialog { background: #1d222a; color: #dadfe6; }"
    "QLabel { color: #dadfe6; background: transparent; }"
    "QPushButton { background: #272c34; color: #dadfe6; border: 1px solid #3b434e; border-radius: 5px;"
    "  padding: 5px 18px; min-width: 64px; }"
    "QPushButton:hover { border-color: #d99a3a; }"
    "QPushButton:default, QPushButton:focus { border: 1px solid #d99a3a; }"
    "QPushButton:pressed { background: #d99a3a; color: #1e180f; }"
    "QPushButton:disabled { color: #5a626c; border-color: #2a313a; }"
    "QLineEdit, QComboBox, QListView, QTreeView { background: #101317; color: #dadfe6;"
    "  border: 1px solid #2a313a; selection-background-color: #d99a3a; selection-color: #1e180f; }"
    "QHeaderView::section { background: #171b21; color: #86909c; border: 0; padding: 3px; }"
    "QToolButton { background: #272c34; color: #dadfe6; border: 1px solid #3b434e; border-radius: 4px; }"
    "QMenu { background: #1d222a; color: #dadfe6; }"
    "a { color: #f0ba5c; }";

} // namespace

void ApplySkinDialogStyle(QWidget& dialog) {
    QPalette colours = dialog.palette();
    colours.setColor(QPalette::Window, SkinColours::Window());
    colours.setColor(QPalette::WindowText, SkinColours::Text());
    colours.setColor(QPalette::Base, SkinColours::Base());
    colours.setColor(QPalette::AlternateBase, SkinColours::Window());
    colours.setColor(QPalette::Text, SkinColours::Text());
    colours.setColor(QPalette::Button, SkinColours::Window());
    colours.setColor(QPalette::ButtonText, SkinColours::Text());
    colours.setColor(QPalette::Highlight, SkinColours::Accent());
    colours.setColor(QPalette::HighlightedText, SkinColours::OnAccent());
    colours.setColor(QPalette::Link, SkinColours::Accent());
    colours.setColor(QPalette::Disabled, QPalette::WindowText, SkinColours::Muted());
    colours.setColor(QPalette::Disabled, QPalette::Text, SkinColours::Muted());
    colours.setColor(QPalette::Disabled, QPalette::ButtonText, SkinColours::Muted());
    dialog.setPalette(colours);
    dialog.setAutoFillBackground(true);
    dialog.setStyleSheet(QString::fromLatin1(kStyle));
}

void CentreDialog(QWidget& dialog, const QWidget* anchor) {
    if (!dialog.testAttribute(Qt::WA_Resized)) {
        dialog.adjustSize();
    }
    const QSize size = dialog.size();
    QRect area;
    if (anchor != nullptr && anchor->isVisible()) {
        area = anchor->frameGeometry();
    } else {
        const QScreen* screen = anchor != nullptr ? anchor->screen() : nullptr;
        if (screen == nullptr) {
            screen = QGuiApplication::screenAt(QCursor::pos());
        }
        if (screen == nullptr) {
            screen = QGuiApplication::primaryScreen();
        }
        if (screen == nullptr) {
            return;
        }
        area = screen->availableGeometry();
    }
    dialog.move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

} // namespace brasslane::gui
