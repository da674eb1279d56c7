#pragma once

// A throw-away skin folder for widget tests: layout files and solid-colour pictures.

#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <filesystem>
#include <string>

namespace brasslane::gui::test {

class SkinTestFolder {
public:
    SkinTestFolder() { m_dir.setAutoRemove(true); }

    std::filesystem::path Path(const QString& name) const { return m_dir.filePath(name).toStdString(); }

    // Writes `image` (format from the file name's extension).
    void Picture(const QString& name, const QImage& image) const { image.save(m_dir.filePath(name)); }
    void Solid(const QString& name, QSize size, QColor colour) const {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        Picture(name, image);
    }
    void Text(const QString& name, const std::string& text) const {
        QFile file(m_dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(text.data(), static_cast<qint64>(text.size()));
    }

private:
    QTemporaryDir m_dir;
};

} // namespace brasslane::gui::test
