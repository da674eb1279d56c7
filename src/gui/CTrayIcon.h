#pragma once

// The program's icon in the notification area: shows whether the keyboard is connected and
// offers open, about and exit. A double click opens the main window; a single click does
// nothing. Without a tray (no notification area, or a desktop that refuses the icon) the icon
// stays invisible and the program is reached by starting it a second time.

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

class QAction;
class QMenu;

namespace brasslane::gui {

class CTrayIcon : public QObject {
    Q_OBJECT

public:
    // Looks up a language text ("MENU_11", ...).
    using TextLookup = std::function<QString(std::string_view key)>;
    // Receives the menu's commands: kCommandTrayOpen, kCommandTrayAbout, kCommandTrayExit.
    using CommandHandler = std::function<void(std::uint32_t command)>;

    // The icon pictures are "icon<resource id>.png" in `skinsFolder`.
    CTrayIcon(std::filesystem::path skinsFolder, TextLookup text, CommandHandler commands, QObject* parent = nullptr);
    ~CTrayIcon() override;

    // Adds the icon with `toolTip` and the picture of `resourceId`. False when the desktop has
    // no notification area; the icon then stays invisible.
    bool Create(const QString& toolTip, int resourceId);
    bool IsVisible() const { return m_visible; }

    // Shows the picture of `resourceId` (kIconNoKeyboard, kIconConnected, kIconKeyboardState).
    // The choice is kept while the icon is invisible, so it is current once the icon is shown.
    void SetIcon(int resourceId);
    int IconResource() const { return m_resourceId; }
    void SetToolTip(const QString& toolTip);
    QString ToolTip() const;

    // Takes the icon out of the notification area; it is invisible afterwards.
    void Remove();

    // The right-click menu: open (the default, in bold), about, exit, captioned with the
    // language texts "MENU_11", "MENU_22" and "MENU_33" each time it is shown.
    QMenu* Menu() const { return m_menu.get(); }
    // Refreshes the menu's captions; runs before the menu is shown.
    void UpdateMenuTexts();

    // What a click on the icon does: a double click sends the default (open) command; a
    // single click, set aside for the profile menu, sends nothing.
    void HandleActivation(QSystemTrayIcon::ActivationReason reason);

private:
    QAction* AddCommand(std::uint32_t command);

    std::filesystem::path m_skinsFolder;
    TextLookup m_text;
    CommandHandler m_commands;
    std::unique_ptr<QMenu> m_menu;
    QAction* m_open = nullptr;
    QAction* m_about = nullptr;
    QAction* m_exit = nullptr;
    QSystemTrayIcon* m_icon = nullptr;
    int m_resourceId = 0;
    bool m_visible = false;
};

} // namespace brasslane::gui
