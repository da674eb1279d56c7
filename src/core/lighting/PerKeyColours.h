#pragma once

// Painting keys in the per-key user mode (effect 20) and the user modes behind it. Holds the
// lighting switch, each profile's current user mode with its mark colour, base colour, tool
// and marked keys, and keeps the mode files and the keyboard in step with every change: a
// painted key is stored in its mode file and sent at once, there is no save step.
//
// Keys are named by their key colour index (KeyColourTable.h). Used from the user-interface
// thread only.

#include "core/lighting/KeyColourTable.h"
#include "core/lighting/LightingModel.h"
#include "core/lighting/UserModeFile.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace brasslane {

class PerKeyColours {
public:
    // `lighting` must outlive this object. `userFolder` holds "wskb.ini" and the mode files;
    // `defaultModeFile` is the installed default copied over a profile's mode file on reset.
    PerKeyColours(LightingModel& lighting, std::filesystem::path userFolder, std::filesystem::path defaultModeFile);
    ~PerKeyColours();
    PerKeyColours(const PerKeyColours&) = delete;
    PerKeyColours& operator=(const PerKeyColours&) = delete;

    // Gives the lighting model its user-mode hooks (fill and send on connection, restore on
    // reset); the destructor takes them back.
    void InstallHooks();

    // The lighting switch, kept in "wskb.ini" [KEYCOLOR] DengCheck ("1" on; anything else or
    // missing off). ReadSwitch reads the file; SetSwitch writes it (false when it cannot).
    bool ReadSwitch();
    bool SwitchOn() const { return m_switchOn; }
    bool SetSwitch(bool on);

    // The current profile's (the lighting model's profile) user mode as last loaded.
    int CurrentMode() const { return Current().mode; }
    const UserModeHeader& Header() const { return Current().header; }
    bool IsMarked(int index) const;
    // The names of modes 0..9 of the current profile, read from its file.
    std::array<std::string, kUserModeCount> ModeNames() const;
    UserModeFile FileFor(int profile) const;

    // A click on the key at `index` with the switch on: with effect 20 selected, paints it with
    // the tool's colour (mark tool: mark colour and marked; base tool: base colour and not
    // marked), sends it and stores it in the current mode. False when nothing happened (switch
    // off, another effect, or a key without a colour).
    bool ClickKey(int index);
    // A new mark colour recolours every marked key of the current profile, stores them and the
    // header, and sends the whole profile once. The same colour again does nothing (false).
    bool ChooseMarkColour(Rgb colour);
    // Stores the base colour or tool in the header; no key changes.
    void ChooseBaseColour(Rgb colour);
    void ChooseTool(PaintTool tool);

    // Reads `profile`'s current mode, its header and the entries of every key with a colour into
    // the lighting model's key colour table and the marked flags.
    void LoadMode(int profile);
    // LoadMode, then sends the profile's key colours in one transaction.
    DeviceStatus LoadAndSendMode(int profile);
    // Fills the user-mode list for the current profile: loads and sends its current mode.
    DeviceStatus FillUserModes();
    // Makes `mode` (0..9) the current profile's current mode, loads and sends it.
    DeviceStatus SelectMode(int mode);
    // Writes `name` as mode `mode`'s name of the current profile; the others stay.
    bool RenameMode(int mode, std::string_view name);

    // Reset to defaults: the current profile's mode file becomes a copy of the installed default,
    // then the list is filled again and the current mode sent.
    DeviceStatus RestoreCurrentProfile();
    // The keyboard reset its settings: all three mode files become copies of the default and
    // each profile's current mode is sent in turn; `keyboardProfile` (0..2) is the current
    // profile afterwards (the one before when it is out of range). Returns the first failing
    // status.
    DeviceStatus RestoreAllProfiles(int keyboardProfile);
    // The reason the last copy of the default failed, empty when it worked.
    const std::string& LastFileError() const { return m_fileError; }

private:
    struct ProfileModes {
        int mode = 0;
        UserModeHeader header;
        std::array<bool, kKeyColourSlots> marked{};
    };

    int Profile() const { return m_lighting.State().profile; }
    const ProfileModes& Current() const { return m_profiles[static_cast<std::size_t>(Profile())]; }
    ProfileModes& Current() { return m_profiles[static_cast<std::size_t>(Profile())]; }
    void SaveHeader();
    void RestoreFile(int profile);

    LightingModel& m_lighting;
    std::filesystem::path m_userFolder;
    std::filesystem::path m_defaultModeFile;
    bool m_switchOn = false;
    bool m_hooksInstalled = false;
    std::array<ProfileModes, kLightingProfileCount> m_profiles{};
    std::string m_fileError;
};

} // namespace brasslane
