#pragma once

// Reading screenshots and covers: decoded at the size they are shown (a huge picture never
// costs more than the panel needs), transparent parts on white, and off the window's
// thread, so that scrolling through a list never waits for a picture.

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <memory>

// The picture at `path` fitted into `box` (keeping its shape; never enlarged); a null
// image when the file cannot be read or is not a picture. An empty box decodes at full
// size. `fullSize`, when given, receives the picture's own size.
QImage LoadPictureFile(const QString& path, const QSize& box, QSize* fullSize = nullptr);

// Decodes one picture at a time for one viewer: a request replaces every request before
// it, and only the newest one's result is ever delivered.
class PictureLoader : public QObject {
    Q_OBJECT
public:
    explicit PictureLoader(QObject* parent = nullptr);
    ~PictureLoader() override;

    // Starts decoding; returns the request's number.
    quint64 request(const QString& path, const QSize& box);
    // Drops whatever is under way (its result will not be delivered).
    void cancel();
    // The newest request's number; 0 before the first.
    quint64 latest() const { return m_latest->load(); }
    // Whether the newest request's result is still to come.
    bool pending() const { return m_pending; }

signals:
    // The newest request's picture (null when it could not be decoded) and its own size.
    void loaded(quint64 serial, const QString& path, const QImage& picture, const QSize& full);

private:
    void deliver(quint64 serial, const QString& path, const QImage& picture, const QSize& full);

    // Shared with the decoding tasks, which may outlive a request but not the loader.
    std::shared_ptr<std::atomic<quint64>> m_latest;
    bool m_pending = false;
    QThreadPool m_pool;
};
