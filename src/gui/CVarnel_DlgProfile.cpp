#include "gui/CVarnel_DlgProfile.h"

#include "gui/DialogSkinCheck.h"
#include "gui/FileDialog.h"
#include "gui/widgets/SkinPictures.h"

#include "core/app/AppCore.h"
#include "core/app/ProfileManagerModel.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QTableWidget>

#include <array>

namespace brasslane::gui {

namespace {

constexpr int kCheckColumn = 0;
constexpr int kNameColumn = 1;
constexpr int kFolderColumn = 2;

// Column captions and widths.
struct Column {
    const char* caption;
    int width;
};
constexpr std::array<Column, 3> kColumns{{{"激活", 60}, {"名称", 120}, {"路径", 230}}};

const QString kNormalPicture = QStringLiteral("Profile_normal.jpg");
const QString kOverPicture = QStringLiteral("Profile_over.jpg");
const QString kDownPicture = QStringLiteral("Profile_down.jpg");

// The list in the skin's colours: light text on the dark well, brass for the selected row.
const QString kListStyle = QStringLiteral(
    "QTableWidget { background: #101317; color: #DADFE6; gridline-color: #2A313A; border: none; outline: 0;"
    " selection-background-color: #9E681E; selection-color: #F2EFE8; }"
    "QTableWidget::indicator { width: 13px; height: 13px; border: 1px solid #86909C; border-radius: 3px;"
    " background: #171B21; }"
    "QTableWidget::indicator:checked { border-color: #F0BA5C; background: #D99A3A; }"
    "QHeaderView { background: #171B21; }"
    "QHeaderView::section { background: #171B21; color: #86909C; border: none; border-right: 1px solid #2A313A;"
    " border-bottom: 1px solid #2A313A; padding: 3px; }");

QString Text(AppCore& core, std::string_view key) {
    return QString::fromStdString(core.Text().Text(key));
}

} // namespace

CVarnel_DlgProfile::CVarnel_DlgProfile(AppCore& core, ProfileManagerModel& model, QWidget* parent)
    : CBaseDialog(parent), m_core(core), m_model(model) {
    setWindowModality(Qt::ApplicationModal);
}

bool CVarnel_DlgProfile::Initialise() {
    if (m_initialised) {
        return true;
    }
    const std::filesystem::path layout = m_core.Paths().profileSkin;
    const QStringList missing = MissingDialogPictures(layout, {kNormalPicture, kOverPicture, kDownPicture});
    if (!missing.isEmpty() || !SetUpSkin(layout) ||
        !LoadPictures(kNormalPicture, kOverPicture, kDownPicture, kDownPicture, m_pictures)) {
        ShowMissingDialogPictures(parentWidget(), missing.isEmpty() ? QStringList{ToQString(layout)} : missing);
        return false;
    }

    m_list = new QTableWidget(0, static_cast<int>(kColumns.size()), this);
    Place(*m_list, "PROGRAM_LIST");
    m_list->setStyleSheet(kListStyle);
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A list for the mouse: no focus frame on the check box cell.
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->verticalHeader()->hide();
    QStringList captions;
    for (std::size_t column = 0; column < kColumns.size(); ++column) {
        captions << QString::fromUtf8(kColumns[column].caption);
        m_list->setColumnWidth(static_cast<int>(column), kColumns[column].width);
    }
    m_list->setHorizontalHeaderLabels(captions);
    connect(m_list, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (m_filling || item->column() != kCheckColumn) {
            return;
        }
        m_model.SetChecked(item->row(), item->checkState() == Qt::Checked);
        RefreshChecks();
    });

    connect(AddButton("FUNC_ADD"), &CPngButton::clicked, this, &CVarnel_DlgProfile::NewFile);
    connect(AddButton("FUNC_LOAD"), &CPngButton::clicked, this, &CVarnel_DlgProfile::AddFile);
    connect(AddButton("FUNC_DELETE"), &CPngButton::clicked, this, &CVarnel_DlgProfile::RemoveSelected);
    connect(AddButton("CONTROL2_APPLY"), &CPngButton::clicked, this, &CVarnel_DlgProfile::ApplyChanges);
    connect(AddButton("CONTROL_OK"), &CPngButton::clicked, this, &CVarnel_DlgProfile::Ok);
    connect(AddButton("CONTROL_CANCEL"), &CPngButton::clicked, this, &CVarnel_DlgProfile::CloseDialog);
    m_initialised = true;
    return true;
}

CPngButton* CVarnel_DlgProfile::AddButton(std::string_view key) {
    auto* button = new CPngButton(this);
    // The pressed picture also serves as the disabled face.
    PlaceAndSkin(*button, key, m_pictures, FaceRule::Apply);
    m_buttons.insert_or_assign(std::string(key), button);
    return button;
}

CPngButton* CVarnel_DlgProfile::Button(std::string_view key) const {
    const auto found = m_buttons.find(key);
    return found == m_buttons.end() ? nullptr : found->second;
}

bool CVarnel_DlgProfile::Open() {
    if (IsOpen()) {
        raise();
        activateWindow();
        return true;
    }
    if (!Initialise()) {
        return false;
    }
    setWindowTitle(Text(m_core, "PROFILE_TIP"));
    Button("CONTROL_OK")->setText(Text(m_core, "PROFILE_OK"));
    Button("CONTROL_CANCEL")->setText(Text(m_core, "PROFILE_CANCLE"));
    Button("CONTROL2_APPLY")->setText(Text(m_core, "PROFILE_APPLY"));
    m_model.Open();
    Refresh();
    show();
    raise();
    activateWindow();
    return true;
}

bool CVarnel_DlgProfile::IsOpen() const {
    return m_model.IsOpen();
}

void CVarnel_DlgProfile::CloseDialog() {
    if (!IsOpen()) {
        return;
    }
    m_model.Close();
    hide();
}

void CVarnel_DlgProfile::reject() {
    CloseDialog();
}

void CVarnel_DlgProfile::closeEvent(QCloseEvent* event) {
    CloseDialog();
    event->accept();
}

void CVarnel_DlgProfile::Refresh() {
    m_filling = true;
    const std::vector<ProfileManagerRow>& rows = m_model.Rows();
    m_list->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int row = static_cast<int>(i);
        auto* check = new QTableWidgetItem;
        check->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        m_list->setItem(row, kCheckColumn, check);
        auto* name = new QTableWidgetItem(QString::fromStdString(rows[i].Name()));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        m_list->setItem(row, kNameColumn, name);
        auto* folder = new QTableWidgetItem(ToQString(rows[i].Folder()));
        folder->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        folder->setToolTip(ToQString(rows[i].path));
        m_list->setItem(row, kFolderColumn, folder);
    }
    m_filling = false;
    RefreshChecks();
}

void CVarnel_DlgProfile::RefreshChecks() {
    m_filling = true;
    const int checked = m_model.CheckedRow();
    for (int row = 0; row < m_list->rowCount(); ++row) {
        if (QTableWidgetItem* item = m_list->item(row, kCheckColumn)) {
            item->setCheckState(row == checked ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_filling = false;
    Button("CONTROL2_APPLY")->setEnabled(m_model.HasUnappliedChanges());
}

void CVarnel_DlgProfile::NewFile() {
    const QString suggestion = ToQString(m_model.NewFileSuggestion());
    const QString name = FileDialog::GetSaveProfileNameAs(this, suggestion);
    if (name.isEmpty()) {
        return;
    }
    if (m_model.AddNewFile(name.toStdU16String())) {
        Refresh();
    }
}

void CVarnel_DlgProfile::AddFile() {
    const QString name = FileDialog::GetOpenProfileName(this, ToQString(m_model.UserFolder()));
    if (name.isEmpty()) {
        return;
    }
    m_model.AddExistingFile(name.toStdU16String());
    Refresh();
}

void CVarnel_DlgProfile::RemoveSelected() {
    const QList<QTableWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    int first = selected.front()->row();
    for (const QTableWidgetItem* item : selected) {
        first = std::min(first, item->row());
    }
    if (m_model.RemoveRow(first)) {
        Refresh();
    }
}

void CVarnel_DlgProfile::ApplyChanges() {
    m_model.Apply();
    RefreshChecks();
}

void CVarnel_DlgProfile::Ok() {
    // A failed apply has said why; the rows stay for another try instead of being dropped.
    if (!m_model.Apply()) {
        RefreshChecks();
        return;
    }
    CloseDialog();
}

} // namespace brasslane::gui
