#include "core/lighting/PerKeyColours.h"

#include "core/resources/IniFile.h"

namespace brasslane {

namespace {

constexpr std::string_view kSwitchFile = "wskb.ini";
constexpr std::string_view kSwitchSection = "KEYCOLOR";
constexpr std::string_view kSwitchKey = "DengCheck";

bool ValidProfile(int profile) {
    return profile >= 0 && profile < kLightingProfileCount;
}

} // namespace

PerKeyColours::PerKeyColours(LightingModel& lighting, std::filesystem::path userFolder,
                             std::filesystem::path defaultModeFile)
    : m_lighting(lighting), m_userFolder(std::move(userFolder)), m_defaultModeFile(std::move(defaultModeFile)) {}

PerKeyColours::~PerKeyColours() {
    if (m_hooksInstalled) {
        m_lighting.SetUserModeHook({});
        m_lighting.SetUserModeResetHook({});
    }
}

void PerKeyColours::InstallHooks() {
    m_lighting.SetUserModeHook([this] { FillUserModes(); });
    m_lighting.SetUserModeResetHook([this] { RestoreCurrentProfile(); });
    m_hooksInstalled = true;
}

bool PerKeyColours::ReadSwitch() {
    m_switchOn = IniFile(m_userFolder / kSwitchFile).Read(kSwitchSection, kSwitchKey, "0") == "1";
    return m_switchOn;
}

bool PerKeyColours::SetSwitch(bool on) {
    m_switchOn = on;
    return IniFile(m_userFolder / kSwitchFile).Write(kSwitchSection, kSwitchKey, on ? "1" : "0");
}

bool PerKeyColours::IsMarked(int index) const {
    return IsKeyButtonColourIndex(index) && Current().marked[static_cast<std::size_t>(index)];
}

std::array<std::string, kUserModeCount> PerKeyColours::ModeNames() const {
    const UserModeFile file = FileFor(Profile());
    std::array<std::string, kUserModeCount> names;
    for (int mode = 0; mode < kUserModeCount; ++mode) {
        names[static_cast<std::size_t>(mode)] = file.ReadModeName(mode);
    }
    return names;
}

UserModeFile PerKeyColours::FileFor(int profile) const {
    return UserModeFile(UserModeFile::PathFor(m_userFolder, profile));
}

bool PerKeyColours::ClickKey(int index) {
    if (!m_switchOn || m_lighting.State().effect != kEffectPerKey || !IsKeyButtonColourIndex(index)) {
        return false;
    }
    ProfileModes& modes = Current();
    const bool mark = modes.header.tool == PaintTool::kMark;
    const UserKeyEntry entry{mark ? modes.header.markColour : modes.header.baseColour, mark};
    modes.marked[static_cast<std::size_t>(index)] = entry.marked;
    m_lighting.SetKeyColour(index, entry.colour);
    FileFor(Profile()).WriteKeyEntry(modes.mode, index, entry);
    return true;
}

bool PerKeyColours::ChooseMarkColour(Rgb colour) {
    ProfileModes& modes = Current();
    if (colour == modes.header.markColour) {
        return false;
    }
    modes.header.markColour = colour;
    SaveHeader();
    std::vector<std::pair<int, UserKeyEntry>> recoloured;
    for (std::uint8_t index : KeyButtonColourIndices()) {
        if (modes.marked[index]) {
            m_lighting.KeyColours().Set(Profile(), index, colour);
            recoloured.emplace_back(index, UserKeyEntry{colour, true});
        }
    }
    FileFor(Profile()).WriteKeyEntries(modes.mode, recoloured);
    m_lighting.SendKeyColours();
    return true;
}

void PerKeyColours::ChooseBaseColour(Rgb colour) {
    Current().header.baseColour = colour;
    SaveHeader();
}

void PerKeyColours::ChooseTool(PaintTool tool) {
    Current().header.tool = tool;
    SaveHeader();
}

void PerKeyColours::SaveHeader() {
    const ProfileModes& modes = Current();
    FileFor(Profile()).WriteModeHeader(modes.mode, modes.header);
}

void PerKeyColours::LoadMode(int profile) {
    if (!ValidProfile(profile)) {
        return;
    }
    const UserModeFile file = FileFor(profile);
    ProfileModes& modes = m_profiles[static_cast<std::size_t>(profile)];
    modes.mode = file.ReadCurrentMode();
    modes.header = file.ReadModeHeader(modes.mode);
    modes.marked.fill(false);
    for (std::uint8_t index : KeyButtonColourIndices()) {
        const UserKeyEntry entry = file.ReadKeyEntry(modes.mode, index);
        m_lighting.KeyColours().Set(profile, index, entry.colour);
        modes.marked[index] = entry.marked;
    }
}

DeviceStatus PerKeyColours::LoadAndSendMode(int profile) {
    if (!ValidProfile(profile)) {
        return kStatusBadValue;
    }
    LoadMode(profile);
    return m_lighting.SendKeyColours(profile);
}

DeviceStatus PerKeyColours::FillUserModes() {
    return LoadAndSendMode(Profile());
}

DeviceStatus PerKeyColours::SelectMode(int mode) {
    if (mode < 0 || mode >= kUserModeCount) {
        return kStatusBadValue;
    }
    FileFor(Profile()).WriteCurrentMode(mode);
    return FillUserModes();
}

bool PerKeyColours::RenameMode(int mode, std::string_view name) {
    return FileFor(Profile()).WriteModeName(mode, name);
}

void PerKeyColours::RestoreFile(int profile) {
    m_fileError.clear();
    FileFor(profile).RestoreFrom(m_defaultModeFile, &m_fileError);
}

DeviceStatus PerKeyColours::RestoreCurrentProfile() {
    RestoreFile(Profile());
    return FillUserModes();
}

DeviceStatus PerKeyColours::RestoreAllProfiles(int keyboardProfile) {
    const int finalProfile = ValidProfile(keyboardProfile) ? keyboardProfile : Profile();
    DeviceStatus first = kStatusSuccess;
    std::string firstError;
    for (int profile = 0; profile < kLightingProfileCount; ++profile) {
        m_lighting.SetProfile(profile);
        RestoreFile(profile);
        if (firstError.empty()) {
            firstError = m_fileError;
        }
        const DeviceStatus status = FillUserModes();
        if (first == kStatusSuccess) {
            first = status;
        }
    }
    m_fileError = firstError;
    m_lighting.SetProfile(finalProfile);
    return first;
}

} // namespace brasslane
