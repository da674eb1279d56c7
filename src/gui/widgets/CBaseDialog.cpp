#include "gui/widgets/CBaseDialog.h"

#include "gui/widgets/SkinPlacement.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace brasslane::gui {

CBaseDialog::CBaseDialog(QWidget* parent) : QDialog(parent) {
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
}

bool CBaseDialog::SetUpSkin(const std::filesystem::path& layoutFile) {
    SkinLayout layout(layoutFile);
    const std::optional<std::filesystem::path> backgroundPath = layout.BackgroundPath();
    const std::optional<std::filesystem::path> maskPath = layout.MaskPath();
    QImage background;
    QImage mask;
    if (!backgroundPath || !maskPath || !LoadSkinPicture(*backgroundPath, background) ||
        !LoadSkinPicture(*maskPath, mask)) {
        return false;
    }
    m_layout = std::move(layout);
    m_background = std::move(background);
    setFixedSize(m_background.size());
    setMask(RegionWithoutWhite(mask, m_background.size()));
    update();
    return true;
}

std::filesystem::path CBaseDialog::ImageFolder() const {
    return m_layout ? m_layout->ImageFolder() : std::filesystem::path();
}

bool CBaseDialog::LoadPictures(const QString& normal, const QString& over, const QString& down, const QString& disable,
                               StatePictures& pictures) const {
    return LoadStatePictures(ImageFolder(), normal, over, down, disable, pictures);
}

void CBaseDialog::PlaceAndSkin(CPngButton& button, std::string_view key, const StatePictures& pictures,
                               FaceRule rule) const {
    gui::PlaceAndSkin(button, Layout(), SkinLayout::kButtonSection, key, pictures, rule);
}

void CBaseDialog::Place(QWidget& control, std::string_view key) const {
    gui::Place(control, Layout(), SkinLayout::kButtonSection, key);
}

void CBaseDialog::Move(QWidget& control, std::string_view key) const {
    gui::Move(control, Layout(), SkinLayout::kButtonSection, key);
}

void CBaseDialog::PlaceWithFaceOrigin(CPngButton& button, std::string_view rectKey, std::string_view faceSection,
                                      std::string_view faceKey, const QImage& picture) const {
    gui::PlaceWithFaceOrigin(button, Layout(), rectKey, faceSection, faceKey, picture);
}

void CBaseDialog::paintEvent(QPaintEvent* event) {
    if (m_background.isNull()) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_background);
}

void CBaseDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    // A press on the background moves the window like a press on a title bar. The window
    // manager does it where it can; otherwise the dialog follows the pointer itself.
    if (QWindow* window = windowHandle(); window && window->startSystemMove()) {
        event->accept();
        return;
    }
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
}

void CBaseDialog::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragOffset && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *m_dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CBaseDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_dragOffset) {
        m_dragOffset.reset();
        event->accept();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

void CBaseDialog::keyPressEvent(QKeyEvent* event) {
    if (m_swallowEnterEscape &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace brasslane::gui
