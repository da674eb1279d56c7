#include "gui/FileDialog.h"

#include "gui/SkinDialogStyle.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace brasslane::gui {

namespace {

// Dialogs live on the GUI thread only.
std::optional<QString> g_nextFileName;

QString Chosen(QFileDialog& dialog) {
    // The toolkit's own dialog, so that it takes the skin's style; the desktop's native one
    // would stay light.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    ApplySkinDialogStyle(dialog);
    dialog.resize(dialog.sizeHint().expandedTo(QSize(640, 420)));
    CentreDialog(dialog, dialog.parentWidget());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

QString Run(QWidget* parent, const QString& folder, QFileDialog::AcceptMode mode, const QString& suggestion = {}) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(FileDialog::ProfileFilters());
    dialog.setDefaultSuffix(QStringLiteral("fwc"));
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!folder.isEmpty()) {
        dialog.setDirectory(folder);
    }
    if (!suggestion.isEmpty()) {
        dialog.selectFile(suggestion);
    } else if (mode == QFileDialog::AcceptOpen) {
        dialog.selectFile(QStringLiteral("*.fwc"));
    }
    return Chosen(dialog);
}

} // namespace

QString FileDialog::ProfileFilters() {
    return QStringLiteral("Profile files (*.fwc);;All files (*)");
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

QString FileDialog::GetSaveProfileNameAs(QWidget* parent, const QString& suggestion) {
    if (std::optional<QString> name = TakeNextFileName()) {
        return *name;
    }
    return Run(parent, QFileInfo(suggestion).absolutePath(), QFileDialog::AcceptSave, suggestion);
}

QString FileDialog::GetOpenProgramName(QWidget* parent, const QString& folder) {
    if (std::optional<QString> name = TakeNextFileName()) {
        return *name;
    }
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Updaters for Linux come without an extension, so every file is offered. (The dialog's
    // file list shows nothing at all when asked for executable files only.) A file that is no
    // program is refused when the update starts.
    dialog.setNameFilters({QStringLiteral("Programs (*)"), QStringLiteral("MyType Files (*.exe)")});
    if (!folder.isEmpty()) {
        dialog.setDirectory(folder);
    }
    return Chosen(dialog);
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
