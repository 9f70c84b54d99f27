#include "library/JournalSync.h"

#include "library/JournalFiles.h"
#include "library/LibraryDb.h"
#include "platform/FileNames.h"

#include <QDateTime>

#include <sqlite3.h>

#include <tuple>

namespace library {

namespace {

using namespace journal;

// Renames are followed at most this far: a chain longer than that is a loop of names.
constexpr int kMaxRenameChain = 64;
// Read and folded at once from one journal: a larger one is read in several transactions of
// one listing, so the window's own writes (a mark, a play's end) never wait long for them.
constexpr qint64 kReadStep = qint64(1) << 20;

// A statement of the cache for one call; reset however the call returns.
class Statement {
public:
    explicit Statement(sqlite3_stmt* s) : m_s(s) {}
    ~Statement() { reset(); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return m_s != nullptr; }
    Statement& bind(int i, const QByteArray& bytes) {
        sqlite3_bind_blob(m_s, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int i, qint64 n) {
        sqlite3_bind_int64(m_s, i, n);
        return *this;
    }
    Statement& bind(int i, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_s, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // False at the end, the statement reset then: it holds no read open while the caller
    // goes on to write.
    bool row() {
        if (m_s && sqlite3_step(m_s) == SQLITE_ROW) return true;
        if (m_s) sqlite3_reset(m_s);
        return false;
    }
    bool run() {
        if (!m_s) return false;
        const bool ok = sqlite3_step(m_s) == SQLITE_DONE;
        sqlite3_reset(m_s);
        return ok;
    }
    void reset() {
        if (!m_s) return;
        sqlite3_reset(m_s);
        sqlite3_clear_bindings(m_s);
    }
    qint64 integer(int i) { return sqlite3_column_int64(m_s, i); }
    QByteArray bytes(int i) {
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_s, i)),
                          sqlite3_column_bytes(m_s, i));
    }

private:
    sqlite3_stmt* m_s = nullptr;
};

// A game directly in the folder: the part after the folder, or empty.
QByteArray relativeTo(const QByteArray& folder, const QByteArray& path) {
    if (!path.startsWith(folder) || path.size() == folder.size() ||
        path.indexOf('/', folder.size()) >= 0)
        return {};
    return path.mid(folder.size());
}

// The first path after every path that begins with `folder` (which ends in '/'), so that a
// range of the index picks the folder's games.
QByteArray pastFolder(QByteArray folder) {
    folder.back() = char(folder.back() + 1);
    return folder;
}

// Which of two mark changes is the later: by time, then by installation, so every computer
// decides alike even when their clocks disagree.
bool later(qint64 changed, const QByteArray& installation, qint64 otherChanged,
           const QByteArray& otherInstallation) {
    return std::tie(changed, installation) > std::tie(otherChanged, otherInstallation);
}

}  // namespace

JournalSync::~JournalSync() {
    for (sqlite3_stmt* s : std::as_const(m_statements))
        sqlite3_finalize(s);
}

// Each statement is prepared once: a first reading folds a hundred thousand records.
sqlite3_stmt* JournalSync::prepared(const char* sql) {
    sqlite3_stmt*& s = m_statements[sql];
    if (!s && m_db.handle())
        sqlite3_prepare_v3(m_db.handle(), sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    return s;
}

bool JournalSync::exec(const char* sql) {
    return m_db.handle() &&
           sqlite3_exec(m_db.handle(), sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Where a game known as `path` at time `since` lives now, after the renames known since.
QByteArray JournalSync::resolve(QByteArray path, qint64 since) {
    Statement next(
        prepared("SELECT to_path, at FROM renames WHERE from_path = ? AND at > ?"
                 " ORDER BY at LIMIT 1"));
    for (int i = 0; i < kMaxRenameChain; ++i) {
        next.bind(1, path).bind(2, since);
        if (!next.row()) break;
        path = next.bytes(0);
        since = next.integer(1);
        next.reset();
    }
    return path;
}

bool JournalSync::foldPlay(const QByteArray& folder, const Play& play) {
    Statement known(prepared("SELECT duration FROM sessions WHERE uid = ?"));
    known.bind(1, play.id);
    if (known.row()) {
        // The same play recorded again as it went on: the longest record holds.
        if (known.integer(0) >= play.seconds) return true;
        return Statement(prepared("UPDATE sessions SET duration = ? WHERE uid = ?"))
            .bind(1, play.seconds)
            .bind(2, play.id)
            .run();
    }
    Statement add(
        prepared("INSERT INTO sessions(path, emulator, started, duration, uid, shared)"
                 " VALUES(?, ?, ?, ?, ?, 1)"));
    add.bind(1, resolve(folder + play.path, play.started)).bind(2, play.emulator);
    return add.bind(3, play.started).bind(4, play.seconds).bind(5, play.id).run();
}

bool JournalSync::foldMark(const QByteArray& path, const Mark& mark) {
    Statement stored(prepared("SELECT changed, installation FROM mark_changes WHERE path = ?"));
    stored.bind(1, path);
    if (stored.row()) {
        // A change of this computer's not yet published is stamped with no installation.
        QByteArray by = stored.bytes(1);
        if (by.isEmpty()) by = m_installation;
        if (!later(mark.changed, mark.installation, stored.integer(0), by)) return true;
    }
    Statement set(
        prepared("INSERT OR REPLACE INTO mark_changes(path, marked, changed, installation,"
                 " shared) VALUES(?, ?, ?, ?, 1)"));
    if (!set.bind(1, path)
             .bind(2, mark.on ? 1 : 0)
             .bind(3, mark.changed)
             .bind(4, mark.installation)
             .run())
        return false;
    return mark.on
               ? Statement(prepared("INSERT OR IGNORE INTO favourites(path) VALUES(?)"))
                     .bind(1, path)
                     .run()
               : Statement(prepared("DELETE FROM favourites WHERE path = ?")).bind(1, path).run();
}

bool JournalSync::foldRename(const QByteArray& folder, const Rename& rename) {
    Statement known(prepared("SELECT 1 FROM renames WHERE uid = ?"));
    if (known.bind(1, rename.id).row()) return true;
    const QByteArray from = folder + rename.from;
    if (!Statement(
             prepared(
                 "INSERT INTO renames(uid, from_path, to_path, at, shared) VALUES(?, ?, ?, ?, 1)"))
             .bind(1, rename.id)
             .bind(2, from)
             .bind(3, folder + rename.to)
             .bind(4, rename.at)
             .run())
        return false;
    // What was recorded under the old name before the rename goes where that game is now.
    const QByteArray to = resolve(from, rename.at - 1);
    if (to == from) return true;
    if (!Statement(prepared("UPDATE sessions SET path = ? WHERE path = ? AND started < ?"))
             .bind(1, to)
             .bind(2, from)
             .bind(3, rename.at)
             .run())
        return false;
    Statement mark(
        prepared("SELECT marked, changed, installation FROM mark_changes"
                 " WHERE path = ? AND changed < ?"));
    if (!mark.bind(1, from).bind(2, rename.at).row()) return true;
    QByteArray by = mark.bytes(2);
    if (by.isEmpty()) by = m_installation;
    const Mark moved{to, mark.integer(0) != 0, mark.integer(1), by};
    return foldMark(to, moved) &&
           Statement(prepared("DELETE FROM mark_changes WHERE path = ?")).bind(1, from).run() &&
           Statement(prepared("DELETE FROM favourites WHERE path = ?")).bind(1, from).run();
}

bool JournalSync::fold(const QString& folder, const std::vector<Record>& records) {
    const QByteArray base = platform::encodeName(folder);
    // Renames first, so plays and marks read from any journal land on today's names.
    bool ok = true;
    for (const Record& r : records)
        if (const auto* rename = std::get_if<Rename>(&r)) ok = ok && foldRename(base, *rename);
    for (const Record& r : records) {
        if (const auto* play = std::get_if<Play>(&r))
            ok = ok && foldPlay(base, *play);
        else if (const auto* mark = std::get_if<Mark>(&r))
            ok = ok && foldMark(resolve(base + mark->path, mark->changed), *mark);
    }
    return ok;
}

JournalSync::Result JournalSync::readFolder(const QString& folder) {
    Result result;
    sqlite3* db = m_db.handle();
    if (!db || !folder.endsWith(QLatin1Char('/'))) return result;
    const QByteArray base = platform::encodeName(folder);
    const QString games = folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder;
    for (const JournalFile& file : listJournals(games)) {
        qint64 offset = 0;
        {
            Statement where(
                prepared("SELECT device, inode, size, offset FROM journal_reads"
                         " WHERE folder = ? AND file = ?"));
            if (where.bind(1, base).bind(2, file.name).row() && where.integer(0) == file.device &&
                where.integer(1) == file.inode && file.size >= where.integer(2)) {
                // The same file, grown or not: read on from where it was left. A file that
                // shrank or was replaced (compacted, copied over by a sync tool) is read
                // again from its start, and what was read already is recognised by its ids.
                offset = where.integer(3);
                // A file that is not a journal is looked at again only once it changes.
                if (offset < 0 && file.size == where.integer(2)) continue;
                if (offset < 0) offset = 0;
                if (offset >= file.size) continue;
            }
        }
        qint64 end = offset;
        bool journal = true;
        while (end < file.size) {
            const std::optional<Parsed> parsed = readJournal(file, end, kReadStep);
            if (!parsed) break;
            if (!parsed->isJournal) {
                journal = false;
                break;
            }
            result.damaged += parsed->damaged;
            result.newer += parsed->newer;
            const int before = sqlite3_total_changes(db);
            if (!exec("BEGIN IMMEDIATE")) break;
            const bool ok =
                fold(folder, parsed->records) &&
                Statement(prepared("INSERT OR REPLACE INTO journal_reads(folder, file, device,"
                                   " inode, size, offset) VALUES(?, ?, ?, ?, ?, ?)"))
                    .bind(1, base)
                    .bind(2, file.name)
                    .bind(3, file.device)
                    .bind(4, file.inode)
                    .bind(5, file.size)
                    .bind(6, end + parsed->consumed)
                    .run();
            if (!ok || !exec("COMMIT")) {
                exec("ROLLBACK");
                break;
            }
            // Only journal_reads changed: one row.
            if (sqlite3_total_changes(db) - before > 1) result.changed = true;
            if (parsed->consumed == 0) break;  // a torn last line waits for its end
            end += parsed->consumed;
        }
        if (!journal)
            Statement(
                prepared("INSERT OR REPLACE INTO journal_reads(folder, file, device, inode, size,"
                         " offset) VALUES(?, ?, ?, ?, ?, -1)"))
                .bind(1, base)
                .bind(2, file.name)
                .bind(3, file.device)
                .bind(4, file.inode)
                .bind(5, file.size)
                .run();
    }
    return result;
}

JournalSync::Result JournalSync::publishFolder(const QString& folder, qint64 runningSession) {
    Result result;
    sqlite3* db = m_db.handle();
    if (!db || m_installation.isEmpty() || !folder.endsWith(QLatin1Char('/'))) return result;
    const QByteArray base = platform::encodeName(folder);
    // An older launcher writing this file leaves its plays without an id.
    if (Statement(prepared("SELECT 1 FROM sessions WHERE uid IS NULL LIMIT 1")).row())
        exec(
            "UPDATE sessions SET uid = CAST(lower(hex(randomblob(16))) AS BLOB) WHERE uid IS NULL");
    // Marks an older launcher set, with no change recorded: recorded now, so they are
    // published like any other.
    Statement(prepared("INSERT OR IGNORE INTO mark_changes(path, marked, changed, installation,"
                       " shared) SELECT path, 1, ?, ?, 0 FROM favourites WHERE path >= ?"
                       " AND path < ? AND path NOT IN (SELECT path FROM mark_changes)"))
        .bind(1, QDateTime::currentSecsSinceEpoch())
        .bind(2, m_installation)
        .bind(3, base)
        .bind(4, pastFolder(base))
        .run();
    QByteArray lines;
    std::vector<qint64> plays;
    Statement sessions(
        prepared("SELECT id, uid, path, started, duration, emulator FROM sessions"
                 " WHERE shared = 0 AND path >= ? AND path < ?"));
    sessions.bind(1, base).bind(2, pastFolder(base));
    while (sessions.row()) {
        const QByteArray name = relativeTo(base, sessions.bytes(2));
        if (name.isEmpty() || sessions.integer(0) == runningSession) continue;
        plays.push_back(sessions.integer(0));
        lines += recordLine(Play{sessions.bytes(1), name, sessions.integer(3), sessions.integer(4),
                                 QString::fromUtf8(sessions.bytes(5))});
    }
    std::vector<std::pair<QByteArray, qint64>> marks;
    Statement changes(
        prepared("SELECT path, marked, changed, installation FROM mark_changes"
                 " WHERE shared = 0 AND path >= ? AND path < ?"));
    changes.bind(1, base).bind(2, pastFolder(base));
    while (changes.row()) {
        const QByteArray name = relativeTo(base, changes.bytes(0));
        if (name.isEmpty()) continue;
        marks.emplace_back(changes.bytes(0), changes.integer(2));
        QByteArray by = changes.bytes(3);
        if (by.isEmpty()) by = m_installation;
        lines += recordLine(Mark{name, changes.integer(1) != 0, changes.integer(2), by});
    }
    std::vector<QByteArray> renames;
    Statement moves(prepared("SELECT uid, from_path, to_path, at FROM renames WHERE shared = 0"));
    while (moves.row()) {
        const QByteArray from = relativeTo(base, moves.bytes(1)),
                         to = relativeTo(base, moves.bytes(2));
        if (from.isEmpty() || to.isEmpty()) continue;
        renames.push_back(moves.bytes(0));
        lines += recordLine(Rename{moves.bytes(0), from, to, moves.integer(3)});
    }
    if (lines.isEmpty()) return result;
    const QString games = folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder;
    const Appended appended = appendOwn(games, m_installation, lines);
    if (!appended.ok) {
        result.unwritable = true;
        result.error = appended.error;
        return result;
    }
    exec("BEGIN IMMEDIATE");
    for (const qint64 id : plays)
        Statement(prepared("UPDATE sessions SET shared = 1 WHERE id = ?")).bind(1, id).run();
    // A mark changed again meanwhile waits for the next publishing.
    for (const auto& [path, changed] : marks)
        Statement(prepared("UPDATE mark_changes SET shared = 1, installation = ?"
                           " WHERE path = ? AND changed = ?"))
            .bind(1, m_installation)
            .bind(2, path)
            .bind(3, changed)
            .run();
    for (const QByteArray& uid : renames)
        Statement(prepared("UPDATE renames SET shared = 1 WHERE uid = ?")).bind(1, uid).run();
    exec("COMMIT");
    const std::optional<platform::RegularFile> own = platform::regularFile(
        games + QLatin1Char('/') + QLatin1String(kFolderName) + QLatin1Char('/') +
        QString::fromLatin1(ownJournalName(m_installation)));
    // Once a run for each folder: a journal that stays large holds little to drop.
    if (own && own->size > kCompactBytes && !m_compacted.contains(folder)) {
        m_compacted.insert(folder);
        compactOwn(games, m_installation);
    }
    return result;
}

}  // namespace library
