#include "identify/ChecksumIndex.h"

#include "identify/DatReader.h"
#include "identify/SourceReading.h"
#include "platform/FileNames.h"

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

// The layout. A source's ROMs are numbered (source id << 32 | number in the document), so
// they are one range of the table's own key: dropping them needs no index of its own,
// inserting them appends, and that key is the document order the lookups return.
//
//   checksum_format    one row: the layout's number and the generation
//   checksum_sources   one row per file read: its size and modification time when read, the
//                      name it gives, its problem when it was refused, its place in the
//                      sources given last
//   checksum_roms      one row per <rom> with its entry's texts, and the index on (size, crc)
//
// The entry's texts stay in the ROM's row: a table of entries of their own took a second
// insert for most ROMs (1.7 ROMs an entry in the software lists), was no quicker to fill
// and made every lookup a join.

namespace identify {

namespace {

// A change of the layout below makes the tables again from the sources.
constexpr int kFormat = 2;
constexpr int kRowBits = 32;
constexpr qint64 kMaxRowsPerSource = (qint64(1) << kRowBits) - 1;
// About a tenth of a second of writing: short enough for another launcher writing its
// play history to wait for, long enough to keep the index's page writes few.
constexpr qint64 kBatchRows = 20000;
// An empty index fills in larger batches, a second or two each: all the software lists
// (about 275,000 ROMs) go in one, since each commit of a filling writes most of the (size,
// crc) index's pages again and copies them into the database; a large collection of DATs
// still lets other writers in between.
constexpr qint64 kFillRows = 500000;

const char* const kCreate = R"(
CREATE TABLE checksum_sources(
    id INTEGER PRIMARY KEY,
    path BLOB NOT NULL UNIQUE,
    size INTEGER NOT NULL,
    mtime INTEGER NOT NULL,
    name TEXT NOT NULL,
    problem TEXT,
    position INTEGER NOT NULL);
CREATE TABLE checksum_roms(
    id INTEGER PRIMARY KEY,
    software TEXT NOT NULL,
    description TEXT NOT NULL,
    year TEXT NOT NULL,
    publisher TEXT NOT NULL,
    name TEXT NOT NULL,
    size INTEGER NOT NULL,
    crc INTEGER NOT NULL,
    sha1 BLOB,
    status INTEGER NOT NULL);
CREATE INDEX checksum_roms_by_sum ON checksum_roms(size, crc);
)";

const char* const kDrop = R"(
DROP TABLE IF EXISTS checksum_roms;
DROP TABLE IF EXISTS checksum_sources;
DELETE FROM checksum_format;
)";

struct Stored {
    qint64 id = 0;
    qint64 size = 0;
    qint64 mtime = 0;
    QString problem;
    qint64 position = 0;
};

class Statement {
public:
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(m_s); }
    bool prepare(sqlite3* db, const char* sql) {
        return sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_s, nullptr) ==
               SQLITE_OK;
    }
    sqlite3_stmt* operator*() const { return m_s; }
    // Ready for new values; the values kept for SQLITE_STATIC must outlive the step.
    sqlite3_stmt* fresh() {
        sqlite3_reset(m_s);
        sqlite3_clear_bindings(m_s);
        return m_s;
    }

private:
    sqlite3_stmt* m_s = nullptr;
};

void bindText(sqlite3_stmt* s, int i, QByteArrayView utf8) {
    // Never a null pointer: SQLite would store NULL for it, not an empty text.
    sqlite3_bind_text(s, i, utf8.data() ? utf8.data() : "", int(utf8.size()), SQLITE_STATIC);
}

QString columnText(sqlite3_stmt* s, int i) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                             sqlite3_column_bytes(s, i));
}

}  // namespace

struct ChecksumIndex::Impl {
    sqlite3* db = nullptr;
    bool ok = false;
    Statement lookup;
    Statement generation;
    Statement bump;
    Statement insertSource;
    Statement updateSource;
    Statement dropRoms;
    Statement dropSource;
    Statement insertRom;
    Statement setPosition;

    bool exec(const char* sql) {
        return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    QString lastError() const { return QString::fromUtf8(sqlite3_errmsg(db)); }

    bool setUp() {
        if (!db || !exec("CREATE TABLE IF NOT EXISTS checksum_format("
                         "version INTEGER NOT NULL, generation INTEGER NOT NULL)"))
            return false;
        std::optional<int> version;
        qint64 generationBefore = 0;
        {
            Statement s;
            if (!s.prepare(db, "SELECT version, generation FROM checksum_format")) return false;
            if (sqlite3_step(*s) == SQLITE_ROW) {
                version = sqlite3_column_int(*s, 0);
                generationBefore = sqlite3_column_int64(*s, 1);
            }
        }
        if (version != kFormat) {
            // A cache of the sources: made again rather than converted. The generation goes
            // on from the old one, and from the clock, so no answer kept from the old
            // tables can be taken for one of the new.
            const qint64 start =
                std::max(generationBefore + 1, QDateTime::currentMSecsSinceEpoch());
            const QByteArray insert = "INSERT INTO checksum_format(version, generation) VALUES(" +
                                      QByteArray::number(kFormat) + ", " +
                                      QByteArray::number(start) + ")";
            if (!exec("BEGIN IMMEDIATE")) return false;
            if (!exec(kDrop) || !exec(kCreate) || !exec(insert.constData())) {
                exec("ROLLBACK");
                return false;
            }
            if (!exec("COMMIT")) return false;
        }
        return lookup.prepare(db,
                              "SELECT r.id, src.name, r.software, r.description, r.year, "
                              "r.publisher, r.name, r.size, r.crc, r.sha1, r.status "
                              "FROM checksum_roms r "
                              "JOIN checksum_sources src ON src.id = (r.id >> 32) "
                              "WHERE r.size = ?1 AND r.crc = ?2 "
                              "ORDER BY src.position, r.id") &&
               generation.prepare(db, "SELECT generation FROM checksum_format") &&
               bump.prepare(db, "UPDATE checksum_format SET generation = generation + 1") &&
               insertSource.prepare(db,
                                    "INSERT INTO checksum_sources(path, size, mtime, name, "
                                    "position) VALUES(?1, -1, 0, '', ?2)") &&
               updateSource.prepare(db,
                                    "UPDATE checksum_sources SET size = ?2, mtime = ?3, "
                                    "name = ?4, problem = ?5, position = ?6 WHERE id = ?1") &&
               dropRoms.prepare(db, "DELETE FROM checksum_roms WHERE id BETWEEN ?1 AND ?2") &&
               dropSource.prepare(db, "DELETE FROM checksum_sources WHERE id = ?1") &&
               insertRom.prepare(db,
                                 "INSERT INTO checksum_roms(id, software, description, "
                                 "year, publisher, name, size, crc, sha1, status) "
                                 "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)") &&
               setPosition.prepare(db, "UPDATE checksum_sources SET position = ?2 WHERE id = ?1");
    }

    std::optional<QHash<QByteArray, Stored>> stored() {
        Statement s;
        if (!s.prepare(db, "SELECT id, path, size, mtime, problem, position FROM checksum_sources"))
            return std::nullopt;
        QHash<QByteArray, Stored> result;
        int rc;
        while ((rc = sqlite3_step(*s)) == SQLITE_ROW) {
            const QByteArray path(static_cast<const char*>(sqlite3_column_blob(*s, 1)),
                                  sqlite3_column_bytes(*s, 1));
            result.insert(path, {sqlite3_column_int64(*s, 0), sqlite3_column_int64(*s, 2),
                                 sqlite3_column_int64(*s, 3), columnText(*s, 4),
                                 sqlite3_column_int64(*s, 5)});
        }
        if (rc != SQLITE_DONE) return std::nullopt;
        return result;
    }

    // Drops a source's rows; whether there were any.
    bool dropRows(qint64 source, bool* changed) {
        const qint64 first = source << kRowBits;
        const qint64 last = first | kMaxRowsPerSource;
        sqlite3_stmt* s = dropRoms.fresh();
        sqlite3_bind_int64(s, 1, first);
        sqlite3_bind_int64(s, 2, last);
        if (sqlite3_step(s) != SQLITE_DONE) return false;
        if (sqlite3_changes(db) > 0) *changed = true;
        return true;
    }

    bool updateRow(qint64 id, qint64 size, qint64 mtime, const QString& name,
                   const QString& problem, qint64 position) {
        sqlite3_stmt* s = updateSource.fresh();
        const QByteArray nameUtf8 = name.toUtf8();
        const QByteArray problemUtf8 = problem.toUtf8();
        sqlite3_bind_int64(s, 1, id);
        sqlite3_bind_int64(s, 2, size);
        sqlite3_bind_int64(s, 3, mtime);
        bindText(s, 4, nameUtf8);
        if (!problem.isEmpty()) bindText(s, 5, problemUtf8);
        sqlite3_bind_int64(s, 6, position);
        return sqlite3_step(s) == SQLITE_DONE;
    }

    bool bumpGeneration() { return sqlite3_step(bump.fresh()) == SQLITE_DONE; }

    // Sources are written in batches: each source in a savepoint of its own, so it goes in
    // whole or not at all, and a commit once a batch holds kBatchRows rows. A commit per
    // source rewrote most of the (size, crc) index's pages each time (a list's checksums
    // land all over it) and made a first indexing take three times as long.
    bool inBatch = false;
    bool batchChanged = false;
    qint64 batchRows = 0;

    bool beginSource() {
        if (!inBatch) {
            if (!exec("BEGIN IMMEDIATE")) return false;
            inBatch = true;
            batchChanged = false;
            batchRows = 0;
        }
        return exec("SAVEPOINT checksum_source");
    }
    void abandonSource() {
        exec("ROLLBACK TO checksum_source");
        exec("RELEASE checksum_source");
    }
    bool endSource(qint64 rows, bool changed) {
        if (!exec("RELEASE checksum_source")) {
            abandonSource();
            return false;
        }
        batchChanged = batchChanged || changed;
        batchRows += rows + 1;
        return batchRows < batchLimit || commit();
    }
    void endFilling() {
        if (!filling) return;
        filling = false;
        batchLimit = kBatchRows;
        if (cacheSizeBefore)
            exec(("PRAGMA cache_size=" + QByteArray::number(*cacheSizeBefore)).constData());
    }
    bool commit() {
        if (!inBatch) return true;
        inBatch = false;
        if ((batchChanged && !bumpGeneration()) || !exec("COMMIT")) {
            exec("ROLLBACK");
            return false;
        }
        return true;
    }

    bool isEmpty() {
        Statement s;
        return s.prepare(db, "SELECT 1 FROM checksum_roms LIMIT 1") &&
               sqlite3_step(*s) == SQLITE_DONE;
    }
    bool startFilling() {
        if (!exec("BEGIN IMMEDIATE")) return false;
        inBatch = true;
        batchChanged = false;
        batchRows = 0;
        filling = true;
        batchLimit = kFillRows;
        // Room for the whole of a first indexing of the software lists (32 MB): with the
        // connection's usual 2 MB, pages went out to the log and came back many times over.
        Statement size;
        if (size.prepare(db, "PRAGMA cache_size") && sqlite3_step(*size) == SQLITE_ROW)
            cacheSizeBefore = sqlite3_column_int64(*size, 0);
        exec("PRAGMA cache_size=-65536");
        return true;
    }

    // Every value is bound again for each ROM, so the statement's bindings need no clearing.
    bool storeRom(const Block& block, const Block::Rom& rom, qint64 base, qint64* rows) {
        if (*rows >= kMaxRowsPerSource) return false;
        sqlite3_stmt* s = *insertRom;
        sqlite3_reset(s);
        sqlite3_bind_int64(s, 1, base | ++*rows);
        bindText(s, 2, block.view(rom.software));
        bindText(s, 3, block.view(rom.description));
        bindText(s, 4, block.view(rom.year));
        bindText(s, 5, block.view(rom.publisher));
        bindText(s, 6, block.view(rom.name));
        sqlite3_bind_int64(s, 7, rom.size);
        sqlite3_bind_int64(s, 8, rom.crc);
        if (rom.sha1.size > 0)
            sqlite3_bind_blob(s, 9, block.bytes.data() + rom.sha1.at, int(rom.sha1.size),
                              SQLITE_STATIC);
        else
            sqlite3_bind_null(s, 9);
        sqlite3_bind_int(s, 10, int(rom.status));
        return sqlite3_step(s) == SQLITE_DONE;
    }

    // Stores one source as the reading thread hands it over; the problem to tell, if any.
    // Every piece of the source is taken from the pipe whatever happens here, so the next
    // source starts with its own.
    QString store(const SourceFile& file, std::optional<qint64> existing, qint64 position,
                  Pipe& pipe) {
        const QString failed = file.path + QStringLiteral(": ");
        const bool began = beginSource();
        bool ok = began;
        bool changed = false;
        qint64 id = 0;
        if (ok && existing) {
            id = *existing;
            ok = dropRows(id, &changed);
        } else if (ok) {
            sqlite3_stmt* s = insertSource.fresh();
            const QByteArray path = platform::encodeName(file.path);
            sqlite3_bind_blob(s, 1, path.constData(), int(path.size()), SQLITE_STATIC);
            sqlite3_bind_int64(s, 2, position);
            ok = sqlite3_step(s) == SQLITE_DONE;
            id = sqlite3_last_insert_rowid(db);
        }
        ok = ok && exec("SAVEPOINT checksum_rows");
        const qint64 base = id << kRowBits;
        qint64 rows = 0;
        Block piece;
        for (;;) {
            piece = pipe.pop();
            for (const Block::Rom& rom : piece.roms)
                if (ok) ok = storeRom(piece, rom, base, &rows);
            if (piece.last) break;
            pipe.giveBack(std::move(piece));
        }
        const bool opened = piece.opened;
        const DatSummary summary = std::move(piece.summary);
        pipe.giveBack(std::move(piece));
        if (!ok) {
            const QString problem = failed + QStringLiteral("could not be stored: ") + lastError();
            if (began) abandonSource();
            return problem;
        }

        QString problem;
        qint64 size = file.stat.size;
        if (!opened) {
            // Not remembered as read: a file that cannot be opened now may be tomorrow,
            // without a change of its size or time.
            problem = QStringLiteral("could not be opened");
            size = -1;
        } else if (!summary.ok) {
            // A refused source keeps none of its entries but is remembered with its size
            // and time, so it is not read again until it changes.
            problem = summary.problem;
        }
        if (!problem.isEmpty()) {
            rows = 0;
            if (!exec("ROLLBACK TO checksum_rows")) ok = false;
        }
        if (!ok || !exec("RELEASE checksum_rows") ||
            !updateRow(id, size, file.stat.modifiedNs, summary.name, problem, position)) {
            const QString why = failed + QStringLiteral("could not be stored: ") + lastError();
            abandonSource();
            return why;
        }
        if (!endSource(rows, changed || rows > 0))
            return failed + QStringLiteral("could not be stored");
        return problem.isEmpty() ? QString() : failed + problem;
    }
    // An empty index is filled in large batches with room for all their pages: each page of
    // the (size, crc) index is then written once, not once per small batch.
    bool filling = false;
    std::optional<qint64> cacheSizeBefore;
    qint64 batchLimit = kBatchRows;
};

ChecksumIndex::ChecksumIndex(sqlite3* db) : m_impl(new Impl) {
    m_impl->db = db;
    m_impl->ok = m_impl->setUp();
}

ChecksumIndex::~ChecksumIndex() {
    delete m_impl;
}

bool ChecksumIndex::ok() const {
    return m_impl->ok;
}

QStringList ChecksumIndex::refresh(const Sources& sources,
                                   const std::function<bool(int done, int total)>& progress) {
    QStringList messages;
    if (!m_impl->ok) return {QStringLiteral("The checksum index could not be opened.")};

    std::vector<SourceFile> files;
    for (const QString& path : sources.paths)
        collect(path, files);
    // A file reached twice (a folder given twice, or also by itself) counts once, first.
    {
        QSet<QString> seen;
        files.erase(std::remove_if(files.begin(), files.end(),
                                   [&](const SourceFile& f) {
                                       if (seen.contains(f.path)) return true;
                                       seen.insert(f.path);
                                       return false;
                                   }),
                    files.end());
    }

    std::optional<QHash<QByteArray, Stored>> stored = m_impl->stored();
    if (!stored)
        return {QStringLiteral("The checksum index could not be read: ") + m_impl->lastError()};

    const int total = int(files.size());
    if (m_impl->isEmpty() && total > 0 && !m_impl->startFilling())
        return {QStringLiteral("The checksum index could not be updated: ") + m_impl->lastError()};
    std::vector<std::pair<qint64, qint64>> moved;  // (source, new position)
    // Which sources are read again is known before the first is read, so the reading
    // thread can go ahead of the writing.
    std::vector<std::optional<Stored>> before(files.size());
    std::vector<const SourceFile*> toRead;
    for (size_t i = 0; i < files.size(); ++i) {
        const auto it = stored->constFind(platform::encodeName(files[i].path));
        if (it == stored->constEnd()) {
            toRead.push_back(&files[i]);
            continue;
        }
        before[i] = *it;
        stored->erase(it);
        if (before[i]->size != files[i].stat.size || before[i]->mtime != files[i].stat.modifiedNs)
            toRead.push_back(&files[i]);
    }
    DatReader::initialise();
    Pipe pipe;
    std::thread reader(readSources, std::cref(toRead), std::ref(pipe));
    size_t next = 0;
    const auto stop = [&] {
        pipe.cancel();
        reader.join();
        if (!m_impl->commit())
            messages.append(QStringLiteral("The checksum index could not be updated: ") +
                            m_impl->lastError());
        m_impl->endFilling();
        return messages;
    };
    for (int i = 0; i < total; ++i) {
        const SourceFile& file = files[size_t(i)];
        const std::optional<Stored>& old = before[size_t(i)];
        if (next < toRead.size() && toRead[next] == &file) {
            ++next;
            const QString problem =
                m_impl->store(file, old ? std::optional(old->id) : std::nullopt, i, pipe);
            if (!problem.isEmpty()) messages.append(problem);
        } else {
            if (old->position != i) moved.emplace_back(old->id, i);
            if (!old->problem.isEmpty())
                messages.append(file.path + QStringLiteral(": ") + old->problem);
        }
        if (progress && !progress(i + 1, total)) return stop();
    }

    // What is left was not found this time; a new order of the sources changes which
    // match comes first, so it changes the generation too.
    if (!stored->isEmpty() || !moved.empty()) {
        if (!m_impl->beginSource()) return stop();
        bool ok = true;
        bool changed = !moved.empty();
        for (const auto& [id, position] : moved) {
            sqlite3_stmt* s = m_impl->setPosition.fresh();
            sqlite3_bind_int64(s, 1, id);
            sqlite3_bind_int64(s, 2, position);
            ok = ok && sqlite3_step(s) == SQLITE_DONE;
        }
        for (const Stored& gone : std::as_const(*stored)) {
            ok = ok && m_impl->dropRows(gone.id, &changed);
            sqlite3_stmt* s = m_impl->dropSource.fresh();
            sqlite3_bind_int64(s, 1, gone.id);
            ok = ok && sqlite3_step(s) == SQLITE_DONE;
            changed = true;
        }
        if (!ok) {
            messages.append(QStringLiteral("The checksum index could not be updated: ") +
                            m_impl->lastError());
            m_impl->abandonSource();
        } else {
            m_impl->endSource(0, changed);
        }
    }
    return stop();
}

bool ChecksumIndex::holdsEntries() {
    return m_impl->ok && !m_impl->isEmpty();
}

std::vector<RomEntry> ChecksumIndex::entries(qint64 size, quint32 crc) {
    std::vector<RomEntry> result;
    if (!m_impl->ok) return result;
    sqlite3_stmt* s = m_impl->lookup.fresh();
    sqlite3_bind_int64(s, 1, size);
    sqlite3_bind_int64(s, 2, crc);
    while (sqlite3_step(s) == SQLITE_ROW) {
        RomEntry e;
        e.id = sqlite3_column_int64(s, 0);
        e.source = columnText(s, 1);
        e.software = columnText(s, 2);
        e.description = columnText(s, 3);
        e.year = columnText(s, 4);
        e.publisher = columnText(s, 5);
        e.romName = columnText(s, 6);
        e.size = sqlite3_column_int64(s, 7);
        e.crc = quint32(sqlite3_column_int64(s, 8));
        e.sha1 = QByteArray(static_cast<const char*>(sqlite3_column_blob(s, 9)),
                            sqlite3_column_bytes(s, 9));
        e.status = sqlite3_column_int(s, 10) == int(DumpStatus::BadDump) ? DumpStatus::BadDump
                                                                         : DumpStatus::Good;
        result.push_back(std::move(e));
    }
    sqlite3_reset(s);
    return result;
}

qint64 ChecksumIndex::generation() {
    if (!m_impl->ok) return 0;
    sqlite3_stmt* s = m_impl->generation.fresh();
    const qint64 value = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
    sqlite3_reset(s);
    return value;
}

}  // namespace identify
