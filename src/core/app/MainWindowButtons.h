#pragma once

// The buttons of the main window's keyboard picture and the key entries behind them.

#include "core/keys/KeyTable.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brasslane {

class Language;
struct MacroBlock;
struct WorkingImage;
struct KeyEntry;

// One button of the keyboard picture: a key button (by scan code), G1..G9, or Fn (which has no
// key entry and acts only in lighting mode).
struct KeyButtonId {
    enum class Kind { kKey, kGKey, kFn };
    Kind kind = Kind::kKey;
    ScanCode scanCode = 0; // kKey only
    int gKey = 0;          // kGKey only: 1..9

    static KeyButtonId Key(ScanCode code) { return {Kind::kKey, code, 0}; }
    static KeyButtonId G(int number) { return {Kind::kGKey, 0, number}; }
    static KeyButtonId Fn() { return {Kind::kFn, 0, 0}; }
    bool operator==(const KeyButtonId&) const = default;
};

// Every button of the picture: the 105 key buttons in key-button order, G1..G9, then Fn.
std::vector<KeyButtonId> AllKeyButtons();

// Does the id name a button of the picture?
bool IsKeyButton(KeyButtonId button);

// The slot (0..511) of the button's entry in a profile area: the scan index for a key, the G
// slot of bank A for G1..G9 (the bank the window shows). nullopt for Fn and unknown ids.
std::optional<std::size_t> ButtonSlot(KeyButtonId button);

// Does the flip setting (0 or 1) take the button away? With 1 the keys F1..F4 are disabled;
// with 0 (and any other value) none is.
bool FlipDisables(KeyButtonId button, int flip);

// Are the six buttons D1..D6 enabled under the flip setting? Only with 1, the reverse of F1..F4.
bool FlipEnablesDButtons(int flip);

// The button's tooltip for its entry: key name (or "G1".."G9") and what it is assigned to.
std::string ButtonCaption(KeyButtonId button, const KeyEntry& entry, std::span<const MacroBlock> macros,
                          Language& language);

// Resets the entry of every key and G button in `area` (0..3) to what a default image holds:
// all zero, except that the G slots keep their G codes. Texts carried by those entries are
// freed. Other slots (bank B among them) are untouched. Takes the working lock.
void ResetButtonEntries(WorkingImage& working, std::size_t area);

} // namespace brasslane
