#pragma once

// The play history as the window uses it: a session for each launch, followed to the end
// of the emulator's last process; favourite marks; history that follows a renamed game;
// and the play facts of the folder listed.

#include "filelist/PlayFacts.h"
#include "library/JournalSync.h"
#include "library/LibraryDb.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class HistoryJournals;
class QTimer;

namespace library {
class PlayClock;
class PlaySession;
}  // namespace library
namespace platform {
class ProcessFollower;
}

class PlayHistory : public QObject {
    Q_OBJECT
public:
    // How often the launcher looks whether the game's processes have all ended.
    static constexpr int kPollMilliseconds = 1000;

    // `db` may be closed: then nothing is recorded and every game reads as never played.
    PlayHistory(library::LibraryDb& db, const library::PlayClock& clock,
                platform::ProcessFollower& processes, QObject* parent = nullptr);
    ~PlayHistory() override;

    bool available() const;
    // Said once in the list's tip (the database was moved aside, or could not be opened);
    // empty after the first call.
    QString takeNotice();
    void setNotice(const QString& notice) { m_notice = notice; }

    // A game is about to be launched: what runs now is not part of its play.
    void aboutToLaunch();
    // A game was launched: ends a session still running and begins one for `path`.
    void gameStarted(const QString& path, const QString& emulator);
    // Ends the session once no process the launcher started runs any more, else keeps its
    // length up to date. The poll timer (object name "playPoll") calls it.
    void poll();
    bool sessionRunning() const;

    // The new mark, or nothing when it could not be saved.
    std::optional<bool> toggleFavourite(const QString& path);
    // `from` is now `to`: the game's sessions and mark go with it.
    void renamed(const QString& from, const QString& to);

    // The played and marked games listed directly in `folder` (ends in "/"), by name; one
    // query however many games the folder holds.
    PlayFactsByName factsForFolder(const QString& folder);

    // From here on the history of each games folder is also kept in the folder's own
    // journals (its `.rombard`), under this installation's id, and read from the journals
    // other computers keep there. Without it the history stays in the database alone.
    void shareThroughJournals(const QByteArray& installation);
    // The folder (ends in "/") has been listed: its journals are read in, off this thread,
    // and its changes followed while it is the folder shown.
    void folderListed(const QString& folder);

    // A session ended or a mark changed: the list's columns are out of date.
    std::function<void()> changed;
    // Something the user did was not kept (a full or read-only disk): why, said once a run
    // for each kind of failure (a play, a mark, a rename's history) so a failing disk does
    // not bring a message at every key.
    std::function<void(const QString& text)> failed;

private:
    enum Failure { kPlayFailed, kMarkFailed, kMoveFailed, kFailureKinds };
    void fail(Failure kind, const QString& what);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void publish(const QString& path);
    qint64 runningSession() const;
    void journalsDone(const QString& folder, const library::JournalSync::Result& result);

    library::LibraryDb& m_db;
    bool m_told[kFailureKinds] = {};
    platform::ProcessFollower& m_processes;
    std::unique_ptr<library::PlaySession> m_session;
    QTimer* m_poll;
    QString m_notice;
    // The log's summaries as last read, while neither this launcher nor another has
    // written since: a start-up lists the folder more than once.
    QHash<QByteArray, library::GameHistory> m_summaries;
    qint64 m_summariesVersion = -1;
    HistoryJournals* m_journals = nullptr;
    QString m_listedFolder;
    QString m_sessionPath;
    // Folders whose journal problems the list's tip has said already.
    QSet<QString> m_toldFolders;
};
