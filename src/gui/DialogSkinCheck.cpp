#include "gui/DialogSkinCheck.h"

#include "gui/MessageBox.h"
#include "gui/widgets/SkinPictures.h"

#include "core/resources/SkinLayout.h"

#include <QImage>

namespace brasslane::gui {

QStringList MissingDialogPictures(const std::filesystem::path& layoutFile, const QStringList& statePictures) {
    QStringList missing;
    const SkinLayout layout(layoutFile);
    const std::optional<std::filesystem::path> background = layout.BackgroundPath();
    if (!background) {
        missing << ToQString(layoutFile);
    } else {
        QImage picture;
        if (!LoadSkinPicture(*background, picture)) {
            missing << ToQString(*background);
        }
        const std::optional<std::filesystem::path> mask = layout.MaskPath();
        if (mask && *mask != *background && !LoadSkinPicture(*mask, picture)) {
            missing << ToQString(*mask);
        }
    }
    for (const QString& name : statePictures) {
        const std::filesystem::path path = layout.ImageFolder() / name.toStdU16String();
        QImage picture;
        if (!LoadSkinPicture(path, picture)) {
            missing << ToQString(path);
        }
    }
    return missing;
}

void ShowMissingDialogPictures(QWidget* parent, const QStringList& missing) {
    // No language text covers a damaged skin folder; the file names are what helps.
    const QString text = QStringLiteral("This window cannot be shown: these skin pictures are missing or damaged:\n") +
                         missing.join(QLatin1Char('\n'));
    MessageBox::Show(parent, text, QStringLiteral("Brasslane"), MessageButtons::kOk);
}

} // namespace brasslane::gui
