#include "library/LibraryDb.h"

#include "library/SqliteFile.h"
#include "platform/FileNames.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>

#include <algorithm>

namespace library {

namespace {

// Two launchers in two desktop sessions write the same file; one waits for the other's
// transaction this long before giving up.
constexpr int kBusyMilliseconds = 5000;

// What the log says about the games `where` picks, grouped by path. The threshold is
// written into the triggers of step 3 -> 4: changing kCountedSeconds needs a new step that
// recreates them and refills the table.
#define SUMMARY_OF_SESSIONS(where)                             \
    "SELECT path, SUM(duration >= 10),"                        \
    " SUM(CASE WHEN duration >= 10 THEN duration ELSE 0 END)," \
    " MAX(CASE WHEN duration >= 10 THEN started ELSE 0 END)"   \
    " FROM sessions WHERE " where " GROUP BY path"
// Rebuilds one path's row: none is left when the path has no session.
#define RECOMPUTE_SUMMARY(p)                     \
    "DELETE FROM game_summaries WHERE path = " p \
    ";"                                          \
    "INSERT INTO game_summaries " SUMMARY_OF_SESSIONS("path = " p) ";"
static_assert(LibraryDb::kCountedSeconds == 10);

// Each step brings the schema from its index to the next version; never edit one that
// has shipped, add a step.
constexpr const char* kMigrations[] = {
    // 0 -> 1: the session log.
    "CREATE TABLE sessions(id INTEGER PRIMARY KEY, path BLOB NOT NULL,"
    " emulator TEXT NOT NULL DEFAULT '', started INTEGER NOT NULL,"
    " duration INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX sessions_by_path ON sessions(path);",
    // 1 -> 2: favourite marks.
    "CREATE TABLE favourites(path BLOB PRIMARY KEY) WITHOUT ROWID;",
    // 2 -> 3: the summaries read the log in path order from an index that holds all they
    // need, with no sorting and no table lookups.
    "CREATE INDEX sessions_summary ON sessions(path, duration, started);"
    "DROP INDEX sessions_by_path;",
    // 3 -> 4: each game's totals in a small table, so a start-up reads one row per game
    // instead of grouping years of log. Triggers keep it exact whoever writes the log (a
    // second launcher, an older build), and recompute the path's row from the index
    // rather than adding deltas, so no sequence of writes can make it drift. A path keeps
    // its row, with zero plays, while it has any session at all, as the grouped log did.
    "CREATE TABLE game_summaries(path BLOB PRIMARY KEY, plays INTEGER NOT NULL,"
    " seconds INTEGER NOT NULL, last_started INTEGER NOT NULL) WITHOUT ROWID;"
    "INSERT INTO game_summaries " SUMMARY_OF_SESSIONS(" 1 ") ";"
    "CREATE TRIGGER game_summary_insert AFTER INSERT ON sessions BEGIN "
    RECOMPUTE_SUMMARY("NEW.path") " END;"
    "CREATE TRIGGER game_summary_update AFTER UPDATE OF path, started, duration ON sessions"
    " BEGIN " RECOMPUTE_SUMMARY("NEW.path") " END;"
    // A rename moves sessions one row at a time; the path they leave is recomputed too.
    "CREATE TRIGGER game_summary_move AFTER UPDATE OF path ON sessions"
    " WHEN OLD.path IS NOT NEW.path BEGIN " RECOMPUTE_SUMMARY("OLD.path") " END;"
    "CREATE TRIGGER game_summary_delete AFTER DELETE ON sessions BEGIN "
    RECOMPUTE_SUMMARY("OLD.path") " END;",
    // 4 -> 5: the checksum index and the file checksums, which can always be made again,
    // moved to a cache database of their own; here they only made the history large.
    "DROP TABLE IF EXISTS checksum_roms;"
    "DROP TABLE IF EXISTS checksum_sources;"
    "DROP TABLE IF EXISTS checksum_format;"
    "DROP TABLE IF EXISTS file_checksums;"
    "DROP TABLE IF EXISTS file_checksums_format;",
    // 5 -> 6: what the games folders' journals share with the other computers that play
    // them. A session's random id makes it the same play wherever it is read; `shared`
    // says it is in a journal already. A mark keeps its latest change, which decides
    // against changes read from other computers. `journal_reads` says how far each
    // journal has been read, so nothing is read twice. Ids are blobs, as the journals
    // hand them in.
    "ALTER TABLE sessions ADD COLUMN uid BLOB;"
    "ALTER TABLE sessions ADD COLUMN shared INTEGER NOT NULL DEFAULT 0;"
    "UPDATE sessions SET uid = CAST(lower(hex(randomblob(16))) AS BLOB);"
    "CREATE UNIQUE INDEX sessions_by_uid ON sessions(uid);"
    "CREATE INDEX sessions_unshared ON sessions(path) WHERE shared = 0;"
    "CREATE TABLE mark_changes(path BLOB PRIMARY KEY, marked INTEGER NOT NULL,"
    " changed INTEGER NOT NULL, installation BLOB NOT NULL,"
    " shared INTEGER NOT NULL DEFAULT 0) WITHOUT ROWID;"
    "INSERT INTO mark_changes SELECT path, 1, CAST(strftime('%s', 'now') AS INTEGER), '', 0"
    " FROM favourites;"
    "CREATE INDEX mark_changes_unshared ON mark_changes(path) WHERE shared = 0;"
    "CREATE TABLE renames(uid BLOB PRIMARY KEY, from_path BLOB NOT NULL, to_path BLOB NOT NULL,"
    " at INTEGER NOT NULL, shared INTEGER NOT NULL DEFAULT 0) WITHOUT ROWID;"
    "CREATE INDEX renames_by_from ON renames(from_path, at);"
    "CREATE TABLE journal_reads(folder BLOB NOT NULL, file BLOB NOT NULL,"
    " device INTEGER NOT NULL, inode INTEGER NOT NULL, size INTEGER NOT NULL,"
    " offset INTEGER NOT NULL, PRIMARY KEY(folder, file)) WITHOUT ROWID;",
};

#undef RECOMPUTE_SUMMARY
#undef SUMMARY_OF_SESSIONS
static_assert(std::size(kMigrations) == LibraryDb::kSchemaVersion);

enum Slot {
    kBegin,
    kSetSeconds,
    kIsFavourite,
    kAddFavourite,
    kRemoveFavourite,
    kSummaries,
    kFavourites,
    kDataVersion,
    kMoveSessions,
    kMarkChange,
    kSetMarkChange,
    kMoveMarkChange,
    kAddRename,
    kMarkSays,
    kSlotCount
};

// Resets a prepared statement when the call that used it returns, whatever the path.
struct Reset {
    sqlite3_stmt* s;
    ~Reset() {
        if (s) {
            sqlite3_reset(s);
            sqlite3_clear_bindings(s);
        }
    }
};

void bindPath(sqlite3_stmt* s, int index, const QByteArray& path) {
    sqlite3_bind_blob(s, index, path.constData(), static_cast<int>(path.size()), SQLITE_TRANSIENT);
}

}  // namespace

LibraryDb::~LibraryDb() {
    close();
}

QString LibraryDb::defaultFile() {
    return platform::userBaseFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) +
           QStringLiteral("/Rombard/library.sqlite3");
}

QString LibraryDb::file() const {
    return m_db ? platform::decodeName(QByteArray(sqlite3_db_filename(m_db, "main"))) : QString();
}

void LibraryDb::close() {
    for (sqlite3_stmt* s : m_statements)
        sqlite3_finalize(s);
    m_statements.clear();
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void LibraryDb::noteError() {
    m_error = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("not open");
}

bool LibraryDb::exec(const char* sql) {
    if (!m_db) return false;
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        m_error = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        return false;
    }
    return true;
}

sqlite3_stmt* LibraryDb::prepare(int slot, const char* sql) {
    if (!m_db) return nullptr;
    if (m_statements.empty()) m_statements.assign(kSlotCount, nullptr);
    sqlite3_stmt*& s = m_statements[slot];
    if (!s &&
        sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK)
        noteError();
    return s;
}

// Only content SQLite itself finds damaged counts as broken: a file that cannot be opened,
// is busy, locked or read-only is someone's history that is merely out of reach now.
LibraryDb::Integrity LibraryDb::openFile(const QString& file) {
    const QByteArray name = platform::encodeName(file);
    m_error = refuseUnusableFile(name);
    if (!m_error.isEmpty()) return Integrity::Unknown;
    const int rc =
        sqlite3_open_v2(name.constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        m_error = explainFailure(name, rc, m_db);
        close();
        return Integrity::Unknown;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyMilliseconds);
    // Checked before anything is written, so a damaged file is moved aside as it was found.
    // A file that is not a database at all says so at this first read.
    return integrity();
}

bool LibraryDb::useWal() {
    // WAL lets a reader and a writer (two launchers) work at once, and a launcher killed
    // mid-write leaves a file that passes its integrity check; NORMAL is durable against
    // a killed process, which is what we must survive.
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(m_db, "PRAGMA journal_mode=WAL", -1, &s, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(s);
    sqlite3_finalize(s);
    if (rc != SQLITE_ROW) {
        noteError();
        return false;
    }
    return exec("PRAGMA synchronous=NORMAL") &&
           exec(QByteArray("PRAGMA journal_size_limit=" + QByteArray::number(kJournalSizeLimit))
                    .constData());
}

bool LibraryDb::integrityOk() {
    return integrity() == Integrity::Ok;
}

LibraryDb::Integrity LibraryDb::integrity() {
    if (!m_db) return Integrity::Unknown;
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(m_db, "PRAGMA integrity_check", -1, &s, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(s);
    Integrity result = Integrity::Broken;
    if (rc == SQLITE_ROW)
        result = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))) == "ok"
                     ? Integrity::Ok
                     : Integrity::Broken;
    else if (!isDamagedCode(rc))
        result = Integrity::Unknown;  // unreadable, busy or locked: not the content's fault
    if (result == Integrity::Unknown)
        m_error = explainFailure(QByteArray(sqlite3_db_filename(m_db, "main")), rc, m_db);
    else if (result == Integrity::Broken)
        noteError();
    sqlite3_finalize(s);
    return result;
}

qint64 LibraryDb::dataVersion() {
    sqlite3_stmt* s = prepare(kDataVersion, "PRAGMA data_version");
    if (!s) return -1;
    Reset r{s};
    return sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
}

int LibraryDb::schemaVersion() {
    if (!m_db) return -1;
    sqlite3_stmt* s = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(m_db, "PRAGMA user_version", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
        version = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    return version;
}

bool LibraryDb::migrate() {
    // Two launchers starting at once: the second waits and then finds the work done.
    if (!exec("BEGIN IMMEDIATE")) return false;
    const int from = schemaVersion();
    bool ok = from >= 0;
    // Dropping the checksum tables frees their pages but leaves the file as large as it was.
    const bool shrink = ok && from < 5 && holdsChecksumTables();
    // A newer launcher's file is used as it is: its steps only ever add.
    for (int v = std::max(from, 0); ok && v < kSchemaVersion; ++v)
        ok = exec(kMigrations[v]);
    if (ok && from < kSchemaVersion)
        ok = exec(
            QByteArray("PRAGMA user_version=" + QByteArray::number(kSchemaVersion)).constData());
    if (!ok) {
        exec("ROLLBACK");
        return false;
    }
    if (!exec("COMMIT")) return false;
    // Once, and only worth it then; a failure (another launcher reading) leaves a larger
    // file that works just as well.
    if (shrink && exec("VACUUM")) exec("PRAGMA wal_checkpoint(TRUNCATE)");
    return true;
}

bool LibraryDb::holdsChecksumTables() {
    sqlite3_stmt* s = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(m_db,
                           "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name IN"
                           " ('checksum_roms', 'checksum_sources', 'file_checksums')",
                           -1, &s, nullptr) == SQLITE_OK)
        found = sqlite3_step(s) == SQLITE_ROW;
    sqlite3_finalize(s);
    return found;
}

LibraryDb::Opened LibraryDb::open(const QString& file) {
    close();
    Opened result;
    QDir().mkpath(QFileInfo(file).absolutePath());
    const Integrity found = openFile(file);
    if (found == Integrity::Unknown) {
        result.error = m_error;
        close();
        return result;
    }
    if (found == Integrity::Broken) {
        const QByteArray name = platform::encodeName(file);
        QByteArray aside;
        bool reached = false;
        // Moved only while no other connection has it: a launcher still writing to it would
        // go on writing to the moved file, and its plays would never reach the new one.
        whileNoOtherConnection(m_db, [&] {
            reached = true;
            aside = moveAside(name);
            return !aside.isEmpty();
        });
        close();
        if (aside.isEmpty()) {
            result.error = reached ? QStringLiteral("The damaged library could not be moved aside.")
                                   : QStringLiteral(
                                         "The library is damaged, and another program "
                                         "still uses it; it is left as it is.");
            return result;
        }
        result.movedAsideTo = platform::decodeName(aside);
        if (openFile(file) != Integrity::Ok) {
            result.error = m_error;
            close();
            return result;
        }
    }
    if (!useWal() || !migrate()) {
        // Read-only, full, or a -shm of another user: which file, and why.
        result.error =
            explainFailure(platform::encodeName(file), sqlite3_extended_errcode(m_db), m_db);
        close();
        return result;
    }
    result.ok = true;
    return result;
}

std::optional<qint64> LibraryDb::beginSession(const QByteArray& path, const QString& emulator,
                                              qint64 startedUnix) {
    sqlite3_stmt* s = prepare(kBegin,
                              "INSERT INTO sessions(path, emulator, started, duration, uid)"
                              " VALUES(?, ?, ?, 0, CAST(lower(hex(randomblob(16))) AS BLOB))");
    if (!s) return std::nullopt;
    Reset r{s};
    bindPath(s, 1, path);
    const QByteArray e = emulator.toUtf8();
    sqlite3_bind_text(s, 2, e.constData(), static_cast<int>(e.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(s, 3, startedUnix);
    if (sqlite3_step(s) != SQLITE_DONE) {
        noteError();
        return std::nullopt;
    }
    return sqlite3_last_insert_rowid(m_db);
}

bool LibraryDb::setSessionSeconds(qint64 session, qint64 seconds) {
    sqlite3_stmt* s = prepare(kSetSeconds, "UPDATE sessions SET duration = ? WHERE id = ?");
    if (!s) return false;
    Reset r{s};
    sqlite3_bind_int64(s, 1, std::max<qint64>(seconds, 0));
    sqlite3_bind_int64(s, 2, session);
    if (sqlite3_step(s) != SQLITE_DONE) {
        noteError();
        return false;
    }
    return sqlite3_changes(m_db) == 1;
}

bool LibraryDb::isFavourite(const QByteArray& path) {
    sqlite3_stmt* s = prepare(kIsFavourite, "SELECT 1 FROM favourites WHERE path = ?");
    if (!s) return false;
    Reset r{s};
    bindPath(s, 1, path);
    return sqlite3_step(s) == SQLITE_ROW;
}

bool LibraryDb::setFavourite(const QByteArray& path, bool on) {
    sqlite3_stmt* s =
        on ? prepare(kAddFavourite, "INSERT OR IGNORE INTO favourites(path) VALUES(?)")
           : prepare(kRemoveFavourite, "DELETE FROM favourites WHERE path = ?");
    if (!s) return false;
    Reset r{s};
    bindPath(s, 1, path);
    if (sqlite3_step(s) != SQLITE_DONE) {
        noteError();
        return false;
    }
    return true;
}

std::optional<bool> LibraryDb::toggleFavourite(const QByteArray& path) {
    // IMMEDIATE takes the write lock before reading, so the state read is the one flipped.
    if (!exec("BEGIN IMMEDIATE")) return std::nullopt;
    const bool on = !isFavourite(path);
    if (!setFavourite(path, on) || !noteMarkChange(path, on) || !exec("COMMIT")) {
        exec("ROLLBACK");
        return std::nullopt;
    }
    return on;
}

// The change is stamped later than the one it replaces even when this computer's clock is
// behind the one that made that: what the user just did is what every computer must end
// up with.
bool LibraryDb::noteMarkChange(const QByteArray& path, bool on) {
    qint64 changed = QDateTime::currentSecsSinceEpoch();
    if (sqlite3_stmt* s = prepare(kMarkChange, "SELECT changed FROM mark_changes WHERE path = ?")) {
        Reset r{s};
        bindPath(s, 1, path);
        if (sqlite3_step(s) == SQLITE_ROW)
            changed = std::max(changed, sqlite3_column_int64(s, 0) + 1);
    }
    sqlite3_stmt* s = prepare(kSetMarkChange,
                              "INSERT OR REPLACE INTO mark_changes(path, marked, changed,"
                              " installation, shared) VALUES(?, ?, ?, ?, 0)");
    if (!s) return false;
    Reset r{s};
    bindPath(s, 1, path);
    sqlite3_bind_int(s, 2, on ? 1 : 0);
    sqlite3_bind_int64(s, 3, changed);
    bindPath(s, 4, m_installation);
    if (sqlite3_step(s) != SQLITE_DONE) {
        noteError();
        return false;
    }
    return true;
}

bool LibraryDb::markChangeSays(const QByteArray& path, bool on) {
    sqlite3_stmt* s = prepare(kMarkSays, "SELECT marked FROM mark_changes WHERE path = ?");
    if (!s) return false;
    Reset r{s};
    bindPath(s, 1, path);
    return sqlite3_step(s) == SQLITE_ROW && (sqlite3_column_int(s, 0) != 0) == on;
}

bool LibraryDb::carryOver(const QByteArray& from, const QByteArray& to) {
    if (from == to) return true;
    if (!exec("BEGIN IMMEDIATE")) return false;
    bool ok = false;
    if (sqlite3_stmt* s = prepare(kMoveSessions, "UPDATE sessions SET path = ? WHERE path = ?")) {
        Reset r{s};
        bindPath(s, 1, to);
        bindPath(s, 2, from);
        ok = sqlite3_step(s) == SQLITE_DONE;
    }
    if (ok && isFavourite(from)) ok = setFavourite(to, true) && setFavourite(from, false);
    // The latest change of the mark goes with the game; one the new name had is replaced.
    if (ok)
        if (sqlite3_stmt* s = prepare(
                kMoveMarkChange, "UPDATE OR REPLACE mark_changes SET path = ? WHERE path = ?")) {
            Reset r{s};
            bindPath(s, 1, to);
            bindPath(s, 2, from);
            ok = sqlite3_step(s) == SQLITE_DONE;
        }
    // A mark either name had stays; its change is recorded, so other computers keep it too.
    if (ok && isFavourite(to) && !markChangeSays(to, true)) ok = noteMarkChange(to, true);
    // Written down for the games folder's journal, so other computers move it too.
    if (ok)
        if (sqlite3_stmt* s =
                prepare(kAddRename,
                        "INSERT INTO renames(uid, from_path, to_path, at, shared)"
                        " VALUES(CAST(lower(hex(randomblob(16))) AS BLOB), ?, ?, ?, 0)")) {
            Reset r{s};
            bindPath(s, 1, from);
            bindPath(s, 2, to);
            sqlite3_bind_int64(s, 3, QDateTime::currentSecsSinceEpoch());
            ok = sqlite3_step(s) == SQLITE_DONE;
        }
    if (!ok || !exec("COMMIT")) {
        noteError();
        exec("ROLLBACK");
        return false;
    }
    return true;
}

QHash<QByteArray, GameHistory> LibraryDb::summaries() {
    QHash<QByteArray, GameHistory> out;
    sqlite3_stmt* s =
        prepare(kSummaries, "SELECT path, plays, seconds, last_started FROM game_summaries");
    if (!s) return out;
    Reset r{s};
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        const QByteArray path(static_cast<const char*>(sqlite3_column_blob(s, 0)),
                              sqlite3_column_bytes(s, 0));
        GameHistory h;
        h.plays = sqlite3_column_int(s, 1);
        h.seconds = sqlite3_column_int64(s, 2);
        h.lastPlayed = sqlite3_column_int64(s, 3);
        out.insert(path, h);
    }
    if (rc != SQLITE_DONE) noteError();
    sqlite3_stmt* marks = prepare(kFavourites, "SELECT path FROM favourites");
    if (!marks) return out;
    Reset m{marks};
    while ((rc = sqlite3_step(marks)) == SQLITE_ROW)
        out[QByteArray(static_cast<const char*>(sqlite3_column_blob(marks, 0)),
                       sqlite3_column_bytes(marks, 0))]
            .favourite = true;
    if (rc != SQLITE_DONE) noteError();
    return out;
}

std::vector<HistoryLine> LibraryDb::historyLines(const QByteArray& folder) {
    std::vector<HistoryLine> lines;
    const QHash<QByteArray, GameHistory> all = summaries();
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        if ((it->plays > 0 || it->favourite) &&
            (folder.isEmpty() ||
             (it.key().startsWith(folder) && it.key().indexOf('/', folder.size()) < 0)))
            lines.push_back({it.key(), *it});
    std::sort(lines.begin(), lines.end(), [](const HistoryLine& a, const HistoryLine& b) {
        if (a.history.lastPlayed != b.history.lastPlayed)
            return a.history.lastPlayed > b.history.lastPlayed;
        return a.path < b.path;
    });
    return lines;
}

}  // namespace library
