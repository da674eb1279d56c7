#pragma once

// The rules of automatic profiles in a skinned dialog: the on/off switch, the profile for other
// windows, the list of rules in the order they are tried, and one rule's fields under it, with
// add, change, remove, move up and down, and "pick from a window" (a window that had the focus
// lately fills the fields). Edits are made on a copy; Apply and OK store it in the rules file,
// keeping the lines the file could not read. Modeless: the program keeps following the focus.

#include "gui/widgets/CBaseDialog.h"
#include "gui/widgets/CPngButton.h"

#include "core/app/AutoProfileRules.h"

#include <map>
#include <string>
#include <string_view>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTableWidget;

namespace brasslane {
class AppCore;
class AutoProfileSwitcher;
} // namespace brasslane

namespace brasslane::gui {

class AutoProfileDialog : public CBaseDialog {
    Q_OBJECT

public:
    // `core` and `switcher` must outlive the dialog.
    AutoProfileDialog(AppCore& core, AutoProfileSwitcher& switcher, QWidget* parent = nullptr);

    // Shows the dialog with the rules as stored now. The first time the skin is loaded: when a
    // picture is missing the user is told which and the dialog stays closed (false).
    bool Open();
    // The status line again: the lines the file could not read, and whether the focused window
    // can be known here.
    void RefreshWindows();
    // Shows the stored switch again (the tray menu changed it).
    void Refresh();

    // The copy being edited.
    const AutoProfileSettings& Edited() const { return m_edited; }
    QTableWidget* List() const { return m_list; }
    QComboBox* MatchBox() const { return m_match; }
    QLineEdit* PatternEdit() const { return m_pattern; }
    QComboBox* ProfileBox() const { return m_profile; }
    QComboBox* DefaultBox() const { return m_default; }
    QLabel* Status() const { return m_status; }
    // "FUNC_AUTO_ENABLED", "FUNC_ADD", "FUNC_CHANGE", "FUNC_DELETE", "FUNC_UP", "FUNC_DOWN",
    // "FUNC_PICK", "CONTROL2_APPLY", "CONTROL_OK", "CONTROL_CANCEL".
    CPngButton* Button(std::string_view key) const;
    // The menu "pick from a window" shows, filled from the recent windows.
    QMenu* PickMenu();
    // Fills the fields from `window`: its class when it has one, else its program, else its title.
    void FillFrom(const ActiveWindow& window);

    // Stores the edited copy. False when the file could not be written (the user was told).
    bool ApplyChanges();

signals:
    // The rules file was written from this dialog.
    void Stored();

private:
    bool Initialise();
    CPngButton* AddButton(std::string_view key, FaceRule rule = FaceRule::Apply);
    void ApplyLanguage();
    void ShowRules(int selectRow);
    void LoadFields(int row);
    // The rule the fields describe; false (the user told why) when it cannot be stored.
    bool FieldsRule(AutoProfileRule& rule);
    void AddRule();
    void ChangeRule();
    void RemoveRule();
    void MoveRule(int by);
    void Pick();
    void SetModified(bool modified);
    int SelectedRow() const;
    QString Text(std::string_view key) const;
    QString MatchName(AutoProfileRule::Match match) const;

    AppCore& m_core;
    AutoProfileSwitcher& m_switcher;
    bool m_initialised = false;
    StatePictures m_pictures;
    AutoProfileSettings m_edited;
    std::map<std::string, CPngButton*, std::less<>> m_buttons;
    QTableWidget* m_list = nullptr;
    QComboBox* m_match = nullptr;
    QLineEdit* m_pattern = nullptr;
    QComboBox* m_profile = nullptr;
    QComboBox* m_default = nullptr;
    QLabel* m_enabledText = nullptr;
    QLabel* m_defaultText = nullptr;
    QLabel* m_status = nullptr;
    QMenu* m_pickMenu = nullptr;
};

} // namespace brasslane::gui
