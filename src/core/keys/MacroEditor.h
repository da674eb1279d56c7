#pragma once

// The macro page of the key assignment dialog without its controls: the dialog's own copies of
// the macros (the working list changes only when the dialog applies), the selected macro and
// its repeat count, the step rows of the selected macro with the selected row, and the
// recorder that turns key events into timed steps. brasslanectl's macro commands drive the
// same editor, so every limit, clamp and message is the dialog's.
//
// Times are milliseconds of a steady clock, given by the caller.

#include "core/keys/KeyCapture.h"
#include "core/keys/MacroBlob.h"
#include "core/keys/MacroBlock.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brasslane {

class Language;
class UiSink;
struct WorkingImage;

// The key list a step's key is chosen from: key ids 0x0000..0x006E.
constexpr std::uint16_t kStepKeyListSize = 0x6F;
constexpr int kMinRepeat = 1;
constexpr int kMaxRepeat = 255;
// The pause recorded between the synthetic press of a release-only key and its release.
constexpr std::uint32_t kReleaseOnlyPressMs = 2;
// The pause recorded with record-delay mode 0.
constexpr std::uint32_t kFixedRecordPauseMs = 50;

enum class StepMove { kTop, kUp, kDown, kBottom };

// Record-delay modes: 1 keeps the measured pauses, 0 records 50 ms, any other value 0 ms.
constexpr std::uint32_t kRecordMeasuredPauses = 1;
constexpr std::uint32_t kRecordFixedPauses = 0;

// The pause a recorded step gets for a measured pause of `measuredMs` under `mode`.
std::uint32_t RecordedPause(std::uint32_t mode, std::int64_t measuredMs);

// A repeat count typed as text: read as a decimal number (leading blanks and a sign allowed,
// anything after the digits ignored, no digits reads as 0), then 0 or less becomes 1 and 256 or
// more becomes 255.
int ClampRepeatText(std::string_view text);

// A delay typed as text (read like the repeat count). Above 40000 or negative it becomes 40000
// and `tooLong` is set; then the remainder of a division by 10 is dropped.
struct TypedDelay {
    std::uint32_t delay = 0;
    bool tooLong = false;
};
TypedDelay ParseTypedDelay(std::string_view text);

class MacroEditor {
public:
    // `language` and `ui` must outlive the editor. `wait` is the namer's pause between two
    // taken names (16 ms when empty).
    MacroEditor(Language& language, UiSink& ui, MacroNamer::Wait wait = {});

    // Called after every change the user made (the dialog's dirty flag).
    void SetOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

    // Copies the working list (new flags cleared), selects the macro with id `selectId` (the
    // first when none has it) and shows it. Stops a recording. Takes the working lock.
    void Load(WorkingImage& working, std::uint32_t selectId);

    // ---- the macro list
    const std::vector<MacroBlock>& Macros() const { return m_macros; }
    // The selected macro's index, -1 when none is.
    int Selected() const { return m_selected; }
    const MacroBlock* SelectedMacro() const;
    // Index of the macro with that id, -1 when none has it.
    int IndexOfId(std::uint32_t id) const;
    // Saves the shown macro, then shows macro `index` (-1 or out of range: none).
    void Select(int index);
    // A new macro: refused with "MACRO_ERR_MAX" (formatted with 100) when the list is full.
    // Otherwise it gets a generated name, repeat count 1, the lowest free id and no steps, and
    // is appended, selected and shown. Refused while recording.
    bool NewMacro();
    // Deletes the selected macro when MayDeleteMacro allows it (which may ask the user), then
    // selects the one before it (or the first). False when nothing was deleted.
    bool DeleteMacro(WorkingImage& working);
    // The name field lost the focus with `typed` in it. With macros: the selected macro takes
    // the name, unless it is empty or the beginning of another macro's name (case ignored),
    // when it gets a generated name instead. With an empty list a macro is created with that
    // name (or a generated one). Names keep at most 249 characters. Returns the name given;
    // empty when nothing was named (a full list, or recording).
    std::u16string Rename(std::u16string_view typed);

    // ---- the repeat-count edit
    int RepeatCount() const { return m_repeat; }
    // Every change of the edit: returns the corrected value to write back into it.
    int SetRepeatText(std::string_view text);
    void SetRepeatCount(int count);

    // ---- the step rows of the shown macro
    std::span<const MacroStep> Steps() const;
    int SelectedStep() const { return m_selectedStep; }
    void SelectStep(int row);
    // Inserts a step after the selected row (at the end when none is selected). The delay of a
    // step is the pause after it: the row before the new one takes `pause` as its delay and
    // the new row takes over that row's old delay; a new first row gets 0. The new row becomes
    // the selected one. Refused without a message at 4000 rows, and when no macro is shown.
    bool AddStep(ScanCode key, std::uint16_t state, std::uint32_t pause);
    // Removes the selected row; no row is selected afterwards.
    bool DeleteStep();
    // Asks "MACRO_ACTION_CLEAR_CONFIRM" (No preselected) when there are rows; Yes removes all.
    bool ClearSteps();
    // Moves the selected row; it keeps its step (and delay) and stays selected.
    bool MoveStep(StepMove move);
    // In-place edits of row `row`. The key is chosen from the key list by key id (0..0x6E).
    bool SetStepKeyId(int row, std::uint16_t keyId);
    bool SetStepState(int row, std::uint16_t state);
    // The delay editor opens: a running recording stops.
    void BeginDelayEdit();
    // The delay editor closes with `text`: ParseTypedDelay, with "MACRO_ACTION_ERR_DELAY_MAX"
    // (formatted with 40000) shown for a value out of range. Returns the delay stored.
    std::uint32_t SetStepDelayText(int row, std::string_view text);
    // An edit of a column that cannot be edited: "MACRO_ACTION_ERR_MODIFY".
    void RefuseColumnEdit();

    // ---- the recorder
    bool Recording() const { return m_recording; }
    // Starts recording into the shown macro; false when no macro is shown.
    bool StartRecording(std::int64_t nowMs);
    void StopRecording();
    std::uint32_t RecordDelayMode() const { return m_recordDelayMode; }
    void SetRecordDelayMode(std::uint32_t mode) { m_recordDelayMode = mode; }
    // A key event from the keyboard hook while recording (KeyCapture.h for the event). Keys
    // without a scan code and media keys pass on; an auto-repeated press is swallowed
    // unrecorded; any other event is recorded with the pause since the last one and swallowed.
    // A release-only key whose press was not seen records a press first and its release 2 ms
    // later. Not recording: passes everything on.
    HookVerdict RecordKeyEvent(std::uint32_t virtualKey, std::uint32_t eventWord, std::int64_t nowMs);
    // A key message from the low-level hook: the two Win keys are recorded (0x15B, 0x15C) and
    // swallowed, a repeated press of the key last pressed is swallowed unrecorded, everything
    // else passes on.
    HookVerdict RecordLowLevelEvent(std::uint32_t message, std::uint32_t virtualKey, std::int64_t nowMs);

    // ---- applying
    // Writes the repeat-count edit into the shown macro.
    void SaveCurrent();
    // The copies in list order, after SaveCurrent.
    std::vector<MacroBlock> Result();
    // Makes the copies the working list (ReconcileMacros) and clears their new flags: they are
    // in the working list now, so a second apply must not take them for new ones. Returns the
    // records whose key fell back to its default.
    std::vector<std::size_t> Commit(WorkingImage& working);

private:
    void Show(int index);
    bool CreateMacro(std::u16string name);
    void Changed();
    std::u16string Prefix();
    MacroBlock* Current();
    void Record(ScanCode code, bool release, std::int64_t nowMs);

    Language& m_language;
    UiSink& m_ui;
    MacroNamer::Wait m_wait;
    MacroNamer m_namer;
    std::function<void()> m_onChange;

    std::vector<MacroBlock> m_macros;
    int m_selected = -1;
    int m_repeat = 1;
    int m_selectedStep = -1;

    bool m_recording = false;
    std::int64_t m_lastEventMs = 0;
    std::uint32_t m_recordDelayMode = kRecordFixedPauses;
    std::uint32_t m_lastLowLevelKey = 0;
    std::vector<ScanCode> m_releaseOnlyDown; // release-only keys whose press was recorded
};

} // namespace brasslane
