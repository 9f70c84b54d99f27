#include "library/HistoryReport.h"
#include "library/LibraryDb.h"
#include "support/RawSqlite.h"
#include "support/TempFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <gtest/gtest.h>

using library::GameHistory;
using library::LibraryDb;

namespace {

QString dbFile(const TempFolder& t) {
    return t.file(QStringLiteral("data/library.sqlite3"));
}

struct Session {
    const char* path;
    qint64 started;
    qint64 seconds;
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

}  // namespace

// Plays, time and last play as the log's sessions make them: short ones (under ten seconds)
// are kept but count for nothing. The history lists the games played or marked, the latest
// play first, marked ones never played last.
TEST(LibraryDb, SummariesCountSessionsOfTenSecondsOrMoreLatestPlayFirstMarkedOnesLast) {
    Library library({{"/g/old.nes", 100, 20},
                     {"/g/old.nes", 50, 30},
                     {"/g/new.nes", 900, 10},
                     {"/g/mid.nes", 500, 20},
                     {"/g/mid.nes", 5000, 9},
                     {"/g/short.nes", 1000, 9},
                     {"/g/short-marked.nes", 1000, 3}},
                    {"/g/z-marked.nes", "/g/short-marked.nes"});
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
    const GameHistory h = db.summaries().value("/g/short.nes");
    EXPECT_EQ(std::tuple(h.plays, h.seconds, h.lastPlayed), std::tuple(0, 0, 0));
    // A mark toggles, and a name that is not valid UTF-8 is its own game, not another
    // spelled alike.
    const QByteArray latin1("/g/caf\xe9.nes");
    EXPECT_EQ(db.toggleFavourite(latin1), true);
    EXPECT_TRUE(db.isFavourite(latin1));
    EXPECT_FALSE(db.isFavourite("/g/caf\xc3\xa9.nes"));
    EXPECT_TRUE(db.summaries().contains(latin1));
    EXPECT_EQ(db.toggleFavourite(latin1), false);
    EXPECT_FALSE(db.isFavourite(latin1));
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

// An unusable file is renamed, never deleted, with its journal; the launcher goes on with
// an empty history. A second broken file, likely the same second, never replaces the first.
TEST(LibraryDb, BrokenFileIsMovedAsideWithItsCompanions) {
    struct Case {
        const char* name;
        QByteArray content;
        bool withWal;
    };
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
    const std::vector<Case> cases = {
        {"not a database", QByteArray("this is not a database, just text\n").repeated(100), true},
        {"damaged pages", damaged, false},
    };
    TempFolder t;
    QStringList aside;
    for (const Case& c : cases) {
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
    ASSERT_EQ(aside.size(), 2);
    ASSERT_NE(aside[0], aside[1]);
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(t.read("data/" + QFileInfo(aside[int(i)]).fileName()), cases[i].content) << i;
}

// The --history line: tabs between fields, the path last and as its own bytes.
TEST(HistoryReport, OneLinePerGameWithThePathLast) {
    const QDateTime noon(QDate(2026, 3, 4), QTime(12, 5, 6), Qt::UTC);
    const std::vector<library::HistoryLine> lines = {
        {"/g/played.nes", {2, 754, noon.toSecsSinceEpoch(), false}},
        {"/g/tab\there \xff.nes", {0, 0, 0, true}},
    };
    const QByteArray report = library::historyReport(lines);
    const QList<QByteArray> rows = report.split('\n');
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[2], QByteArray());
    // The local time of the play, whatever zone the machine is in.
    EXPECT_EQ(rows[0], QByteArray("2\t754\t") +
                           noon.toLocalTime().toString("yyyy-MM-ddTHH:mm:ss").toLatin1() +
                           "\t0\t/g/played.nes");
    EXPECT_EQ(rows[1], QByteArray("0\t0\t-\t1\t/g/tab\there \xff.nes"));
}
