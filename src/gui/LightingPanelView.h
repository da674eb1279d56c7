#pragma once

// The lighting panel of the main window: forwards every lighting control's click, slider move
// and text edit to the LightingPanelModel and paints what the model says the panel shows.
// The controls themselves are made and placed from "Skins\Main.ini" by the main window; this
// view finds them by their layout keys.

#include "core/lighting/LightingPanelModel.h"

#include <QObject>
#include <QPixmap>
#include <QString>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QComboBox;
class QWidget;

namespace brasslane {
class AppCore;
class MainWindowModel;
} // namespace brasslane

namespace brasslane::gui {

class CPngButton;

class LightingPanelView : public QObject {
    Q_OBJECT

public:
    using ControlLookup = std::function<QWidget*(std::string_view key)>;

    // `core` and `model` must outlive the view. `control` finds a control of the main window by
    // its layout key; `lightingKeys` are the keys of every lighting control the window made.
    // `repaintKeys` redraws the key buttons (after a change of the keys' own colours).
    // `webSite` is the maker's site the "CONTROL_Network" button opens.
    LightingPanelView(AppCore& core, MainWindowModel& model, ControlLookup control,
                      std::vector<std::string> lightingKeys, std::function<void()> repaintKeys, QString webSite,
                      QObject* parent = nullptr);
    ~LightingPanelView() override;

    LightingPanelModel& Panel() { return m_panel; }

    // Rebuilds the panel from the lighting state (after a load, a switch change or a reset):
    // every control's visibility, picture, position and colour.
    void Refresh();

    // Paints a key button in its lighting colour with a legend that stays readable over it;
    // nullopt clears the colour.
    static void PaintKey(CPngButton& button, std::optional<Rgb> colour);

    // The web page a web button opens (by layout key); empty for other keys.
    QString WebAddress(std::string_view key) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Connect();
    // Shows what the panel model says, keeping the effect the selector shows.
    void Paint();
    QWidget* Control(std::string_view key) const { return m_control(key); }
    const QPixmap& Picture(std::string_view name);
    void ShowPicture(std::string_view key, const PictureShown& shown);
    void FillCombo(QComboBox* combo, const std::vector<QString>& entries, int selected);
    void AfterKeyColoursChanged();

    AppCore& m_core;
    MainWindowModel& m_model;
    ControlLookup m_control;
    std::vector<std::string> m_lightingKeys;
    std::function<void()> m_repaintKeys;
    QString m_webSite;
    LightingPanelModel m_panel;
    std::filesystem::path m_skins;
    std::map<std::string, QPixmap, std::less<>> m_pictures;
};

} // namespace brasslane::gui
