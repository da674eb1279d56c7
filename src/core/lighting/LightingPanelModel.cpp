#include "core/lighting/LightingPanelModel.h"

#include <algorithm>
#include <utility>

namespace brasslane {

namespace {

// Controls shown whenever the switch is on, whatever the effect.
constexpr std::array<std::string_view, 21> kAlwaysInLightingMode{
    "CONTROL_XGcombox", "CONTROL_UsbStatic", "FUNC_REPORT1",    "FUNC_REPORT2",   "FUNC_REPORT3",   "FUNC_REPORT4",
    "CONTROL_Color1",   "CONTROL_Color2",    "CONTROL_Color3",  "CONTROL_Color4", "CONTROL_Color5", "CONTROL_Color6",
    "CONTROL_Color7",   "CONTROL_Color8",    "COLOR_R",         "COLOR_G",        "COLOR_B",        "CONTROL_RGBStatic",
    "CONTROL_Network",  "CONTROL_Facebook",  "CONTROL_twitter",
};

constexpr std::array<std::string_view, 8> kUserModeControls{
    "CONTROL_umCombo",      "CONTROL_USERysStatic", "CONTROL_USERysButton",  "CONTROL_USERjsStatic",
    "CONTROL_USERjsButton", "CONTROL_USERgjStatic", "CONTROL_USERgjStaPic1", "CONTROL_USERgjStaPic2",
};

constexpr int kLevelPictureSpeedStart = 6;

std::vector<std::string_view> ShownKeys(bool switchOn, const PanelVisibility& v) {
    std::vector<std::string_view> keys{"CONTROL_DengStatic", "CONTROL_DengStaPic"};
    if (!switchOn) {
        return keys;
    }
    keys.insert(keys.end(), kAlwaysInLightingMode.begin(), kAlwaysInLightingMode.end());
    if (v.brightness) {
        keys.insert(keys.end(), {"CONTROL_LightStatic", "CONTROL_LightSlider"});
    }
    if (v.speed) {
        keys.insert(keys.end(), {"CONTROL_SpeedStatic", "CONTROL_SpeedSlider"});
    }
    if (const DirectionControls d = DirectionControlsFor(v.direction); !d.label.empty()) {
        keys.insert(keys.end(), {d.label, d.pictures[0], d.pictures[1]});
    }
    if (v.firstColour) {
        keys.insert(keys.end(), {"CONTROL_HXysStatic", "CONTROL_HXysButton"});
    }
    if (v.firstToggle) {
        keys.insert(keys.end(), {"CONTROL_HXsjsStatic", "CONTROL_HXsjsStaPic"});
    }
    if (v.secondPair) {
        keys.insert(keys.end(),
                    {"CONTROL_FYYSStatic", "CONTROL_FYYSButton", "CONTROL_FYSJSStatic", "CONTROL_FYSJSStaPic"});
    }
    if (v.fourColour) {
        for (const FourColourPicture& picture : kFourColourPictures) {
            keys.push_back(picture.key);
        }
    }
    if (v.userMode) {
        keys.insert(keys.end(), kUserModeControls.begin(), kUserModeControls.end());
    }
    return keys;
}

} // namespace

const std::array<FourColourPicture, 4> kFourColourPictures{{
    {"CONTROL_LVPIC", "lv.bmp", "lvok.bmp"},
    {"CONTROL_HUANGPIC", "huang.bmp", "huangok.bmp"},
    {"CONTROL_HONGPIC", "hong.bmp", "hongok.bmp"},
    {"CONTROL_LANPIC", "lan.bmp", "lanok.bmp"},
}};

int LevelMaximum(LevelControl control) {
    return control == LevelControl::kBrightness ? kMaxBrightness : kMaxSpeed;
}

std::string LevelPicture(LevelControl control, int position) {
    if (position < 0 || position > LevelMaximum(control)) {
        return {};
    }
    const int first = control == LevelControl::kBrightness ? 0 : kLevelPictureSpeedStart;
    return std::to_string(first + position) + ".bmp";
}

Rgb LegendColourOver(Rgb keyColour) {
    // Perceived brightness (ITU-R BT.601 weights, in thousandths): pure green and yellow read
    // as light, pure red and blue as dark.
    const int brightness = 299 * keyColour.red + 587 * keyColour.green + 114 * keyColour.blue;
    return brightness >= 140 * 1000 ? kBlack : kWhite;
}

std::array<std::string, 3> PresetFieldTexts(int preset) {
    if (preset < 0 || preset >= static_cast<int>(kColourPresets.size())) {
        return {};
    }
    const Rgb c = kColourPresets[static_cast<std::size_t>(preset)];
    return {std::to_string(c.red), std::to_string(c.green), std::to_string(c.blue)};
}

std::array<std::string, kUserModeCount> ReplaceModeName(std::array<std::string, kUserModeCount> names, int mode,
                                                        std::string_view text) {
    if (mode >= 0 && mode < kUserModeCount) {
        names[static_cast<std::size_t>(mode)] = std::string(text);
    }
    return names;
}

LightingPanelModel::LightingPanelModel(LightingModel& lighting, PerKeyColours& perKey,
                                       std::function<std::string(int)> modeName)
    : m_lighting(lighting), m_perKey(perKey), m_modeName(std::move(modeName)) {}

LightingPanelShown LightingPanelModel::Shown() const {
    const LightingState& state = m_lighting.State();
    LightingPanelShown shown;
    shown.switchOn = m_perKey.SwitchOn();
    shown.lightingSwitch = {"dengup.bmp", "dengdown.bmp", shown.switchOn};

    for (const std::uint8_t type : m_lighting.EffectIndex().Types()) {
        shown.effectNames.push_back(m_modeName ? m_modeName(type) : std::to_string(type));
    }
    const int selected = m_selectorPosition ? m_lighting.EffectIndex().TypeAt(*m_selectorPosition) : -1;
    shown.effectPosition = selected >= 0 ? *m_selectorPosition : m_lighting.EffectIndex().PositionOf(state.effect);
    // The controls follow the effect the selector shows; an effect the keyboard does not offer
    // shows none.
    shown.visibility = selected >= 0               ? VisibilityFor(selected)
                       : shown.effectPosition >= 0 ? VisibilityFor(state.effect)
                                                   : PanelVisibility{};
    shown.shownKeys = ShownKeys(shown.switchOn, shown.visibility);

    shown.brightnessPosition = std::min<int>(state.brightness, kMaxBrightness);
    shown.brightnessPicture = LevelPicture(LevelControl::kBrightness, shown.brightnessPosition);
    shown.speedPosition = state.SpeedPosition();
    shown.speedPicture = LevelPicture(LevelControl::kSpeed, shown.speedPosition);

    shown.direction = DirectionControlsFor(shown.visibility.direction);
    const bool first = state.DirectionIsFirst();
    for (std::size_t i = 0; i < 2; ++i) {
        shown.directionPictures[i] = {shown.direction.normal[i], shown.direction.chosen[i], (i == 0) == first};
    }

    shown.colour = state.colour;
    shown.colourfulToggle = {"sjsup.bmp", "sjsdown.bmp", state.colourful};
    shown.fourColour = state.fourColour <= kMaxFourColour ? state.fourColour : 0;
    for (std::size_t i = 0; i < kFourColourPictures.size(); ++i) {
        shown.fourColourPictures[i] = {kFourColourPictures[i].normal, kFourColourPictures[i].chosen,
                                       static_cast<int>(i) == shown.fourColour};
    }
    shown.reportRate = std::min<int>(state.reportRate, kMaxReportRate);

    shown.userModes = m_lighting.SupportsPerKey();
    if (shown.userModes) {
        shown.modeNames = m_perKey.ModeNames();
        shown.mode = m_perKey.CurrentMode();
        const UserModeHeader& header = m_perKey.Header();
        shown.markColour = header.markColour;
        shown.baseColour = header.baseColour;
        const bool mark = header.tool == PaintTool::kMark;
        shown.toolPictures = {PictureShown{"user1up.bmp", "user1down.bmp", !mark},
                              PictureShown{"user2up.bmp", "user2down.bmp", mark}};
    }
    return shown;
}

void LightingPanelModel::SelectEffect(int position) {
    m_selectorPosition = position;
    m_lighting.SelectEffect(position);
}

void LightingPanelModel::MoveBrightness(int position) {
    m_lighting.SetBrightness(position);
}

void LightingPanelModel::MoveSpeed(int position) {
    m_lighting.SetSpeed(position);
}

void LightingPanelModel::PressDirection(bool first) {
    m_lighting.SetDirection(first);
}

void LightingPanelModel::ChooseColour(std::optional<Rgb> colour) {
    m_lighting.SetColour(colour.value_or(kAutomaticColour));
}

void LightingPanelModel::ToggleColourful() {
    m_lighting.ToggleColourful();
}

void LightingPanelModel::PressFourColour(int choice) {
    m_lighting.SetFourColour(choice);
}

void LightingPanelModel::PressReportRate(int rate) {
    m_lighting.SetReportRate(rate);
}

std::array<std::string, 3> LightingPanelModel::PressPreset(int preset) {
    if (m_lighting.ChoosePreset(preset) == kStatusBadValue) {
        return {};
    }
    return PresetFieldTexts(preset);
}

void LightingPanelModel::ChooseMode(int mode) {
    m_perKey.SelectMode(mode);
}

void LightingPanelModel::RenameCurrentMode(std::string_view text) {
    m_perKey.RenameMode(m_perKey.CurrentMode(), text);
}

void LightingPanelModel::ChooseMarkColour(std::optional<Rgb> colour) {
    m_perKey.ChooseMarkColour(colour.value_or(kAutomaticColour));
}

void LightingPanelModel::ChooseBaseColour(std::optional<Rgb> colour) {
    m_perKey.ChooseBaseColour(colour.value_or(kAutomaticColour));
}

void LightingPanelModel::ChooseTool(PaintTool tool) {
    m_perKey.ChooseTool(tool);
}

} // namespace brasslane
