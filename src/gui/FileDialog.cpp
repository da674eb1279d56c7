#include "gui/FileDialog.h"

#include <QDir>
#include <QFileDialog>

namespace brasslane::gui {

namespace {

// Dialogs live on the GUI thread only.
std::optional<QString> g_nextFileName;

QString Run(QWidget* parent, const QString& folder, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(FileDialog::ProfileFilters());
    dialog.setDefaultSuffix(QStringLiteral("fwc"));
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!folder.isEmpty()) {
        dialog.setDirectory(folder);
    }
    if (mode == QFileDialog::AcceptOpen) {
        dialog.selectFile(QStringLiteral("*.fwc"));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString FileDialog::ProfileFilters() {
    return QStringLiteral("(*.fwc) (*.fwc);;(*.*) (*)");
}

QString FileDialog::GetOpenProfileName(QWidget* parent, const QString& folder) {
    if (std::optional<QString> name = TakeNextFileName()) {
        return *name;
    }
    return Run(parent, folder, QFileDialog::AcceptOpen);
}

QString FileDialog::GetSaveProfileName(QWidget* parent, const QString& folder) {
    if (std::optional<QString> name = TakeNextFileName()) {
        return *name;
    }
    return Run(parent, folder, QFileDialog::AcceptSave);
}

void FileDialog::SetNextFileName(const QString& name) {
    g_nextFileName = name;
}

std::optional<QString> FileDialog::TakeNextFileName() {
    std::optional<QString> name = std::move(g_nextFileName);
    g_nextFileName.reset();
    return name;
}

} // namespace brasslane::gui
