#include "gui/widgets/SkinPictures.h"

#include <QImageReader>

#include <vector>

namespace brasslane::gui {

QString ToQString(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return QString::fromUtf8(reinterpret_cast<const char*>(text.data()), static_cast<qsizetype>(text.size()));
}

bool LoadSkinPicture(const std::filesystem::path& file, QImage& picture) {
    QImageReader reader(ToQString(file));
    // A skin picture is a window or smaller; refuse absurd sizes from a damaged file rather
    // than allocate them.
    reader.setAllocationLimit(256);
    QImage loaded = reader.read();
    if (loaded.isNull()) {
        picture = QImage();
        return false;
    }
    picture = std::move(loaded);
    return true;
}

bool LoadStatePictures(const std::filesystem::path& folder, const QString& normal, const QString& over,
                       const QString& down, const QString& disable, StatePictures& pictures) {
    StatePictures loaded;
    const struct {
        const QString& name;
        QImage& picture;
    } wanted[] = {{normal, loaded.normal}, {over, loaded.over}, {down, loaded.down}, {disable, loaded.disable}};
    for (const auto& entry : wanted) {
        if (entry.name.isEmpty()) {
            continue;
        }
        if (!LoadSkinPicture(folder / entry.name.toStdU16String(), entry.picture)) {
            return false;
        }
    }
    pictures = std::move(loaded);
    return true;
}

QRegion RegionWithoutWhite(const QImage& mask, const QSize& windowSize) {
    const QRegion window(QRect(QPoint(0, 0), windowSize));
    if (mask.isNull()) {
        return window;
    }
    // Colour only counts: a white pixel is cut whatever its alpha.
    const QImage rgb = mask.convertToFormat(QImage::Format_RGB32);
    const QRgb white = qRgb(255, 255, 255);
    // One rectangle per run of white pixels, row by row and left to right, which is the banded
    // order QRegion::setRects expects.
    std::vector<QRect> runs;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        int x = 0;
        while (x < rgb.width()) {
            if ((line[x] | 0xFF000000U) != white) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < rgb.width() && (line[x] | 0xFF000000U) == white) {
                ++x;
            }
            runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion cut;
    cut.setRects(runs.data(), static_cast<int>(runs.size()));
    return window.subtracted(cut);
}

} // namespace brasslane::gui
