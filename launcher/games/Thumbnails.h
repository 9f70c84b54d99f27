#pragma once

// The desktop's shared thumbnail cache ($XDG_CACHE_HOME/thumbnails), read and written the
// way file managers do: a picture seen before, by this program or by them, opens from a
// small PNG instead of its own full decode.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

// The cache's sizes: the folder and the longest edge of its thumbnails.
struct ThumbnailSize {
    const char* folder;
    int edge;
};
inline constexpr ThumbnailSize kThumbnailSizes[] = {
    {"large", 256}, {"x-large", 512}, {"xx-large", 1024}};

// "file://" and the absolute path, every byte outside the characters a URI path may hold
// as they are written as %XX (upper-case hex): the text the cache's names are made from.
QByteArray thumbnailUri(const QString& absolutePath);
// The file name of a picture's thumbnail in each size folder: the lower-case hex MD5 of
// its URI, and ".png".
QString thumbnailFileName(const QString& absolutePath);
// $XDG_CACHE_HOME/thumbnails ($HOME/.cache when XDG_CACHE_HOME is unset or not absolute).
QString defaultThumbnailRoot();

class ThumbnailCache {
public:
    explicit ThumbnailCache(QString root = defaultThumbnailRoot());

    const QString& root() const { return m_root; }
    // Whether the picture at `absolutePath` is itself part of the cache: such files never
    // get thumbnails.
    bool holds(const QString& absolutePath) const;
    // The smallest fresh thumbnail of the picture (its URI and modification time, in whole
    // seconds, as recorded in the thumbnail) that is at least `shown` in both directions;
    // null when there is none. Damaged or foreign files are passed over.
    QImage find(const QString& absolutePath, qint64 modifiedSeconds, const QSize& shown) const;
    // The size whose thumbnails are the smallest that still hold a picture of `full`
    // pixels shown at `shown`; 0 when no thumbnail would be smaller than the picture.
    static int edgeFor(const QSize& full, const QSize& shown);
    // Writes the thumbnail of `picture` (any size not below the thumbnail's) in the folder
    // for `edge`: a temporary file in that folder renamed into place, readable by the user
    // alone, in folders only the user may enter. False when it could not be written, or
    // when `wanted` (when given) answered false before the thumbnail was complete.
    bool store(const QString& absolutePath, qint64 modifiedSeconds, const QImage& picture,
               const QSize& full, int edge, const std::function<bool()>& wanted = {}) const;

private:
    QString m_root;
};
