#pragma once

// The lighting panel without a window: what every control of the panel shows for the current
// lighting state and the lighting switch (visibility, pictures, positions, colours, the user
// modes), and the panel's actions, each sent to the keyboard at once through the lighting
// model and the per-key colours. The main window's panel view only places the controls and
// paints what Shown() says. Used from the user-interface thread only.

#include "core/lighting/LightingModel.h"
#include "core/lighting/LightingPanelRules.h"
#include "core/lighting/PerKeyColours.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brasslane {

// A picture control that shows one of two bitmaps.
struct PictureShown {
    std::string_view normal; // bitmap when not chosen
    std::string_view chosen; // bitmap when chosen
    bool isChosen = false;

    std::string_view Picture() const { return isChosen ? chosen : normal; }
    bool operator==(const PictureShown&) const = default;
};

// Which of the two picture sliders.
enum class LevelControl { kBrightness, kSpeed };

// The level picture ("0.bmp" .. "25.bmp") the slider shows at `position`: the brightness
// control uses 0..5, the speed control 6..10 (its position, not the speed byte). Empty for a
// position outside the control's range.
std::string LevelPicture(LevelControl control, int position);
// The slider's highest position: 5 for brightness, 4 for speed.
int LevelMaximum(LevelControl control);

// The four pictures of effect 17 in the order green, yellow, red, blue (the byte's values),
// with their layout keys.
struct FourColourPicture {
    std::string_view key;
    std::string_view normal;
    std::string_view chosen;
};
extern const std::array<FourColourPicture, 4> kFourColourPictures;

// The colour a colour button stands for while it has no explicit colour: white, the colour the
// keyboard's default lighting uses.
constexpr Rgb kAutomaticColour = kWhite;

// The legend colour that stays readable on a key button lit in `keyColour`: black over light
// colours (yellow, green, white), white over dark ones (red, blue, black).
Rgb LegendColourOver(Rgb keyColour);

// The text of the three colour value fields after preset `preset` (0..7) was taken: its red,
// green and blue in decimal. Empty texts for a preset out of range.
std::array<std::string, 3> PresetFieldTexts(int preset);

// The user-mode list after the edit field's text replaced entry `mode`; other entries stay. A
// mode outside 0..9 changes nothing.
std::array<std::string, kUserModeCount> ReplaceModeName(std::array<std::string, kUserModeCount> names, int mode,
                                                        std::string_view text);

// Everything the panel shows.
struct LightingPanelShown {
    bool switchOn = false;
    PictureShown lightingSwitch; // "dengup.bmp" off, "dengdown.bmp" on
    // Layout keys of the lighting controls shown now; every other lighting control is hidden.
    std::vector<std::string_view> shownKeys;

    std::vector<std::string> effectNames; // the effect selector, in the keyboard's order
    int effectPosition = -1;              // the state's effect in the selector; -1 when not offered
    PanelVisibility visibility;

    int brightnessPosition = 0;
    std::string brightnessPicture;
    int speedPosition = 0;
    std::string speedPicture;

    // Direction pictures for the effect: the layout keys of the variant in use and what each of
    // the two pictures shows. Empty keys when the effect has no direction.
    DirectionControls direction;
    std::array<PictureShown, 2> directionPictures;

    Rgb colour;                                     // both colour buttons of the effects (first and second pair)
    PictureShown colourfulToggle;                   // "sjsup.bmp" / "sjsdown.bmp"
    int fourColour = 0;                             // 0..3, green, yellow, red, blue
    std::array<PictureShown, 4> fourColourPictures; // in kFourColourPictures' order
    int reportRate = 0;                             // the report-rate button marked (0..3)

    // The user modes (effect 20): names of the ten modes, the current one, its colours and tool.
    bool userModes = false; // the keyboard offers the per-key effect
    std::array<std::string, kUserModeCount> modeNames;
    int mode = 0;
    Rgb markColour;
    Rgb baseColour;
    std::array<PictureShown, 2> toolPictures; // base tool, mark tool
};

class LightingPanelModel {
public:
    // Both must outlive the model. `modeName` gives the "MODE" text of an effect.
    LightingPanelModel(LightingModel& lighting, PerKeyColours& perKey, std::function<std::string(int)> modeName);

    // What the panel shows for the lighting state, the switch and the user modes now.
    LightingPanelShown Shown() const;

    // The panel is rebuilt from the lighting state (after a load): the selector shows the
    // state's effect again.
    void ForgetSelection() { m_selectorPosition.reset(); }

    // The actions; each sends its change in one transaction and updates the state.
    // The selector keeps showing the chosen effect, with its controls, even where nothing is
    // sent for it (effect 19) and the state keeps the effect before.
    void SelectEffect(int position);
    void MoveBrightness(int position);
    void MoveSpeed(int position);
    void PressDirection(bool first);
    // A colour button reported `colour`, or nullopt for its automatic colour.
    void ChooseColour(std::optional<Rgb> colour);
    void ToggleColourful();
    void PressFourColour(int choice);
    void PressReportRate(int rate);
    // Sends preset 0..7 and gives the texts the colour value fields show.
    std::array<std::string, 3> PressPreset(int preset);

    // The user modes.
    void ChooseMode(int mode);
    // The edit field of the user-mode list now reads `text`: it becomes the current mode's name.
    void RenameCurrentMode(std::string_view text);
    void ChooseMarkColour(std::optional<Rgb> colour);
    void ChooseBaseColour(std::optional<Rgb> colour);
    void ChooseTool(PaintTool tool);

private:
    LightingModel& m_lighting;
    PerKeyColours& m_perKey;
    std::function<std::string(int)> m_modeName;
    std::optional<int> m_selectorPosition;
};

} // namespace brasslane
