#pragma once

// Knowing the listed games by their checksums, off the window's thread: the checksum
// sources read again where they changed, then each file identified, the answers handed
// back a batch at a time while the files are read. Only the newest request is ever
// answered: a folder listed again, or another folder, makes every answer still on its way
// for the one before worthless, and a row must never show another file's verdict.

#include "filelist/VerifiedMarks.h"
#include "identify/Identification.h"
#include "platform/QueuedCalls.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The list's mark for a verdict.
VerifiedMark markOf(identify::Verdict verdict);

// What the game's tip adds about it: the verdict, then the first entry's description, year
// and publisher, and the list and software it comes from (with the zip's member).
QString identificationText(const identify::Identification& found);

class GameIdentification : public QObject {
    Q_OBJECT
public:
    // Makes the identifier; called on the worker thread, once, as the identifier holds a
    // database connection that must stay on the thread that uses it.
    using Factory = std::function<std::unique_ptr<identify::FolderIdentifier>()>;

    // An empty factory identifies nothing: every request is answered as unavailable.
    explicit GameIdentification(Factory factory, QObject* parent = nullptr);
    // Stops after the file being read and waits for the thread.
    ~GameIdentification() override;

    bool available() const { return static_cast<bool>(m_factory); }

    // Identifies `names`, files of `folder` (ending in "/"). The sources are read first
    // when they never were completely, or when `rereadSources` asks for it (only those
    // that changed are read). Replaces the request under way: nothing more of it is told.
    void request(const QString& folder, const QStringList& names, bool rereadSources = false);
    // Drops the request under way; nothing more of it is told.
    void cancel();
    // Whether the newest request is still being worked on.
    bool running() const { return m_running; }

    struct Answer {
        QString name;  // one of the request's names, in its folder
        identify::Identification identification;
    };

    // What a request tells, on this object's thread, in this order: progress while the
    // sources are read, the sources skipped (when any, once they are read; also when the
    // request that read them was replaced since), batches of answers with progress (or
    // `nothingToMatch` instead), then an empty progress text and `finished`.
    std::function<void(const QString& text)> progress;
    std::function<void(const QStringList& problems)> sourcesSkipped;
    std::function<void(const std::vector<Answer>& answers)> identified;
    // The sources hold no entry at all (no software list or DAT file): no file was looked
    // at, and every one of the request's games is unknown. Comes before `finished`.
    std::function<void()> nothingToMatch;
    // No identifier could be made (no factory, or the database could not be opened); the
    // request ends there.
    std::function<void()> unavailable;
    std::function<void()> finished;

private:
    struct Job {
        quint64 id = 0;
        QString folder;
        QStringList names;
        bool reread = false;
    };
    void work();
    void run(const Job& job, identify::FolderIdentifier& identifier);
    // Calls `f` on this object's thread if `id` is still the newest request by then.
    template <typename F>
    void post(quint64 id, F&& f);
    // From the worker: the progress text, or the sources skipped, into the inbox; the
    // window's thread is woken once for whatever gathers there meanwhile.
    void deliver(quint64 id, const QString& text, const QStringList& problems = {});
    // ... and an answer, for the name at `index` of the job's names.
    void deliverAnswer(const Job& job, int index, const identify::Identification& found,
                       const QString& text);
    // On this object's thread: the sources skipped (whichever request read them: they
    // are about the sources, not the rows), the inbox's answers of the newest request,
    // then its progress.
    void drain();

    const Factory m_factory;
    std::atomic<quint64> m_wanted{0};  // the newest request's number; 0 none
    quint64 m_lastId = 0;              // this object's thread only
    bool m_running = false;            // this object's thread only

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Job> m_pending;  // under m_mutex
    std::atomic<bool> m_stop{false};
    std::thread m_worker;

    // The answers waiting for the window's thread, all of one request. At start the
    // window's thread is busy with the list while a folder of 100,000 games, all kept in
    // the cache, is answered in a fraction of a second: as a name and a whole answer each,
    // they held over ten megabytes there, and twice that while the array grew. Most are
    // plainly unknown, which the name's place in the request says well enough.
    struct Answered {
        int name;   // its index in `names`
        int found;  // its index in `found`; -1 for plainly unknown
    };
    struct Inbox {
        quint64 id = 0;
        QStringList names;  // the request's own, shared
        std::vector<Answered> answered;
        std::vector<identify::Identification> found;
    };
    std::mutex m_inboxMutex;
    Inbox m_inbox;  // under m_inboxMutex, as the four below
    quint64 m_progressId = 0;
    QString m_progressText;
    QStringList m_problems;
    bool m_drainPosted = false;
    platform::QueuedCalls m_calls;  // from the worker to this object's thread

    // The worker's own.
    bool m_sourcesRead = false;
};
