#include "library/SqliteFile.h"

#include "platform/FileNames.h"

#include <QDateTime>

#include <sqlite3.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace library {

namespace {

constexpr const char* kCompanions[] = {"-wal", "-shm"};

bool exists(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

// Renames without ever replacing what is there.
bool renameNoReplace(const QByteArray& from, const QByteArray& to) {
    return ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0;
}

QString problemWith(const QByteArray& path, const QString& why) {
    return platform::decodeName(path) + QStringLiteral(": ") + why;
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

}  // namespace

bool isDamagedCode(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

QString refuseUnusableFile(const QByteArray& name) {
    for (const QByteArray& path : {name, name + kCompanions[0], name + kCompanions[1]}) {
        struct stat st;
        if (::stat(path.constData(), &st) != 0) {
            if (errno == ENOENT) continue;
            return problemWith(path, systemError(errno));
        }
        // A FIFO would hang the first read for good; a folder or a device is nobody's
        // database either.
        if (!S_ISREG(st.st_mode)) return problemWith(path, QStringLiteral("not a regular file"));
    }
    return QString();
}

QString explainFailure(const QByteArray& name, int rc, sqlite3* db) {
    QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    const int systemErrno = db ? sqlite3_system_errno(db) : 0;
    // access() answers for this user without opening anything.
    for (const QByteArray& path : {name, name + kCompanions[0], name + kCompanions[1]}) {
        if (!exists(path)) continue;
        if (::access(path.constData(), R_OK | W_OK) != 0)
            return message + QStringLiteral(" (") + problemWith(path, systemError(errno)) +
                   QLatin1Char(')');
    }
    const QByteArray folder = folderOf(name);
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return message + QStringLiteral(" (") + problemWith(folder, systemError(errno)) +
               QLatin1Char(')');
    if (systemErrno != 0) message += QStringLiteral(" (") + systemError(systemErrno) + ')';
    return message;
}

bool whileNoOtherConnection(sqlite3* db, const std::function<bool()>& act) {
    sqlite3_file* file = nullptr;
    if (!db || sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods)
        return false;
    // The file is about to move or go: closing this connection must not checkpoint into it
    // or delete a -wal by its old name.
    leaveFilesOnClose(db);
    // Through SQLite's own locking, which knows the other connections of this process as
    // well as the locks of other processes. Every connection in WAL mode keeps a shared lock
    // for as long as it is open, so the exclusive one is had only when nobody else is there.
    const sqlite3_io_methods* io = file->pMethods;
    const bool alone = io->xLock(file, SQLITE_LOCK_SHARED) == SQLITE_OK &&
                       io->xLock(file, SQLITE_LOCK_RESERVED) == SQLITE_OK &&
                       io->xLock(file, SQLITE_LOCK_EXCLUSIVE) == SQLITE_OK;
    const bool done = alone && act();
    io->xUnlock(file, SQLITE_LOCK_NONE);
    return done;
}

void leaveFilesOnClose(sqlite3* db, bool leave) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, leave ? 1 : 0, nullptr);
    int persist = leave ? 1 : 0;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
}

QByteArray moveAside(const QByteArray& name) {
    const QByteArray stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1();
    QByteArray aside = name + ".broken-" + stamp;
    for (int n = 2;
         exists(aside) || exists(aside + kCompanions[0]) || exists(aside + kCompanions[1]); ++n)
        aside = name + ".broken-" + stamp + '-' + QByteArray::number(n);
    if (!renameNoReplace(name, aside)) return QByteArray();
    // The journal belongs to the broken file: left beside a new one, it would be replayed
    // into it.
    for (const char* companion : kCompanions)
        if (exists(name + companion)) renameNoReplace(name + companion, aside + companion);
    return aside;
}

bool removeWithCompanions(const QByteArray& name) {
    for (const char* companion : kCompanions)
        ::unlink((name + companion).constData());
    return ::unlink(name.constData()) == 0 || errno == ENOENT;
}

}  // namespace library
