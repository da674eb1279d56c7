#pragma once

// The key assignment dialog: a skinned window with four pages (single key, macro, multimedia,
// keyboard function) over KeyDialogModel. It opens beside the clicked key, catches the key the
// user presses while the single-key page shows, records macros from the keyboard on the macro
// page (MacroPageView), and on OK or Apply writes the one entry into the working image and
// tells the main window. Every face is cut from the picture set of the page shown.

#include "gui/widgets/CBaseDialog.h"
#include "gui/widgets/CPngButton.h"
#include "gui/widgets/SkinPictures.h"

#include "core/keys/KeyDialogModel.h"

#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QComboBox;
class QKeyEvent;
class QLineEdit;
class QListWidget;

namespace brasslane {
class Language;
class SettingsStore;
class UiSink;
struct WorkingImage;
} // namespace brasslane

namespace brasslane::gui {

class ColorStatic;
class CPictureStatic;
class MacroPageView;

class Varnel_DlgComposite : public CBaseDialog {
    Q_OBJECT

public:
    // What the dialog works with; every reference must outlive it.
    struct Context {
        WorkingImage& working;
        Language& language;
        UiSink& ui;
        SettingsStore& settings;
        std::filesystem::path layoutFile; // Skins/Composite.ini
    };

    explicit Varnel_DlgComposite(Context context, QWidget* parent = nullptr);
    ~Varnel_DlgComposite() override;

    // Loads the skin, the picture sets of the five pages and lays out every control. False when
    // a picture is missing (`missing` names it): the dialog cannot be shown.
    bool Initialise(std::string* missing = nullptr);

    // Opens the dialog for entry `record` of the working image, beside `button` (global
    // coordinates), modal to the application but without a nested event loop. `keyName` is the
    // clicked key's name.
    void Open(std::size_t record, bool macroOnly, const QRect& button, const QString& keyName);

    KeyDialogModel& Model() { return m_model; }
    MacroPageView& MacroPage() { return *m_macroPage; }
    // Controls by their layout key.
    CPngButton* Button(std::string_view key) const;
    QWidget* Control(std::string_view key) const;

    // The clock the recorder measures pauses with, in milliseconds.
    void SetClock(std::function<std::int64_t()> clock);
    std::int64_t Now() const { return m_clock(); }

    // Re-applies every text (a language change).
    void ApplyLanguage();

    // The pictures the dialog cannot open without: the state pictures of its five page sets.
    static QStringList RequiredPictures();
    // The on-screen keyboards looked for on PATH, in order of preference.
    static const std::vector<QString>& OnScreenKeyboards();

    // For MacroPageView: a skinned button whose faces follow the page's pictures. A toggle shows
    // its chosen state with the pressed face.
    CPngButton* AddSkinnedButton(std::string_view key, bool toggle);
    void Remember(std::string_view key, QWidget* control);
    QString Text(std::string_view key) const;
    // Grabs or releases the keyboard to match the model: while the single-key page shows or a
    // recording runs.
    void UpdateKeyboardGrab();
    // The dirty flag changed: the Apply button follows it.
    void RefreshApplyButton();

signals:
    // An entry was written (OK or Apply): `records` are the entries that changed, the written
    // one first, then those whose macro went away.
    void Applied(std::vector<std::size_t> records);
    // The dialog went away (OK, Cancel, or closed by the main window).
    void Closed();

public slots:
    // OK: apply, then close.
    void accept() override;
    // Cancel: close without writing.
    void reject() override;
    // Apply without closing.
    void ApplyChanges();
    // Starts the desktop's on-screen keyboard; without one, says what to install.
    bool OpenOnScreenKeyboard();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct SkinnedButton {
        CPngButton* button;
        bool toggle;
    };
    struct PagePictures {
        StatePictures push;
        StatePictures toggle;
    };

    void BuildControls();
    void Reskin();
    void ShowPageControls();
    void RefreshKeyPage();
    void RefreshAll();
    void PressPage(DialogPage page);
    // A key event while the keyboard is listened to. True when it is used up.
    bool HandleKeyEvent(QKeyEvent* event);
    void Finish();
    const PagePictures& CurrentPictures() const;

    Context m_context;
    // Forwards the model's messages, letting go of the keyboard while a box is up.
    std::unique_ptr<UiSink> m_sink;
    KeyDialogModel m_model;
    std::unique_ptr<MacroPageView> m_macroPage;
    std::function<std::int64_t()> m_clock;

    std::map<std::string, QWidget*, std::less<>> m_controls;
    std::vector<std::pair<std::string, SkinnedButton>> m_buttons;
    std::map<DialogPage, PagePictures> m_pages;
    PagePictures m_macroOnlyPictures;
    std::map<DialogPage, QPixmap> m_masks;
    QPixmap m_macroOnlyMask;

    CPictureStatic* m_mask = nullptr;
    ColorStatic* m_title = nullptr;
    ColorStatic* m_keyName = nullptr;
    QLineEdit* m_keyInput = nullptr;
    QComboBox* m_mouseList = nullptr;
    QListWidget* m_mediaList = nullptr;
    QListWidget* m_functionList = nullptr;
    bool m_grabbing = false;
    bool m_messageShowing = false;
    bool m_filtering = false;
    bool m_refreshing = false;
};

} // namespace brasslane::gui
