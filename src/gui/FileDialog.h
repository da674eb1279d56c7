#pragma once

// Open and save dialogs for profile files ("*.fwc"). Tests choose the file in advance so that
// no dialog ever waits for a person.

#include <QString>

#include <optional>

class QWidget;

namespace brasslane::gui {

class FileDialog {
public:
    // The filters of every profile file dialog: profile files first, then all files.
    static QString ProfileFilters();

    // Asks for an existing profile file, starting in `folder` with the name "*.fwc". Empty when
    // cancelled.
    static QString GetOpenProfileName(QWidget* parent, const QString& folder);
    // Asks for a profile file to write (".fwc" added when no extension is typed; an existing
    // file is overwritten only after the user agreed). Empty when cancelled.
    static QString GetSaveProfileName(QWidget* parent, const QString& folder);
    // The same, offering `suggestion` (a full path) as the file to write.
    static QString GetSaveProfileNameAs(QWidget* parent, const QString& suggestion);
    // Asks for a program to run: any file (".exe" files are offered as a second filter),
    // starting in `folder`. Empty when cancelled.
    static QString GetOpenProgramName(QWidget* parent, const QString& folder);

    // The next dialog returns `name` at once (an empty name counts as cancelled).
    static void SetNextFileName(const QString& name);

private:
    static std::optional<QString> TakeNextFileName();
};

} // namespace brasslane::gui
