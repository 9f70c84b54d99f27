#pragma once

// Reading screenshots and covers: decoded at the size they are shown (a huge picture never
// costs more than the panel needs), transparent parts on white, and off the window's
// thread, so that scrolling through a list never waits for a picture.

#include "platform/QueuedCalls.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// The picture at `path` fitted into `box` (keeping its shape; never enlarged); a null
// image when the file cannot be read or is not a picture. An empty box decodes at full
// size. `fullSize`, when given, receives the picture's own size. Reading stops (a null
// image) as soon as `wanted`, when given, answers false.
QImage loadPictureFile(const QString& path, const QSize& box, QSize* fullSize = nullptr,
                       const std::function<bool()>& wanted = {});

class ThumbnailCache;

// Writes one picture's thumbnail; it stops, leaving nothing behind, as soon as `wanted`
// (when given) answers false.
using ThumbnailWrite = std::function<void(const std::function<bool()>& wanted)>;

// loadPictureFile by way of the shared thumbnail cache: a picture shown smaller than its
// own size comes from its smallest fresh thumbnail that is large enough, when there is one.
// When there is none and a thumbnail would serve the next time, `write` (when given)
// receives the work of writing it, to be done once the picture is on its way, off the
// window's thread; its failure goes unsaid, as the picture shows all the same.
QImage loadPictureCached(const ThumbnailCache& cache, const QString& path, const QSize& box,
                         QSize* fullSize, const std::function<bool()>& wanted,
                         ThumbnailWrite* write);

// How a loader decodes one picture; loadPictureFile unless a test stands in for it.
using PictureDecoder = std::function<QImage(const QString& path, const QSize& box, QSize* fullSize,
                                            const std::function<bool()>& wanted)>;

// Decodes one picture at a time for one viewer: a request replaces every request before
// it, and only the newest one's result is ever delivered. While the viewer is idle it may
// read ahead the pictures it expects next; a request for one of those, or for one shown
// lately, is answered at once. A request never waits for reading ahead or for a thumbnail
// being written: those stop when it comes. Its decodes never hold up its end: they run on
// threads of their own that may finish after the loader is gone, their results then dropped.
class PictureLoader : public QObject {
    Q_OBJECT
public:
    // Without a decoder of its own, the loader reads and writes the shared thumbnail cache.
    explicit PictureLoader(QObject* parent = nullptr, PictureDecoder decoder = {});
    ~PictureLoader() override;

    // Starts decoding; returns the request's number. A picture read already is delivered
    // before this returns. The file is looked at for its stamp (stampOf) unless the caller
    // hands in the one it took off the window's thread.
    quint64 request(const QString& path, const QSize& box);
    quint64 request(const QString& path, const QSize& box, const QString& stamp);
    // Decodes these pictures for later requests, unless a request comes first.
    void readAhead(const QStringList& paths, const QSize& box);
    // The same with the stamps the caller took; a picture without one is passed over.
    void readAhead(const QList<std::pair<QString, QString>>& pathsAndStamps, const QSize& box);
    // What tells a kept picture from a file replaced under the same name: its size and
    // date; empty when it is no regular file. It asks the file system.
    static QString stampOf(const QString& path);
    // Whether a request for this picture would be answered at once.
    bool ready(const QString& path, const QSize& box);
    // Drops whatever is under way (its result will not be delivered).
    void cancel();
    // The newest request's number; 0 before the first.
    quint64 latest() const;
    // Whether the newest request's result is still to come.
    bool pending() const { return m_pending; }

signals:
    // The newest request's picture (null when it could not be decoded) and its own size.
    void loaded(quint64 serial, const QString& path, const QImage& picture, const QSize& full);

private:
    struct Decoded {
        QString path;
        QSize box;
        QString stamp;  // the file's size and date when it was read
        QImage picture;
        QSize full;
    };
    // What the decoding threads share with the loader; they hold it, not the loader.
    struct Shared;
    void deliver(quint64 serial, const QString& path, const QImage& picture, const QSize& full);
    void keep(Decoded decoded);
    const Decoded* kept(const QString& path, const QSize& box, const QString& stamp);

    std::shared_ptr<Shared> m_shared;
    platform::QueuedCalls m_calls;  // from the threads, through Shared::post
    bool m_pending = false;
    std::vector<Decoded> m_kept;  // newest first
};
