#include "launcher/games/HistoryJournals.h"

#include "library/JournalFiles.h"
#include "library/LibraryDb.h"

#include <QDeadlineTimer>
#include <QFileSystemWatcher>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// Lives on the journal thread; everything it does touches the disk.
class JournalWorker : public QObject {
public:
    JournalWorker(QString file, QByteArray installation)
        : m_file(std::move(file)), m_installation(std::move(installation)) {}

    std::function<void(const QString&, const library::JournalSync::Result&)> report;

    void run(const QString& folder, qint64 running, bool read, bool watch) {
        if (!open()) return;
        library::JournalSync::Result result;
        if (read) result = m_sync->readFolder(folder);
        const library::JournalSync::Result written = m_sync->publishFolder(folder, running);
        result.unwritable = written.unwritable;
        result.error = written.error;
        if (watch) follow(folder);
        if (result.changed || result.unwritable || result.newer > 0) report(folder, result);
    }

private:
    bool open() {
        if (m_sync) return true;
        if (!m_db.open(m_file).ok) return false;
        m_db.setInstallation(m_installation);
        m_sync = std::make_unique<library::JournalSync>(m_db, m_installation);
        m_watcher = new QFileSystemWatcher(this);
        m_settle = new QTimer(this);
        m_settle->setSingleShot(true);
        // A sync tool writes a file in many steps: read once they have settled.
        m_settle->setInterval(500);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_settle,
                qOverload<>(&QTimer::start));
        connect(m_watcher, &QFileSystemWatcher::fileChanged, m_settle, qOverload<>(&QTimer::start));
        connect(m_settle, &QTimer::timeout, this, [this] {
            if (m_watched.isEmpty()) return;
            const library::JournalSync::Result result = m_sync->readFolder(m_watched);
            follow(m_watched);
            if (result.changed || result.newer > 0) report(m_watched, result);
        });
        return true;
    }

    // The shown folder's `.rombard` and its files; the previous folder's are let go.
    void follow(const QString& folder) {
        if (!m_watched.isEmpty() && m_watched != folder) {
            const QStringList old = m_watcher->files() + m_watcher->directories();
            if (!old.isEmpty()) m_watcher->removePaths(old);
        }
        m_watched = folder;
        const QString journals = folder + QLatin1String(library::journal::kFolderName);
        QStringList paths{journals};
        for (const library::journal::JournalFile& f :
             library::journal::listJournals(folder.chopped(1)))
            paths << f.path;
        const QStringList known = m_watcher->files() + m_watcher->directories();
        for (const QString& p : paths)
            if (!known.contains(p)) m_watcher->addPath(p);
    }

    QString m_file;
    QByteArray m_installation;
    library::LibraryDb m_db;
    std::unique_ptr<library::JournalSync> m_sync;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_settle = nullptr;
    QString m_watched;
};

}  // namespace

HistoryJournals::HistoryJournals(const QString& databaseFile, const QByteArray& installation,
                                 QObject* parent)
    : QObject(parent), m_thread(new QThread(this)) {
    auto* worker = new JournalWorker(databaseFile, installation);
    // The thread ends before this object does (the destructor waits), and a call still
    // queued for this object when it goes is dropped with it.
    worker->report = [this, listener = m_listener](const QString& folder,
                                                   const library::JournalSync::Result& result) {
        const std::lock_guard<std::mutex> hold(listener->lock);
        if (!listener->alive) return;
        QMetaObject::invokeMethod(
            this,
            [this, folder, result] {
                if (done) done(folder, result);
            },
            Qt::QueuedConnection);
    };
    worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, worker, &QObject::deleteLater);
    m_worker = worker;
    m_thread->setObjectName(QStringLiteral("history journals"));
    m_thread->start();
}

HistoryJournals::~HistoryJournals() {
    {
        const std::lock_guard<std::mutex> hold(m_listener->lock);
        m_listener->alive = false;
    }
    m_thread->quit();
    // A games folder on a share that stopped answering can hold the thread in the kernel
    // for good: the window closes all the same, and the thread (with its worker and its
    // own database connection) is left to the end of the process, never destroyed while
    // it runs.
    constexpr int kWaitMs = 500;
    if (!m_thread->wait(QDeadlineTimer(kWaitMs))) {
        m_thread->setParent(nullptr);
#if defined(__SANITIZE_ADDRESS__)
        // Kept on purpose: a leak checker is told so.
        __lsan_ignore_object(m_thread);
        __lsan_ignore_object(m_worker);
#endif
    }
}

void HistoryJournals::merge(const QString& folder, qint64 running, bool watch) {
    auto* worker = static_cast<JournalWorker*>(m_worker);
    QMetaObject::invokeMethod(
        worker, [worker, folder, running, watch] { worker->run(folder, running, true, watch); },
        Qt::QueuedConnection);
}

void HistoryJournals::publish(const QString& folder, qint64 running) {
    auto* worker = static_cast<JournalWorker*>(m_worker);
    QMetaObject::invokeMethod(
        worker, [worker, folder, running] { worker->run(folder, running, false, false); },
        Qt::QueuedConnection);
}
