#include "filelist/ImageList.h"

#include <QPixmap>

bool ImageList::initialize(int width, int height) {
    m_icons.clear();
    m_width = width > 0 ? width : 16;
    m_height = height > 0 ? height : 16;
    m_exists = true;
    return true;
}

void ImageList::destroy() {
    m_icons.clear();
    m_exists = false;
}

int ImageList::addIcon(const QIcon& icon) {
    if (!m_exists) return 0;
    m_icons.append(icon);
    return count() - 1;
}

int ImageList::addBitmap(const QImage& picture, const QColor& maskColor) {
    if (!m_exists) return 0;
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    if (maskColor.isValid()) {
        const QRgb key = maskColor.rgb() & 0xFFFFFF;
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
        }
    }
    m_icons.append(QIcon(QPixmap::fromImage(image)));
    return count() - 1;
}

QIcon ImageList::icon(int index) const {
    if (index < 0 || index >= count()) return {};
    return m_icons.at(index);
}
