// The per-game totals kept beside the log always equal the grouped log, whoever writes it.

#include "library/LibraryDb.h"
#include "support/RawSqlite.h"
#include "support/TempFolder.h"

#include <QDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

using library::GameHistory;
using library::LibraryDb;

namespace {

QString dbFile(const TempFolder& t) {
    return t.file(QStringLiteral("data/library.sqlite3"));
}

class Raw : public RawSqlite {
public:
    using RawSqlite::RawSqlite;
    // The log grouped by path, and the marks: what the launcher once worked out at each start.
    QHash<QByteArray, GameHistory> grouped() {
        QHash<QByteArray, GameHistory> out;
        sqlite3_stmt* s = nullptr;
        const auto path = [&] {
            return QByteArray(static_cast<const char*>(sqlite3_column_blob(s, 0)),
                              sqlite3_column_bytes(s, 0));
        };
        sqlite3_prepare_v2(m_db,
                           "SELECT path, SUM(duration >= 10),"
                           " SUM(CASE WHEN duration >= 10 THEN duration ELSE 0 END),"
                           " MAX(CASE WHEN duration >= 10 THEN started ELSE 0 END)"
                           " FROM sessions GROUP BY path",
                           -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            out[path()] = {sqlite3_column_int(s, 1), sqlite3_column_int64(s, 2),
                           sqlite3_column_int64(s, 3)};
        sqlite3_finalize(s);
        sqlite3_prepare_v2(m_db, "SELECT path FROM favourites", -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            out[path()].favourite = true;
        sqlite3_finalize(s);
        return out;
    }
};

// As text, so a difference shows which game and which field.
std::string describe(const QHash<QByteArray, GameHistory>& all) {
    QList<QByteArray> paths = all.keys();
    std::sort(paths.begin(), paths.end());
    std::string out;
    for (const QByteArray& p : paths) {
        const GameHistory& h = all[p];
        out += p.toStdString() + ": " + std::to_string(h.plays) + " plays, " +
               std::to_string(h.seconds) + " s, last " + std::to_string(h.lastPlayed) +
               (h.favourite ? ", marked" : "") + "\n";
    }
    return out;
}

const QByteArray kGames[] = {"/g/a.nes", "/g/b.nes", "/g/c\xff.nes", "/g/d.nes", "/g/e.nes"};

QByteArray someGame(std::mt19937& random, int games) {
    return kGames[std::uniform_int_distribution<int>(0, games - 1)(random)];
}

// Lengths on both sides of the ten-second line, and on it.
qint64 someLength(std::mt19937& random) {
    static const qint64 lengths[] = {0, 3, 9, 10, 11, 30, 95, 4000};
    return lengths[std::uniform_int_distribution<int>(
        0, static_cast<int>(std::size(lengths)) - 1)(random)];
}

}  // namespace

// Sessions grow across the line (or shrink), renames, marks, and another program's rows.
TEST(GameSummaries, EqualTheGroupedLogAfterAnyMixOfWrites) {
    struct Case {
        const char* name;
        unsigned randomStart;
        int games;  // fewer games: more renames onto a game with history
    };
    const std::vector<Case> cases = {
        {"two games, renames back and forth", 7, 2},
        {"three games", 11, 3},
        {"five games", 23, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        LibraryDb db;
        ASSERT_TRUE(db.open(dbFile(t)).ok);
        Raw other(dbFile(t));
        std::mt19937 random(c.randomStart);
        std::vector<qint64> sessions;
        qint64 clock = 1'700'000'000;
        for (int step = 0; step < 300; ++step) {
            const int what = std::uniform_int_distribution<int>(0, 9)(random);
            const QByteArray game = someGame(random, c.games), to = someGame(random, c.games);
            if (what < 2) {
                const auto id = db.beginSession(game, QStringLiteral("fceux"), clock += 60);
                ASSERT_TRUE(id);
                sessions.push_back(*id);
            } else if (what < 5 && !sessions.empty()) {
                db.setSessionSeconds(sessions[random() % sessions.size()], someLength(random));
            } else if (what < 7) {
                ASSERT_TRUE(db.carryOver(game, to));
            } else if (what == 7) {
                ASSERT_TRUE(db.toggleFavourite(game).has_value());
            } else if (what == 8 && !sessions.empty()) {
                // Another program deletes a session behind the launcher's back...
                const std::size_t i = random() % sessions.size();
                ASSERT_TRUE(other.exec("DELETE FROM sessions WHERE id = " +
                                       QByteArray::number(sessions[i])));
                sessions.erase(sessions.begin() + static_cast<std::ptrdiff_t>(i));
            } else if (what == 9) {
                // ...or logs one.
                ASSERT_TRUE(other.exec("INSERT INTO sessions(path, started, duration) VALUES(x'" +
                                       game.toHex() + "', " + QByteArray::number(clock += 60) +
                                       ", " + QByteArray::number(someLength(random)) + ")"));
                const QList<qint64> ids = other.numbers("SELECT id FROM sessions ORDER BY id");
                sessions.assign(ids.begin(), ids.end());
            }
            EXPECT_EQ(describe(db.summaries()), describe(other.grouped())) << "step " << step;
            if (::testing::Test::HasFailure()) return;
        }
    }
}

// Each older version opens with the totals its log gave, and they follow writes from then on.
TEST(GameSummaries, EveryOlderVersionMigratesToTheSameTotals) {
    const char* const version1 =
        "CREATE TABLE sessions(id INTEGER PRIMARY KEY, path BLOB NOT NULL,"
        " emulator TEXT NOT NULL DEFAULT '', started INTEGER NOT NULL,"
        " duration INTEGER NOT NULL DEFAULT 0);";
    const QByteArray version3 =
        QByteArray(version1) +
        "CREATE TABLE favourites(path BLOB PRIMARY KEY) WITHOUT ROWID;"
        "CREATE INDEX sessions_summary ON sessions(path, duration, started);"
        "PRAGMA user_version=3;";
    struct Case {
        const char* name;
        QByteArray prepare;  // SQL run on the file before the launcher opens it
    };
    const std::vector<Case> cases = {
        {"no file at all", {}},
        {"an empty database (version 0)", "CREATE TABLE unrelated(x); PRAGMA user_version=0;"},
        {"version 1, with a session",
         QByteArray(version1) +
             "CREATE INDEX sessions_by_path ON sessions(path);"
             "INSERT INTO sessions(path, started, duration) VALUES(x'2f672f612e6e6573', 100, 40);"
             "PRAGMA user_version=1;"},
        {"version 3, a mix over three games",
         version3 +
             "INSERT INTO sessions(path, emulator, started, duration) VALUES"
             " (x'2f672f612e6e6573', 'fceux', 100, 10), (x'2f672f612e6e6573', 'fceux', 900, 9),"
             " (x'2f672f612e6e6573', 'fceux', 500, 3600), (x'2f672f62ff2e6e6573', '', 50, 40),"
             " (x'2f672f632e6e6573', '', 70, 2);"
             "INSERT INTO favourites VALUES(x'2f672f632e6e6573'), (x'2f672f7a2e6e6573');"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        QDir().mkpath(t.file(QStringLiteral("data")));
        QHash<QByteArray, GameHistory> before;
        if (!c.prepare.isEmpty()) {
            Raw old(dbFile(t));
            ASSERT_TRUE(old.exec(c.prepare));
            before = old.grouped();
        }
        LibraryDb db;
        const LibraryDb::Opened opened = db.open(dbFile(t));
        ASSERT_TRUE(opened.ok) << opened.error.toStdString();
        EXPECT_TRUE(opened.movedAsideTo.isEmpty());
        EXPECT_EQ(db.schemaVersion(), LibraryDb::kSchemaVersion);
        EXPECT_EQ(describe(db.summaries()), describe(before)) << "migrating";

        const auto id = db.beginSession("/g/a.nes", QString(), 5000);
        ASSERT_TRUE(id && db.setSessionSeconds(*id, 12));
        ASSERT_TRUE(db.carryOver("/g/a.nes", "/g/new.nes"));
        EXPECT_TRUE(db.setFavourite("/g/b.nes", true));
        EXPECT_EQ(describe(db.summaries()), describe(Raw(dbFile(t)).grouped()))
            << "playing and renaming";
    }
    // A newer launcher's file keeps its number, or that launcher would run its steps again.
    TempFolder t;
    QDir().mkpath(t.file(QStringLiteral("data")));
    ASSERT_TRUE(LibraryDb().open(dbFile(t)).ok);
    Raw(dbFile(t)).exec("PRAGMA user_version=" + QByteArray::number(LibraryDb::kSchemaVersion + 1));
    LibraryDb db;
    ASSERT_TRUE(db.open(dbFile(t)).ok);
    EXPECT_EQ(db.schemaVersion(), LibraryDb::kSchemaVersion + 1);
    EXPECT_TRUE(db.setFavourite("/g/a.nes", true));
}

// Two launchers writing the same games of one file at once.
TEST(GameSummaries, TwoLaunchersWritingAtOnceKeepThemExact) {
    TempFolder t;
    {
        LibraryDb first;
        ASSERT_TRUE(first.open(dbFile(t)).ok);
    }
    const auto work = [&](unsigned launcher, bool* ok) {
        LibraryDb db;
        *ok = db.open(dbFile(t)).ok;
        std::mt19937 random(launcher);
        for (int i = 0; i < 120 && *ok; ++i) {
            const QByteArray game = someGame(random, 3);
            const auto id = db.beginSession(game, QString::number(launcher), 1000 + i);
            *ok = id.has_value();
            // The 30-second refreshes of a session as it grows past the line.
            for (const qint64 seconds : {5, 9, 10, 40})
                *ok = *ok && db.setSessionSeconds(*id, seconds + i % 3);
            if (i % 4 == 0) *ok = *ok && db.carryOver(game, someGame(random, 3));
            if (i % 5 == 0) *ok = *ok && db.toggleFavourite(someGame(random, 3)).has_value();
            // An even number of toggles in all: one lost between the two leaves it marked.
            *ok = *ok && db.toggleFavourite("/g/shared.nes").has_value();
        }
    };
    bool okA = false, okB = false;
    std::thread a(work, 1u, &okA), b(work, 2u, &okB);
    a.join();
    b.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
    LibraryDb db;
    ASSERT_TRUE(db.open(dbFile(t)).ok);
    const auto kept = db.summaries();
    int plays = 0;
    for (const GameHistory& h : kept)
        plays += h.plays;
    EXPECT_EQ(plays, 2 * 120);  // every session ended past the line
    EXPECT_FALSE(kept.value("/g/shared.nes").favourite);
    EXPECT_EQ(describe(kept), describe(Raw(dbFile(t)).grouped())) << "both launchers finished";
    EXPECT_TRUE(db.integrityOk());
}
