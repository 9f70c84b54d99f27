#pragma once

// A loaded GIF: the walked frame records, the header that goes in front of every frame's
// bytes, and the file's bytes the frames are cut from whenever a frame is drawn. The bytes
// are kept rather than the open file: a picture on a share that stops answering must not
// hold the window's thread each time a frame is drawn.

#include "gifview/GifFrame.h"
#include "gifview/GifWalker.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QString>

#include <optional>
#include <vector>

struct GifInfo : GifScreen {
    bool temporaryFile = false;
    QByteArray header;
    QString fileName;
};

class GifDocument {
public:
    GifDocument();
    ~GifDocument();

    // A file that walked cleanly, ready to replace what is loaded.
    struct Candidate {
        QByteArray bytes;
        GifWalk walk;
        QByteArray header;
        QString fileName;  // as given
    };
    // Reads and walks the file; nothing when it is not a GIF this view can show.
    static std::optional<Candidate> read(const QString& fileName);
    // Walks a file's bytes read elsewhere (off the window's thread).
    static std::optional<Candidate> fromBytes(QByteArray bytes, const QString& fileName);
    // Unloads what was loaded and takes the candidate's file and frames over.
    void install(Candidate candidate);
    // read + install; false leaves what was loaded before.
    bool load(const QString& fileName);
    // Drops the bytes and the frames (deleting the file when it is a temporary copy).
    void unload();

    bool isOpen() const { return m_open; }
    // The frames collection exists (it may still be empty).
    bool hasFrames() const { return m_hasFrames; }
    int frameCount() const { return static_cast<int>(m_frames.size()); }
    // 1-based; nullptr outside 1..frameCount.
    GifFrame* frame(int index);
    const GifFrame* frame(int index) const;
    std::vector<GifFrame>& frames() { return m_frames; }

    GifInfo& info() { return m_info; }
    const GifInfo& info() const { return m_info; }

    // The single-image GIF of frame `index`, or empty when it cannot be read.
    QByteArray framePicture(int index) const;
    // The decoded picture of frame `index`; null when out of range or undecodable.
    // Decoded pictures are kept within a bounded budget, since they depend only on the bytes.
    QImage frameImage(int index);

    void removeFrame(int index);

    // Bytes of decoded pictures kept; 0 decodes every frame each time it is drawn.
    void setCacheBudget(qint64 bytes);
    static constexpr qint64 kDefaultCacheBudget = 48LL * 1024 * 1024;

private:
    QByteArray m_bytes;
    bool m_open = false;
    QString m_fileName;  // of the bytes held
    bool m_hasFrames = false;
    std::vector<GifFrame> m_frames;
    GifInfo m_info;
    QHash<qint32, QImage> m_cache;  // by start position
    qint64 m_cacheBytes = 0;
    qint64 m_cacheBudget = kDefaultCacheBudget;
};
