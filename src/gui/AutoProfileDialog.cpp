#include "gui/AutoProfileDialog.h"

#include "gui/DialogSkinCheck.h"
#include "gui/MessageBox.h"
#include "gui/widgets/SkinPictures.h"

#include "core/app/AppCore.h"
#include "core/app/AutoProfileSwitcher.h"
#include "core/base/Keyboard.h"
#include "core/resources/Language.h"

#include <QComboBox>
#include <QCursor>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>

#include <array>

namespace brasslane::gui {

namespace {

constexpr int kMatchColumn = 0;
constexpr int kTextColumn = 1;
constexpr int kProfileColumn = 2;
constexpr std::array<int, 3> kColumnWidths{120, 290, 80};

const QString kNormalPicture = QStringLiteral("AutoProfile_normal.jpg");
const QString kOverPicture = QStringLiteral("AutoProfile_over.jpg");
const QString kDownPicture = QStringLiteral("AutoProfile_down.jpg");

constexpr std::array<AutoProfileRule::Match, 3> kMatches{AutoProfileRule::Match::kClass, AutoProfileRule::Match::kExe,
                                                         AutoProfileRule::Match::kTitle};

// The plain widgets sit on the wells the skin draws; they bring only text and lines.
const QString kStyle = QStringLiteral(
    "QLabel { color: #DADFE6; font-size: 13px; }"
    "QLineEdit, QComboBox { background: transparent; color: #DADFE6; border: none; font-size: 13px;"
    " selection-background-color: #D99A3A; selection-color: #1E180F; padding: 0 8px; }"
    "QComboBox { background: #171B21; border: 1px solid #2A313A; border-radius: 6px; }"
    "QComboBox QAbstractItemView { background: #1D222A; color: #DADFE6; border: 1px solid #3A424D; }"
    "QComboBox::drop-down { border: none; width: 18px; }"
    "QTableWidget { background: #101317; color: #DADFE6; gridline-color: #2A313A; border: none; outline: 0;"
    " selection-background-color: #9E681E; selection-color: #F2EFE8; }"
    "QHeaderView { background: #171B21; }"
    "QHeaderView::section { background: #171B21; color: #86909C; border: none; border-right: 1px solid #2A313A;"
    " border-bottom: 1px solid #2A313A; padding: 3px; }");

int MatchIndex(AutoProfileRule::Match match) {
    for (std::size_t i = 0; i < kMatches.size(); ++i) {
        if (kMatches[i] == match) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

} // namespace

AutoProfileDialog::AutoProfileDialog(AppCore& core, AutoProfileSwitcher& switcher, QWidget* parent)
    : CBaseDialog(parent), m_core(core), m_switcher(switcher) {
    // A window of its own, as the about box: the main window may stay hidden behind the tray.
    setWindowFlag(Qt::Window);
}

QString AutoProfileDialog::Text(std::string_view key) const {
    return QString::fromStdString(m_core.Text().Text(key));
}

QString AutoProfileDialog::MatchName(AutoProfileRule::Match match) const {
    switch (match) {
    case AutoProfileRule::Match::kClass:
        return Text("AUTO_PROFILE_MATCH_CLASS");
    case AutoProfileRule::Match::kExe:
        return Text("AUTO_PROFILE_MATCH_EXE");
    case AutoProfileRule::Match::kTitle:
        return Text("AUTO_PROFILE_MATCH_TITLE");
    }
    return QString();
}

bool AutoProfileDialog::Initialise() {
    if (m_initialised) {
        return true;
    }
    const std::filesystem::path layout = m_core.Paths().autoProfileSkin;
    const QStringList missing = MissingDialogPictures(layout, {kNormalPicture, kOverPicture, kDownPicture});
    if (!missing.isEmpty() || !SetUpSkin(layout) ||
        !LoadPictures(kNormalPicture, kOverPicture, kDownPicture, kDownPicture, m_pictures)) {
        ShowMissingDialogPictures(parentWidget(), missing.isEmpty() ? QStringList{ToQString(layout)} : missing);
        return false;
    }
    setStyleSheet(kStyle);

    // The switch shows its pressed (checked) picture while selected.
    connect(AddButton("FUNC_AUTO_ENABLED", FaceRule::Choice), &CPngButton::clicked, this, [this] {
        m_edited.enabled = !m_edited.enabled;
        Button("FUNC_AUTO_ENABLED")->SetSelected(m_edited.enabled);
        SetModified(true);
    });
    m_enabledText = new QLabel(this);
    Place(*m_enabledText, "AUTO_ENABLED_TEXT");
    m_defaultText = new QLabel(this);
    Place(*m_defaultText, "AUTO_DEFAULT_TEXT");
    m_default = new QComboBox(this);
    Place(*m_default, "AUTO_DEFAULT");
    for (int i = 0; i <= kProfileCount; ++i) {
        m_default->addItem(QString());
    }
    connect(m_default, &QComboBox::activated, this, [this](int index) {
        m_edited.defaultProfile = index == 0 ? std::nullopt : std::optional<int>(index);
        SetModified(true);
    });

    m_list = new QTableWidget(0, static_cast<int>(kColumnWidths.size()), this);
    Place(*m_list, "PROGRAM_LIST");
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->verticalHeader()->hide();
    for (std::size_t column = 0; column < kColumnWidths.size(); ++column) {
        m_list->setColumnWidth(static_cast<int>(column), kColumnWidths[column]);
    }
    m_list->horizontalHeader()->setStretchLastSection(true);
    connect(m_list, &QTableWidget::currentCellChanged, this, [this](int row) { LoadFields(row); });

    m_match = new QComboBox(this);
    Place(*m_match, "AUTO_MATCH");
    for (std::size_t i = 0; i < kMatches.size(); ++i) {
        m_match->addItem(QString());
    }
    m_pattern = new QLineEdit(this);
    Place(*m_pattern, "AUTO_PATTERN");
    m_pattern->setMaxLength(1024);
    m_profile = new QComboBox(this);
    Place(*m_profile, "AUTO_PROFILE");
    for (int i = 0; i < kProfileCount; ++i) {
        m_profile->addItem(QString());
    }

    connect(AddButton("FUNC_ADD"), &CPngButton::clicked, this, &AutoProfileDialog::AddRule);
    connect(AddButton("FUNC_CHANGE"), &CPngButton::clicked, this, &AutoProfileDialog::ChangeRule);
    connect(AddButton("FUNC_DELETE"), &CPngButton::clicked, this, &AutoProfileDialog::RemoveRule);
    connect(AddButton("FUNC_UP"), &CPngButton::clicked, this, [this] { MoveRule(-1); });
    connect(AddButton("FUNC_DOWN"), &CPngButton::clicked, this, [this] { MoveRule(1); });
    connect(AddButton("FUNC_PICK"), &CPngButton::clicked, this, &AutoProfileDialog::Pick);
    m_status = new QLabel(this);
    Place(*m_status, "AUTO_STATUS");
    m_status->setWordWrap(true);
    m_status->setStyleSheet(QStringLiteral("color: #86909C; font-size: 12px;"));

    connect(AddButton("CONTROL2_APPLY"), &CPngButton::clicked, this, [this] { ApplyChanges(); });
    connect(AddButton("CONTROL_OK"), &CPngButton::clicked, this, [this] {
        if (ApplyChanges()) {
            hide();
        }
    });
    connect(AddButton("CONTROL_CANCEL"), &CPngButton::clicked, this, &QWidget::hide);
    m_pickMenu = new QMenu(this);
    m_initialised = true;
    return true;
}

CPngButton* AutoProfileDialog::AddButton(std::string_view key, FaceRule rule) {
    auto* button = new CPngButton(this);
    PlaceAndSkin(*button, key, m_pictures, rule);
    m_buttons.insert_or_assign(std::string(key), button);
    return button;
}

CPngButton* AutoProfileDialog::Button(std::string_view key) const {
    const auto found = m_buttons.find(key);
    return found == m_buttons.end() ? nullptr : found->second;
}

void AutoProfileDialog::ApplyLanguage() {
    setWindowTitle(Text("AUTO_PROFILE_TITLE"));
    m_enabledText->setText(Text("AUTO_PROFILE_ENABLED"));
    m_defaultText->setText(Text("AUTO_PROFILE_DEFAULT_TEXT"));
    m_default->setItemText(0, Text("AUTO_PROFILE_LEAVE"));
    for (int i = 0; i < kProfileCount; ++i) {
        const QString name = Text("PROFILE_" + std::to_string(i + 1));
        m_default->setItemText(i + 1, name);
        m_profile->setItemText(i, name);
    }
    for (std::size_t i = 0; i < kMatches.size(); ++i) {
        m_match->setItemText(static_cast<int>(i), MatchName(kMatches[i]));
    }
    m_list->setHorizontalHeaderLabels(
        {Text("AUTO_PROFILE_COLUMN_MATCH"), Text("AUTO_PROFILE_COLUMN_TEXT"), Text("AUTO_PROFILE_COLUMN_PROFILE")});
    Button("FUNC_ADD")->setToolTip(Text("AUTO_PROFILE_ADD"));
    Button("FUNC_CHANGE")->setToolTip(Text("AUTO_PROFILE_CHANGE"));
    Button("FUNC_DELETE")->setToolTip(Text("AUTO_PROFILE_REMOVE"));
    Button("FUNC_UP")->setToolTip(Text("AUTO_PROFILE_UP"));
    Button("FUNC_DOWN")->setToolTip(Text("AUTO_PROFILE_DOWN"));
    Button("FUNC_PICK")->setText(Text("AUTO_PROFILE_PICK"));
    Button("CONTROL_OK")->setText(Text("PROFILE_OK"));
    Button("CONTROL_CANCEL")->setText(Text("PROFILE_CANCLE"));
    Button("CONTROL2_APPLY")->setText(Text("PROFILE_APPLY"));
}

bool AutoProfileDialog::Open() {
    if (!Initialise()) {
        return false;
    }
    ApplyLanguage();
    m_switcher.ReloadIfChanged();
    m_edited = m_switcher.Settings();
    SetModified(false);
    Refresh();
    ShowRules(m_edited.rules.empty() ? -1 : 0);
    show();
    raise();
    activateWindow();
    return true;
}

void AutoProfileDialog::Refresh() {
    if (!m_initialised) {
        return;
    }
    if (!Button("CONTROL2_APPLY")->isEnabled()) {
        // Nothing edited here: take what is stored (the tray menu or brasslanectl changed it).
        m_switcher.ReloadIfChanged();
        const std::vector<AutoProfileRule> rules = m_edited.rules;
        m_edited = m_switcher.Settings();
        if (rules != m_edited.rules) {
            ShowRules(m_edited.rules.empty() ? -1 : 0);
        }
    }
    Button("FUNC_AUTO_ENABLED")->SetSelected(m_edited.enabled);
    m_default->setCurrentIndex(m_edited.defaultProfile.value_or(0));
    RefreshWindows();
}

void AutoProfileDialog::RefreshWindows() {
    if (!m_initialised) {
        return;
    }
    QStringList lines;
    if (!m_switcher.WatcherAvailable()) {
        lines << Text("AUTO_PROFILE_UNKNOWABLE");
    }
    if (!m_switcher.Problems().empty()) {
        lines << QString::fromStdString(
            FormatText(m_core.Text().Text("AUTO_PROFILE_KEPT"), static_cast<long long>(m_switcher.Problems().size())));
        QString details;
        for (const std::string& problem : m_switcher.Problems()) {
            details += QString::fromStdString(problem) + QLatin1Char('\n');
        }
        m_status->setToolTip(details.trimmed());
    } else {
        m_status->setToolTip(QString());
    }
    m_status->setText(lines.join(QLatin1Char(' ')));
}

void AutoProfileDialog::ShowRules(int selectRow) {
    const QSignalBlocker block(m_list);
    m_list->setRowCount(static_cast<int>(m_edited.rules.size()));
    for (std::size_t i = 0; i < m_edited.rules.size(); ++i) {
        const AutoProfileRule& rule = m_edited.rules[i];
        const int row = static_cast<int>(i);
        m_list->setItem(row, kMatchColumn, new QTableWidgetItem(MatchName(rule.match)));
        m_list->setItem(row, kTextColumn, new QTableWidgetItem(QString::fromStdString(rule.pattern)));
        m_list->setItem(row, kProfileColumn, new QTableWidgetItem(QString::number(rule.profile)));
        m_list->item(row, kTextColumn)->setToolTip(QString::fromStdString(rule.pattern));
    }
    if (selectRow >= 0 && selectRow < m_list->rowCount()) {
        m_list->selectRow(selectRow);
        m_list->setCurrentCell(selectRow, kMatchColumn);
        LoadFields(selectRow);
    } else {
        m_list->clearSelection();
    }
}

void AutoProfileDialog::LoadFields(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_edited.rules.size()) {
        return;
    }
    const AutoProfileRule& rule = m_edited.rules[static_cast<std::size_t>(row)];
    m_match->setCurrentIndex(MatchIndex(rule.match));
    m_pattern->setText(QString::fromStdString(rule.pattern));
    m_profile->setCurrentIndex(rule.profile - 1);
}

int AutoProfileDialog::SelectedRow() const {
    const QList<QTableWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : selected.front()->row();
}

bool AutoProfileDialog::FieldsRule(AutoProfileRule& rule) {
    rule.match = kMatches[static_cast<std::size_t>(std::max(0, m_match->currentIndex()))];
    rule.pattern = m_pattern->text().trimmed().toStdString();
    rule.profile = m_profile->currentIndex() + 1;
    std::string error;
    if (!ValidateRule(rule, &error)) {
        if (!rule.pattern.empty()) {
            MessageBox::Show(this, QString::fromStdString(error), QString(), MessageButtons::kOk);
        }
        return false;
    }
    return true;
}

void AutoProfileDialog::AddRule() {
    AutoProfileRule rule;
    if (!FieldsRule(rule)) {
        return;
    }
    m_edited.rules.push_back(rule);
    ShowRules(static_cast<int>(m_edited.rules.size()) - 1);
    SetModified(true);
}

void AutoProfileDialog::ChangeRule() {
    const int row = SelectedRow();
    AutoProfileRule rule;
    if (row < 0 || !FieldsRule(rule)) {
        return;
    }
    m_edited.rules[static_cast<std::size_t>(row)] = rule;
    ShowRules(row);
    SetModified(true);
}

void AutoProfileDialog::RemoveRule() {
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    m_edited.rules.erase(m_edited.rules.begin() + row);
    ShowRules(std::min(row, static_cast<int>(m_edited.rules.size()) - 1));
    SetModified(true);
}

void AutoProfileDialog::MoveRule(int by) {
    const int row = SelectedRow();
    const int target = row + by;
    if (row < 0 || target < 0 || target >= static_cast<int>(m_edited.rules.size())) {
        return;
    }
    std::swap(m_edited.rules[static_cast<std::size_t>(row)], m_edited.rules[static_cast<std::size_t>(target)]);
    ShowRules(target);
    SetModified(true);
}

QMenu* AutoProfileDialog::PickMenu() {
    m_pickMenu->clear();
    const auto& recent = m_switcher.RecentWindows();
    if (recent.empty()) {
        m_pickMenu->addAction(Text("AUTO_PROFILE_NO_WINDOWS"))->setEnabled(false);
    }
    for (const ActiveWindow& window : recent) {
        QString label = QString::fromStdString(window.windowClass.empty() ? window.instance : window.windowClass);
        if (!window.title.empty()) {
            const QString title = QString::fromStdString(window.title);
            label += (label.isEmpty() ? QString() : QStringLiteral(" \u2014 ")) +
                     (title.size() > 60 ? title.left(59) + QChar(0x2026) : title);
        }
        QAction* action = m_pickMenu->addAction(label);
        action->setToolTip(QString::fromStdString(window.exe));
        connect(action, &QAction::triggered, this, [this, window] { FillFrom(window); });
    }
    return m_pickMenu;
}

void AutoProfileDialog::Pick() {
    PickMenu()->popup(QCursor::pos());
}

void AutoProfileDialog::FillFrom(const ActiveWindow& window) {
    if (!window.windowClass.empty() || !window.instance.empty()) {
        m_match->setCurrentIndex(MatchIndex(AutoProfileRule::Match::kClass));
        m_pattern->setText(QString::fromStdString(window.windowClass.empty() ? window.instance : window.windowClass));
    } else if (!window.exe.empty()) {
        m_match->setCurrentIndex(MatchIndex(AutoProfileRule::Match::kExe));
        m_pattern->setText(QString::fromStdString(window.exe));
    } else {
        m_match->setCurrentIndex(MatchIndex(AutoProfileRule::Match::kTitle));
        m_pattern->setText(QString::fromStdString(window.title));
    }
}

bool AutoProfileDialog::ApplyChanges() {
    std::string error;
    if (!m_switcher.Store(m_edited, &error)) {
        MessageBox::Show(this, QString::fromStdString(error), QString(), MessageButtons::kOk);
        return false;
    }
    m_edited = m_switcher.Settings();
    SetModified(false);
    RefreshWindows();
    emit Stored();
    return true;
}

void AutoProfileDialog::SetModified(bool modified) {
    Button("CONTROL2_APPLY")->setEnabled(modified);
}

} // namespace brasslane::gui
