#pragma once

// The games folders' journals as the launcher keeps them: read and written on a thread of
// its own (a games folder may be a slow share), with a connection of its own to the
// library database. A folder is read when it is listed, when its `.rombard` changes
// while it is shown (where the system tells of changes), and when the launcher's window
// becomes active again (network shares tell of nothing).

#include "library/JournalSync.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

class QThread;

class HistoryJournals : public QObject {
    Q_OBJECT
public:
    // `databaseFile` is the library database the window's connection uses.
    HistoryJournals(const QString& databaseFile, const QByteArray& installation,
                    QObject* parent = nullptr);
    // Waits a moment for the journal thread to finish what it is doing; a thread held by a
    // share that does not answer is left behind, and what it finds is dropped.
    ~HistoryJournals() override;

    // Reads the folder's journals in, then writes this installation's history of its games
    // that no journal holds yet (all of it, the first time after an update). `running` is
    // the row of the session still being measured, or -1. `watch` makes it the folder
    // whose changes are followed.
    void merge(const QString& folder, qint64 running, bool watch);
    // Writes what waits to be written for the folder, without reading.
    void publish(const QString& folder, qint64 running);

    // On this object's thread, for each merge or publish that did something or failed.
    std::function<void(const QString& folder, const library::JournalSync::Result& result)> done;

private:
    // Whether this object is there to hear of a result; the lock spans a result's posting.
    struct Listener {
        std::mutex lock;
        bool alive = true;
    };
    std::shared_ptr<Listener> m_listener = std::make_shared<Listener>();
    QThread* m_thread;
    QObject* m_worker;
};
