#pragma once

// The about box: the program's icon, two lines of text, a link and OK. Modeless and created
// once; OK and Escape only hide it, so it keeps its place between showings.

#include <QDialog>
#include <QString>

#include <functional>
#include <string_view>

class QLabel;
class QPushButton;

namespace brasslane::gui {

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    using TextLookup = std::function<QString(std::string_view key)>;

    // `icon` is the program's icon picture (may be null); `link` the address of the link line.
    CAboutDlg(TextLookup text, const QPixmap& icon, const QString& link, QWidget* parent = nullptr);

    // Takes the texts again from the current language ("LANG_ABOUT_TITLE", "GUANYU_JIESHAO",
    // "GUANYU_BANQUAN", "LANG_ABOUT_OK").
    void ApplyLanguage();

    // Shows the box and brings it to the front.
    void Open();

    QString IntroText() const;
    QString CopyrightText() const;
    QString OkText() const;

public slots:
    void accept() override;
    void reject() override;

private:
    TextLookup m_text;
    QLabel* m_intro = nullptr;
    QLabel* m_copyright = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace brasslane::gui
