// skingen: draws the Brasslane skin (layout files, state pictures, lighting bitmaps and tray
// icons) into a Skins folder. Run at build time; needs no display.
//
//   skingen OUTPUT_DIR [--declared FILE] [--preview FILE.png]

#include "Bitmaps.h"
#include "KeyboardLayout.h"
#include "Skins.h"

#include "core/base/Keyboard.h"
#include "core/keys/KeyTable.h"
#include "core/resources/SkinKeys.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QSet>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace brasslane::skingen;

constexpr int kJpegQuality = 92;

class SkinFolder {
public:
    explicit SkinFolder(QString dir) : m_dir(std::move(dir)) {}

    // Writes through a temporary file so that an interrupted run leaves no truncated picture.
    bool Save(const QString& name, const QImage& image) {
        const QString suffix = QFileInfo(name).suffix().toLower();
        const char* format = suffix == "jpg" ? "JPG" : suffix == "bmp" ? "BMP" : "PNG";
        m_written.insert(name);
        QSaveFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || !image.save(&file, format, suffix == "jpg" ? kJpegQuality : -1) ||
            !file.commit()) {
            return Fail(name);
        }
        return true;
    }

    bool Save(const QString& name, const QByteArray& bytes) {
        m_written.insert(name);
        QSaveFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            return Fail(name);
        }
        return true;
    }

    bool Ok() const { return m_ok; }
    const QSet<QString>& Written() const { return m_written; }

private:
    bool Fail(const QString& name) {
        std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(m_dir.filePath(name)));
        m_ok = false;
        return false;
    }

    QDir m_dir;
    bool m_ok = true;
    QSet<QString> m_written;
};

// The build declares every file of the skin (tools/skingen/SkinFiles.txt) so that a deleted
// picture is drawn again. A file written but not declared, or declared but not written, would
// break that, so it fails the run.
bool MatchesDeclared(const QSet<QString>& written, const QString& declaredFile) {
    QFile file(declaredFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "skingen: cannot read %s\n", qPrintable(declaredFile));
        return false;
    }
    QSet<QString> declared;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QString name = QString::fromUtf8(line).trimmed();
        if (!name.isEmpty()) {
            declared.insert(name);
        }
    }
    bool ok = true;
    for (const QString& name : written) {
        if (!declared.contains(name)) {
            std::fprintf(stderr, "skingen: %s is written but not declared in %s\n", qPrintable(name),
                         qPrintable(declaredFile));
            ok = false;
        }
    }
    for (const QString& name : declared) {
        if (!written.contains(name)) {
            std::fprintf(stderr, "skingen: %s is declared but not written\n", qPrintable(name));
            ok = false;
        }
    }
    return ok;
}

struct SheetFile {
    QString name;
    Sheet sheet;
    int variant;
};

// Background, mask, state pictures and layout file of one window.
void WriteWindow(SkinFolder& folder, const WindowSkin& skin, const QString& layoutName, const QString& stem,
                 const std::vector<SheetFile>& sheets, std::vector<std::pair<QString, QString>> extraScreen = {}) {
    const QString background = stem + "_bg.jpg";
    const QString mask = stem + "_mask.bmp";
    folder.Save(background, skin.RenderBackground());
    folder.Save(mask, skin.RenderMask());
    for (const SheetFile& sheet : sheets) {
        folder.Save(sheet.name, skin.RenderSheet(sheet.sheet, sheet.variant));
    }
    std::vector<std::pair<QString, QString>> screen{{"Main", background}, {"Mask", mask}};
    screen.insert(screen.end(), extraScreen.begin(), extraScreen.end());
    folder.Save(layoutName, skin.LayoutText(screen).toUtf8());
}

// Every key a dialog looks up must have a place inside its window; a gap here would show as a
// control stuck in the window's corner.
void CheckKeys(const WindowSkin& skin, std::span<const std::string_view> keys, const char* window) {
    const QRect windowRect(QPoint(0, 0), skin.Size());
    for (std::string_view key : keys) {
        const QRect rect = skin.RectOf(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())));
        if (rect.isEmpty() || !windowRect.contains(rect)) {
            throw std::logic_error(std::string(window) + ": no place for " + std::string(key));
        }
    }
}

void CheckMainKeys(const WindowSkin& main) {
    std::vector<std::string> names;
    for (const KeyCap& key : KeyboardKeys()) {
        names.push_back(brasslane::KeyLayoutName(key.scanCode));
    }
    for (int g = 1; g <= brasslane::kGKeysPerBank; ++g) {
        names.push_back(brasslane::skin::GKeyLayoutKey(g));
    }
    std::vector<std::string_view> views(names.begin(), names.end());
    CheckKeys(main, views, "Main.ini");
    CheckKeys(main, brasslane::skin::kMainWindowKeys, "Main.ini");
    CheckKeys(main, brasslane::skin::kLightingPanelKeys, "Main.ini");
    for (std::string_view base : brasslane::skin::kArrowOriginBases) {
        for (int frame : brasslane::skin::kArrowFrames) {
            const std::string key = brasslane::skin::ArrowOriginKey(base, frame);
            if (main.OriginOf(QString::fromStdString(key)).isEmpty()) {
                throw std::logic_error("Main.ini: no arrow origin " + key);
            }
        }
    }
}

// A picture of the main window as it looks in use: faces, panel bitmaps, sample captions and
// labels in place, for reviewing the skin. The program sets the real texts from its language file.
QImage RenderPreview(const WindowSkin& main, const QImage& arrows,
                     const std::vector<std::pair<QString, QImage>>& bitmaps) {
    QImage preview = main.RenderSheet(Sheet::Normal);
    const QImage selected = main.RenderSheet(Sheet::Disable);
    const QImage over = main.RenderSheet(Sheet::Over);
    QPainter painter(&preview);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // The window shows a face at the control's place, one pixel right of and below where it
    // was cut.
    auto face = [&](const char* key, const QImage& sheet) {
        const QRect r = main.RectOf(QString::fromLatin1(key));
        painter.drawImage(r.topLeft(), sheet.copy(r.translated(-1, -1)));
    };
    for (const char* key : {"FUNC_PROFILE1", "FUNC_REPORT4", "KEY_01E", "KEY_011", "KEY_039", "FUNC_G1"}) {
        face(key, selected);
    }
    for (const char* key : {"LOCK_NUM", "KEY_020", "FUNC_MACRO"}) {
        face(key, over);
    }
    auto bitmap = [&](const char* key, const QString& file) {
        for (const auto& [name, image] : bitmaps) {
            if (name == file) {
                painter.drawImage(main.RectOf(QString::fromLatin1(key)).topLeft(), image);
            }
        }
    };
    bitmap("CONTROL_DengStaPic", "dengdown.bmp");
    bitmap("CONTROL_LightSlider", "4.bmp");
    bitmap("CONTROL_SpeedSlider", "8.bmp");
    bitmap("CONTROL_BLFXLStaPic2", "leftdown.bmp");
    bitmap("CONTROL_BLFXRStaPic2", "rightup.bmp");
    bitmap("CONTROL_HXsjsStaPic", "sjsdown.bmp");
    bitmap("CONTROL_JDTStatic", "jdt4.bmp");
    for (const char* arrow : {"LEFT_ARROW", "RIGHT_ARROW"}) {
        const QRect r = main.RectOf(QString::fromLatin1(arrow));
        const QRect origin = main.OriginOf(QString::fromLatin1(arrow[0] == 'L' ? "UP_ARROW_LEFT1" : "UP_ARROW_RIGHT1"));
        painter.drawImage(r.topLeft(), arrows.copy(QRect(origin.topLeft() - QPoint(1, 1), r.size())));
    }

    const struct {
        const char* key;
        const char* text;
        bool dark;
    } captions[] = {{"FUNC_PROFILE1", "Profile 1", true},    {"FUNC_PROFILE2", "Profile 2", false},
                    {"FUNC_PROFILE3", "Profile 3", false},   {"FUNC_DEFAULT", "Default", false},
                    {"FUNC_SWITCH", "Key functions", false}, {"FUNC_PROFILES", "Profile 1", false},
                    {"FUNC_MACRO", "Macro", false},          {"CONTROL_OK", "OK", false},
                    {"CONTROL_CANCEL", "Cancel", false},     {"CONTROL2_APPLY", "Apply", false}};
    for (const auto& c : captions) {
        DrawCentredText(painter, main.RectOf(QString::fromLatin1(c.key)), QString::fromLatin1(c.text), UiFont(12, true),
                        c.dark ? colour::kOnAccent : colour::kText);
    }
    const struct {
        const char* key;
        const char* text;
    } labels[] = {{"CONTROL_DengStatic", "Lighting"},   {"CONTROL_LightStatic", "Brightness"},
                  {"CONTROL_SpeedStatic", "Speed"},     {"CONTROL_BLFXStatic2", "Direction"},
                  {"CONTROL_HXysStatic", "Colour"},     {"CONTROL_HXsjsStatic", "Colourful"},
                  {"CONTROL_UsbStatic", "Report rate"}, {"CONTROL_RGBStatic", "RGB"}};
    for (const auto& l : labels) {
        painter.setFont(UiFont(11, true));
        painter.setPen(colour::kTextMuted);
        painter.drawText(main.RectOf(QString::fromLatin1(l.key)), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromLatin1(l.text).toUpper());
    }
    // Stand-ins for the plain widgets the program puts on the panel.
    const QRect combo = main.RectOf(QStringLiteral("CONTROL_XGcombox"));
    DrawWell(painter, combo, 7);
    painter.setFont(UiFont(12));
    painter.setPen(colour::kText);
    painter.drawText(combo.adjusted(12, 0, -28, 0), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Wave"));
    DrawIcon(painter, QRectF(combo.right() - 24, combo.center().y() - 6, 12, 12), Icon::Check, colour::kTextMuted);
    const QRect colourButton = main.RectOf(QStringLiteral("CONTROL_HXysButton"));
    DrawPlate(painter, colourButton, Look::Normal, 7);
    painter.setBrush(QColor(235, 99, 30));
    painter.setPen(QPen(QColor(0, 0, 0, 120), 1));
    painter.drawRoundedRect(QRectF(colourButton).adjusted(6, 6, -6, -7), 4, 4);
    const char* values[] = {"235", "99", "30"};
    const char* fields[] = {"COLOR_R", "COLOR_G", "COLOR_B"};
    for (int i = 0; i < 3; ++i) {
        const QRect field = main.RectOf(QString::fromLatin1(fields[i]));
        DrawWell(painter, field, 6);
        DrawCentredText(painter, field, QString::fromLatin1(values[i]), UiFont(12), colour::kText);
    }
    return preview;
}

int Run(const QStringList& args) {
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: skingen OUTPUT_DIR [--declared FILE] [--preview FILE.png]\n");
        return 2;
    }
    const QString outDir = args[1];
    QString declaredFile;
    QString previewFile;
    for (int i = 2; i + 1 < args.size(); i += 2) {
        if (args[i] == "--declared") {
            declaredFile = args[i + 1];
        } else if (args[i] == "--preview") {
            previewFile = args[i + 1];
        } else {
            std::fprintf(stderr, "skingen: unknown option %s\n", qPrintable(args[i]));
            return 2;
        }
    }
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "skingen: cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    SkinFolder folder(outDir);

    const WindowSkin main = BuildMainSkin();
    const WindowSkin composite = BuildCompositeSkin();
    const WindowSkin profile = BuildProfileSkin();
    const WindowSkin update = BuildUpdateSkin();
    const WindowSkin autoProfile = BuildAutoProfileSkin();
    CheckMainKeys(main);
    CheckKeys(composite, brasslane::skin::kCompositeDialogKeys, "Composite.ini");
    CheckKeys(profile, brasslane::skin::kProfileDialogKeys, "Profile.ini");
    CheckKeys(update, brasslane::skin::kUpdateDialogKeys, "UpdateDlg.ini");
    CheckKeys(autoProfile, brasslane::skin::kAutoProfileDialogKeys, "AutoProfile.ini");

    WriteWindow(folder, main, "Main.ini", "main",
                {{"main_normal.jpg", Sheet::Normal, 0},
                 {"main_over.jpg", Sheet::Over, 0},
                 {"main_down.jpg", Sheet::Down, 0},
                 {"main_disable.jpg", Sheet::Disable, 0},
                 {"main_color0.jpg", Sheet::Color0, 0},
                 {"main_color1.jpg", Sheet::Color1, 0}},
                {{"Link", "https://brasslane.example/"}});
    const QImage mainBackground = main.RenderBackground();
    const QImage arrows = RenderArrowPicture(mainBackground, main);
    folder.Save("Arrow.jpg", arrows);
    const auto bitmaps = RenderLightingBitmaps(mainBackground, main);
    for (const auto& [name, image] : bitmaps) {
        folder.Save(name, image);
    }

    std::vector<SheetFile> compositeSheets;
    const struct {
        const char* stem;
        int variant;
        bool disable;
    } pages[] = {{"key", kKeyPage, true},
                 {"macro", kMacroPage, true},
                 {"macro2", kMacroOnlyPage, true},
                 {"media", kMediaPage, true},
                 {"function", kFunctionPage, true}};
    for (const auto& page : pages) {
        const QString stem = QString::fromLatin1(page.stem);
        compositeSheets.push_back({stem + "_normal.jpg", Sheet::Normal, page.variant});
        compositeSheets.push_back({stem + "_over.jpg", Sheet::Over, page.variant});
        compositeSheets.push_back({stem + "_down.jpg", Sheet::Down, page.variant});
        if (page.disable) {
            compositeSheets.push_back({stem + "_disable.jpg", Sheet::Disable, page.variant});
        }
    }
    WriteWindow(folder, composite, "Composite.ini", "composite", compositeSheets);
    WriteWindow(folder, profile, "Profile.ini", "Profile",
                {{"Profile_normal.jpg", Sheet::Normal, 0},
                 {"Profile_over.jpg", Sheet::Over, 0},
                 {"Profile_down.jpg", Sheet::Down, 0}});
    WriteWindow(folder, autoProfile, "AutoProfile.ini", "AutoProfile",
                {{"AutoProfile_normal.jpg", Sheet::Normal, 0},
                 {"AutoProfile_over.jpg", Sheet::Over, 0},
                 {"AutoProfile_down.jpg", Sheet::Down, 0}});
    WriteWindow(folder, update, "UpdateDlg.ini", "update",
                {{"update_normal.jpg", Sheet::Normal, 0}, {"update_over.jpg", Sheet::Over, 0}});

    folder.Save("icon128.png", RenderTrayIcon(TrayState::NoKeyboard));
    folder.Save("icon141.png", RenderTrayIcon(TrayState::Connected));
    folder.Save("icon142.png", RenderTrayIcon(TrayState::Highlight));

    if (!declaredFile.isEmpty() && !MatchesDeclared(folder.Written(), declaredFile)) {
        return 1;
    }
    if (!previewFile.isEmpty()) {
        SkinFolder previewFolder(QFileInfo(previewFile).absolutePath());
        previewFolder.Save(QFileInfo(previewFile).fileName(), RenderPreview(main, arrows, bitmaps));
    }
    return folder.Ok() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // Text needs a font database, which needs a GUI application; the offscreen platform needs
    // no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    try {
        return Run(QCoreApplication::arguments());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "skingen: %s\n", error.what());
        return 1;
    }
}
