// The games folder's journals: two computers on one collection at two paths, or copied.

#include "library/JournalFiles.h"
#include "library/JournalFormat.h"
#include "library/JournalSync.h"
#include "library/LibraryDb.h"
#include "support/RawSqlite.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace library;
using namespace library::journal;

namespace {

// One computer: its own data folder, database and id, and its own path to the games.
struct Computer {
    Computer(const QString& gamesPath, const QByteArray& installation)
        : id(installation), games(gamesPath + QLatin1Char('/')) {
        EXPECT_TRUE(db.open(data.file(QStringLiteral("library.sqlite3"))).ok);
        db.setInstallation(id);
    }
    QByteArray path(const char* name) const { return games.toUtf8() + name; }
    void play(const char* name, qint64 started, qint64 seconds) {
        const std::optional<qint64> s =
            db.beginSession(path(name), QStringLiteral("snes9x"), started);
        ASSERT_TRUE(s && db.setSessionSeconds(*s, seconds));
    }
    JournalSync::Result list() {
        JournalSync::Result r = sync.readFolder(games);
        r.unwritable = sync.publishFolder(games).unwritable;
        return r;
    }
    // "name plays seconds [*]" per game of the folder, by name.
    QStringList history() {
        QStringList out;
        for (const HistoryLine& l : db.historyLines(games.toUtf8()))
            out << QString::fromUtf8(l.path.mid(games.toUtf8().size())) + ' ' +
                       QString::number(l.history.plays) + ' ' + QString::number(l.history.seconds) +
                       (l.history.favourite ? " *" : "");
        out.sort();
        return out;
    }
    TempFolder data;
    LibraryDb db;
    QByteArray id;
    QString games;
    JournalSync sync{db, id};
};

const QByteArray kA = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
const QByteArray kB = "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";

// An installation's journal in the games folder "roms".
QString journalOf(const QByteArray& id) {
    return QStringLiteral("roms/.rombard/") + QString::fromLatin1(id) + QStringLiteral(".journal");
}

// The same games folder at a second path, as another computer mounts it.
QString secondPath(const TempFolder& t) {
    QFile::link(t.path() + QStringLiteral("/roms"), t.path() + QStringLiteral("/mnt"));
    return t.path() + QStringLiteral("/mnt");
}

// As a sync tool: each file of `from`'s .rombard over `to`'s when newer, its time kept.
void syncNewerOver(const QString& from, const QString& to) {
    const QString src = from + QStringLiteral("/.rombard"), dst = to + QStringLiteral("/.rombard");
    QDir().mkpath(dst);
    for (const QFileInfo& f : QDir(src).entryInfoList(QDir::Files)) {
        const QString target = dst + QLatin1Char('/') + f.fileName();
        if (QFileInfo::exists(target) && QFileInfo(target).lastModified() >= f.lastModified())
            continue;
        const QString temp = dst + QStringLiteral("/.sync-tmp");
        QFile::remove(temp);
        ASSERT_TRUE(QFile::copy(f.filePath(), temp));
        struct stat st {};
        ::stat(QFile::encodeName(f.filePath()), &st);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(AT_FDCWD, QFile::encodeName(temp), times, 0);
        ASSERT_EQ(::rename(QFile::encodeName(temp), QFile::encodeName(target)), 0);
    }
}

}  // namespace

// Every byte of a path comes back; a damaged, newer or torn line is skipped alone.
TEST(JournalFormat, ReadsWhatCanBeReadAndSkipsTheRest) {
    QByteArray anyByte;
    for (int c = 1; c < 256; ++c)
        anyByte += char(c);
    const Play play{"s1", anyByte, 1'700'000'000, 12, QStringLiteral("mame \u00e9")};
    const Mark mark{"a%b\tc\n.sfc", true, 5, kA};
    const Rename rename{"r1", "Old name.sfc", "New\xff.sfc", 9};
    const QByteArray good = recordLine(play) + recordLine(mark) + recordLine(rename);
    QByteArray bad = recordLine(play);
    bad[bad.indexOf("s1") + 1] = '2';  // the checksum no longer matches
    // A later version's record, with fields this one does not know.
    const QByteArray newer = sealedLine("2\tmark\tg.sfc\t1\t5\t" + kA + "\tcolour=gold");
    const QByteArray header = headerLine(kA), torn = recordLine(play).left(20);
    const struct {
        const char* name;
        QByteArray bytes;
        size_t records;
        int damaged, newer;
        qint64 consumed;
        // clang-format off
    } cases[] = {
        {"all kinds", header + good, 3, 0, 0, header.size() + good.size()},
        {"a damaged line", header + bad + good, 3, 1, 0, header.size() + bad.size() + good.size()},
        {"a newer format", header + newer + good, 3, 0, 1, header.size() + newer.size() + good.size()},
        {"a torn last line waits", header + good + torn, 3, 0, 0, header.size() + good.size()},
        {"a torn header waits", header.left(5), 0, 0, 0, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Parsed p = parseLines(c.bytes, true);
        EXPECT_TRUE(p.isJournal);
        ASSERT_EQ(p.records.size(), c.records);
        EXPECT_EQ(p.damaged, c.damaged);
        EXPECT_EQ(p.newer, c.newer);
        EXPECT_EQ(p.consumed, c.consumed);
        if (c.records == 3) {
            EXPECT_EQ(std::get<Play>(p.records[0]), play);
            EXPECT_EQ(std::get<Mark>(p.records[1]), mark);
            EXPECT_EQ(std::get<Rename>(p.records[2]), rename);
        }
    }
    EXPECT_FALSE(parseLines("desktop.ini\n" + good, true).isJournal);
}

TEST(JournalFiles, InstallationIdIsMadeOnceAndADamagedOneReplaced) {
    TempFolder t;
    const QString folder = t.path() + QStringLiteral("/Rombard");
    const InstallationId first = loadInstallationId(folder);
    ASSERT_EQ(first.id.size(), 32);
    EXPECT_TRUE(first.notice.isEmpty());
    EXPECT_EQ(QFile::permissions(folder + "/installation-id"),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    EXPECT_EQ(loadInstallationId(folder).id, first.id);
    t.write(QStringLiteral("Rombard/installation-id"), "not an id\n");
    const InstallationId replaced = loadInstallationId(folder);
    EXPECT_EQ(replaced.id.size(), 32);
    EXPECT_NE(replaced.id, first.id);
    EXPECT_FALSE(replaced.notice.isEmpty());
    EXPECT_EQ(loadInstallationId(folder).id, replaced.id);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("installation-id")});
}

// Two launchers of one installation appending at once: no line is lost or torn.
TEST(JournalFiles, ConcurrentAppendsKeepEveryRecord) {
    TempFolder t;
    const QString games = t.mkdir("roms");
    constexpr int kEach = 300;
    const auto writer = [&](const char* prefix) {
        for (int i = 0; i < kEach; ++i) {
            const QByteArray id = prefix + QByteArray::number(i);
            if (!appendOwn(games, kA, recordLine(Play{id, "g.sfc", 1, 12, {}})).ok) return 1;
        }
        return 0;
    };
    // Both children run at once; each ends with _exit, so the test's state is not torn down.
    std::vector<pid_t> children;
    for (const char* prefix : {"x", "y"}) {
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(writer(prefix));
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = -1;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::vector<JournalFile> files = listJournals(games);
    ASSERT_EQ(files.size(), 1u);
    const std::optional<Parsed> read = readJournal(files[0], 0, files[0].size);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->records.size(), size_t(2 * kEach));
    EXPECT_EQ(read->damaged, 0);
}

// Each computer sees the other's plays, marks and renames under its own path.
TEST(JournalSync, TwoComputersShareOneFolderAtTwoPaths) {
    TempFolder t;
    Computer a(t.mkdir("roms"), kA);
    Computer b(secondPath(t), kB);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    a.play("Gamma.sfc", now - 100, 12);
    a.play("Short.sfc", now - 90, 3);
    ASSERT_EQ(a.db.toggleFavourite(a.path("Alpha.sfc")), true);
    a.list();
    b.list();
    EXPECT_EQ(b.history(), QStringList({"Alpha.sfc 0 0 *", "Gamma.sfc 1 12"}));
    b.play("Beta.sfc", now - 50, 30);
    ASSERT_EQ(b.db.toggleFavourite(b.path("Alpha.sfc")), false);
    EXPECT_TRUE(b.list().changed == false);  // nothing new to read, only its own to write
    EXPECT_TRUE(a.list().changed);
    EXPECT_EQ(a.history(), QStringList({"Beta.sfc 1 30", "Gamma.sfc 1 12"}));
    // A rename on B carries A's plays and B's new mark.
    ASSERT_EQ(b.db.toggleFavourite(b.path("Gamma.sfc")), true);
    ASSERT_TRUE(b.db.carryOver(b.path("Gamma.sfc"), b.path("Gamma (E).sfc")));
    b.list();
    a.list();
    EXPECT_EQ(a.history(), QStringList({"Beta.sfc 1 30", "Gamma (E).sfc 1 12 *"}));
    EXPECT_EQ(a.history(), b.history());
    // Reading again finds nothing new, and writes nothing again.
    const QByteArray journalA = t.read(journalOf(kA));
    EXPECT_FALSE(a.list().changed);
    EXPECT_FALSE(b.list().changed);
    EXPECT_EQ(t.read(journalOf(kA)), journalA);
    // A compacts its journal: B reads it anew, counts nothing twice, and keeps its own file.
    ASSERT_EQ(a.db.toggleFavourite(a.path("Beta.sfc")), true);
    a.list();
    ASSERT_EQ(a.db.toggleFavourite(a.path("Beta.sfc")), false);
    a.list();
    const QByteArray longer = t.read(journalOf(kA)), ofB = t.read(journalOf(kB));
    ASSERT_TRUE(compactOwn(t.file(QStringLiteral("roms")), kA));
    EXPECT_LT(t.read(journalOf(kA)).size(), longer.size());
    b.list();
    EXPECT_EQ(b.history(), a.history());
    EXPECT_EQ(t.read(journalOf(kB)), ofB);
    EXPECT_EQ(QDir(t.file(QStringLiteral("roms")))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral(".rombard")});
}

// The later mark change wins by (time, installation), in any order of reading.
TEST(JournalSync, TheLatestMarkChangeWinsInAnyOrder) {
    const struct {
        const char* name;
        Mark first, second;
        bool marked;
        // clang-format off
    } cases[] = {
        {"later time wins", {"g.sfc", true, 100, kB}, {"g.sfc", false, 200, kA}, false},
        {"a clock hours behind loses", {"g.sfc", true, 100'000, kA}, {"g.sfc", false, 90'000, kB}, true},
        {"same second: the larger id", {"g.sfc", false, 100, kB}, {"g.sfc", true, 100, kA}, false},
        {"same second, the other way", {"g.sfc", true, 100, kB}, {"g.sfc", false, 100, kA}, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        Computer one(t.path(), "c1"), other(t.path(), "c2");
        ASSERT_TRUE(one.sync.fold(one.games, {c.first, c.second}));
        ASSERT_TRUE(other.sync.fold(other.games, {c.second}));
        ASSERT_TRUE(other.sync.fold(other.games, {c.first}));
        EXPECT_EQ(one.db.isFavourite(one.path("g.sfc")), c.marked);
        EXPECT_EQ(other.db.isFavourite(other.path("g.sfc")), c.marked);
    }
    // A mark changed here after a change stamped by a clock running ahead still wins.
    TempFolder t;
    Computer here(t.path(), kA);
    const qint64 ahead = QDateTime::currentSecsSinceEpoch() + 86'400;
    ASSERT_TRUE(here.sync.fold(here.games, {Mark{"g.sfc", true, ahead, kB}}));
    ASSERT_EQ(here.db.toggleFavourite(here.path("g.sfc")), false);
    Computer there(t.path(), "c3");
    ASSERT_TRUE(there.sync.fold(there.games, {Mark{"g.sfc", true, ahead, kB}}));
    here.list();
    there.list();
    EXPECT_FALSE(there.db.isFavourite(there.path("g.sfc")));
}

// Copies synced newer over older lose nothing, count nothing twice, read conflict copies.
TEST(JournalSync, CopiesSyncedNewerOverOlderKeepBothPlays) {
    TempFolder t;
    const QString one = t.mkdir("copy1"), two = t.mkdir("copy2");
    Computer a(one, kA), b(two, kB);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    a.play("Gamma.sfc", now - 100, 20);
    b.play("Beta.sfc", now - 50, 40);
    a.list();
    b.list();
    syncNewerOver(one, two);
    syncNewerOver(two, one);
    a.list();
    b.list();
    EXPECT_EQ(a.history(), QStringList({"Beta.sfc 1 40", "Gamma.sfc 1 20"}));
    EXPECT_EQ(b.history(), a.history());
    // A's journal arrives again as a new file, and as a conflict copy with one more play.
    a.play("Delta.sfc", now - 20, 15);
    a.list();
    const QString own = "/.rombard/" + QString::fromLatin1(kA) + ".journal";
    QFile::remove(two + own);
    ASSERT_TRUE(QFile::copy(one + own, two + own + ".sync-conflict-20261207-1"));
    ASSERT_TRUE(QFile::copy(one + own, two + own));
    b.list();
    EXPECT_EQ(b.history(), QStringList({"Beta.sfc 1 40", "Delta.sfc 1 15", "Gamma.sfc 1 20"}));
}

// Older history is published once (kept here if it cannot be); reading goes on where it left.
TEST(JournalSync, ExistingHistoryIsPublishedOnceAndNothingIsReadTwice) {
    TempFolder t;
    t.write(QStringLiteral("ro/.rombard"), "a file where the folder would go");
    Computer a(t.mkdir("roms"), kA);
    // As a launcher before the journals wrote: a play without an id, a mark without a change.
    ASSERT_TRUE(RawSqlite(a.data.file("library.sqlite3"))
                    .exec("INSERT INTO sessions(path, emulator, started, duration) VALUES(x'" +
                          a.path("Gamma.sfc").toHex() + "', 'snes9x', 1000, 12)"));
    ASSERT_TRUE(a.db.setFavourite(a.path("Alpha.sfc"), true));
    Computer blocked(t.file(QStringLiteral("ro")), kA);
    blocked.play("Gamma.sfc", 1000, 12);
    EXPECT_TRUE(blocked.list().unwritable);
    EXPECT_EQ(blocked.history(), QStringList{QStringLiteral("Gamma.sfc 1 12")});
    EXPECT_EQ(filesUnder(t.file(QStringLiteral("ro"))),
              QStringList{QStringLiteral(".rombard: a file where the folder would go")});
    a.list();
    const QByteArray written = t.read(journalOf(kA));
    EXPECT_EQ(parseLines(written, true).records.size(), 2u);
    a.list();
    EXPECT_EQ(t.read(journalOf(kA)), written);
    // The bytes B read are then spoilt in place: a second read must not see them.
    Computer b(t.file(QStringLiteral("roms")), kB);
    b.list();
    QFile f(t.file(journalOf(kA)));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(written.size() / 2);
    f.write("XXXX");
    f.close();
    EXPECT_EQ(b.sync.readFolder(b.games).damaged, 0);
    EXPECT_EQ(b.history(), QStringList({"Alpha.sfc 0 0 *", "Gamma.sfc 1 12"}));

    // A newer record and a torn line: nothing rewritten, the torn line read once it ends.
    const QByteArray torn = recordLine(Play{"t1", "Torn.sfc", 3000, 30, {}});
    const auto append = [&](const QByteArray& bytes) {
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(bytes);
        f.close();
    };
    append(sealedLine("7\tplay\tn1\tFuture.sfc\t1000\t60\t-\tcontroller=pad") +
           torn.left(torn.size() / 2));
    const QByteArray appended = t.read(journalOf(kA));
    EXPECT_EQ(b.list().newer, 1);
    EXPECT_EQ(b.history(), QStringList({"Alpha.sfc 0 0 *", "Gamma.sfc 1 12"}));
    EXPECT_EQ(t.read(journalOf(kA)), appended);
    append(torn.mid(torn.size() / 2));
    b.list();
    EXPECT_EQ(b.history(), QStringList({"Alpha.sfc 0 0 *", "Gamma.sfc 1 12", "Torn.sfc 1 30"}));
}
