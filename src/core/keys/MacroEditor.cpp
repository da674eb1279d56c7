#include "core/keys/MacroEditor.h"

#include "core/base/UiSink.h"
#include "core/base/Utf8.h"
#include "core/keys/ProfileImage.h"
#include "core/resources/Language.h"

#include <algorithm>
#include <limits>
#include <mutex>

namespace brasslane {

namespace {

// Reads text the way the dialog's edits are read: blanks, a sign, decimal digits, and nothing
// after them counts. Saturates instead of overflowing.
long long ReadDecimal(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    constexpr long long kLimit = std::numeric_limits<long long>::max() / 10 - 10;
    long long value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        if (value < kLimit) {
            value = value * 10 + (text[at] - '0');
        }
    }
    return negative ? -value : value;
}

// At most 249 UTF-16 units, never ending in half a surrogate pair.
std::u16string CutName(std::u16string_view name) {
    std::u16string cut(name.substr(0, std::min(name.size(), kMaxMacroNameLength)));
    if (cut.size() < name.size() && !cut.empty() && cut.back() >= 0xD800 && cut.back() <= 0xDBFF) {
        cut.pop_back();
    }
    // A terminator inside the name would end it early in the block.
    cut.erase(std::find(cut.begin(), cut.end(), u'\0'), cut.end());
    return cut;
}

constexpr ScanCode kLeftWin = 0x15B;
constexpr ScanCode kRightWin = 0x15C;

} // namespace

std::uint32_t RecordedPause(std::uint32_t mode, std::int64_t measuredMs) {
    if (mode == kRecordMeasuredPauses) {
        return static_cast<std::uint32_t>(std::clamp<std::int64_t>(measuredMs, 0, kMaxMacroDelayMs));
    }
    return mode == kRecordFixedPauses ? kFixedRecordPauseMs : 0;
}

int ClampRepeatText(std::string_view text) {
    return static_cast<int>(std::clamp<long long>(ReadDecimal(text), kMinRepeat, kMaxRepeat));
}

TypedDelay ParseTypedDelay(std::string_view text) {
    const long long value = ReadDecimal(text);
    TypedDelay result;
    if (value < 0 || value > static_cast<long long>(kMaxMacroDelayMs)) {
        result.tooLong = true;
        result.delay = kMaxMacroDelayMs;
    } else {
        result.delay = static_cast<std::uint32_t>(value);
    }
    result.delay -= result.delay % 10;
    return result;
}

MacroEditor::MacroEditor(Language& language, UiSink& ui, MacroNamer::Wait wait)
    : m_language(language), m_ui(ui), m_wait(std::move(wait)), m_namer(m_wait) {}

void MacroEditor::Changed() {
    if (m_onChange) {
        m_onChange();
    }
}

std::u16string MacroEditor::Prefix() {
    return utf8::ToUtf16(m_language.Text("MACRO_NEW_PREFIX"));
}

MacroBlock* MacroEditor::Current() {
    if (m_selected < 0 || m_selected >= static_cast<int>(m_macros.size())) {
        return nullptr;
    }
    return &m_macros[static_cast<std::size_t>(m_selected)];
}

const MacroBlock* MacroEditor::SelectedMacro() const {
    return const_cast<MacroEditor*>(this)->Current();
}

int MacroEditor::IndexOfId(std::uint32_t id) const {
    for (std::size_t i = 0; i < m_macros.size(); ++i) {
        if (m_macros[i].id == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void MacroEditor::Load(WorkingImage& working, std::uint32_t selectId) {
    StopRecording();
    {
        std::lock_guard lock(working.lock);
        m_macros = working.image.macros;
    }
    for (MacroBlock& macro : m_macros) {
        macro.newFlag = 0;
    }
    // The name counter belongs to one opening of the dialog.
    m_namer = MacroNamer(m_wait);
    m_selected = -1;
    m_repeat = 1;
    const int index = IndexOfId(selectId);
    Show(index >= 0 ? index : (m_macros.empty() ? -1 : 0));
}

void MacroEditor::Show(int index) {
    m_selected = index >= 0 && index < static_cast<int>(m_macros.size()) ? index : -1;
    m_selectedStep = -1;
    if (const MacroBlock* macro = Current()) {
        m_repeat = macro->repeat;
    }
}

void MacroEditor::Select(int index) {
    if (m_recording) {
        return;
    }
    SaveCurrent();
    Show(index);
}

bool MacroEditor::NewMacro() {
    return !m_recording && CreateMacro({});
}

bool MacroEditor::CreateMacro(std::u16string name) {
    if (m_macros.size() >= kMaxMacros) {
        m_ui.ShowMessage(FormatText(m_language.Text("MACRO_ERR_MAX"), static_cast<long long>(kMaxMacros)),
                         std::string(), MessageButtons::kOk);
        return false;
    }
    SaveCurrent();
    MacroBlock macro;
    macro.name = name.empty() ? CutName(m_namer.NextName(m_macros, Prefix())) : std::move(name);
    macro.repeat = 1;
    macro.newFlag = 1;
    macro.id = AllocateMacroId(m_macros);
    m_macros.push_back(std::move(macro));
    Show(static_cast<int>(m_macros.size()) - 1);
    Changed();
    return true;
}

bool MacroEditor::DeleteMacro(WorkingImage& working) {
    const MacroBlock* macro = Current();
    if (macro == nullptr || m_recording || !MayDeleteMacro(working, *macro, m_ui, m_language)) {
        return false;
    }
    const int index = m_selected;
    m_macros.erase(m_macros.begin() + index);
    Show(m_macros.empty() ? -1 : std::max(index - 1, 0));
    Changed();
    return true;
}

std::u16string MacroEditor::Rename(std::u16string_view typed) {
    if (m_recording) {
        return {};
    }
    std::u16string name = CutName(typed);
    if (m_macros.empty()) {
        return CreateMacro(std::move(name)) ? m_macros.back().name : std::u16string();
    }
    MacroBlock* macro = Current();
    if (macro == nullptr) {
        return {};
    }
    // The macro is compared with every other one, never with itself.
    MacroBlock taken = std::move(*macro);
    m_macros.erase(m_macros.begin() + m_selected);
    if (name.empty() || IsMacroNameTaken(m_macros, name)) {
        name = CutName(m_namer.NextName(m_macros, Prefix()));
    }
    const bool changed = taken.name != name;
    taken.name = name;
    m_macros.insert(m_macros.begin() + m_selected, std::move(taken));
    if (changed) {
        Changed();
    }
    return name;
}

int MacroEditor::SetRepeatText(std::string_view text) {
    SetRepeatCount(ClampRepeatText(text));
    return m_repeat;
}

void MacroEditor::SetRepeatCount(int count) {
    count = std::clamp(count, kMinRepeat, kMaxRepeat);
    if (count != m_repeat) {
        m_repeat = count;
        Changed();
    }
}

std::span<const MacroStep> MacroEditor::Steps() const {
    const MacroBlock* macro = SelectedMacro();
    return macro != nullptr ? std::span<const MacroStep>(macro->steps) : std::span<const MacroStep>();
}

void MacroEditor::SelectStep(int row) {
    m_selectedStep = row >= 0 && row < static_cast<int>(Steps().size()) ? row : -1;
}

bool MacroEditor::AddStep(ScanCode key, std::uint16_t state, std::uint32_t pause) {
    MacroBlock* macro = Current();
    if (macro == nullptr || macro->steps.size() >= kMaxMacroSteps) {
        return false;
    }
    std::vector<MacroStep>& steps = macro->steps;
    const std::size_t at = m_selectedStep >= 0 ? static_cast<std::size_t>(m_selectedStep) + 1 : steps.size();
    MacroStep step;
    step.key = key;
    step.state = state == 1 ? 1 : 0;
    if (at > 0) {
        // The pause belongs to the step before: it is the wait after that step.
        step.delay = steps[at - 1].delay;
        steps[at - 1].delay = pause;
    }
    steps.insert(steps.begin() + static_cast<std::ptrdiff_t>(at), step);
    m_selectedStep = static_cast<int>(at);
    Changed();
    return true;
}

bool MacroEditor::DeleteStep() {
    MacroBlock* macro = Current();
    if (macro == nullptr || m_selectedStep < 0 || m_selectedStep >= static_cast<int>(macro->steps.size())) {
        return false;
    }
    macro->steps.erase(macro->steps.begin() + m_selectedStep);
    m_selectedStep = -1;
    Changed();
    return true;
}

bool MacroEditor::ClearSteps() {
    MacroBlock* macro = Current();
    if (macro == nullptr || macro->steps.empty()) {
        return false;
    }
    if (m_ui.ShowMessage(m_language.Text("MACRO_ACTION_CLEAR_CONFIRM"), std::string(), MessageButtons::kYesNo) !=
        MessageAnswer::kYes) {
        return false;
    }
    // The box ran its own event loop: the macro may have gone meanwhile.
    macro = Current();
    if (macro == nullptr) {
        return false;
    }
    macro->steps.clear();
    m_selectedStep = -1;
    Changed();
    return true;
}

bool MacroEditor::MoveStep(StepMove move) {
    MacroBlock* macro = Current();
    if (macro == nullptr || m_selectedStep < 0 || m_selectedStep >= static_cast<int>(macro->steps.size())) {
        return false;
    }
    std::vector<MacroStep>& steps = macro->steps;
    const int from = m_selectedStep;
    const int last = static_cast<int>(steps.size()) - 1;
    int to = from;
    switch (move) {
    case StepMove::kTop:
        to = 0;
        break;
    case StepMove::kUp:
        to = std::max(from - 1, 0);
        break;
    case StepMove::kDown:
        to = std::min(from + 1, last);
        break;
    case StepMove::kBottom:
        to = last;
        break;
    }
    if (to == from) {
        return false;
    }
    const auto first = steps.begin();
    if (to < from) {
        std::rotate(first + to, first + from, first + from + 1);
    } else {
        std::rotate(first + from, first + from + 1, first + to + 1);
    }
    m_selectedStep = to;
    Changed();
    return true;
}

bool MacroEditor::SetStepKeyId(int row, std::uint16_t keyId) {
    MacroBlock* macro = Current();
    const ScanCode code = keyId < kStepKeyListSize ? ScanCodeOfKeyId(keyId) : 0;
    if (macro == nullptr || row < 0 || row >= static_cast<int>(macro->steps.size()) || code == 0) {
        return false;
    }
    macro->steps[static_cast<std::size_t>(row)].key = code;
    Changed();
    return true;
}

bool MacroEditor::SetStepState(int row, std::uint16_t state) {
    MacroBlock* macro = Current();
    if (macro == nullptr || row < 0 || row >= static_cast<int>(macro->steps.size())) {
        return false;
    }
    macro->steps[static_cast<std::size_t>(row)].state = state == 1 ? 1 : 0;
    Changed();
    return true;
}

void MacroEditor::BeginDelayEdit() {
    StopRecording();
}

std::uint32_t MacroEditor::SetStepDelayText(int row, std::string_view text) {
    const TypedDelay typed = ParseTypedDelay(text);
    if (typed.tooLong) {
        m_ui.ShowMessage(
            FormatText(m_language.Text("MACRO_ACTION_ERR_DELAY_MAX"), static_cast<long long>(kMaxMacroDelayMs)),
            std::string(), MessageButtons::kOk);
    }
    MacroBlock* macro = Current();
    if (macro != nullptr && row >= 0 && row < static_cast<int>(macro->steps.size())) {
        macro->steps[static_cast<std::size_t>(row)].delay = typed.delay;
        Changed();
    }
    return typed.delay;
}

void MacroEditor::RefuseColumnEdit() {
    m_ui.ShowMessage(m_language.Text("MACRO_ACTION_ERR_MODIFY"), std::string(), MessageButtons::kOk);
}

bool MacroEditor::StartRecording(std::int64_t nowMs) {
    if (Current() == nullptr) {
        return false;
    }
    m_recording = true;
    m_lastEventMs = nowMs;
    m_lastLowLevelKey = 0;
    m_releaseOnlyDown.clear();
    return true;
}

void MacroEditor::StopRecording() {
    m_recording = false;
    m_lastLowLevelKey = 0;
    m_releaseOnlyDown.clear();
}

void MacroEditor::Record(ScanCode code, bool release, std::int64_t nowMs) {
    AddStep(code, release ? 1 : 0, RecordedPause(m_recordDelayMode, nowMs - m_lastEventMs));
    m_lastEventMs = nowMs;
}

HookVerdict MacroEditor::RecordKeyEvent(std::uint32_t virtualKey, std::uint32_t eventWord, std::int64_t nowMs) {
    if (!m_recording) {
        return HookVerdict::kPassOn;
    }
    const ScanCode code = KeyboardEventScanCode(virtualKey, eventWord);
    if (code == 0 || IsMediaKey(code)) {
        return HookVerdict::kPassOn;
    }
    if (IsAutoRepeatEvent(eventWord)) {
        return HookVerdict::kSwallow;
    }
    const bool release = IsReleaseEvent(eventWord);
    if (!IsReleaseOnlyKey(code)) {
        Record(code, release, nowMs);
        return HookVerdict::kSwallow;
    }
    const auto down = std::find(m_releaseOnlyDown.begin(), m_releaseOnlyDown.end(), code);
    if (!release) {
        if (down == m_releaseOnlyDown.end()) {
            m_releaseOnlyDown.push_back(code);
        }
        Record(code, false, nowMs);
    } else if (down != m_releaseOnlyDown.end()) {
        m_releaseOnlyDown.erase(down);
        Record(code, true, nowMs);
    } else {
        // Only the release was reported: the press goes where the key went down, with the
        // measured pause before it, and the release follows it after 2 ms.
        Record(code, false, nowMs);
        AddStep(code, 1, RecordedPause(m_recordDelayMode, kReleaseOnlyPressMs));
    }
    return HookVerdict::kSwallow;
}

HookVerdict MacroEditor::RecordLowLevelEvent(std::uint32_t message, std::uint32_t virtualKey, std::int64_t nowMs) {
    if (!m_recording || !IsKeyMessage(message)) {
        return HookVerdict::kPassOn;
    }
    const bool press = IsKeyDownMessage(message);
    if (press) {
        if (virtualKey == m_lastLowLevelKey) {
            return HookVerdict::kSwallow; // auto-repeat of the key held down
        }
        m_lastLowLevelKey = virtualKey;
    } else {
        m_lastLowLevelKey = 0;
    }
    if (virtualKey == kVirtualKeyLeftWin || virtualKey == kVirtualKeyRightWin) {
        Record(virtualKey == kVirtualKeyLeftWin ? kLeftWin : kRightWin, !press, nowMs);
        return HookVerdict::kSwallow;
    }
    return HookVerdict::kPassOn;
}

void MacroEditor::SaveCurrent() {
    if (MacroBlock* macro = Current()) {
        macro->repeat = static_cast<std::uint8_t>(m_repeat);
    }
}

std::vector<MacroBlock> MacroEditor::Result() {
    SaveCurrent();
    return m_macros;
}

std::vector<std::size_t> MacroEditor::Commit(WorkingImage& working) {
    std::vector<std::size_t> fellBack = ReconcileMacros(working, Result());
    for (MacroBlock& macro : m_macros) {
        macro.newFlag = 0;
    }
    return fellBack;
}

} // namespace brasslane
