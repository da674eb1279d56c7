#include "gui/MacroPageView.h"

#include "gui/Varnel_DlgComposite.h"
#include "gui/widgets/CArrowComboBox.h"
#include "gui/widgets/CPngButton.h"
#include "gui/widgets/ColorStatic.h"

#include "core/keys/KeyTable.h"
#include "core/keys/MacroEditor.h"
#include "core/keys/RecordDelaySetting.h"
#include "core/resources/Language.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>

#include <optional>
#include <span>

namespace brasslane::gui {

namespace {

// Recorded and typed steps alike are shown in grey.
const QColor kRowText(0xA8, 0xB0, 0xBA);

QString Name(const MacroBlock& macro) {
    return QString::fromStdU16String(macro.name);
}

} // namespace

MacroPageView::MacroPageView(Varnel_DlgComposite& dialog, MacroEditor& editor, WorkingImage& working,
                             Language& language, SettingsStore& settings)
    : QObject(&dialog), m_dialog(dialog), m_editor(editor), m_working(working), m_language(language),
      m_settings(settings) {}

QString MacroPageView::PressText() {
    return QStringLiteral("\u2193");
}

QString MacroPageView::ReleaseText() {
    return QStringLiteral("  \u2191");
}

void MacroPageView::Build() {
    const auto label = [this](std::string_view key) {
        auto* text = new ColorStatic(&m_dialog);
        m_dialog.Place(*text, key);
        m_dialog.Remember(key, text);
        return text;
    };
    m_nameLabel = label("MARCO_NAME_SETTING");
    m_repeatLabel = label("FUNC_MACRO_CYCLES_PROMPT");
    m_delayLabel = label("FUNC_MACRO_RECORD_DELAY2");

    m_list = new CArrowComboBox(&m_dialog);
    m_list->setEditable(true);
    m_list->setInsertPolicy(QComboBox::NoInsert);
    m_list->lineEdit()->setMaxLength(static_cast<int>(kMaxMacroNameLength));
    m_dialog.Place(*m_list, "FUNC_MACRO_LIST");
    m_dialog.Remember("FUNC_MACRO_LIST", m_list);
    connect(m_list, &QComboBox::activated, this, &MacroPageView::OnListChosen);
    connect(m_list->lineEdit(), &QLineEdit::editingFinished, this, &MacroPageView::CommitName);

    m_repeat = new QLineEdit(&m_dialog);
    m_repeat->setAlignment(Qt::AlignCenter);
    m_dialog.Place(*m_repeat, "FUNC_MACRO_CYCLES");
    m_dialog.Remember("FUNC_MACRO_CYCLES", m_repeat);
    connect(m_repeat, &QLineEdit::textEdited, this, [this](const QString& text) { OnRepeatEdited(text, false); });
    connect(m_repeat, &QLineEdit::editingFinished, this, [this] { OnRepeatEdited(m_repeat->text(), true); });

    m_steps = new QTableWidget(&m_dialog);
    m_steps->setColumnCount(3);
    m_steps->horizontalHeader()->hide();
    m_steps->verticalHeader()->hide();
    m_steps->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_steps->setSelectionMode(QAbstractItemView::SingleSelection);
    m_steps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_steps->setShowGrid(false);
    m_steps->verticalHeader()->setDefaultSectionSize(24);
    m_dialog.Place(*m_steps, "FUNC_MACRO_LIST2");
    const int width = m_steps->width() - 18;
    m_steps->setColumnWidth(kKeyColumn, width * 50 / 100);
    m_steps->setColumnWidth(kActionColumn, width * 18 / 100);
    m_steps->horizontalHeader()->setStretchLastSection(true);
    m_dialog.Remember("FUNC_MACRO_LIST2", m_steps);
    connect(m_steps, &QTableWidget::itemSelectionChanged, this, [this] {
        if (!m_refreshing) {
            const QList<QTableWidgetItem*> selected = m_steps->selectedItems();
            m_editor.SelectStep(selected.isEmpty() ? -1 : selected.front()->row());
            RefreshButtons();
        }
    });
    connect(m_steps, &QTableWidget::cellDoubleClicked, this, &MacroPageView::EditCell);

    const auto button = [this](std::string_view key, bool toggle, auto handler) {
        CPngButton* made = m_dialog.AddSkinnedButton(key, toggle);
        connect(made, &CPngButton::clicked, this, handler);
        return made;
    };
    m_add = button("FUNC_MACRO_ADD", false, [this] {
        CommitName();
        m_editor.NewMacro();
        Refresh();
    });
    m_delete = button("FUNC_MACRO_DELETE", false, [this] {
        m_editor.DeleteMacro(m_working);
        Refresh();
    });
    // While a recording runs the button keeps its pressed face; without a macro it shows dimmed.
    m_record = button("FUNC_MACRO_RECORD", false, [this] { ToggleRecording(); });
    m_deleteStep = button("FUNC_MACRO_DELETE2", false, [this] {
        m_editor.DeleteStep();
        Refresh();
    });
    m_clear = button("FUNC_MACRO_CLEAR", false, [this] {
        m_editor.ClearSteps();
        Refresh();
    });
    const std::pair<const char*, StepMove> moves[] = {{"FUNC_MACRO_UP_TOP", StepMove::kTop},
                                                      {"FUNC_MACRO_UP", StepMove::kUp},
                                                      {"FUNC_MACRO_DOWN", StepMove::kDown},
                                                      {"FUNC_MACRO_DOWN_BOTTOM", StepMove::kBottom}};
    CPngButton** targets[] = {&m_top, &m_up, &m_down, &m_bottom};
    for (std::size_t i = 0; i < 4; ++i) {
        const StepMove move = moves[i].second;
        *targets[i] = button(moves[i].first, false, [this, move] {
            m_editor.MoveStep(move);
            Refresh();
        });
    }
    m_recordDelay = button("FUNC_MACRO_RECORD_DELAY", true, [this] { ToggleRecordDelay(); });
    SetVisible(false);
}

void MacroPageView::ApplyLanguage() {
    m_nameLabel->setText(m_dialog.Text("MACRO_NAME_SETTING"));
    m_repeatLabel->setText(m_dialog.Text("MACRO_CYCLES"));
    m_delayLabel->setText(m_dialog.Text("RECORD_DELAY"));
    m_deleteStep->setText(m_dialog.Text("A_DELETE"));
    m_clear->setText(m_dialog.Text("A_CLEAR"));
    m_top->setText(m_dialog.Text("A_TOP"));
    m_up->setText(m_dialog.Text("A_UP"));
    m_down->setText(m_dialog.Text("A_DOWN"));
    m_bottom->setText(m_dialog.Text("A_BOTTOM"));
    m_record->setText(m_dialog.Text(m_editor.Recording() ? "MACRO_ACTION_STOP_RECORD" : "A_RECORD"));
}

void MacroPageView::SetVisible(bool visible) {
    m_visible = visible;
    for (QWidget* control : std::initializer_list<QWidget*>{m_nameLabel, m_repeatLabel, m_delayLabel, m_list, m_repeat,
                                                            m_steps, m_add, m_delete, m_record, m_deleteStep, m_clear,
                                                            m_top, m_up, m_down, m_bottom, m_recordDelay}) {
        control->setVisible(visible);
    }
    if (!visible) {
        FinishCellEdit();
    }
}

void MacroPageView::Refresh() {
    m_refreshing = true;
    RefreshList();
    RefreshSteps();
    m_refreshing = false;
    RefreshButtons();
    m_dialog.UpdateKeyboardGrab();
}

void MacroPageView::RefreshList() {
    const std::vector<MacroBlock>& macros = m_editor.Macros();
    bool same = m_list->count() == static_cast<int>(macros.size());
    for (int i = 0; same && i < m_list->count(); ++i) {
        same = m_list->itemText(i) == Name(macros[static_cast<std::size_t>(i)]);
    }
    if (!same) {
        m_list->clear();
        for (const MacroBlock& macro : macros) {
            m_list->addItem(Name(macro));
        }
    }
    m_list->setCurrentIndex(m_editor.Selected());
    if (!m_list->lineEdit()->hasFocus() || !m_list->lineEdit()->isModified()) {
        const MacroBlock* selected = m_editor.SelectedMacro();
        m_list->lineEdit()->setText(selected != nullptr ? Name(*selected) : QString());
        m_list->lineEdit()->setModified(false);
    }
    const QString repeat = QString::number(m_editor.RepeatCount());
    if (m_repeat->text() != repeat && !m_repeat->hasFocus()) {
        m_repeat->setText(repeat);
    }
}

void MacroPageView::RefreshSteps() {
    const std::span<const MacroStep> steps = m_editor.Steps();
    if (m_cellEditor != nullptr && m_editRow >= static_cast<int>(steps.size())) {
        FinishCellEdit();
    }
    m_steps->setRowCount(static_cast<int>(steps.size()));
    for (int row = 0; row < static_cast<int>(steps.size()); ++row) {
        const MacroStep& step = steps[static_cast<std::size_t>(row)];
        const QString texts[3] = {QString::fromStdString(KeyDisplayName(step.key, m_language)),
                                  step.state == 1 ? ReleaseText() : PressText(), QString::number(step.delay)};
        for (int column = 0; column < 3; ++column) {
            QTableWidgetItem* item = m_steps->item(row, column);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                item->setForeground(kRowText);
                m_steps->setItem(row, column, item);
            }
            if (item->text() != texts[column]) {
                item->setText(texts[column]);
            }
        }
    }
    const int selected = m_editor.SelectedStep();
    if (selected >= 0) {
        m_steps->selectRow(selected);
        m_steps->scrollToItem(m_steps->item(selected, 0));
    } else {
        m_steps->clearSelection();
    }
}

void MacroPageView::RefreshButtons() {
    const bool shown = m_editor.SelectedMacro() != nullptr;
    const bool recording = m_editor.Recording();
    const bool row = shown && m_editor.SelectedStep() >= 0;
    m_list->setEnabled(!recording);
    m_add->setEnabled(!recording);
    m_delete->setEnabled(!recording && shown);
    m_record->setEnabled(shown);
    m_record->setDown(recording);
    m_record->setText(m_dialog.Text(recording       ? "MACRO_ACTION_STOP_RECORD"
                                    : m_stoppedOnce ? "MACRO_ACTION_RECORD"
                                                    : "A_RECORD"));
    m_deleteStep->setEnabled(row);
    m_clear->setEnabled(shown && !m_editor.Steps().empty());
    for (CPngButton* move : {m_top, m_up, m_down, m_bottom}) {
        move->setEnabled(row);
    }
    m_repeat->setEnabled(shown);
    m_steps->setEnabled(shown);
    m_recordDelay->SetSelected(m_editor.RecordDelayMode() == kRecordMeasuredPauses);
}

void MacroPageView::OnListChosen(int index) {
    if (m_refreshing) {
        return;
    }
    m_list->lineEdit()->setModified(false);
    m_editor.Select(index);
    Refresh();
}

void MacroPageView::CommitName() {
    if (m_refreshing || !m_list->lineEdit()->isModified()) {
        return;
    }
    m_list->lineEdit()->setModified(false);
    const QString typed = m_list->lineEdit()->text();
    m_editor.Rename(typed.toStdU16String());
    Refresh();
}

void MacroPageView::OnRepeatEdited(const QString& text, bool finished) {
    // While typing, an empty field is left alone so that a number can be typed afresh.
    if (!finished && text.isEmpty()) {
        return;
    }
    const QString corrected = QString::number(m_editor.SetRepeatText(text.toStdString()));
    if (m_repeat->text() != corrected) {
        m_repeat->setText(corrected);
    }
}

void MacroPageView::ToggleRecording() {
    FinishCellEdit();
    if (m_editor.Recording()) {
        m_editor.StopRecording();
        m_stoppedOnce = true;
    } else {
        CommitName();
        m_editor.StartRecording(m_dialog.Now());
    }
    Refresh();
}

void MacroPageView::ToggleRecordDelay() {
    m_editor.SetRecordDelayMode(ToggleRecordDelayMode(m_settings, m_language, m_editor.RecordDelayMode()));
    RefreshButtons();
}

void MacroPageView::EditCell(int row, int column) {
    const std::span<const MacroStep> steps = m_editor.Steps();
    if (row < 0 || row >= static_cast<int>(steps.size())) {
        return;
    }
    FinishCellEdit();
    const MacroStep& step = steps[static_cast<std::size_t>(row)];
    m_editor.SelectStep(row);
    QWidget* editor = nullptr;
    switch (column) {
    case kKeyColumn: {
        auto* keys = new QComboBox;
        for (std::uint16_t id = 0; id < kStepKeyListSize; ++id) {
            keys->addItem(QString::fromStdString(KeyIdDisplayName(id, m_language)));
        }
        const std::uint16_t current = KeyIdOf(step.key);
        keys->setCurrentIndex(current < kStepKeyListSize ? current : -1);
        connect(keys, &QComboBox::activated, this,
                [this] { QTimer::singleShot(0, this, [this] { FinishCellEdit(); }); });
        editor = keys;
        break;
    }
    case kActionColumn: {
        auto* actions = new QComboBox;
        actions->addItems({PressText(), ReleaseText()});
        actions->setCurrentIndex(step.state == 1 ? 1 : 0);
        connect(actions, &QComboBox::activated, this,
                [this] { QTimer::singleShot(0, this, [this] { FinishCellEdit(); }); });
        editor = actions;
        break;
    }
    case kDelayColumn: {
        // Editing a pause ends a recording: the keys typed go into the field.
        m_editor.BeginDelayEdit();
        auto* delay = new QLineEdit(QString::number(step.delay));
        delay->selectAll();
        connect(delay, &QLineEdit::editingFinished, this,
                [this] { QTimer::singleShot(0, this, [this] { FinishCellEdit(); }); });
        editor = delay;
        break;
    }
    default:
        m_editor.RefuseColumnEdit();
        return;
    }
    m_cellEditor = editor;
    m_editRow = row;
    m_editColumn = column;
    m_steps->setCellWidget(row, column, editor);
    editor->setFocus();
    RefreshButtons();
    m_dialog.UpdateKeyboardGrab();
}

void MacroPageView::FinishCellEdit() {
    QWidget* editor = m_cellEditor;
    if (editor == nullptr) {
        return;
    }
    m_cellEditor = nullptr;
    const int row = m_editRow;
    const int column = m_editColumn;
    std::optional<QString> delayText;
    int chosen = -1;
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        chosen = combo->currentIndex();
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        delayText = line->text();
    }
    // The table deletes the editor; its signals must not come back here meanwhile.
    editor->blockSignals(true);
    m_steps->removeCellWidget(row, column);
    if (column == kKeyColumn && chosen >= 0) {
        m_editor.SetStepKeyId(row, static_cast<std::uint16_t>(chosen));
    } else if (column == kActionColumn && chosen >= 0) {
        m_editor.SetStepState(row, static_cast<std::uint16_t>(chosen));
    } else if (column == kDelayColumn && delayText) {
        m_editor.SetStepDelayText(row, delayText->toStdString());
    }
    Refresh();
}

} // namespace brasslane::gui
