#pragma once

// The firmware update dialog: the chosen updater's path, Open (choose the updater), Back up
// (save the working image to a profile file), Update (boot mode, then start the updater) and
// Cancel update. A thin view over FirmwareUpdateModel, which keeps the chosen path between
// showings. Created once by the main window when another program first asks for it, then shown
// application-modal any number of times.

#include "gui/widgets/CBaseDialog.h"
#include "gui/widgets/CPngButton.h"

#include <map>
#include <string>
#include <string_view>

class QComboBox;

namespace brasslane {
class AppCore;
class FirmwareUpdateModel;
} // namespace brasslane

namespace brasslane::gui {

class ColorStatic;

class CVarnel_DlgUpdate : public CBaseDialog {
    Q_OBJECT

public:
    // `core` and `model` must outlive the dialog.
    CVarnel_DlgUpdate(AppCore& core, FirmwareUpdateModel& model, QWidget* parent = nullptr);

    // Shows the dialog and returns at once. The first time its skin and both picture sheets are
    // loaded: when one is missing the user is told which and the dialog stays closed (false).
    bool Open();
    // Closes it, keeping the chosen path (the close sequence).
    void CloseDialog();
    bool IsOpen() const { return isVisible(); }

    // "CONTROL_UPStatic": the chosen path as shown.
    QString ShownPath() const;
    // "CONTROL_UPButton", "CONTROL_CUPButton", "CONTROL_OPENButton", "CONTROL_BACKUPButton".
    CPngButton* Button(std::string_view key) const;

public slots:
    void reject() override;

private:
    bool Initialise();
    CPngButton* AddButton(std::string_view key, const char* caption);
    void ShowPath();
    void ChooseUpdater();
    void Update();
    void CancelUpdate();
    void Backup();

    AppCore& m_core;
    FirmwareUpdateModel& m_model;
    bool m_initialised = false;
    StatePictures m_pictures;
    ColorStatic* m_path = nullptr;
    QComboBox* m_combo = nullptr;
    std::map<std::string, CPngButton*, std::less<>> m_buttons;
};

} // namespace brasslane::gui
