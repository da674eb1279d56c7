#include "gui/CAboutDlg.h"

#include "gui/SkinDialogStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace brasslane::gui {

CAboutDlg::CAboutDlg(TextLookup text, const QPixmap& icon, const QString& link, QWidget* parent)
    : QDialog(parent), m_text(std::move(text)) {
    setModal(false);
    auto* iconLabel = new QLabel(this);
    if (!icon.isNull()) {
        iconLabel->setPixmap(icon.scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    m_intro = new QLabel(this);
    m_intro->setWordWrap(true);
    m_copyright = new QLabel(this);
    m_copyright->setWordWrap(true);
    auto* linkLabel = new QLabel(this);
    linkLabel->setTextFormat(Qt::RichText);
    linkLabel->setOpenExternalLinks(true);
    linkLabel->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(link.toHtmlEscaped(), link.toHtmlEscaped()));
    m_ok = new QPushButton(this);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &CAboutDlg::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(m_intro);
    texts->addWidget(m_copyright);
    texts->addWidget(linkLabel);
    auto* top = new QHBoxLayout;
    top->addWidget(iconLabel, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    ApplySkinDialogStyle(*this);
    ApplyLanguage();
}

void CAboutDlg::ApplyLanguage() {
    if (!m_text) {
        return;
    }
    setWindowTitle(m_text("LANG_ABOUT_TITLE"));
    m_intro->setText(m_text("GUANYU_JIESHAO"));
    m_copyright->setText(m_text("GUANYU_BANQUAN"));
    m_ok->setText(m_text("LANG_ABOUT_OK"));
}

void CAboutDlg::Open() {
    if (!isVisible()) {
        CentreDialog(*this, parentWidget());
    }
    show();
    raise();
    activateWindow();
}

QString CAboutDlg::IntroText() const {
    return m_intro->text();
}
QString CAboutDlg::CopyrightText() const {
    return m_copyright->text();
}
QString CAboutDlg::OkText() const {
    return m_ok->text();
}

void CAboutDlg::accept() {
    hide();
}

void CAboutDlg::reject() {
    hide();
}

} // namespace brasslane::gui
