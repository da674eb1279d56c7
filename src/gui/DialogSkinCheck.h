#pragma once

// The skin check of the sub-dialogs (profile manager, firmware update): before such a dialog
// opens for the first time, every picture it paints from must load. A missing or damaged one is
// named to the user and the dialog stays closed; the program goes on.

#include <QString>
#include <QStringList>

#include <filesystem>

class QWidget;

namespace brasslane::gui {

// The pictures of the dialog laid out by `layoutFile` that cannot be loaded: its background and
// mask (or the layout file itself when it names no background), then each of `statePictures`
// from the layout file's folder. Empty when everything loads.
QStringList MissingDialogPictures(const std::filesystem::path& layoutFile, const QStringList& statePictures);

// Tells the user which pictures are missing, in one message box.
void ShowMissingDialogPictures(QWidget* parent, const QStringList& missing);

} // namespace brasslane::gui
