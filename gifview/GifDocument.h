#pragma once

// A loaded GIF: the walked frame records, the header that goes in front of every frame's
// bytes, and the open file the frames are read from whenever a frame is drawn.

#include "gifview/GifFrame.h"
#include "gifview/GifWalker.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QString>

#include <memory>
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
        std::unique_ptr<QFile> file;
        GifWalk walk;
        QByteArray header;
        QString fileName;  // as given; the open file does not know it
    };
    // Opens and walks the file; nothing when it is not a GIF this view can show.
    static std::optional<Candidate> read(const QString& fileName);
    // Unloads what was loaded and takes the candidate's file and frames over.
    void install(Candidate candidate);
    // read + install; false leaves what was loaded before.
    bool load(const QString& fileName);
    // Closes the file (deleting it when it is a temporary copy) and drops the frames.
    void unload();

    bool isOpen() const { return m_file != nullptr; }
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

    // All bytes of the open file; empty and ok false when it cannot be read.
    QByteArray fileBytes(bool* ok) const;
    void removeFrame(int index);

    // Bytes of decoded pictures kept; 0 decodes every frame each time it is drawn.
    void setCacheBudget(qint64 bytes);
    static constexpr qint64 kDefaultCacheBudget = 48LL * 1024 * 1024;

private:
    std::unique_ptr<QFile> m_file;
    QString m_fileName;  // of the open file
    bool m_hasFrames = false;
    std::vector<GifFrame> m_frames;
    GifInfo m_info;
    QHash<qint32, QImage> m_cache;  // by start position
    qint64 m_cacheBytes = 0;
    qint64 m_cacheBudget = kDefaultCacheBudget;
};
