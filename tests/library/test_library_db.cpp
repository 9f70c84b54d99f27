// The library database: its history, its file as a file, and a session's length.

#include "library/HistoryReport.h"
#include "library/LibraryDb.h"
#include "library/PlaySession.h"
#include "library/SqliteFile.h"
#include "support/Forked.h"
#include "support/OtherUser.h"
#include "support/RawSqlite.h"
#include "support/StepClock.h"
#include "support/TempFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using library::GameHistory;
using library::LibraryDb;
using library::PlaySession;

namespace {

QString dbFile(const TempFolder& t) {
    return t.file(QStringLiteral("data/library.sqlite3"));
}

struct Session {
    const char* path;
    qint64 started, seconds;
};

// A fresh library with these sessions played and these games marked.
struct Library {
    explicit Library(const std::vector<Session>& sessions,
                     const std::vector<const char*>& marked = {}) {
        EXPECT_TRUE(db.open(dbFile(t)).ok);
        for (const Session& s : sessions) {
            const auto id = db.beginSession(s.path, QStringLiteral("stella"), s.started);
            EXPECT_TRUE(id && db.setSessionSeconds(*id, s.seconds));
        }
        for (const char* m : marked)
            EXPECT_TRUE(db.setFavourite(m, true));
    }
    TempFolder t;
    LibraryDb db;
};

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

// What the log holds for the game right now, as a second launcher would read it.
qint64 storedSeconds(const QString& file) {
    LibraryDb reader;
    if (!reader.open(file).ok) return -1;
    // Short sessions do not show in the totals; the tests run long ones.
    return reader.summaries().value("/g/a.nes").seconds;
}
}  // namespace

// Sessions under ten seconds count for nothing; the latest play first, marked unplayed last.
TEST(LibraryDb, SummariesCountSessionsOfTenSecondsOrMoreLatestPlayFirstMarkedOnesLast) {
    const std::vector<Session> sessions = {
        {"/g/old.nes", 100, 20},         {"/g/old.nes", 50, 30},  {"/g/new.nes", 900, 10},
        {"/g/mid.nes", 500, 20},         {"/g/mid.nes", 5000, 9}, {"/g/short.nes", 1000, 9},
        {"/g/short-marked.nes", 1000, 3}};
    Library library(sessions, {"/g/z-marked.nes", "/g/short-marked.nes"});
    LibraryDb& db = library.db;
    QStringList lines;
    for (const auto& [path, h] : db.historyLines())
        lines << QStringLiteral("%1 %2 %3 %4%5")
                     .arg(QString::fromUtf8(path))
                     .arg(h.plays)
                     .arg(h.seconds)
                     .arg(h.lastPlayed)
                     .arg(h.favourite ? " *" : "");
    EXPECT_EQ(lines,
              (QStringList{"/g/new.nes 1 10 900", "/g/mid.nes 1 20 500", "/g/old.nes 2 50 100",
                           "/g/short-marked.nes 0 0 0 *", "/g/z-marked.nes 0 0 0 *"}));
    // A name that is not UTF-8 is its own game, not another spelled alike.
    const QByteArray latin1("/g/caf\xe9.nes");
    EXPECT_EQ(db.toggleFavourite(latin1), true);
    EXPECT_FALSE(db.isFavourite("/g/caf\xc3\xa9.nes"));
    EXPECT_TRUE(db.summaries().contains(latin1));
    EXPECT_EQ(db.toggleFavourite(latin1), false);
}

// A rename takes the plays along, and a mark either name had.
TEST(LibraryDb, CarryOverMovesSessionsAndMark) {
    const struct {
        std::vector<const char*> marked;
        bool expectMarked;
    } cases[] = {{{"/g/old.nes"}, true},
                 {{}, false},
                 {{"/g/new.nes"}, true},
                 {{"/g/old.nes", "/g/new.nes"}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.marked.size());
        Library library({{"/g/old.nes", 100, 30}, {"/g/new.nes", 100, 30}}, c.marked);
        ASSERT_TRUE(library.db.carryOver("/g/old.nes", "/g/new.nes"));
        const auto all = library.db.summaries();
        EXPECT_FALSE(all.contains("/g/old.nes"));
        const GameHistory h = all.value("/g/new.nes");
        EXPECT_EQ(std::tuple(h.plays, h.seconds, h.favourite), std::tuple(2, 60, c.expectMarked));
    }
}

// An unusable file is renamed with its journal, never deleted nor put over an earlier one.
TEST(LibraryDb, BrokenFileIsMovedAsideWithItsCompanions) {
    QByteArray damaged;
    {
        // A real database whose pages are then overwritten in the middle.
        TempFolder t;
        QDir().mkpath(t.file(QStringLiteral("data")));
        RawSqlite(dbFile(t)).exec(
            "PRAGMA page_size=1024; CREATE TABLE x(a, b); CREATE INDEX xa ON x(a);"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<2000)"
            " INSERT INTO x SELECT i, randomblob(50) FROM n;");
        damaged = t.read(QStringLiteral("data/library.sqlite3"));
        for (int i = 3 * 1024; i < 6 * 1024; ++i)
            damaged[i] = static_cast<char>(0x5a);
    }
    const struct {
        const char* name;
        QByteArray content;
        bool withWal;
    } cases[] = {
        {"not a database", QByteArray("this is not a database, just text\n").repeated(100), true},
        {"damaged pages", damaged, false},
    };
    TempFolder t;
    QStringList aside;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        t.write(QStringLiteral("data/library.sqlite3"), c.content);
        if (c.withWal) t.write(QStringLiteral("data/library.sqlite3-wal"), "journal bytes");
        LibraryDb db;
        const LibraryDb::Opened opened = db.open(dbFile(t));
        ASSERT_TRUE(opened.ok) << opened.error.toStdString();
        EXPECT_TRUE(opened.movedAsideTo.startsWith(dbFile(t) + QStringLiteral(".broken-")));
        aside << opened.movedAsideTo;
        if (c.withWal) {
            EXPECT_EQ(t.read("data/" + QFileInfo(opened.movedAsideTo).fileName() + "-wal"),
                      QByteArray("journal bytes"));
        }
        EXPECT_TRUE(db.summaries().isEmpty());
        EXPECT_TRUE(db.integrityOk());
        EXPECT_TRUE(db.beginSession("/g/a.nes", QString(), 1).has_value());
    }
    ASSERT_NE(aside[0], aside[1]);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(t.read("data/" + QFileInfo(aside[int(i)]).fileName()), cases[i].content) << i;
}

// The --history line: tabs between fields, the path last and as its own bytes.
TEST(HistoryReport, OneLinePerGameWithThePathLast) {
    const QDateTime noon(QDate(2026, 3, 4), QTime(12, 5, 6), Qt::UTC);
    const std::vector<library::HistoryLine> lines = {
        {"/g/played.nes", {2, 754, noon.toSecsSinceEpoch(), false}},
        {"/g/tab\there \xff.nes", {0, 0, 0, true}},
    };
    // The local time of the play, whatever zone the machine is in.
    const QByteArray local = noon.toLocalTime().toString("yyyy-MM-ddTHH:mm:ss").toLatin1();
    EXPECT_EQ(library::historyReport(lines),
              "2\t754\t" + local + "\t0\t/g/played.nes\n0\t0\t-\t1\t/g/tab\there \xff.nes\n");
}

// A file this user cannot open is intact history out of reach: it stays, and is named.
TEST(LibraryFiles, AFileThatCannotBeOpenedIsNeverMovedAside) {
    const struct {
        const char* name;
        bool needsAnotherUser;  // only root can make a file this user cannot take over
        mode_t dbMode;
        int shmMode;  // -1: no -shm left behind
        const char* errorNames;
    } cases[] = {
        {"a database of mode 000", false, 0, -1, "library.sqlite3: Permission denied"},
        {"a -shm of another user, unreadable", true, 0666, 0600, "library.sqlite3-shm"},
        {"a -shm of another user, read-only", true, 0666, 0644, "library.sqlite3-shm"},
    };
    const bool root = ::geteuid() == 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsAnotherUser && !root) {
            // GTEST_SKIP would end the whole table; this case alone needs root.
            std::fprintf(stderr, "skipped \"%s\": only root can leave a file of another user\n",
                         c.name);
            continue;
        }
        TempFolder t;
        const QString file = dbFile(t);
        writeHistory(file);
        const QByteArray before = t.read("data/library.sqlite3");
        ASSERT_FALSE(before.isEmpty());
        const auto setMode = [](const QString& path, int mode) {
            ::chmod(path.toUtf8().constData(), mode_t(mode));
        };
        // Reachable by nobody, as a home folder is by its owner.
        setMode(t.path(), 0755);
        setMode(t.file("data"), 0777);
        setMode(file, c.dbMode);
        if (c.shmMode >= 0)
            setMode(t.write("data/library.sqlite3-shm", QByteArray(32768, 0)), c.shmMode);

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
        setMode(file, 0644);
        EXPECT_EQ(t.read("data/library.sqlite3"), before);
        QFile::remove(file + "-shm");
        LibraryDb db;
        ASSERT_TRUE(db.open(file).ok);
        EXPECT_TRUE(db.integrityOk());
        EXPECT_TRUE(db.isFavourite("/g/kept.nes"));
    }
}

// A FIFO or folder as the database or a companion is refused unopened and left as it was.
TEST(LibraryFiles, AFifoOrAFolderIsRefusedUntouched) {
    for (const char* made : {"", "-wal", "-shm", "/"}) {  // "/": a folder by the file's name
        SCOPED_TRACE(made);
        TempFolder t;
        const QString file = t.mkdir("data") + "/library.sqlite3";
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

// Another connection, here or in another process, would write on into a moved file.
TEST(LibraryFiles, NothingIsMovedWhileAnotherConnectionHasTheFile) {
    TempFolder t;
    const QString file = dbFile(t);
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

// An older build's file loses its checksum index and shrinks; its history stays.
TEST(LibraryFiles, TheOldChecksumTablesLeaveTheLibrary) {
    TempFolder t;
    const QString file = dbFile(t);
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

// The length is written every 30 s (a killed launcher loses at most that) and at the end.
TEST(PlaySession, LengthIsWrittenEveryThirtySecondsAndAtTheEndOnTheSteadyClock) {
    TempFolder t;
    const QString file = t.file(QStringLiteral("library.sqlite3"));
    LibraryDb db;
    ASSERT_TRUE(db.open(file).ok);
    StepClock clock{5'000'000, 1'700'000'000};
    PlaySession session(db, clock);
    ASSERT_TRUE(session.begin("/g/a.nes", QStringLiteral("stella")));
    const struct {
        qint64 advanceMs;
        qint64 stored;  // what a reader finds after the tick (0 below ten seconds)
    } steps[] = {
        {1'000, 0},     // 1 s: nothing written yet
        {28'999, 0},    // 29.999 s
        {1, 30},        // 30 s: written
        {20'000, 30},   // 50 s: not yet
        {10'000, 60},   // 60 s
        {45'000, 105},  // 105 s: a late tick writes what it measures
    };
    for (const auto& s : steps) {
        clock.mono += s.advanceMs;
        session.tick();
        EXPECT_EQ(storedSeconds(file), s.stored) << "at " << clock.mono;
    }
    clock.mono += 2'500;
    session.end();
    EXPECT_EQ(storedSeconds(file), 107);
    // Ticks after the end change nothing.
    clock.mono += 60'000;
    session.tick();
    EXPECT_EQ(storedSeconds(file), 107);

    // Length on the clock that stops in a suspend, start on the wall clock; a launch ends the last.
    ASSERT_TRUE(session.begin("/g/b.nes", QString()));
    const qint64 began = clock.wall;
    clock.wall += 8 * 3600;  // the night the machine slept
    clock.mono += 15'000;
    ASSERT_TRUE(session.begin("/g/c.nes", QString()));
    clock.mono += 3'000;
    session.end();
    const auto all = db.summaries();
    EXPECT_EQ(all.value("/g/b.nes").seconds, 15);
    EXPECT_EQ(all.value("/g/b.nes").lastPlayed, began);
    EXPECT_EQ(all.value("/g/c.nes").plays, 0);  // three seconds: kept, not counted
}
