#include "KeyCommands.h"

#include "MacroSteps.h"

#include "core/app/MainWindowButtons.h"
#include "core/base/Strings.h"
#include "core/base/Utf8.h"
#include "core/keys/KeyAction.h"
#include "core/keys/KeyDialogModel.h"
#include "core/keys/KeyNames.h"
#include "core/keys/MacroEditor.h"
#include "core/profiles/WriteSequence.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <random>
#include <sstream>

namespace brasslane::cli {

namespace {

constexpr std::size_t kG9Slot = kGSlotBankA + 8;
constexpr std::size_t kLastUsedSlot = kGSlotBankB + 9; // slots from here on are never used

// `macro remove` asks for the removal itself: the question whether keys that play the macro may
// lose it is answered Yes, and said so.
class ConfirmingUiSink : public ForwardingUiSink {
public:
    using ForwardingUiSink::ForwardingUiSink;
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageButtons buttons) override {
        if (buttons != MessageButtons::kYesNo) {
            return Target().ShowMessage(text, caption, buttons);
        }
        std::cerr << "brasslanectl: " << text << " [answered Yes: the removal was asked for]\n";
        return MessageAnswer::kYes;
    }
};

// The keyboard as the command found it.
struct KeyboardRead {
    int active = -1; // the keyboard's active profile 0..2
    int area = -1;   // the profile the command edits
};

std::optional<int> ReadNumber(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Connects and reads the keyboard's three key maps and macros into the working image, through
// the read the backup command makes.
ExitCode ReadKeyboard(Session& session, std::optional<int> profile, KeyboardRead& read) {
    if (const ExitCode connected = session.Connect(); connected != ExitCode::kSuccess) {
        return connected;
    }
    const std::size_t failuresBefore = session.Trace().Failures();
    read.active = session.Store().GetActiveProfile();
    if (read.active < 0) {
        const bool failed = session.Trace().Failures() != failuresBefore;
        return Report(ExitCode::kKeyboard, "reading the active profile",
                      failed ? session.FailureText() : "the keyboard reports a profile it does not have");
    }
    read.area = profile ? *profile - 1 : read.active;

    std::random_device random;
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("brasslanectl-" + std::to_string(random()) + "-" + std::to_string(random()) + ".fwc");
    std::string error;
    const bool readOk = session.Store().ReadKeyboardProfile(file, &error);
    bool loaded = false;
    if (readOk) {
        std::lock_guard lock(session.Working().lock);
        session.Store().FreeWorkingImage();
        loaded = session.Store().LoadProfileFile(file, &error);
    }
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    if (!readOk && session.Trace().Failures() != failuresBefore) {
        return Report(ExitCode::kKeyboard, "reading the keyboard", error + ": " + session.FailureText());
    }
    if (!readOk || !loaded) {
        return Report(ExitCode::kFile, "reading the keyboard", error);
    }
    return ExitCode::kSuccess;
}

// Writes the working image back: the macro area and the key map of the edited profile (all
// three when it is not the active one, or when a removed macro was played by keys).
ExitCode WriteBack(Session& session, const KeyboardRead& read, std::string_view step) {
    std::lock_guard lock(session.Working().lock);
    const WriteResult written = session.Store().TakeSnapshotAndUpload(read.area != read.active);
    if (!written) {
        // Macros that do not fit are the user's to shorten; everything else is the keyboard's.
        return Report(written.failure == WriteFailure::kMacrosTooLong ? ExitCode::kUsage : ExitCode::kKeyboard, step,
                      WriteResultText(written));
    }
    return ExitCode::kSuccess;
}

std::string Quoted(const std::u16string& name) {
    return "\"" + utf8::FromUtf16(name) + "\"";
}

const char* const kMouseWords[kMouseEntryCount] = {"mouse:left", "mouse:right", "mouse:middle", "wheel:up",
                                                   "wheel:down"};

// An entry in the words `key set` takes.
std::string AssignmentText(const KeyEntry& entry, std::span<const MacroBlock> macros, const StringTable& texts,
                           std::size_t record, Language& language) {
    switch (static_cast<AssignmentType>(entry.type)) {
    case AssignmentType::kDefault:
        return "default";
    case AssignmentType::kDisabled:
        return "disable";
    case AssignmentType::kKey:
        if (const int mouse = MouseEntryOf(static_cast<ScanCode>(entry.param)); mouse >= 0 && entry.param <= 0xFFFF) {
            return kMouseWords[mouse];
        }
        return ScanCodeName(entry.param);
    case AssignmentType::kProgram:
        return "program " + Quoted(texts.Text(record));
    case AssignmentType::kMacro:
        if (const MacroBlock* macro = FindMacro(macros, entry.param)) {
            return "macro:" + std::to_string(entry.param) + " " + Quoted(macro->name) + " (repeat " +
                   std::to_string(macro->repeat) + ")";
        }
        return "macro:" + std::to_string(entry.param) + " (no such macro)";
    case AssignmentType::kStopMacro:
        return "stop the playing macro";
    case AssignmentType::kText:
        return "text " + Quoted(texts.Text(record));
    case AssignmentType::kMedia:
        if (entry.param < kMediaFunctionCount) {
            return "media:" + ScanCodeName(MediaFunctionList()[entry.param].scanCode);
        }
        return "media:" + std::to_string(entry.param + 1) + " (no such function)";
    case AssignmentType::kFunction:
        if (entry.param < kSystemFunctionCount) {
            return "function:" + std::to_string(entry.param + 1) + " (" +
                   language.Text(SystemFunctionList()[entry.param]) + ")";
        }
        return "function:" + std::to_string(entry.param + 1) + " (no such function)";
    }
    return "type " + std::to_string(entry.type);
}

// The key slot a command names: a key of the key table, or G1..G9 and G1B..G9B.
std::optional<std::size_t> KeySlot(const std::string& name) {
    const std::optional<std::size_t> slot = ParseSlotName(name);
    if (!slot || *slot >= kLastUsedSlot) {
        return std::nullopt;
    }
    if (*slot < kKeyTableRows && KeyRowOf(FromScanIndex(static_cast<std::uint16_t>(*slot))).IsEmpty()) {
        return std::nullopt;
    }
    return slot;
}

std::string KeyName(std::size_t slot) {
    return SlotName(slot);
}

// The macro an argument names: its id, or its name (exactly, then with case ignored).
int FindMacroIndex(const MacroEditor& editor, std::string_view text) {
    if (const std::optional<int> id = ReadNumber(text); id && *id > 0) {
        return editor.IndexOfId(static_cast<std::uint32_t>(*id));
    }
    const std::u16string wanted = utf8::ToUtf16(text);
    const std::vector<MacroBlock>& macros = editor.Macros();
    for (std::size_t i = 0; i < macros.size(); ++i) {
        if (macros[i].name == wanted) {
            return static_cast<int>(i);
        }
    }
    for (std::size_t i = 0; i < macros.size(); ++i) {
        if (EqualsNoCase(utf8::FromUtf16(macros[i].name), text)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int IndexAfter(std::string_view text, std::string_view prefix, int count) {
    const std::optional<int> number = ReadNumber(text.substr(prefix.size()));
    return number && *number >= 1 && *number <= count ? *number - 1 : -1;
}

// Puts ACTION into the dialog model, as the dialog's controls would. Empty on success, else why not.
std::string ChooseAction(KeyDialogModel& model, const std::string& action) {
    const std::string lower = ToLower(Trim(action));
    if (lower.starts_with("macro:")) {
        MacroEditor& editor = model.Macros();
        const int index = FindMacroIndex(editor, std::string_view(action).substr(action.find(':') + 1));
        if (index < 0) {
            return "there is no macro " + action.substr(action.find(':') + 1) + " (see 'brasslanectl macro list')";
        }
        model.PressPageButton(DialogPage::kMacro);
        editor.Select(index);
        return {};
    }
    if (model.MacroOnly()) {
        return "G9 plays macros only: give it macro:NAME or macro:ID";
    }
    if (lower == "default") {
        model.Clear();
        return {};
    }
    if (lower == "disable") {
        model.Disable();
        return {};
    }
    for (int entry = 0; entry < static_cast<int>(kMouseEntryCount); ++entry) {
        if (lower == kMouseWords[entry]) {
            model.ChooseMouse();
            model.SelectMouseEntry(entry);
            return {};
        }
    }
    if (lower.starts_with("function:")) {
        const int entry = IndexAfter(lower, "function:", static_cast<int>(kSystemFunctionCount));
        if (entry < 0) {
            return "a keyboard function is function:1 to function:11";
        }
        model.PressPageButton(DialogPage::kFunction);
        model.SelectFunctionEntry(entry);
        return {};
    }
    std::optional<std::uint32_t> code;
    if (lower.starts_with("media:")) {
        int entry = IndexAfter(lower, "media:", static_cast<int>(kMediaFunctionCount));
        if (entry < 0) {
            code = ParseScanCode(std::string_view(action).substr(action.find(':') + 1));
            entry = -1;
            for (std::size_t i = 0; code && i < kMediaFunctionCount; ++i) {
                entry = MediaFunctionList()[i].scanCode == *code ? static_cast<int>(i) : entry;
            }
        }
        if (entry < 0) {
            return "a media function is media:1 to media:18 or media: and a media key's name, such as media:Mute";
        }
        model.PressPageButton(DialogPage::kMedia);
        model.SelectMediaEntry(entry);
        return {};
    }
    code = ParseScanCode(action);
    if (!code || *code == 0 || KeyRowOf(static_cast<ScanCode>(*code)).IsEmpty()) {
        return "\"" + action + "\" is not a key or an action (see 'brasslanectl key set --help')";
    }
    const ScanCode target = static_cast<ScanCode>(*code);
    if (const int mouse = MouseEntryOf(target); mouse >= 0) {
        model.ChooseMouse();
        model.SelectMouseEntry(mouse);
        return {};
    }
    // The dialog lets media keys pass: the media page is the way to give them.
    for (std::size_t i = 0; i < kMediaFunctionCount; ++i) {
        if (MediaFunctionList()[i].scanCode == target) {
            model.PressPageButton(DialogPage::kMedia);
            model.SelectMediaEntry(static_cast<int>(i));
            return {};
        }
    }
    model.ChooseKeyboard();
    model.CaptureKey(target);
    return {};
}

// The keys (in any profile) whose entries play macro `id`.
std::string KeysPlaying(WorkingImage& working, std::uint32_t id) {
    std::string keys;
    std::lock_guard lock(working.lock);
    for (std::size_t record = 0; record < kAreaSlots * 3; ++record) {
        const KeyEntry entry = working.image.Entry(record);
        if (entry.Type() == AssignmentType::kMacro && entry.param == id) {
            keys += (keys.empty() ? "" : ", ") + KeyName(record % kAreaSlots) + " (profile " +
                    std::to_string(record / kAreaSlots + 1) + ")";
        }
    }
    return keys.empty() ? "none" : keys;
}

bool ReadSteps(const std::string& file, std::string& text, std::string* error) {
    if (file == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        *error = "cannot read " + file;
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

} // namespace

ExitCode KeyShow(Session& session, std::optional<int> profile) {
    KeyboardRead read;
    if (const ExitCode done = ReadKeyboard(session, profile, read); done != ExitCode::kSuccess) {
        return done;
    }
    WorkingImage& working = session.Working();
    std::lock_guard lock(working.lock);
    std::cout << "Profile " << read.area + 1 << (read.area == read.active ? " (active)" : "") << '\n';
    for (const KeyButtonId button : AllKeyButtons()) {
        const std::optional<std::size_t> slot = ButtonSlot(button);
        if (!slot) {
            continue;
        }
        const std::size_t record = RecordIndex(static_cast<std::size_t>(read.area), *slot);
        char name[32];
        std::snprintf(name, sizeof name, "%-12s", KeyName(*slot).c_str());
        std::cout << name << " \u2192 "
                  << AssignmentText(working.image.Entry(record), working.image.macros, working.texts, record,
                                    session.Texts())
                  << '\n';
    }
    return ExitCode::kSuccess;
}

ExitCode KeySet(Session& session, std::optional<int> profile, const std::string& key, const std::string& action) {
    const std::optional<std::size_t> slot = KeySlot(key);
    if (!slot) {
        return Report(ExitCode::kUsage, "key set", "\"" + key + "\" is not a key (see 'brasslanectl keys')");
    }
    KeyboardRead read;
    if (const ExitCode done = ReadKeyboard(session, profile, read); done != ExitCode::kSuccess) {
        return done;
    }
    KeyDialogModel model(session.Working(), session.Texts(), session.Ui());
    model.Open(RecordIndex(static_cast<std::size_t>(read.area), *slot), *slot == kG9Slot, 0);
    if (const std::string refused = ChooseAction(model, action); !refused.empty()) {
        return Report(ExitCode::kUsage, "key set", refused);
    }
    const KeyDialogApplyResult result = model.Apply();
    if (const ExitCode written = WriteBack(session, read, "key set: writing to the keyboard");
        written != ExitCode::kSuccess) {
        return written;
    }
    std::lock_guard lock(session.Working().lock);
    std::cout << "Profile " << read.area + 1 << ": " << KeyName(*slot) << " \u2192 "
              << AssignmentText(result.entry, session.Working().image.macros, session.Working().texts, result.record,
                                session.Texts())
              << '\n';
    return ExitCode::kSuccess;
}

ExitCode KeyReset(Session& session, std::optional<int> profile, const std::vector<std::string>& keys) {
    std::vector<std::size_t> slots;
    for (const std::string& key : keys) {
        const std::optional<std::size_t> slot = KeySlot(key);
        if (!slot) {
            return Report(ExitCode::kUsage, "key reset", "\"" + key + "\" is not a key (see 'brasslanectl keys')");
        }
        slots.push_back(*slot);
    }
    KeyboardRead read;
    if (const ExitCode done = ReadKeyboard(session, profile, read); done != ExitCode::kSuccess) {
        return done;
    }
    const std::size_t area = static_cast<std::size_t>(read.area);
    if (slots.empty()) {
        ResetButtonEntries(session.Working(), area);
    }
    KeyDialogModel model(session.Working(), session.Texts(), session.Ui());
    for (const std::size_t slot : slots) {
        model.Open(RecordIndex(area, slot), slot == kG9Slot, 0);
        if (!model.Clear()) {
            return Report(ExitCode::kUsage, "key reset",
                          "G9 plays macros only; 'brasslanectl key reset' without keys resets it too");
        }
        model.Apply();
    }
    if (const ExitCode written = WriteBack(session, read, "key reset: writing to the keyboard");
        written != ExitCode::kSuccess) {
        return written;
    }
    std::cout << "Profile " << read.area + 1 << ": "
              << (slots.empty() ? std::string("every key") : std::to_string(slots.size()) + " key(s)")
              << " back to the default function.\n";
    return ExitCode::kSuccess;
}

ExitCode MacroList(Session& session) {
    KeyboardRead read;
    if (const ExitCode done = ReadKeyboard(session, std::nullopt, read); done != ExitCode::kSuccess) {
        return done;
    }
    WorkingImage& working = session.Working();
    std::lock_guard lock(working.lock);
    std::cout << "ID  REPEAT  STEPS  NAME / KEYS\n";
    for (const MacroBlock& macro : working.image.macros) {
        char row[48];
        std::snprintf(row, sizeof row, "%-3u %-7u %-6zu ", static_cast<unsigned>(macro.id),
                      static_cast<unsigned>(macro.repeat), macro.steps.size());
        std::cout << row << Quoted(macro.name) << "  keys: " << KeysPlaying(working, macro.id) << '\n';
    }
    if (working.image.macros.empty()) {
        std::cout << "(no macros)\n";
    }
    return ExitCode::kSuccess;
}

ExitCode MacroShow(Session& session, const std::string& macro) {
    KeyboardRead read;
    if (const ExitCode done = ReadKeyboard(session, std::nullopt, read); done != ExitCode::kSuccess) {
        return done;
    }
    MacroEditor editor(session.Texts(), session.Ui());
    editor.Load(session.Working(), 0);
    const int index = FindMacroIndex(editor, macro);
    if (index < 0) {
        return Report(ExitCode::kUsage, "macro show", "there is no macro " + macro);
    }
    const MacroBlock& shown = editor.Macros()[static_cast<std::size_t>(index)];
    std::cout << "id:     " << shown.id << "\nname:   " << Quoted(shown.name) << "\nrepeat: " << int{shown.repeat}
              << "\nkeys:   " << KeysPlaying(session.Working(), shown.id)
              << "\nsteps:  " << FormatMacroSteps(shown.steps) << '\n';
    return ExitCode::kSuccess;
}

ExitCode MacroAdd(Session& session, const std::string& name, const std::string& steps,
                  const std::optional<std::string>& repeat) {
    std::string text;
    std::string error;
    StepsInput input;
    if (!ReadSteps(steps, text, &error)) {
        return Report(ExitCode::kFile, "macro add", error);
    }
    if (!ParseMacroSteps(text, input, &error)) {
        return Report(ExitCode::kUsage, "macro add", (steps == "-" ? "the steps: " : steps + ": ") + error);
    }
    for (std::size_t i = 0; i < input.steps.size(); ++i) {
        if (KeyIdOf(input.steps[i].key) >= kStepKeyListSize) {
            return Report(ExitCode::kUsage, "macro add",
                          "step " + std::to_string(i + 1) + ": " + ScanCodeName(input.steps[i].key) +
                              " cannot be a macro step (media keys and pseudo keys other than the mouse are not)");
        }
    }
    KeyboardRead read;
    if (const ExitCode done = ReadKeyboard(session, std::nullopt, read); done != ExitCode::kSuccess) {
        return done;
    }
    MacroEditor editor(session.Texts(), session.Ui());
    editor.Load(session.Working(), 0);
    if (!editor.NewMacro()) {
        // The editor has said why ("MACRO_ERR_MAX").
        return ExitCode::kUsage;
    }
    const std::u16string given = editor.Rename(utf8::ToUtf16(name));
    if (repeat || input.repeat) {
        editor.SetRepeatText(repeat ? *repeat : *input.repeat);
    }
    for (const WrittenStep& step : input.steps) {
        if (!editor.AddStep(step.key, step.state, 0)) {
            return Report(ExitCode::kUsage, "macro add",
                          "a macro holds at most " + std::to_string(kMaxMacroSteps) + " steps; these are " +
                              std::to_string(input.steps.size()));
        }
    }
    for (std::size_t row = 0; row < input.steps.size(); ++row) {
        editor.SetStepDelayText(static_cast<int>(row), input.steps[row].delay);
    }
    const MacroBlock added = *editor.SelectedMacro();
    editor.Commit(session.Working());
    if (const ExitCode written = WriteBack(session, read, "macro add: writing to the keyboard");
        written != ExitCode::kSuccess) {
        return written;
    }
    if (given != utf8::ToUtf16(name)) {
        std::cout << "The name \"" << name
                  << "\" is empty, too long or begins another macro's name; the macro is named " << Quoted(given)
                  << " instead.\n";
    }
    std::cout << "Added macro " << added.id << " " << Quoted(given) << " with " << added.steps.size()
              << (added.steps.size() == 1 ? " step" : " steps") << ", repeat " << int{added.repeat} << ".\n";
    return ExitCode::kSuccess;
}

ExitCode MacroRemove(Session& session, const std::string& macro) {
    KeyboardRead read;
    if (const ExitCode done = ReadKeyboard(session, std::nullopt, read); done != ExitCode::kSuccess) {
        return done;
    }
    ConfirmingUiSink sink(session.Ui());
    MacroEditor editor(session.Texts(), sink);
    editor.Load(session.Working(), 0);
    const int index = FindMacroIndex(editor, macro);
    if (index < 0) {
        return Report(ExitCode::kUsage, "macro remove", "there is no macro " + macro);
    }
    const MacroBlock removed = editor.Macros()[static_cast<std::size_t>(index)];
    editor.Select(index);
    if (!editor.DeleteMacro(session.Working())) {
        return Report(ExitCode::kUsage, "macro remove", "the macro was not removed");
    }
    const std::vector<std::size_t> fellBack = editor.Commit(session.Working());
    if (const ExitCode written = WriteBack(session, read, "macro remove: writing to the keyboard");
        written != ExitCode::kSuccess) {
        return written;
    }
    std::cout << "Removed macro " << removed.id << " " << Quoted(removed.name) << ".\n";
    if (!fellBack.empty()) {
        std::cout << "Back to their default function:";
        for (const std::size_t record : fellBack) {
            std::cout << ' ' << KeyName(record % kAreaSlots) << " (profile " << record / kAreaSlots + 1 << ")";
        }
        std::cout << '\n';
    }
    return ExitCode::kSuccess;
}

ExitCode MacroRename(Session& session, const std::string& macro, const std::string& name) {
    KeyboardRead read;
    if (const ExitCode done = ReadKeyboard(session, std::nullopt, read); done != ExitCode::kSuccess) {
        return done;
    }
    MacroEditor editor(session.Texts(), session.Ui());
    editor.Load(session.Working(), 0);
    const int index = FindMacroIndex(editor, macro);
    if (index < 0) {
        return Report(ExitCode::kUsage, "macro rename", "there is no macro " + macro);
    }
    editor.Select(index);
    const std::u16string given = editor.Rename(utf8::ToUtf16(name));
    editor.Commit(session.Working());
    if (const ExitCode written = WriteBack(session, read, "macro rename: writing to the keyboard");
        written != ExitCode::kSuccess) {
        return written;
    }
    if (given != utf8::ToUtf16(name)) {
        std::cout << "The name \"" << name
                  << "\" is empty, too long or begins another macro's name; the macro is named " << Quoted(given)
                  << " instead.\n";
    }
    std::cout << "Macro " << editor.Macros()[static_cast<std::size_t>(index)].id << " is now " << Quoted(given)
              << ".\n";
    return ExitCode::kSuccess;
}

} // namespace brasslane::cli
