#pragma once

// The keyboard's macro area (the MacroBlob): a 16-byte header (magic AA 55, total length, macro
// count, names flag), a table of 16-bit entry offsets, then one entry per macro (step count,
// repeat count, name length, 4-byte encoded steps, optionally the UTF-16 name). Also the rules
// that keep the macro list and the key assignments consistent: ids, positions, reconciling,
// deleting and naming.

#include "core/keys/KeyAction.h"
#include "core/keys/KeyTable.h"
#include "core/keys/MacroBlock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brasslane {

class Language;
class UiSink;
struct ProfileImage;
struct WorkingImage;

constexpr std::uint16_t kMacroBlobMagic = 0x55AA;
constexpr std::size_t kMacroBlobHeaderSize = 16;
// Lengths and offsets in the blob are 16-bit.
constexpr std::size_t kMaxMacroBlobLength = 0xFFFF;

// One step as the keyboard stores it: word (bits 0..11 delay / 10, bits 12..14 action kind,
// bit 15 press) and the action's sub and value bytes.
struct EncodedMacroStep {
    std::uint16_t word = 0;
    std::uint8_t sub = 0;
    std::uint8_t value = 0;
    bool operator==(const EncodedMacroStep&) const = default;
};

// A delay longer than the 12-bit field can hold (4095 tens of milliseconds) is clamped to
// 40950 ms rather than wrapped.
EncodedMacroStep EncodeMacroStep(const MacroStep& step);
MacroStep DecodeMacroStep(const EncodedMacroStep& encoded);

// The action bytes of a step's key: kind, sub and value as a key map would hold them.
KeyAction MacroStepAction(ScanCode key);

struct MacroBlobSizes {
    std::size_t withoutNames = 0; // A = 16 + 2n + sum(4 + 4 steps)
    std::size_t withNames = 0;    // B = A + sum(2 name units)
};
// Steps beyond 4000 and name units beyond 249 are not counted (nor built).
MacroBlobSizes MacroBlobSize(std::span<const MacroBlock> macros);

// Builds the blob into `buffer`, with `length` in the header (the caller passes A or B).
// False, with `buffer` untouched, when the blob does not fit `buffer` or 16-bit offsets.
bool BuildMacroBlob(std::span<const MacroBlock> macros, std::span<std::uint8_t> buffer, std::uint16_t length,
                    bool withNames);

// The header of a blob read from the keyboard; `valid` is false when the magic is wrong.
struct MacroBlobHeader {
    bool valid = false;
    std::uint16_t length = 0;
    std::uint16_t count = 0;
    bool withNames = false;
};
MacroBlobHeader ReadMacroBlobHeader(std::span<const std::uint8_t> blob);

// Reads the macros back from a blob. Every offset, count and length is checked against the
// blob (and the header's length): reading stops at the first entry that is not whole, so a
// damaged blob gives the whole macros before it, a bad magic none. Ids are 1..n in blob
// order; a macro without a name is named `namePrefix` (UTF-8) followed by its number.
// Returns the number of macros decoded; `macros` is replaced.
std::size_t ParseMacroBlob(std::span<const std::uint8_t> blob, std::string_view namePrefix,
                           std::vector<MacroBlock>& macros);

// The lowest id in 1..100 that no macro in the list has; 0 when all are taken.
std::uint16_t AllocateMacroId(std::span<const MacroBlock> macros);
// The list position (from 0) of the macro with that id, or 0 when none has it: the number the
// key map carries.
std::size_t MacroPosition(std::span<const MacroBlock> macros, std::uint32_t id);
// The macro with that id, or null.
const MacroBlock* FindMacro(std::span<const MacroBlock> macros, std::uint32_t id);

// Replaces the working macro list with `newList` (the dialog's copy), under the working lock.
// Every type-4 entry of the key block whose macro is gone, or whose id now belongs to a macro
// created in the open dialog, falls back to type 0; a type-4 entry without a macro id gets the
// first macro of the new list. The new list is stored with every new flag cleared. Returns
// the record numbers of the entries that fell back to default (their buttons need a refresh).
std::vector<std::size_t> ReconcileMacros(WorkingImage& working, std::vector<MacroBlock> newList);

// May `macro` be deleted? A macro created in the open dialog may; one that no key plays may;
// for one that keys play, the all-profiles request is raised and the user is asked
// "MACRO_DELETE_CONFIRM_OF_KEYS" (Yes/No, No preselected): only Yes deletes.
bool MayDeleteMacro(WorkingImage& working, const MacroBlock& macro, UiSink& ui, Language& language);

// Is `name` the beginning of the name of a macro in the list (case ignored)? Such a name would
// be ambiguous where names are typed, so generated and typed names avoid it.
bool IsMacroNameTaken(std::span<const MacroBlock> macros, std::u16string_view name);

// Names new macros "MACRO_NEW_PREFIX" + counter for one open dialog. The counter starts at 1,
// starts again when the list is empty and counts up with every name produced; a name that is
// the beginning of an existing name (case ignored) is skipped after `wait` (16 ms by default).
class MacroNamer {
public:
    using Wait = std::function<void(std::chrono::milliseconds)>;
    explicit MacroNamer(Wait wait = {});

    std::u16string NextName(std::span<const MacroBlock> macros, std::u16string_view prefix);
    int Counter() const { return m_counter; }

private:
    int m_counter = 1;
    Wait m_wait;
};

} // namespace brasslane
