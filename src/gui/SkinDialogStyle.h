#pragma once

// The look of the program's plain dialogs (message boxes, the file dialogs, the about box): the
// skin's dark palette, its text colours and brass accent, instead of the desktop's default
// light style, and a place in the middle of the main window (or of the screen while the main
// window is hidden) instead of the corner of a parent that was never shown.

#include <QColor>

class QWidget;

namespace brasslane::gui {

// The colours the skin is drawn in, for dialogs that are not drawn from skin pictures.
struct SkinColours {
    static QColor Window() { return {0x1D, 0x22, 0x2A}; }
    static QColor Base() { return {0x10, 0x13, 0x17}; }
    static QColor Text() { return {0xDA, 0xDF, 0xE6}; }
    static QColor Accent() { return {0xD9, 0x9A, 0x3A}; }
    static QColor OnAccent() { return {0x1E, 0x18, 0x0F}; }
    static QColor Muted() { return {0x5A, 0x62, 0x6C}; }
};

// Gives `dialog` and its children the skin's palette and style sheet.
void ApplySkinDialogStyle(QWidget& dialog);

// Moves `dialog` (at its size hint when not yet laid out) to the middle of `anchor` when
// `anchor` is shown, else to the middle of the screen `anchor` (or the pointer) is on.
void CentreDialog(QWidget& dialog, const QWidget* anchor);

} // namespace brasslane::gui
