#pragma once

// The key assignment dialog without its window: which page is edited, the key caught from the
// keyboard or the mouse action chosen, the multimedia and keyboard-function choices, the macro
// page (MacroEditor), the dirty flag, and the one KeyEntry written on OK or Apply. The Qt view
// shows this state and forwards clicks and key events; brasslanectl's key commands drive the
// same model, so both write entries by the same rules.
//
// The dialog edits copies: nothing reaches the working image before Apply, and nothing reaches
// the keyboard before the main window's apply.

#include "core/keys/KeyCapture.h"
#include "core/keys/KeyEntry.h"
#include "core/keys/MacroEditor.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brasslane {

class Language;
class UiSink;
struct WorkingImage;

// Which page's controls the dialog shows.
enum class DialogPage { kKey, kMacro, kMedia, kFunction };

// The mouse actions of the single-key page, in list order: left, right, middle button, wheel
// up, wheel down.
constexpr std::size_t kMouseEntryCount = 5;
const std::array<ScanCode, kMouseEntryCount>& MouseEntryCodes();
// The entry of a mouse action's scan code, -1 for any other code.
int MouseEntryOf(ScanCode code);

// The texts of the dialog's three lists.
std::vector<std::string> MouseEntryNames(Language& language);
std::vector<std::string> MediaEntryNames(Language& language);
std::vector<std::string> FunctionEntryNames(Language& language);

// The G code a G-key slot carries (0x0300 + n, 0x1300 + n); 0 for any other slot.
std::uint16_t GCodeOfSlot(std::size_t slot);

struct KeyDialogApplyResult {
    std::size_t record = 0;
    KeyEntry entry;                    // as stored
    std::vector<std::size_t> fellBack; // records whose macro went away (their keys need a refresh)
};

class KeyDialogModel {
public:
    // Every reference must outlive the model. `wait` goes to the macro namer.
    KeyDialogModel(WorkingImage& working, Language& language, UiSink& ui, MacroNamer::Wait wait = {});

    // Opens the dialog on entry `record` (area x 512 + slot) of the working image: its type
    // becomes the page, its param and extra the initial ones, the macro copies are loaded and
    // the page is shown. `macroOnly` (the last G key) offers only the macro page. `recordDelay`
    // is the stored record-delay mode. The dialog is clean afterwards.
    void Open(std::size_t record, bool macroOnly, std::uint32_t recordDelay);
    // OK after Apply, or Cancel: stops a recording. Nothing is written.
    void Close();
    bool IsOpen() const { return m_open; }

    std::size_t Record() const { return m_record; }
    std::size_t Slot() const { return m_record % kAreaSlots; }
    bool MacroOnly() const { return m_macroOnly; }
    std::uint32_t InitialParam() const { return m_initialParam; }
    std::uint16_t InitialExtra() const { return m_initialExtra; }

    // The AssignmentType being edited: 0, 2, 4, 7 or 8, or the type of an entry the dialog has
    // no page for (kept as it is unless the user changes it).
    std::uint16_t Page() const { return m_page; }
    DialogPage ShownPage() const { return m_shown; }
    // The capture hooks are in place exactly while the single-key page shows.
    bool Capturing() const { return m_open && m_shown == DialogPage::kKey; }
    bool Dirty() const { return m_dirty; }
    void SetDirty(bool dirty) { m_dirty = dirty; }

    // A page button. Pressing the shown page's button does nothing, nor does the single-key
    // button while the page is 0; with the last G key only the macro page is offered. Leaving
    // the macro page stops a recording. False when nothing changed.
    bool PressPageButton(DialogPage page);

    // The single-key page.
    bool KeyboardChoice() const { return m_keyboardChoice; }
    bool ChooseKeyboard();
    bool ChooseMouse();
    ScanCode CapturedKey() const { return m_captured; }
    // A key caught on the single-key page (or named on the command line): it becomes the
    // target and the page becomes 2.
    bool CaptureKey(ScanCode code);
    // The capture hooks (KeyCapture.h). Not capturing: everything passes on.
    HookVerdict KeyEvent(std::uint32_t virtualKey, std::uint32_t eventWord);
    HookVerdict LowLevelKeyEvent(std::uint32_t message, std::uint32_t virtualKey);
    int MouseEntry() const { return m_mouseEntry; }
    bool SelectMouseEntry(int entry);
    // Clear: back to the single-key page with no key, page 0, the keyboard choice.
    bool Clear();
    // No function at all (type 1). The dialog offers no control for it; brasslanectl does.
    bool Disable();

    // The multimedia and keyboard-function pages.
    int MediaEntry() const { return m_mediaEntry; }
    bool SelectMediaEntry(int entry);
    int FunctionEntry() const { return m_functionEntry; }
    bool SelectFunctionEntry(int entry);

    // The macro page.
    MacroEditor& Macros() { return m_editor; }
    const MacroEditor& Macros() const { return m_editor; }

    // OK and Apply: the macro copies replace the working list (keys whose macro went away fall
    // back to their default), then the entry is built and stored, and the dialog is clean.
    //   type = page; extra = the slot's G code; param, selection flag and reserved word 0; the
    //   entry's text is freed.
    //   2: the captured key, or the chosen mouse action; no key, or the key itself, stores 0.
    //   4: the selected macro's id, and its repeat count in extra; with no macros, type 0.
    //   7, 8: the chosen list entry.
    // An entry the dialog has no page for (a program to launch, a text to type, ...) that the
    // user left alone is kept as it is, text and all.
    KeyDialogApplyResult Apply();

private:
    void ShowPage(DialogPage page);
    void Changed() { m_dirty = true; }

    WorkingImage& m_working;
    MacroEditor m_editor;

    bool m_open = false;
    std::size_t m_record = 0;
    bool m_macroOnly = false;
    std::uint32_t m_initialParam = 0;
    std::uint16_t m_initialExtra = 0;
    std::uint16_t m_page = 0;
    DialogPage m_shown = DialogPage::kKey;
    bool m_dirty = false;
    bool m_keyboardChoice = true;
    ScanCode m_captured = 0;
    int m_mouseEntry = 0;
    int m_mediaEntry = 0;
    int m_functionEntry = 0;
};

// Where the dialog opens, in screen coordinates. Beside the clicked button: at its lower right
// corner when the dialog fits right of and below it; else right of it and above when it fits
// there; else left of it, below (or above when only that fits); when nothing fits, at the
// lower right corner anyway, pushed back onto the screen as far as needed. The last G key's
// dialog is centred on the screen.
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};
ScreenPoint KeyDialogPosition(const ScreenRect& button, int dialogWidth, int dialogHeight, const ScreenRect& screen,
                              bool macroOnly);

} // namespace brasslane
