#pragma once

// The macro page of the key assignment dialog: the macro list with its editable name, the
// repeat count, the step list (key, action, delay; recorded rows in grey) with its in-place
// editors, the step commands, and the record button with the record-delay check box. A view
// over the dialog model's MacroEditor; the controls live on the dialog's window.

#include <QObject>
#include <QString>

#include <cstdint>

class QComboBox;
class QLineEdit;
class QTableWidget;

namespace brasslane {
class Language;
class MacroEditor;
class SettingsStore;
struct WorkingImage;
} // namespace brasslane

namespace brasslane::gui {

class ColorStatic;
class CPngButton;
class Varnel_DlgComposite;

class MacroPageView : public QObject {
    Q_OBJECT

public:
    enum Column { kKeyColumn = 0, kActionColumn = 1, kDelayColumn = 2 };

    MacroPageView(Varnel_DlgComposite& dialog, MacroEditor& editor, WorkingImage& working, Language& language,
                  SettingsStore& settings);

    // Creates and places the page's controls (hidden until the page shows).
    void Build();
    void SetVisible(bool visible);
    // Shows the editor's state: the list, the name, the repeat count, the rows, the buttons.
    void Refresh();
    void ApplyLanguage();
    // A name typed but not yet confirmed is taken before the dialog applies.
    void CommitName();

    // The record button.
    void ToggleRecording();
    // Opens the in-place editor of a cell (a double click does the same).
    void EditCell(int row, int column);
    // The in-place editor shown now, or null.
    QWidget* CellEditor() const { return m_cellEditor; }
    // Closes the in-place editor, taking its value.
    void FinishCellEdit();

    QComboBox* MacroList() const { return m_list; }
    QLineEdit* RepeatEdit() const { return m_repeat; }
    QTableWidget* StepList() const { return m_steps; }

    // The action texts of the step list: a press and a release.
    static QString PressText();
    static QString ReleaseText();

private:
    void RefreshList();
    void RefreshSteps();
    void RefreshButtons();
    void OnListChosen(int index);
    void OnRepeatEdited(const QString& text, bool finished);
    void ToggleRecordDelay();

    Varnel_DlgComposite& m_dialog;
    MacroEditor& m_editor;
    WorkingImage& m_working;
    Language& m_language;
    SettingsStore& m_settings;

    ColorStatic* m_nameLabel = nullptr;
    ColorStatic* m_repeatLabel = nullptr;
    ColorStatic* m_delayLabel = nullptr;
    QComboBox* m_list = nullptr;
    QLineEdit* m_repeat = nullptr;
    QTableWidget* m_steps = nullptr;
    CPngButton* m_add = nullptr;
    CPngButton* m_delete = nullptr;
    CPngButton* m_record = nullptr;
    CPngButton* m_deleteStep = nullptr;
    CPngButton* m_clear = nullptr;
    CPngButton* m_top = nullptr;
    CPngButton* m_up = nullptr;
    CPngButton* m_down = nullptr;
    CPngButton* m_bottom = nullptr;
    CPngButton* m_recordDelay = nullptr;

    QWidget* m_cellEditor = nullptr;
    int m_editRow = -1;
    int m_editColumn = -1;
    bool m_refreshing = false;
    bool m_visible = false;
    bool m_stoppedOnce = false; // the record button says "record again" after a recording
};

} // namespace brasslane::gui
