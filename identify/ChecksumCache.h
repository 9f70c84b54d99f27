#pragma once

// What reading a game file told us, kept in the checksum cache database by the file's path so
// that an unchanged file is never read twice: a plain file's CRC-32, a zip's members (size
// and CRC-32 from its directory), any SHA-1 computed, and the last identification with the
// generation of the index it was made against. A file counts as unchanged while its size and
// modification time (ns) stay the same. The inode is left out: network file systems may hand
// out another number for the same file after a remount, and that must not cost a re-read.
//
// The tables are a cache with a format number of their own: a build that finds another
// format drops them and starts again, nothing is lost but time.

#include "identify/Identification.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct stat;

namespace identify {

struct FileStamp {
    qint64 size = 0;
    qint64 modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// What stat said of a file, its time to the nanosecond: a rewrite within the same second
// still changes the stamp where the file system keeps nanoseconds.
FileStamp stampOfStat(const struct stat& st);
// A regular file's stamp by its path bytes (links followed); nothing for anything else.
std::optional<FileStamp> stampOf(const QByteArray& path);

struct MemberSums {
    QByteArray name;  // as the zip gives it
    qint64 size = 0;
    quint32 crc = 0;
    QByteArray sha1;  // empty until a lookup needed it
};

struct FileSums {
    // Zip stands for any archive known by its members (a 7z's come with their SHA-1s); Disk
    // is a CHD image, known by the SHA-1 of its header.
    enum class Kind { Plain, Zip, Refused, Disk };
    Kind kind = Kind::Plain;
    quint32 crc = 0;                  // Plain
    QByteArray sha1;                  // Plain, empty until a lookup needed it; Disk
    std::vector<MemberSums> members;  // Zip: every member that is not a folder
    QString problem;                  // Refused: a damaged or hostile zip, and why
};

struct CachedFile {
    FileStamp stamp;
    FileSums sums;
    // The last answer and the index generation it holds for; -1 when there is none.
    qint64 generation = -1;
    Identification answer;
};

// Paths (or names) back to back in one buffer, each found by where it ends: a folder of
// 100,000 games as one allocation rather than a QByteArray of its own for every name.
class PackedNames {
public:
    void reserve(qsizetype count, qsizetype bytes) {
        m_ends.reserve(size_t(count));
        m_bytes.reserve(bytes);
    }
    void append(QByteArrayView name) {
        m_bytes.append(name);
        m_ends.push_back(m_bytes.size());
    }
    qsizetype size() const { return qsizetype(m_ends.size()); }
    QByteArrayView operator[](qsizetype i) const {
        const qsizetype start = i == 0 ? 0 : m_ends[size_t(i - 1)];
        return QByteArrayView(m_bytes.constData() + start, m_ends[size_t(i)] - start);
    }

private:
    QByteArray m_bytes;
    std::vector<qsizetype> m_ends;
};

// What ChecksumCache::load found for a list of paths. Each row stays in one shared buffer in
// the table's own compact form and is decoded only when asked for: a folder of 100,000 games,
// all kept, would otherwise hold a decoded CachedFile (about 200 bytes) for every one of them
// at once, where most need only their stamp compared and their answer handed on.
class CachedFiles {
public:
    explicit CachedFiles(size_t count = 0) : m_at(count, -1) {}
    size_t size() const { return m_at.size(); }
    bool has(size_t i) const { return m_at[i] >= 0; }
    // The stamp kept for the path; only where has(i).
    FileStamp stamp(size_t i) const;
    // The row, decoded; nothing when none was kept for the path.
    std::optional<CachedFile> at(size_t i) const;

private:
    friend class ChecksumCache;
    std::vector<qsizetype> m_at;  // where each path's row starts in m_rows, or -1
    QByteArray m_rows;
};

class ChecksumCache {
public:
    static constexpr int kFormat = 3;

    // The connection stays the caller's and must outlive this. The tables are made here.
    explicit ChecksumCache(sqlite3* db);
    ~ChecksumCache();
    ChecksumCache(const ChecksumCache&) = delete;
    ChecksumCache& operator=(const ChecksumCache&) = delete;

    // False when the tables could not be made or were of an unreadable format.
    bool ok() const { return m_ok; }

    // Everything kept for these paths, by their index, in one query per folder they live
    // in (a list is normally one folder). Rows that cannot be decoded are left out, as if
    // never kept.
    CachedFiles load(const PackedNames& paths) { return load(QByteArray(), paths); }
    // The same for paths given after the `prefix` they all share (a folder, ending in "/"),
    // which a folder of 100,000 games then holds once rather than in every path.
    CachedFiles load(const QByteArray& prefix, const PackedNames& paths);

    // Replaces what is kept for the path.
    bool store(const QByteArray& path, const CachedFile& file);

    // Writes go in one transaction between these, so that a folder's worth costs one
    // commit; a batch is committed when it gets long so another launcher is not kept waiting.
    void beginBatch();
    void endBatch();

    // The answer's bytes as kept in the table, and back; exposed for the tests.
    static QByteArray encodeAnswer(const Identification& answer);
    static std::optional<Identification> decodeAnswer(const QByteArray& bytes);
    static QByteArray encodeMembers(const std::vector<MemberSums>& members);
    static std::optional<std::vector<MemberSums>> decodeMembers(const QByteArray& bytes);

private:
    bool prepareTables();
    sqlite3* m_db;
    sqlite3_stmt* m_select = nullptr;
    sqlite3_stmt* m_insert = nullptr;
    bool m_ok = false;
    bool m_inBatch = false;
    int m_batchWrites = 0;
};

}  // namespace identify
