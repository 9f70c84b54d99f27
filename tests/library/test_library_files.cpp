// The library's file as a file: what is moved aside and what never is, and what the
// database keeps.

#include "library/LibraryDb.h"
#include "library/SqliteFile.h"
#include "support/Forked.h"
#include "support/OtherUser.h"
#include "support/RawSqlite.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using library::LibraryDb;

namespace {

QStringList brokenCopies(const TempFolder& t) {
    return QDir(t.file(QStringLiteral("data")))
        .entryList({QStringLiteral("*.broken-*")}, QDir::Files | QDir::System);
}

// A history with one favourite, closed so that its journal has gone into the file.
void writeHistory(const QString& file) {
    LibraryDb db;
    ASSERT_TRUE(db.open(file).ok);
    ASSERT_TRUE(db.setFavourite("/g/kept.nes", true));
}

}  // namespace

// A file that this user cannot open is someone's intact history out of reach, not a
// damaged one: it stays where it is with every byte, and the error says which file and why.
TEST(LibraryFiles, AFileThatCannotBeOpenedIsNeverMovedAside) {
    struct Case {
        const char* name;
        bool needsAnotherUser;  // only root can make a file this user cannot take over
        mode_t dbMode;
        int shmMode;  // -1: no -shm left behind
        const char* errorNames;
    };
    const std::vector<Case> cases = {
        {"a database of mode 000", false, 0, -1, "library.sqlite3: Permission denied"},
        {"a -shm of another user, unreadable", true, 0666, 0600, "library.sqlite3-shm"},
        {"a -shm of another user, read-only", true, 0666, 0644, "library.sqlite3-shm"},
    };
    const bool root = ::geteuid() == 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsAnotherUser && !root) {
            // GTEST_SKIP would end the whole table; this case alone needs root.
            std::fprintf(stderr, "skipped \"%s\": only root can leave a file of another user\n",
                         c.name);
            continue;
        }
        TempFolder t;
        const QString file = t.file(QStringLiteral("data/library.sqlite3"));
        writeHistory(file);
        const QByteArray before = t.read(QStringLiteral("data/library.sqlite3"));
        ASSERT_FALSE(before.isEmpty());
        // Reachable by nobody, as a home folder is by its owner.
        ::chmod(t.path().toUtf8().constData(), 0755);
        ::chmod(t.file(QStringLiteral("data")).toUtf8().constData(), 0777);
        ::chmod(file.toUtf8().constData(), c.dbMode);
        if (c.shmMode >= 0)
            ::chmod(t.write(QStringLiteral("data/library.sqlite3-shm"), QByteArray(32768, '\0'))
                        .toUtf8()
                        .constData(),
                    mode_t(c.shmMode));

        const support::Forked run = support::runForked([&](int out) {
            if (root && !support::becomeUser(support::kNobodyUid)) return 9;
            LibraryDb db;
            const LibraryDb::Opened opened = db.open(file);
            support::writeAll(out, opened.error.toUtf8());
            return opened.ok ? 1 : opened.movedAsideTo.isEmpty() ? 0 : 2;
        });
        EXPECT_EQ(run.status, 0) << run.out.toStdString();
        EXPECT_TRUE(run.out.contains(c.errorNames)) << run.out.toStdString();
        EXPECT_EQ(brokenCopies(t), QStringList());
        ::chmod(file.toUtf8().constData(), 0644);
        EXPECT_EQ(t.read(QStringLiteral("data/library.sqlite3")), before);
        QFile::remove(t.file(QStringLiteral("data/library.sqlite3-shm")));
        LibraryDb db;
        ASSERT_TRUE(db.open(file).ok);
        EXPECT_TRUE(db.integrityOk());
        EXPECT_TRUE(db.isFavourite("/g/kept.nes"));
    }
}

// Anything but a regular file, the database or a companion, is refused without being
// opened (a FIFO would hang the start for good), and stays as it was.
TEST(LibraryFiles, AFifoOrAFolderIsRefusedUntouched) {
    for (const char* made : {"", "-wal", "-shm", "/"}) {  // "/": a folder by the file's name
        SCOPED_TRACE(made);
        TempFolder t;
        const QString file = t.mkdir(QStringLiteral("data")) + QStringLiteral("/library.sqlite3");
        const QByteArray path = (file + QLatin1String(made)).toUtf8();
        ASSERT_EQ(*made == '/' ? ::mkdir(path.constData(), 0700) : ::mkfifo(path.constData(), 0600),
                  0);
        LibraryDb db;
        const LibraryDb::Opened opened = db.open(file);
        EXPECT_FALSE(opened.ok);
        EXPECT_TRUE(opened.error.contains(QStringLiteral("not a regular file")))
            << opened.error.toStdString();
        EXPECT_EQ(brokenCopies(t), QStringList());
        struct stat st;
        ASSERT_EQ(::stat(path.constData(), &st), 0);
        EXPECT_TRUE(*made == '/' ? S_ISDIR(st.st_mode) : S_ISFIFO(st.st_mode));
    }
}

// A damaged file is taken away only from nobody: a connection that still has it, in this
// process or in another, would go on writing to the moved file.
TEST(LibraryFiles, NothingIsMovedWhileAnotherConnectionHasTheFile) {
    TempFolder t;
    const QString file = t.file(QStringLiteral("data/library.sqlite3"));
    writeHistory(file);
    const QByteArray name = file.toUtf8();
    const auto tryAlone = [&] {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(name.constData(), &db), SQLITE_OK);
        bool ran = false;
        const bool done = library::whileNoOtherConnection(db, [&] { return ran = true; });
        sqlite3_close(db);
        EXPECT_EQ(done, ran);
        return ran;
    };

    {
        LibraryDb other;
        ASSERT_TRUE(other.open(file).ok);
        ASSERT_TRUE(other.isFavourite("/g/kept.nes"));
        EXPECT_FALSE(tryAlone()) << "another connection of this process";
    }
    int ready[2], done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        LibraryDb other;
        const bool ok = other.open(file).ok && other.isFavourite("/g/kept.nes");
        char c = ok ? 'r' : 'x';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(done[0], &c, 1);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'r');
    EXPECT_FALSE(tryAlone()) << "a connection of another process";
    (void)!::write(done[1], "g", 1);
    ::waitpid(child, nullptr, 0);
    for (int fd : {ready[0], ready[1], done[0], done[1]})
        ::close(fd);
    EXPECT_TRUE(tryAlone()) << "nobody else";
    // The history itself never moved.
    LibraryDb db;
    ASSERT_TRUE(db.open(file).ok);
    EXPECT_TRUE(db.isFavourite("/g/kept.nes"));
}

// A file of an older build that carried the checksum index loses it and shrinks; the
// history in it stays.
TEST(LibraryFiles, TheOldChecksumTablesLeaveTheLibrary) {
    TempFolder t;
    const QString file = t.file(QStringLiteral("data/library.sqlite3"));
    writeHistory(file);
    ASSERT_TRUE(RawSqlite(file).exec(
        "CREATE TABLE checksum_format(version, generation);"
        "CREATE TABLE checksum_sources(id INTEGER PRIMARY KEY, path);"
        "CREATE TABLE checksum_roms(id INTEGER PRIMARY KEY, size, crc, name);"
        "CREATE INDEX checksum_roms_by_sum ON checksum_roms(size, crc);"
        "CREATE TABLE file_checksums_format(format);"
        "CREATE TABLE file_checksums(path BLOB PRIMARY KEY, crc);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i < 20000)"
        " INSERT INTO checksum_roms(size, crc, name) SELECT i, i * 7, hex(randomblob(60)) FROM n;"
        "INSERT INTO file_checksums VALUES(x'2f67', 1);"
        // Back to a version-4 file: without what step 5 -> 6 adds.
        "DROP TABLE mark_changes; DROP TABLE renames; DROP TABLE journal_reads;"
        "DROP INDEX sessions_by_uid; DROP INDEX sessions_unshared;"
        "ALTER TABLE sessions DROP COLUMN uid; ALTER TABLE sessions DROP COLUMN shared;"
        "PRAGMA user_version=4;"));
    ASSERT_GT(QFileInfo(file).size(), 2 * 1024 * 1024);
    {
        LibraryDb db;
        ASSERT_TRUE(db.open(file).ok);
        EXPECT_EQ(db.schemaVersion(), LibraryDb::kSchemaVersion);
        EXPECT_TRUE(db.isFavourite("/g/kept.nes"));
        EXPECT_TRUE(db.integrityOk());
    }
    EXPECT_EQ(RawSqlite(file).numbers("SELECT count(*) FROM sqlite_schema WHERE name LIKE"
                                      " '%checksum%'"),
              QList<qint64>{0});
    EXPECT_LT(QFileInfo(file).size(), 100 * 1024);
}
