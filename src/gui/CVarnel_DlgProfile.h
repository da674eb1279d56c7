#pragma once

// The profile manager: a skinned dialog with a list of the keyboard's profiles and the profile
// files the user added (check box, name, folder), buttons to create, add and remove files, and
// Apply / OK / Cancel. A thin view over ProfileManagerModel. Created once by the main window
// and shown application-modal any number of times; its list is rebuilt on every opening.

#include "gui/widgets/CBaseDialog.h"
#include "gui/widgets/CPngButton.h"

#include <map>
#include <string>
#include <string_view>

class QTableWidget;

namespace brasslane {
class AppCore;
class ProfileManagerModel;
} // namespace brasslane

namespace brasslane::gui {

class CVarnel_DlgProfile : public CBaseDialog {
    Q_OBJECT

public:
    // `core` and `model` must outlive the dialog.
    CVarnel_DlgProfile(AppCore& core, ProfileManagerModel& model, QWidget* parent = nullptr);

    // Opens the manager and returns at once; the rest of the program waits for it. The first
    // time the skin and the three button pictures are loaded: when one is missing the user is
    // told which and the dialog stays closed (false). True when it is open (also when it
    // already was).
    bool Open();
    // Closes without applying: Cancel, the keyboard leaving, the close sequence. Nothing
    // happens when it is not open.
    void CloseDialog();
    bool IsOpen() const;

    QTableWidget* List() const { return m_list; }
    // "FUNC_ADD", "FUNC_LOAD", "FUNC_DELETE", "CONTROL2_APPLY", "CONTROL_OK", "CONTROL_CANCEL".
    CPngButton* Button(std::string_view key) const;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool Initialise();
    CPngButton* AddButton(std::string_view key);
    // Shows the model's rows and flag.
    void Refresh();
    void RefreshChecks();
    void NewFile();
    void AddFile();
    void RemoveSelected();
    void ApplyChanges();
    void Ok();

    AppCore& m_core;
    ProfileManagerModel& m_model;
    bool m_initialised = false;
    StatePictures m_pictures;
    QTableWidget* m_list = nullptr;
    std::map<std::string, CPngButton*, std::less<>> m_buttons;
    // Set while the list is filled from the model, so that its changes are not taken as clicks.
    bool m_filling = false;
};

} // namespace brasslane::gui
