#include "identify/ChecksumCache.h"

#include <sqlite3.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace identify {

namespace {

// The whole table goes when the format changes, so every column may change with it.
constexpr const char* kCreate =
    "CREATE TABLE IF NOT EXISTS file_checksums_format(format INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS file_checksums(path BLOB PRIMARY KEY,"
    " size INTEGER NOT NULL, modified_ns INTEGER NOT NULL,"
    " kind INTEGER NOT NULL, crc INTEGER NOT NULL, sha1 BLOB, members BLOB, problem TEXT,"
    " generation INTEGER NOT NULL, answer BLOB) WITHOUT ROWID;";

// What a loaded row takes for a plain file with an answer of no match, the most common.
constexpr qsizetype kRowGuess = 64;

// A long batch holds the database's write lock; another launcher waits for it.
constexpr int kBatchWrites = 256;

bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Little writer and checked reader for the blobs: the table can be damaged like any file,
// so a blob that does not add up is treated as no blob.
class Writer {
public:
    explicit Writer(QByteArray& to) : out(to) {}
    template <typename T>
    void number(T v) {
        static_assert(std::is_trivially_copyable_v<T>);
        out.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    void bytes(const QByteArray& b) {
        number(quint32(b.size()));
        out.append(b);
    }
    void text(const QString& s) {
        number(quint32(s.size()));
        out.append(reinterpret_cast<const char*>(s.constData()), s.size() * 2);
    }
    QByteArray& out;
};

class Reader {
public:
    explicit Reader(const QByteArray& b, qsizetype from = 0) : m_data(b), m_pos(from) {}
    template <typename T>
    bool number(T& v) {
        if (m_data.size() - m_pos < qsizetype(sizeof v)) return false;
        std::memcpy(&v, m_data.constData() + m_pos, sizeof v);
        m_pos += sizeof v;
        return true;
    }
    bool bytes(QByteArray& b) {
        quint32 n = 0;
        if (!number(n) || m_data.size() - m_pos < qsizetype(n)) return false;
        b = m_data.mid(m_pos, n);
        m_pos += n;
        return true;
    }
    bool text(QString& s) {
        quint32 n = 0;
        if (!number(n) || (m_data.size() - m_pos) / 2 < qsizetype(n)) return false;
        s = QString(reinterpret_cast<const QChar*>(m_data.constData() + m_pos), n);
        m_pos += qsizetype(n) * 2;
        return true;
    }
    // Counts are checked against what is left, so a damaged count cannot ask for memory.
    bool count(quint32& n, qsizetype smallestItem) {
        return number(n) && qsizetype(n) <= (m_data.size() - m_pos) / smallestItem;
    }
    bool atEnd() const { return m_pos == m_data.size(); }

private:
    const QByteArray& m_data;
    qsizetype m_pos;
};

QByteArray columnBlob(sqlite3_stmt* s, int column) {
    const int n = sqlite3_column_bytes(s, column);
    const void* p = sqlite3_column_blob(s, column);
    return p ? QByteArray(static_cast<const char*>(p), n) : QByteArray();
}

void bindBlob(sqlite3_stmt* s, int index, const QByteArray& b) {
    sqlite3_bind_blob(s, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
}

}  // namespace

FileStamp stampOfStat(const struct stat& st) {
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

std::optional<FileStamp> stampOf(const QByteArray& path) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return stampOfStat(st);
}

FileStamp CachedFiles::stamp(size_t i) const {
    FileStamp stamp;
    Reader r(m_rows, m_at[i]);
    r.number(stamp.size);
    r.number(stamp.modifiedNs);
    return stamp;
}

std::optional<CachedFile> CachedFiles::at(size_t i) const {
    if (!has(i)) return std::nullopt;
    CachedFile file;
    Reader r(m_rows, m_at[i]);
    quint8 kind = 0;
    QByteArray members, problem, answer;
    // Checked when it was loaded: these only fail on a fault of this class.
    if (!r.number(file.stamp.size) || !r.number(file.stamp.modifiedNs) ||
        !r.number(file.generation) || !r.number(kind) || !r.number(file.sums.crc) ||
        !r.bytes(file.sums.sha1) || !r.bytes(members) || !r.bytes(problem) || !r.bytes(answer))
        return std::nullopt;
    file.sums.kind = FileSums::Kind(kind);
    file.sums.problem = QString::fromUtf8(problem);
    if (file.sums.kind == FileSums::Kind::Zip) {
        std::optional<std::vector<MemberSums>> decoded = ChecksumCache::decodeMembers(members);
        if (!decoded) return std::nullopt;
        file.sums.members = std::move(*decoded);
    }
    if (file.generation >= 0) {
        std::optional<Identification> decoded = ChecksumCache::decodeAnswer(answer);
        if (!decoded) return std::nullopt;
        file.answer = std::move(*decoded);
    }
    return file;
}

ChecksumCache::ChecksumCache(sqlite3* db) : m_db(db) {
    m_ok = m_db && prepareTables();
}

ChecksumCache::~ChecksumCache() {
    endBatch();
    sqlite3_finalize(m_select);
    sqlite3_finalize(m_insert);
}

bool ChecksumCache::prepareTables() {
    if (!exec(m_db, "BEGIN IMMEDIATE")) return false;
    bool ok = exec(m_db, kCreate);
    sqlite3_stmt* s = nullptr;
    std::optional<int> format;
    if (ok &&
        sqlite3_prepare_v2(m_db, "SELECT format FROM file_checksums_format", -1, &s, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
        format = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    if (ok && format != kFormat) {
        // Another build's layout, or a new table: start from nothing.
        const QByteArray reset = "DROP TABLE file_checksums; DELETE FROM file_checksums_format;" +
                                 QByteArray(kCreate) + "INSERT INTO file_checksums_format VALUES(" +
                                 QByteArray::number(kFormat) + ");";
        ok = exec(m_db, reset.constData());
    }
    if (!exec(m_db, ok ? "COMMIT" : "ROLLBACK")) ok = false;
    if (!ok) return false;
    return sqlite3_prepare_v3(m_db,
                              "SELECT path, size, modified_ns, kind, crc, sha1, members,"
                              " problem, generation, answer FROM file_checksums"
                              " WHERE path >= ?1 AND path < ?2",
                              -1, SQLITE_PREPARE_PERSISTENT, &m_select, nullptr) == SQLITE_OK &&
           sqlite3_prepare_v3(m_db,
                              "INSERT OR REPLACE INTO file_checksums VALUES"
                              "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)",
                              -1, SQLITE_PREPARE_PERSISTENT, &m_insert, nullptr) == SQLITE_OK;
}

CachedFiles ChecksumCache::load(const QByteArray& prefix, const PackedNames& paths) {
    CachedFiles found(size_t(paths.size()));
    if (!m_ok) return found;
    // Room for a plain file's row with its answer for every path, so a folder's rows are
    // written without the buffer being copied as it grows. What stays unwritten is never
    // touched, so it costs address space, not memory.
    found.m_rows.reserve(paths.size() * kRowGuess);
    Writer rows(found.m_rows);
    // The paths in the table's own order (bytes compared as memcmp does), so each row is
    // found by a binary search with no copy of its path. They share the prefix, so their
    // order is that of what follows it.
    std::vector<int> order(size_t(paths.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return paths[a] < paths[b]; });
    // Each folder's rows from the first of its paths asked for to the last: a slice of a
    // large folder reads its own stretch of the table, not the whole folder's.
    struct Stretch {
        QByteArrayView within;  // the folder, after the prefix
        QByteArrayView first;
        QByteArrayView last;
    };
    std::vector<Stretch> stretches;
    for (const int i : order) {
        const QByteArrayView path = paths[i];
        const qsizetype slash = path.lastIndexOf('/');
        if (slash < 0 && prefix.isEmpty()) continue;
        const QByteArrayView within(path.constData(), slash + 1);
        if (stretches.empty() || stretches.back().within != within)
            stretches.push_back({within, path, path});
        else
            stretches.back().last = path;
    }
    // A folder's paths may come apart, around those of a folder within it: one query each.
    std::stable_sort(stretches.begin(), stretches.end(),
                     [](const Stretch& a, const Stretch& b) { return a.within < b.within; });
    size_t kept = 0;
    for (size_t i = 0; i < stretches.size(); ++i) {
        if (kept > 0 && stretches[kept - 1].within == stretches[i].within)
            stretches[kept - 1].last = stretches[i].last;
        else
            stretches[kept++] = stretches[i];
    }
    stretches.resize(kept);
    for (const Stretch& stretch : stretches) {
        // The last path's row is the last one wanted: nothing sorts between it and itself
        // followed by a NUL byte.
        const QByteArray from = prefix + stretch.first.toByteArray();
        QByteArray to = prefix + stretch.last.toByteArray();
        to.append('\0');
        bindBlob(m_select, 1, from);
        bindBlob(m_select, 2, to);
        while (sqlite3_step(m_select) == SQLITE_ROW) {
            const QByteArrayView whole(static_cast<const char*>(sqlite3_column_blob(m_select, 0)),
                                       sqlite3_column_bytes(m_select, 0));
            // Every row of the stretch starts with the prefix, as both of its ends do.
            const QByteArrayView path = whole.sliced(prefix.size());
            const auto at = std::lower_bound(order.begin(), order.end(), path,
                                             [&](int i, QByteArrayView p) { return paths[i] < p; });
            if (at == order.end() || paths[*at] != path) continue;
            // Checked here as it would be decoded, so a row that does not add up is not
            // kept at all; then kept as stored, and decoded again only where it is used.
            const int kind = sqlite3_column_int(m_select, 3);
            if (kind < 0 || kind > int(FileSums::Kind::Disk)) continue;
            const QByteArray members =
                kind == int(FileSums::Kind::Zip) ? columnBlob(m_select, 6) : QByteArray();
            if (kind == int(FileSums::Kind::Zip) && !decodeMembers(members)) continue;
            qint64 generation = sqlite3_column_int64(m_select, 8);
            QByteArray answer;
            if (generation >= 0) {
                answer = columnBlob(m_select, 9);
                if (!decodeAnswer(answer)) generation = -1;
            }
            const qsizetype start = found.m_rows.size();
            rows.number(sqlite3_column_int64(m_select, 1));
            rows.number(sqlite3_column_int64(m_select, 2));
            rows.number(generation);
            rows.number(quint8(kind));
            rows.number(quint32(sqlite3_column_int64(m_select, 4)));
            rows.bytes(columnBlob(m_select, 5));
            rows.bytes(members);
            const auto* problem = reinterpret_cast<const char*>(sqlite3_column_text(m_select, 7));
            rows.bytes(problem ? QByteArray(problem) : QByteArray());
            rows.bytes(generation >= 0 ? answer : QByteArray());
            // The same path twice in the list: each of its places gets the row.
            for (auto it = at; it != order.end() && paths[*it] == path; ++it)
                found.m_at[size_t(*it)] = start;
        }
        sqlite3_reset(m_select);
    }
    sqlite3_clear_bindings(m_select);
    return found;
}

bool ChecksumCache::store(const QByteArray& path, const CachedFile& file) {
    if (!m_ok) return false;
    bindBlob(m_insert, 1, path);
    sqlite3_bind_int64(m_insert, 2, file.stamp.size);
    sqlite3_bind_int64(m_insert, 3, file.stamp.modifiedNs);
    sqlite3_bind_int(m_insert, 4, int(file.sums.kind));
    sqlite3_bind_int64(m_insert, 5, file.sums.crc);
    if (!file.sums.sha1.isEmpty()) bindBlob(m_insert, 6, file.sums.sha1);
    if (file.sums.kind == FileSums::Kind::Zip)
        bindBlob(m_insert, 7, encodeMembers(file.sums.members));
    if (!file.sums.problem.isEmpty()) {
        const QByteArray problem = file.sums.problem.toUtf8();
        sqlite3_bind_text(m_insert, 8, problem.constData(), int(problem.size()), SQLITE_TRANSIENT);
    }
    sqlite3_bind_int64(m_insert, 9, file.generation);
    if (file.generation >= 0) bindBlob(m_insert, 10, encodeAnswer(file.answer));
    const bool ok = sqlite3_step(m_insert) == SQLITE_DONE;
    sqlite3_reset(m_insert);
    sqlite3_clear_bindings(m_insert);
    if (m_inBatch && ++m_batchWrites >= kBatchWrites) {
        endBatch();
        beginBatch();
    }
    return ok;
}

void ChecksumCache::beginBatch() {
    if (!m_ok || m_inBatch) return;
    m_inBatch = exec(m_db, "BEGIN");
    m_batchWrites = 0;
}

void ChecksumCache::endBatch() {
    if (!m_inBatch) return;
    // A commit that fails (another launcher holds the lock too long) loses only cache rows.
    if (!exec(m_db, "COMMIT")) exec(m_db, "ROLLBACK");
    m_inBatch = false;
}

QByteArray ChecksumCache::encodeAnswer(const Identification& answer) {
    QByteArray out;
    Writer w(out);
    w.number(quint8(answer.verdict));
    w.text(answer.member);
    w.text(answer.problem);
    w.number(quint32(answer.matches.size()));
    for (const RomEntry& e : answer.matches) {
        w.number(e.id);
        w.text(e.source);
        w.text(e.software);
        w.text(e.description);
        w.text(e.year);
        w.text(e.publisher);
        w.text(e.romName);
        w.number(e.size);
        w.number(e.crc);
        w.bytes(e.sha1);
        w.number(quint8(e.status));
    }
    return out;
}

std::optional<Identification> ChecksumCache::decodeAnswer(const QByteArray& bytes) {
    Reader r(bytes);
    Identification answer;
    quint8 verdict = 0;
    quint32 count = 0;
    if (!r.number(verdict) || verdict > quint8(Verdict::VerifiedHeader) || !r.text(answer.member) ||
        !r.text(answer.problem) || !r.count(count, 8 + 6 * 4 + 8 + 4 + 4 + 1))
        return std::nullopt;
    answer.verdict = Verdict(verdict);
    answer.matches.resize(count);
    for (RomEntry& e : answer.matches) {
        quint8 status = 0;
        if (!r.number(e.id) || !r.text(e.source) || !r.text(e.software) || !r.text(e.description) ||
            !r.text(e.year) || !r.text(e.publisher) || !r.text(e.romName) || !r.number(e.size) ||
            !r.number(e.crc) || !r.bytes(e.sha1) || !r.number(status) ||
            status > quint8(DumpStatus::NoDump))
            return std::nullopt;
        e.status = DumpStatus(status);
    }
    if (!r.atEnd()) return std::nullopt;
    return answer;
}

QByteArray ChecksumCache::encodeMembers(const std::vector<MemberSums>& members) {
    QByteArray out;
    Writer w(out);
    w.number(quint32(members.size()));
    for (const MemberSums& m : members) {
        w.bytes(m.name);
        w.number(m.size);
        w.number(m.crc);
        w.bytes(m.sha1);
    }
    return out;
}

std::optional<std::vector<MemberSums>> ChecksumCache::decodeMembers(const QByteArray& bytes) {
    Reader r(bytes);
    quint32 count = 0;
    if (!r.count(count, 4 + 8 + 4 + 4)) return std::nullopt;
    std::vector<MemberSums> members(count);
    for (MemberSums& m : members)
        if (!r.bytes(m.name) || !r.number(m.size) || !r.number(m.crc) || !r.bytes(m.sha1))
            return std::nullopt;
    if (!r.atEnd()) return std::nullopt;
    return members;
}

}  // namespace identify
