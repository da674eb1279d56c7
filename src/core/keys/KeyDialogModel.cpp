#include "core/keys/KeyDialogModel.h"

#include "core/keys/KeyAction.h"
#include "core/keys/ProfileImage.h"
#include "core/resources/Language.h"

#include <algorithm>
#include <mutex>

namespace brasslane {

namespace {

constexpr std::array<ScanCode, kMouseEntryCount> kMouseEntries{0x171, 0x172, 0x173, 0x161, 0x162};
constexpr std::array<std::string_view, kMouseEntryCount> kMouseEntryKeys{
    "IDS_KEYBOARD_MOU_LEFT", "IDS_KEYBOARD_MOU_RIGHT", "IDS_KEYBOARD_MOU_MIDDLE", "IDS_KEYBOARD_ROLL_UP",
    "IDS_KEYBOARD_ROLL_DOWN"};

constexpr std::uint16_t Type(AssignmentType type) {
    return static_cast<std::uint16_t>(type);
}

// Types whose entry carries a text; the dialog cannot edit them, only replace them.
bool CarriesText(std::uint16_t type) {
    return type == Type(AssignmentType::kProgram) || type == Type(AssignmentType::kText);
}

int EntryInRange(std::uint32_t value, std::size_t count) {
    return value < count ? static_cast<int>(value) : 0;
}

} // namespace

const std::array<ScanCode, kMouseEntryCount>& MouseEntryCodes() {
    return kMouseEntries;
}

int MouseEntryOf(ScanCode code) {
    for (std::size_t i = 0; i < kMouseEntries.size(); ++i) {
        if (kMouseEntries[i] == code) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::vector<std::string> MouseEntryNames(Language& language) {
    std::vector<std::string> names;
    for (std::string_view key : kMouseEntryKeys) {
        names.push_back(language.Text(key));
    }
    return names;
}

std::vector<std::string> MediaEntryNames(Language& language) {
    std::vector<std::string> names;
    for (const MediaFunction& function : MediaFunctionList()) {
        names.push_back(KeyDisplayName(function.scanCode, language));
    }
    return names;
}

std::vector<std::string> FunctionEntryNames(Language& language) {
    std::vector<std::string> names;
    for (std::string_view key : SystemFunctionList()) {
        names.push_back(language.Text(key));
    }
    return names;
}

std::uint16_t GCodeOfSlot(std::size_t slot) {
    if (slot >= kGSlotBankA && slot < kGSlotBankA + 9) {
        return static_cast<std::uint16_t>(kGCodeBankA + (slot - kGSlotBankA + 1));
    }
    if (slot >= kGSlotBankB && slot < kGSlotBankB + 9) {
        return static_cast<std::uint16_t>(kGCodeBankB + (slot - kGSlotBankB + 1));
    }
    return 0;
}

KeyDialogModel::KeyDialogModel(WorkingImage& working, Language& language, UiSink& ui, MacroNamer::Wait wait)
    : m_working(working), m_editor(language, ui, std::move(wait)) {
    m_editor.SetOnChange([this] { Changed(); });
}

void KeyDialogModel::Open(std::size_t record, bool macroOnly, std::uint32_t recordDelay) {
    m_record = record < kKeyEntryCount ? record : 0;
    m_macroOnly = macroOnly;
    m_keyboardChoice = true;
    m_captured = 0;
    m_mouseEntry = 0;
    m_mediaEntry = 0;
    m_functionEntry = 0;
    KeyEntry entry;
    {
        std::lock_guard lock(m_working.lock);
        entry = m_working.image.Entry(m_record);
    }
    m_page = entry.type;
    m_initialParam = entry.param;
    m_initialExtra = entry.extra;
    if (m_macroOnly) {
        m_page = Type(AssignmentType::kMacro);
    }
    m_editor.SetRecordDelayMode(recordDelay);
    m_editor.Load(m_working, m_page == Type(AssignmentType::kMacro) ? m_initialParam : 0);

    switch (static_cast<AssignmentType>(m_page)) {
    case AssignmentType::kKey:
        if (const int mouse = MouseEntryOf(static_cast<ScanCode>(m_initialParam));
            mouse >= 0 && m_initialParam <= 0xFFFF) {
            m_mouseEntry = mouse;
            m_keyboardChoice = false;
        } else if (m_initialParam <= 0xFFFF) {
            m_captured = static_cast<ScanCode>(m_initialParam);
        }
        ShowPage(DialogPage::kKey);
        break;
    case AssignmentType::kMacro:
        ShowPage(DialogPage::kMacro);
        break;
    case AssignmentType::kMedia:
        m_mediaEntry = EntryInRange(m_initialParam, kMediaFunctionCount);
        ShowPage(DialogPage::kMedia);
        break;
    case AssignmentType::kFunction:
        m_functionEntry = EntryInRange(m_initialParam, kSystemFunctionCount);
        ShowPage(DialogPage::kFunction);
        break;
    default:
        // Default, and the types the dialog has no page for: the single-key page.
        ShowPage(DialogPage::kKey);
        break;
    }
    m_open = true;
    m_dirty = false;
}

void KeyDialogModel::Close() {
    m_editor.StopRecording();
    m_open = false;
}

void KeyDialogModel::ShowPage(DialogPage page) {
    if (page != DialogPage::kMacro) {
        m_editor.StopRecording();
    }
    m_shown = page;
}

bool KeyDialogModel::PressPageButton(DialogPage page) {
    if (m_macroOnly && page != DialogPage::kMacro) {
        return false;
    }
    std::uint16_t type = 0;
    switch (page) {
    case DialogPage::kKey:
        if (m_page == Type(AssignmentType::kDefault)) {
            return false;
        }
        type = Type(AssignmentType::kKey);
        break;
    case DialogPage::kMacro:
        type = Type(AssignmentType::kMacro);
        break;
    case DialogPage::kMedia:
        type = Type(AssignmentType::kMedia);
        break;
    case DialogPage::kFunction:
        type = Type(AssignmentType::kFunction);
        break;
    }
    if (type == m_page) {
        return false;
    }
    m_page = type;
    ShowPage(page);
    Changed();
    return true;
}

bool KeyDialogModel::ChooseKeyboard() {
    if (m_macroOnly) {
        return false;
    }
    m_keyboardChoice = true;
    m_page = Type(AssignmentType::kKey);
    ShowPage(DialogPage::kKey);
    Changed();
    return true;
}

bool KeyDialogModel::ChooseMouse() {
    if (m_macroOnly) {
        return false;
    }
    m_keyboardChoice = false;
    m_page = Type(AssignmentType::kKey);
    ShowPage(DialogPage::kKey);
    Changed();
    return true;
}

bool KeyDialogModel::CaptureKey(ScanCode code) {
    if (m_macroOnly || code == 0) {
        return false;
    }
    m_captured = code;
    m_page = Type(AssignmentType::kKey);
    ShowPage(DialogPage::kKey);
    Changed();
    return true;
}

HookVerdict KeyDialogModel::KeyEvent(std::uint32_t virtualKey, std::uint32_t eventWord) {
    if (!Capturing()) {
        return HookVerdict::kPassOn;
    }
    const CaptureResult result = CaptureKeyEvent(virtualKey, eventWord, m_keyboardChoice);
    if (result.captured) {
        CaptureKey(*result.captured);
    }
    return result.verdict;
}

HookVerdict KeyDialogModel::LowLevelKeyEvent(std::uint32_t message, std::uint32_t virtualKey) {
    if (!Capturing()) {
        return HookVerdict::kPassOn;
    }
    const CaptureResult result = CaptureLowLevelEvent(message, virtualKey);
    if (result.captured) {
        CaptureKey(*result.captured);
    }
    return result.verdict;
}

bool KeyDialogModel::SelectMouseEntry(int entry) {
    if (entry < 0 || entry >= static_cast<int>(kMouseEntryCount)) {
        return false;
    }
    m_mouseEntry = entry;
    Changed();
    return true;
}

bool KeyDialogModel::Clear() {
    if (m_macroOnly) {
        return false;
    }
    ShowPage(DialogPage::kKey);
    m_captured = 0;
    m_page = Type(AssignmentType::kDefault);
    m_keyboardChoice = true;
    Changed();
    return true;
}

bool KeyDialogModel::Disable() {
    if (m_macroOnly) {
        return false;
    }
    ShowPage(DialogPage::kKey);
    m_captured = 0;
    m_page = Type(AssignmentType::kDisabled);
    m_keyboardChoice = true;
    Changed();
    return true;
}

bool KeyDialogModel::SelectMediaEntry(int entry) {
    if (entry < 0 || entry >= static_cast<int>(kMediaFunctionCount)) {
        return false;
    }
    m_mediaEntry = entry;
    Changed();
    return true;
}

bool KeyDialogModel::SelectFunctionEntry(int entry) {
    if (entry < 0 || entry >= static_cast<int>(kSystemFunctionCount)) {
        return false;
    }
    m_functionEntry = entry;
    Changed();
    return true;
}

KeyDialogApplyResult KeyDialogModel::Apply() {
    std::lock_guard lock(m_working.lock);
    KeyDialogApplyResult result;
    result.record = m_record;
    result.fellBack = m_editor.Commit(m_working);

    const KeyEntry current = m_working.image.Entry(m_record);
    if (CarriesText(m_page) && m_page == current.type) {
        // Rebuilding such an entry would keep its type but lose the text it launches or types.
        result.entry = current;
        m_dirty = false;
        return result;
    }

    KeyEntry entry;
    entry.type = m_page;
    entry.extra = GCodeOfSlot(Slot());
    if (m_working.texts.Length(m_record) != 0) {
        m_working.texts.Clear(m_record);
    }
    switch (static_cast<AssignmentType>(m_page)) {
    case AssignmentType::kKey:
        if (m_keyboardChoice) {
            entry.param = m_captured;
            if (m_captured == 0 || ToScanIndex(m_captured) == Slot()) {
                entry.type = Type(AssignmentType::kDefault);
            }
        } else {
            entry.param = kMouseEntries[static_cast<std::size_t>(m_mouseEntry)];
        }
        break;
    case AssignmentType::kMacro:
        if (const MacroBlock* macro = m_editor.SelectedMacro()) {
            entry.param = macro->id;
            entry.extra = static_cast<std::uint16_t>(m_editor.RepeatCount());
        } else {
            entry.type = Type(AssignmentType::kDefault);
        }
        break;
    case AssignmentType::kMedia:
        entry.param = static_cast<std::uint32_t>(m_mediaEntry);
        break;
    case AssignmentType::kFunction:
        entry.param = static_cast<std::uint32_t>(m_functionEntry);
        break;
    default:
        break;
    }
    m_working.image.SetEntry(m_record, entry);
    result.entry = entry;
    m_dirty = false;
    return result;
}

ScreenPoint KeyDialogPosition(const ScreenRect& button, int dialogWidth, int dialogHeight, const ScreenRect& screen,
                              bool macroOnly) {
    if (macroOnly) {
        return {screen.x + (screen.width - dialogWidth) / 2, screen.y + (screen.height - dialogHeight) / 2};
    }
    const int right = button.x + button.width;
    const int bottom = button.y + button.height;
    const bool fitsRight = right + dialogWidth <= screen.x + screen.width;
    const bool fitsLeft = button.x - dialogWidth >= screen.x;
    const bool fitsBelow = bottom + dialogHeight <= screen.y + screen.height;
    const bool fitsAbove = button.y - dialogHeight >= screen.y;
    ScreenPoint at{right, bottom};
    if (fitsRight && fitsBelow) {
        at = {right, bottom};
    } else if (fitsRight && fitsAbove) {
        at = {right, button.y - dialogHeight};
    } else if (fitsLeft) {
        at = {button.x - dialogWidth, !fitsBelow && fitsAbove ? button.y - dialogHeight : bottom};
    }
    // Where the dialog fits neither way it would reach past the screen's edge, its OK button
    // out of reach: it is pushed back onto the screen (its top left corner stays on it).
    at.x = std::max(std::min(at.x, screen.x + screen.width - dialogWidth), screen.x);
    at.y = std::max(std::min(at.y, screen.y + screen.height - dialogHeight), screen.y);
    return at;
}

} // namespace brasslane
