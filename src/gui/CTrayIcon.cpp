#include "gui/CTrayIcon.h"

#include "gui/widgets/CSkinMenu.h"
#include "gui/widgets/SkinPictures.h"

#include "core/base/Messages.h"

#include <QAction>
#include <QIcon>
#include <QMenu>

namespace brasslane::gui {

CTrayIcon::CTrayIcon(std::filesystem::path skinsFolder, TextLookup text, CommandHandler commands, QObject* parent)
    : QObject(parent), m_skinsFolder(std::move(skinsFolder)), m_text(std::move(text)), m_commands(std::move(commands)),
      m_menu(std::make_unique<CSkinMenu>()) {
    m_open = AddCommand(kCommandTrayOpen);
    m_about = AddCommand(kCommandTrayAbout);
    m_exit = AddCommand(kCommandTrayExit);
    QFont bold = m_open->font();
    bold.setBold(true);
    m_open->setFont(bold);
    m_menu->setDefaultAction(m_open);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &CTrayIcon::UpdateMenuTexts);
    UpdateMenuTexts();

    m_icon = new QSystemTrayIcon(this);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this, &CTrayIcon::HandleActivation);
}

CTrayIcon::~CTrayIcon() {
    Remove();
}

QAction* CTrayIcon::AddCommand(std::uint32_t command) {
    QAction* action = m_menu->addAction(QString());
    connect(action, &QAction::triggered, this, [this, command] {
        if (m_commands) {
            m_commands(command);
        }
    });
    return action;
}

bool CTrayIcon::Create(const QString& toolTip, int resourceId) {
    SetToolTip(toolTip);
    SetIcon(resourceId);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    m_icon->show();
    m_visible = m_icon->isVisible();
    return m_visible;
}

void CTrayIcon::SetIcon(int resourceId) {
    m_resourceId = resourceId;
    QImage picture;
    const std::filesystem::path file = m_skinsFolder / ("icon" + std::to_string(resourceId) + ".png");
    if (LoadSkinPicture(file, picture)) {
        m_icon->setIcon(QIcon(QPixmap::fromImage(picture)));
    }
}

void CTrayIcon::SetToolTip(const QString& toolTip) {
    m_icon->setToolTip(toolTip);
}

QString CTrayIcon::ToolTip() const {
    return m_icon->toolTip();
}

void CTrayIcon::Remove() {
    if (m_icon) {
        m_icon->hide();
    }
    m_visible = false;
}

void CTrayIcon::UpdateMenuTexts() {
    if (!m_text) {
        return;
    }
    m_open->setText(m_text("MENU_11"));
    m_about->setText(m_text("MENU_22"));
    m_exit->setText(m_text("MENU_33"));
}

void CTrayIcon::HandleActivation(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick && m_commands) {
        m_commands(kCommandTrayOpen);
    }
}

} // namespace brasslane::gui
