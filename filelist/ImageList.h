#pragma once

// An image list of the list view: icons of one size, addressed by index.

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QList>

class ImageList {
public:
    ImageList(int width, int height) : m_width(width), m_height(height) {}

    // Drops every image and starts again with the given size; true when it exists.
    bool initialize(int width, int height);
    void destroy();
    bool exists() const { return m_exists; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int count() const { return static_cast<int>(m_icons.size()); }

    // The new image's index; 0 when the list does not exist.
    int addIcon(const QIcon& icon);
    // maskColor invalid: the picture as it is; otherwise that colour becomes transparent.
    int addBitmap(const QImage& picture, const QColor& maskColor = QColor());
    // An empty icon for an index outside the list.
    QIcon icon(int index) const;

private:
    int m_width;
    int m_height;
    bool m_exists = true;
    QList<QIcon> m_icons;
};
