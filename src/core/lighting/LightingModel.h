#pragma once

// The lighting of the keyboard as the program sees and changes it. Every change is one
// transaction with the keyboard (command 1, the lighting writes, command 2) sent at once;
// there is no save step. Used from the user-interface thread only.
//
// Every action updates the LightingState whatever the keyboard answers: a failed write is kept
// in LightingState::lastStatus and returned, but the state keeps the new value, so that the
// panel shows what the user chose.

#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/lighting/EffectList.h"
#include "core/lighting/KeyColourTable.h"
#include "core/lighting/LightingState.h"

#include <functional>
#include <span>

namespace brasslane {

// An argument outside its range (a slider position, a preset number, a key without a colour):
// nothing was sent and nothing changed.
constexpr DeviceStatus kStatusBadValue = -202;
// Load: the device information could not be read; nothing else was read.
constexpr DeviceStatus kStatusInfoFailed = -1;

class LightingModel {
public:
    // Both references must outlive the model. `connection` gives the key count of the model.
    LightingModel(DeviceLink& link, const ConnectionState& connection);

    const LightingState& State() const { return m_state; }
    const EffectList& Effects() const { return m_effects; }
    const EffectIndexTable& EffectIndex() const { return m_index; }
    bool SupportsPerKey() const { return m_effects.SupportsPerKey(); }
    // The keyboard's current profile from the last information read; -1 when unknown or when
    // the keyboard reported a number outside 0..2.
    int KeyboardProfile() const { return m_keyboardProfile; }

    const KeyColourTable& KeyColours() const { return m_keyColours; }
    // For the user modes, which load whole tables before sending them.
    KeyColourTable& KeyColours() { return m_keyColours; }

    // Called by a load on connection when the keyboard offers effect 20, before the lighting
    // area is read: fills the user-mode list and sends the current user mode.
    void SetUserModeHook(std::function<void()> hook) { m_userModeHook = std::move(hook); }
    // Called by ResetToDefaults when the keyboard offers effect 20: restores the current
    // profile's user modes from the installed default and sends the current one.
    void SetUserModeResetHook(std::function<void()> hook) { m_userModeResetHook = std::move(hook); }
    // Called after effect 20 was selected: every key button shows its own colour.
    void SetRepaintHook(std::function<void()> hook) { m_repaintHook = std::move(hook); }

    // Reads the effect list (device information) and the three lighting blocks, and decodes the
    // current profile's block into the state. `onConnection` runs the user-mode hook.
    // Returns kStatusInfoFailed when the information read fails (the effect list is then
    // empty), else the first failing status of the lighting reads, else kStatusSuccess. A block
    // whose read failed keeps its previous copy, and the state is decoded only from a block
    // read now.
    DeviceStatus Load(bool onConnection);

    // Selects the effect at `position` of the effect selector. Effects 19 and unknown ones, and
    // positions with no effect, send nothing and leave the state alone (kStatusSuccess).
    DeviceStatus SelectEffect(int position);
    // How many effect selections there have been (every SelectEffect call counts, the same
    // effect again included), so that the preview can start the selected effect afresh.
    std::uint64_t EffectSelections() const { return m_effectSelections; }
    // Brightness control position 0..5 (written as it is); speed control position 0..4
    // (written as 4 - position). Nothing is sent when the value equals the byte the keyboard
    // holds; a byte outside the control's range is rewritten even at the position shown.
    DeviceStatus SetBrightness(int position);
    DeviceStatus SetSpeed(int position);
    // First direction button (left, up, spread) or second (right, down, converge).
    DeviceStatus SetDirection(bool first);
    // Single colour: clears the colourful flag and writes it, then the colour.
    DeviceStatus SetColour(Rgb colour);
    DeviceStatus ToggleColourful();
    // Colour preset 0..7 of kColourPresets, sent as SetColour.
    DeviceStatus ChoosePreset(int preset);
    // Report-rate button 0..3.
    DeviceStatus SetReportRate(int rate);
    // Effect 17's choice 0..3 (FourColour).
    DeviceStatus SetFourColour(int choice);
    // Writes the 35-byte default block at the start of the current profile's block; the state
    // then mirrors it.
    DeviceStatus WriteDefaultBlock();
    // The panel's reset: selects effect 1 (when offered), restores the user modes (hook, when
    // effect 20 is offered) and writes the default block. Returns the default block's status.
    DeviceStatus ResetToDefaults();

    // The profile every following write addresses. False (and no change) outside 0..2, so the
    // keyboard never receives another profile number. Does not load: call Load afterwards.
    bool SetProfile(int profile);

    // Sends every key colour of `profile` in 18-key chunks in one transaction.
    DeviceStatus SendKeyColours(int profile);
    DeviceStatus SendKeyColours() { return SendKeyColours(m_state.profile); }
    // Sets one key's colour in the current profile's table and sends it. kStatusBadValue for an
    // index that belongs to no key button.
    DeviceStatus SetKeyColour(int index, Rgb colour);

private:
    template <typename Writes> DeviceStatus Transaction(Writes writes);
    DeviceStatus WriteByte(std::uint16_t offset, std::uint8_t value);
    DeviceStatus WriteColour(Rgb colour);
    void Decode(const LightingBlock& block);

    DeviceLink& m_link;
    const ConnectionState& m_connection;
    LightingState m_state;
    EffectList m_effects;
    EffectIndexTable m_index;
    int m_keyboardProfile = -1;
    std::uint64_t m_effectSelections = 0;
    KeyColourTable m_keyColours;
    std::function<void()> m_userModeHook;
    std::function<void()> m_userModeResetHook;
    std::function<void()> m_repaintHook;
};

} // namespace brasslane
