#pragma once

// The library database: an append-only log of play sessions and the favourite marks, in
// one SQLite file shared by every running launcher of the user. Counts, totals and the
// last play are kept per game beside the log by the database itself (triggers), so they
// stay exact whichever launcher writes, and a start-up reads them without grouping the log.
//
// Game paths are the bytes of the local file name (platform::encodeName), so a name that
// is not valid UTF-8 keeps its history.

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace library {

// What the log tells about one game.
struct GameHistory {
    int plays = 0;           // sessions of kCountedSeconds or more
    qint64 seconds = 0;      // their total length
    qint64 lastPlayed = 0;   // the start of the latest of them (seconds since the epoch), 0 none
    bool favourite = false;  // marked with Ctrl+D
};

struct HistoryLine {
    QByteArray path;
    GameHistory history;
};

class LibraryDb {
public:
    // A session shorter than this is kept in the log but is not a play: a game that failed
    // to start, or was left at once, is not "recently played".
    static constexpr int kCountedSeconds = 10;
    // The schema this build writes; older files are brought up to it on opening.
    static constexpr int kSchemaVersion = 6;

    struct Opened {
        bool ok = false;
        // The unusable file's new name when it was moved aside; empty otherwise.
        QString movedAsideTo;
        QString error;
    };

    LibraryDb() = default;
    ~LibraryDb();
    LibraryDb(const LibraryDb&) = delete;
    LibraryDb& operator=(const LibraryDb&) = delete;

    // $XDG_DATA_HOME/Rombard/library.sqlite3 (~/.local/share by default).
    static QString defaultFile();

    // Opens (creating the file and its folder when needed) and brings the schema up to
    // date. A file SQLite finds is not a database, or that fails its integrity check, is
    // renamed to "<file>.broken-<date>" with its -wal and -shm companions (never deleted)
    // and a new, empty one is started in its place, unless another connection still uses
    // it. A file that cannot be opened (its permissions, a -shm of another user, a
    // FIFO) is left as it is; `error` says why.
    Opened open(const QString& file);
    bool isOpen() const { return m_db != nullptr; }
    // The open file's name; empty when closed.
    QString file() const;
    // This installation's id, with which its mark changes are stamped.
    void setInstallation(const QByteArray& id) { m_installation = id; }
    QByteArray installation() const { return m_installation; }
    void close();

    // The session's row, written when the game starts; its id, or nothing.
    std::optional<qint64> beginSession(const QByteArray& path, const QString& emulator,
                                       qint64 startedUnix);
    bool setSessionSeconds(qint64 session, qint64 seconds);

    bool setFavourite(const QByteArray& path, bool on);
    // Flips the mark in one transaction, so two launchers toggling at once never lose one;
    // the new state, or nothing when it could not be written.
    std::optional<bool> toggleFavourite(const QByteArray& path);
    bool isFavourite(const QByteArray& path);

    // Every game with a session or a mark, in one query.
    QHash<QByteArray, GameHistory> summaries();
    // The games with a play or a mark, the latest play first; marked games never played
    // come last, by path. With a `folder` (ending in "/"), only the games directly in it.
    std::vector<HistoryLine> historyLines(const QByteArray& folder = QByteArray());

    // The game's sessions and mark now belong to `to` (a rename, or a removed copy's
    // history going to the copy kept); a mark on either stays. The move is noted for the
    // games folder's journal.
    bool carryOver(const QByteArray& from, const QByteArray& to);

    // Changes whenever another connection (another launcher) has committed a change.
    qint64 dataVersion();

    // `PRAGMA integrity_check` says "ok".
    bool integrityOk();
    int schemaVersion();
    QString lastError() const { return m_error; }
    // The connection, for checks of the file itself; null when closed. Owned by this object.
    sqlite3* handle() const { return m_db; }

private:
    enum class Integrity { Ok, Broken, Unknown };
    Integrity integrity();
    Integrity openFile(const QString& file);
    bool useWal();
    bool migrate();
    bool holdsChecksumTables();
    bool exec(const char* sql);
    sqlite3_stmt* prepare(int slot, const char* sql);
    void noteError();
    bool noteMarkChange(const QByteArray& path, bool on);
    bool markChangeSays(const QByteArray& path, bool on);

    sqlite3* m_db = nullptr;
    QByteArray m_installation;
    std::vector<sqlite3_stmt*> m_statements;
    QString m_error;
};

}  // namespace library
