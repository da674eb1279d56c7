#include "gui/CVarnel_DlgUpdate.h"

#include "gui/DialogSkinCheck.h"
#include "gui/FileDialog.h"
#include "gui/widgets/ColorStatic.h"
#include "gui/widgets/SkinPictures.h"

#include "core/app/AppCore.h"
#include "core/app/FirmwareUpdateModel.h"

#include <QComboBox>

namespace brasslane::gui {

namespace {

const QString kNormalSheet = QStringLiteral("update_normal.jpg");
const QString kOverSheet = QStringLiteral("update_over.jpg");

} // namespace

CVarnel_DlgUpdate::CVarnel_DlgUpdate(AppCore& core, FirmwareUpdateModel& model, QWidget* parent)
    : CBaseDialog(parent), m_core(core), m_model(model) {
    setWindowModality(Qt::ApplicationModal);
}

bool CVarnel_DlgUpdate::Initialise() {
    if (m_initialised) {
        return true;
    }
    const std::filesystem::path layout = m_core.Paths().updateSkin;
    QStringList missing = MissingDialogPictures(layout, {kNormalSheet, kOverSheet});
    // The sheets have no pressed face: a pressed button keeps the face the pointer gave it.
    if (!missing.isEmpty() || !SetUpSkin(layout) ||
        !LoadPictures(kNormalSheet, kOverSheet, kOverSheet, {}, m_pictures)) {
        ShowMissingDialogPictures(parentWidget(), missing.isEmpty() ? QStringList{ToQString(layout)} : missing);
        return false;
    }

    m_path = new ColorStatic(this);
    Place(*m_path, "CONTROL_UPStatic");
    // Laid out only: the combo box has no part in an update.
    m_combo = new QComboBox(this);
    Place(*m_combo, "CONTROL_UPCombox");
    m_combo->hide();

    connect(AddButton("CONTROL_UPButton", "更新"), &CPngButton::clicked, this, &CVarnel_DlgUpdate::Update);
    connect(AddButton("CONTROL_CUPButton", "取消更新"), &CPngButton::clicked, this, &CVarnel_DlgUpdate::CancelUpdate);
    connect(AddButton("CONTROL_OPENButton", "Open"), &CPngButton::clicked, this, &CVarnel_DlgUpdate::ChooseUpdater);
    connect(AddButton("CONTROL_BACKUPButton", "备份"), &CPngButton::clicked, this, &CVarnel_DlgUpdate::Backup);
    m_initialised = true;
    return true;
}

CPngButton* CVarnel_DlgUpdate::AddButton(std::string_view key, const char* caption) {
    auto* button = new CPngButton(this);
    PlaceAndSkin(*button, key, m_pictures, FaceRule::Push);
    button->setText(QString::fromUtf8(caption));
    m_buttons.insert_or_assign(std::string(key), button);
    return button;
}

CPngButton* CVarnel_DlgUpdate::Button(std::string_view key) const {
    const auto found = m_buttons.find(key);
    return found == m_buttons.end() ? nullptr : found->second;
}

bool CVarnel_DlgUpdate::Open() {
    if (!Initialise()) {
        return false;
    }
    setWindowTitle(QStringLiteral("Firmware update"));
    ShowPath();
    show();
    raise();
    activateWindow();
    return true;
}

void CVarnel_DlgUpdate::CloseDialog() {
    hide();
}

void CVarnel_DlgUpdate::reject() {
    CloseDialog();
}

QString CVarnel_DlgUpdate::ShownPath() const {
    return m_path != nullptr ? m_path->text() : QString();
}

void CVarnel_DlgUpdate::ShowPath() {
    m_path->setText(ToQString(m_model.SelectedPath()));
    m_path->setToolTip(m_path->text());
    repaint();
}

void CVarnel_DlgUpdate::ChooseUpdater() {
    const QString name = FileDialog::GetOpenProgramName(this, ToQString(m_core.Paths().programFolder));
    m_model.Choose(name.isEmpty() ? std::filesystem::path() : std::filesystem::path(name.toStdU16String()));
    ShowPath();
}

void CVarnel_DlgUpdate::Update() {
    const FirmwareUpdateModel::UpdateResult result = m_model.Update();
    ShowPath();
    if (result == FirmwareUpdateModel::UpdateResult::kLaunched) {
        CloseDialog();
    }
}

void CVarnel_DlgUpdate::CancelUpdate() {
    m_model.CancelUpdate();
    ShowPath();
    CloseDialog();
}

void CVarnel_DlgUpdate::Backup() {
    const QString name = FileDialog::GetSaveProfileName(this, ToQString(m_core.Paths().userFolder));
    if (name.isEmpty()) {
        return;
    }
    m_model.Backup(name.toStdU16String());
}

} // namespace brasslane::gui
