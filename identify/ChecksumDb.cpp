#include "identify/ChecksumDb.h"

#include "library/SqliteFile.h"
#include "platform/FileNames.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

namespace identify {

namespace {

// Another launcher filling the index holds the write lock for a batch of about a second.
constexpr int kBusyMilliseconds = 10000;
// The connection's page cache, in KiB. It stays as full as it once was for as long as the
// launcher runs, and what it is used for reads the file in order (a folder's kept rows) or
// a few pages per lookup, which the system's own cache answers as fast: SQLite's 2 MB were
// a tenth of what the identification adds to the launcher at start. A first indexing takes
// a cache of its own size meanwhile (ChecksumIndex).
constexpr int kCacheKiB = 512;

bool run(sqlite3* db, const char* sql, int* rc = nullptr) {
    const int result = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc) *rc = result;
    return result == SQLITE_OK;
}

}  // namespace

ChecksumDb::~ChecksumDb() {
    close();
}

QString ChecksumDb::defaultFile() {
    return platform::userBaseFolder("XDG_CACHE_HOME", QStringLiteral(".cache")) +
           QStringLiteral("/Rombard/checksums.sqlite3");
}

void ChecksumDb::close() {
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool ChecksumDb::openFile(const QString& file, QString* error, bool* damaged) {
    *damaged = false;
    m_name = platform::encodeName(file);
    *error = library::refuseUnusableFile(m_name);
    if (!error->isEmpty()) return false;
    int rc =
        sqlite3_open_v2(m_name.constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(m_db, 1);
        dropOrphanJournal();
        sqlite3_busy_timeout(m_db, kBusyMilliseconds);
        // The first read finds a file that is not a database, or a damaged header; the
        // journal mode is switched before anything else is written.
        const QByteArray limit =
            "PRAGMA journal_size_limit=" + QByteArray::number(library::kJournalSizeLimit);
        const QByteArray cache = "PRAGMA cache_size=-" + QByteArray::number(kCacheKiB);
        if (run(m_db, "SELECT count(*) FROM sqlite_schema", &rc) &&
            run(m_db, "PRAGMA journal_mode=WAL", &rc) &&
            run(m_db, "PRAGMA synchronous=NORMAL", &rc) && run(m_db, limit.constData(), &rc) &&
            run(m_db, cache.constData(), &rc)) {
            struct stat st;
            if (::stat(m_name.constData(), &st) == 0) {
                m_device = st.st_dev;
                m_inode = st.st_ino;
            }
            return true;
        }
    }
    *damaged = library::isDamagedCode(rc);
    *error = library::explainFailure(m_name, rc, m_db);
    return false;
}

// A -wal or -shm beside a file just made is what a connection to a deleted cache left
// behind: replayed into the new file, it would damage it. Removed only while no other
// connection could be using them.
void ChecksumDb::dropOrphanJournal() {
    struct stat st;
    if (::stat(m_name.constData(), &st) != 0 || st.st_size != 0) return;
    if (::lstat((m_name + "-wal").constData(), &st) != 0 &&
        ::lstat((m_name + "-shm").constData(), &st) != 0)
        return;
    library::whileNoOtherConnection(m_db, [&] {
        ::unlink((m_name + "-wal").constData());
        ::unlink((m_name + "-shm").constData());
        return true;
    });
    library::leaveFilesOnClose(m_db, false);
}

ChecksumDb::Opened ChecksumDb::open(const QString& file) {
    // A connection to a file that is gone: its -wal and -shm names may be another file's.
    if (fileGone()) library::leaveFilesOnClose(m_db);
    close();
    Opened result;
    QDir().mkpath(QFileInfo(file).absolutePath());
    bool damaged = false;
    if (openFile(file, &result.error, &damaged)) {
        result.ok = true;
        return result;
    }
    if (!damaged) {
        close();
        return result;
    }
    // A cache: what was in it is made again. Removed only while nobody else uses it, so
    // another launcher's connection never writes on into a deleted file.
    bool reached = false;
    library::whileNoOtherConnection(m_db, [&] {
        reached = true;
        return library::removeWithCompanions(m_name);
    });
    close();
    if (!reached) {
        result.error = QStringLiteral(
            "The checksum cache is damaged, and another program "
            "still uses it.");
        return result;
    }
    result.rebuilt = true;
    if (!openFile(file, &result.error, &damaged)) {
        close();
        return result;
    }
    result.error.clear();
    result.ok = true;
    return result;
}

bool ChecksumDb::fileGone() const {
    if (!m_db) return false;
    struct stat st;
    return ::stat(m_name.constData(), &st) != 0 || quint64(st.st_dev) != m_device ||
           quint64(st.st_ino) != m_inode;
}

bool ChecksumDb::checkpoint() {
    return m_db && run(m_db, "PRAGMA wal_checkpoint(TRUNCATE)");
}

}  // namespace identify
