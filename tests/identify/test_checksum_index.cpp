#include "identify/ChecksumDb.h"
#include "identify/ChecksumIndex.h"

#include "library/LibraryDb.h"
#include "support/OtherUser.h"
#include "support/QtPrinters.h"
#include "support/RawSqlite.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace {

using identify::ChecksumIndex, identify::RomEntry, identify::Sources;

// A software list named `name` with one entry per (rom name, size, crc).
QByteArray list(const QString& name, const QList<std::tuple<QString, int, quint32>>& roms) {
    QByteArray doc = "<softwarelist name=\"" + name.toUtf8() + "\">\n";
    for (const auto& [rom, size, crc] : roms)
        doc += "<software name=\"" + rom.toUtf8() + "\"><description>" + rom.toUtf8() +
               " game</description><part><dataarea><rom name=\"" + rom.toUtf8() + ".bin\" size=\"" +
               QByteArray::number(size) + "\" crc=\"" +
               QByteArray::number(crc, 16).rightJustified(8, '0') +
               "\"/></dataarea></part></software>\n";
    return doc + "</softwarelist>\n";
}

class ChecksumIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db.open(data.file("library.sqlite3")).ok);
        index.emplace(db.handle());
        ASSERT_TRUE(index->ok());
    }

    QStringList refresh(const QStringList& paths) { return index->refresh({paths}, {}); }
    // Software names of the entries that match, in the order given.
    QStringList names(qint64 size, quint32 crc) {
        QStringList out;
        for (const RomEntry& e : index->entries(size, crc))
            out.append(e.source + "/" + e.software);
        return out;
    }
    // Sets a file's time to the nanosecond, so a rewrite can keep or change it.
    void setTime(const QString& relative, int second, long nanoseconds = 0) {
        const struct timespec times[2] = {{1'600'000'000 + second, 0},
                                          {1'600'000'000 + second, nanoseconds}};
        ASSERT_EQ(
            ::utimensat(AT_FDCWD, QFile::encodeName(dats.file(relative)).constData(), times, 0), 0);
    }

    TempFolder data;
    TempFolder dats;
    library::LibraryDb db;
    std::optional<ChecksumIndex> index;
};

TEST_F(ChecksumIndexTest, FindsEveryMatchInSourceThenDocumentOrderWhileTheSourcesAreThere) {
    EXPECT_FALSE(index->holdsEntries());
    dats.write("b.xml", list("b", {{"b1", 16, 0xabcd}, {"b2", 16, 0xabcd}, {"b3", 32, 0xabcd}}));
    dats.write("a.dat", list("a", {{"a1", 16, 0xabcd}}));
    dats.write("c.XML", list("c", {{"c1", 16, 0xabcd}}));
    // Not sources: another extension, a hidden file, a file in a subfolder.
    dats.write("d.txt", list("d", {{"d1", 16, 0xabcd}}));
    dats.write(".e.xml", list("e", {{"e1", 16, 0xabcd}}));
    dats.write("sub/f.xml", list("f", {{"f1", 16, 0xabcd}}));
    const QString single = data.write("single.txt", list("s", {{"s1", 16, 0xabcd}}));

    EXPECT_EQ(refresh({single, dats.path(), data.file("missing")}), QStringList());
    EXPECT_EQ(names(16, 0xabcd), (QStringList{"s/s1", "a/a1", "b/b1", "b/b2", "c/c1"}));
    EXPECT_EQ(names(32, 0xabcd), QStringList{"b/b3"});
    EXPECT_TRUE(names(16, 0xabce).isEmpty());
    EXPECT_TRUE(names(17, 0xabcd).isEmpty());

    // Another order of the sources is another order of the matches, and a new generation.
    const qint64 before = index->generation();
    EXPECT_EQ(refresh({dats.path(), single}), QStringList());
    EXPECT_EQ(names(16, 0xabcd), (QStringList{"a/a1", "b/b1", "b/b2", "c/c1", "s/s1"}));
    EXPECT_GT(index->generation(), before);
    EXPECT_TRUE(index->holdsEntries());

    // A source gone takes its entries with it, and so does one no longer among the sources.
    const qint64 second = index->generation();
    ASSERT_TRUE(QFile::remove(dats.file("a.dat")));
    EXPECT_EQ(refresh({dats.path(), single}), QStringList());
    EXPECT_EQ(names(16, 0xabcd), (QStringList{"b/b1", "b/b2", "c/c1", "s/s1"}));
    EXPECT_GT(index->generation(), second);
    EXPECT_EQ(refresh({}), QStringList());
    EXPECT_TRUE(names(16, 0xabcd).isEmpty());
    EXPECT_FALSE(index->holdsEntries());
}

TEST_F(ChecksumIndexTest, ReadsASourceAgainOnlyWhenItsSizeOrTimeChanged) {
    const QString folder = dats.path();
    dats.write("l.xml", list("l", {{"old", 16, 1}}));
    setTime("l.xml", 0);
    ASSERT_EQ(refresh({folder}), QStringList());
    qint64 generation = index->generation();

    struct Step {
        const char* what;
        QByteArray content;  // empty: left as it is
        int second;
        long nanoseconds;
        QStringList expected;  // the entries of (16, 1) and (16, 2) afterwards
        bool newGeneration;
    };
    // clang-format off
    const Step steps[] = {
        {"nothing changed", {}, 0, 0, {"l/old"}, false},
        // Same size, same time: taken for the same file, so the new entry stays unseen.
        {"rewritten, size and time kept", list("l", {{"new", 16, 2}}), 0, 0, {"l/old"}, false},
        {"only the time changed", {}, 5, 0, {"l/new"}, true},
        {"size changed, time kept", list("l", {{"newer", 16, 2}}), 5, 0, {"l/newer"}, true},
        {"rewritten, only the nanoseconds changed", list("l", {{"nower", 16, 2}}), 5, 1,
         {"l/nower"}, true},
    };
    // clang-format on
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (!s.content.isEmpty()) dats.write("l.xml", s.content);
        setTime("l.xml", s.second, s.nanoseconds);
        EXPECT_EQ(refresh({folder}), QStringList());
        EXPECT_EQ(names(16, 1) + names(16, 2), s.expected);
        EXPECT_EQ(index->generation() > generation, s.newGeneration);
        generation = index->generation();
    }
}

// Said while it cannot be opened, read once it can; root opens all, so runs as another user.
TEST(ChecksumIndexUnreadable, ASourceIsReadOnceItCanBeOpened) {
    const auto body = [] {
        TempFolder folder;
        const QString dat = folder.write("l.xml", list("l", {{"game", 16, 1}}));
        library::LibraryDb db;
        if (!folder.isValid() || !db.open(folder.file("library.sqlite3")).ok) return 1;
        ChecksumIndex index(db.handle());
        ::chmod(QFile::encodeName(dat).constData(), 0);
        const QStringList refused = index.refresh({{dat}}, {});
        if (refused.size() != 1 || !refused[0].contains("could not be opened")) return 2;
        ::chmod(QFile::encodeName(dat).constData(), 0644);
        return index.refresh({{dat}}, {}).isEmpty() && index.entries(16, 1).size() == 1 ? 0 : 3;
    };
    const int status = support::canActAsOtherUsers()
                           ? support::waitFor(support::startAs(support::kNobodyUid, body))
                           : body();
    EXPECT_EQ(status, 0) << "1: not made, 2: not said, 3: not read again";
}

TEST_F(ChecksumIndexTest, AMalformedSourceKeepsNoneAndIsToldUntilItChanges) {
    dats.write("good.xml", list("g", {{"g1", 16, 1}}));
    dats.write("bad.xml", list("bad", {{"x1", 16, 1}}));
    setTime("bad.xml", 0);
    ASSERT_EQ(refresh({dats.path()}), QStringList());
    ASSERT_EQ(names(16, 1), (QStringList{"bad/x1", "g/g1"}));

    // Broken after its first ROM: none of its entries stay, the good source's do.
    QByteArray broken = list("bad", {{"x2", 16, 1}, {"x3", 16, 1}});
    broken.chop(40);
    dats.write("bad.xml", broken);
    setTime("bad.xml", 1);
    const QStringList told = refresh({dats.path()});
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith(dats.file("bad.xml") + ": line ")) << told[0].toStdString();
    EXPECT_EQ(names(16, 1), QStringList{"g/g1"});
    const qint64 generation = index->generation();

    // Unchanged: not read again (a repair keeping size and time goes unseen), but told again.
    const QByteArray repaired = list("bad", {{"x2", 16, 1}, {"x3", 16, 1}}).left(broken.size());
    dats.write("bad.xml", QByteArray(repaired).replace("x3", "y3"));
    setTime("bad.xml", 1);
    EXPECT_EQ(refresh({dats.path()}), told);
    EXPECT_EQ(index->generation(), generation);
    EXPECT_EQ(names(16, 1), QStringList{"g/g1"});

    dats.write("bad.xml", list("bad", {{"x4", 16, 1}}));
    EXPECT_EQ(refresh({dats.path()}), QStringList());
    EXPECT_EQ(names(16, 1), (QStringList{"bad/x4", "g/g1"}));
}

TEST_F(ChecksumIndexTest, NeverOpensSpecialFilesAndCountsAFileOnce) {
    // A FIFO named like a DAT would block a reader for good.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dats.file("pipe.dat")).constData(), 0600), 0);
    dats.write("l.xml", list("l", {{"l1", 16, 1}}));
    QList<std::pair<int, int>> progress;  // (done, total)
    const QStringList told = index->refresh(
        {{dats.path(), dats.file("l.xml"), dats.file("pipe.dat")}}, [&](int done, int total) {
            progress.append({done, total});
            return true;
        });
    EXPECT_EQ(told, QStringList());
    EXPECT_EQ(names(16, 1), QStringList{"l/l1"});
    EXPECT_EQ(progress, (QList<std::pair<int, int>>{{1, 1}}));
}

TEST_F(ChecksumIndexTest, StoppingKeepsWhatWasReadAndDropsNothing) {
    dats.write("a.xml", list("a", {{"a1", 16, 1}}));
    dats.write("b.xml", list("b", {{"b1", 16, 1}}));
    const QString other = data.write("other.xml", list("o", {{"o1", 16, 1}}));
    ASSERT_EQ(refresh({other}), QStringList());
    // Stops after a.xml; other.xml is not dropped by a walk that did not end.
    EXPECT_EQ(index->refresh({{dats.path()}}, [](int, int) { return false; }), QStringList());
    QStringList found = names(16, 1);
    found.sort();  // the two share a place: one from each walk
    EXPECT_EQ(found, (QStringList{"a/a1", "o/o1"}));
    EXPECT_EQ(refresh({dats.path()}), QStringList());
    EXPECT_EQ(names(16, 1), (QStringList{"a/a1", "b/b1"}));
}

// ROMs reach the writer in pieces: an entry split between two must keep its own texts.
TEST_F(ChecksumIndexTest, KeepsEveryRomsTextsAcrossALargeSource) {
    constexpr int kRoms = 9000;
    QByteArray doc =
        "<softwarelist name=\"big\"><software name=\"huge\">"
        "<description>Huge game</description><year>1982</year><part>";
    for (int i = 1; i <= kRoms; ++i)
        doc += "<rom name=\"r" + QByteArray::number(i) + ".bin\" size=\"" + QByteArray::number(i) +
               "\" crc=\"00000007\"/>";
    doc += "</part></software>";
    const QByteArray longText(1500, 'x');
    for (int i = 1; i <= 1000; ++i)
        doc += "<software name=\"long" + QByteArray::number(i) + "\"><description>" + longText +
               QByteArray::number(i) + "</description><rom name=\"l.bin\" size=\"1\" crc=\"" +
               QByteArray::number(0x1000 + i, 16).rightJustified(8, '0') + "\"/></software>";
    dats.write("a.xml", doc + "</softwarelist>");
    dats.write("b.xml", list("b", {{"b1", 3, 7}}));
    ASSERT_EQ(refresh({dats.path()}), QStringList());

    for (const int size : {1, 4096, 4097, kRoms}) {
        const std::vector<RomEntry> found = index->entries(size, 7);
        ASSERT_FALSE(found.empty()) << size;
        EXPECT_EQ(found[0].software, "huge") << size;
        EXPECT_EQ(found[0].description, "Huge game") << size;
        EXPECT_EQ(found[0].year, "1982") << size;
        EXPECT_EQ(found[0].romName, "r" + QString::number(size) + ".bin");
    }
    EXPECT_EQ(names(3, 7), (QStringList{"big/huge", "b/b1"}));
    for (const int i : {1, 500, 1000}) {
        const std::vector<RomEntry> found = index->entries(1, quint32(0x1000 + i));
        ASSERT_EQ(found.size(), 1u) << i;
        EXPECT_EQ(found[0].software, "long" + QString::number(i));
        EXPECT_EQ(found[0].description, QString::fromLatin1(longText) + QString::number(i));
    }
}

TEST_F(ChecksumIndexTest, ANewLayoutMakesTheTablesAgainWithANewGeneration) {
    dats.write("l.xml", list("l", {{"l1", 16, 1}}));
    ASSERT_EQ(refresh({dats.path()}), QStringList());
    const qint64 before = index->generation();
    index.reset();
    ASSERT_TRUE(
        RawSqlite(data.file("library.sqlite3")).exec("UPDATE checksum_format SET version = 0"));
    index.emplace(db.handle());
    ASSERT_TRUE(index->ok());
    EXPECT_TRUE(names(16, 1).isEmpty());
    EXPECT_GT(index->generation(), before);
    EXPECT_EQ(refresh({dats.path()}), QStringList());
    EXPECT_EQ(names(16, 1), QStringList{"l/l1"});

    // Another connection to the same file sees the same index and generation.
    library::LibraryDb second;
    ASSERT_TRUE(second.open(data.file("library.sqlite3")).ok);
    ChecksumIndex other(second.handle());
    EXPECT_EQ(other.generation(), index->generation());
    EXPECT_EQ(other.entries(16, 1).size(), 1u);
}

using Value = std::optional<QByteArray>;

// Sets an environment variable for one row and puts the old value back.
struct ScopedEnv {
    ScopedEnv(const char* name, const Value& value) : m_name(name) {
        if (qEnvironmentVariableIsSet(name)) m_old = qgetenv(name);
        set(value);
    }
    ~ScopedEnv() { set(m_old); }
    void set(const Value& value) {
        value ? (void)qputenv(m_name, *value) : (void)qunsetenv(m_name);
    }
    const char* m_name;
    Value m_old;
};

TEST(StandardSources, FollowTheDataFoldersTheEmulatorFolderAndTheCacheHome) {
    struct Case {
        Value dataDirs, dataHome, cacheHome;
        QString emulatorFolder;
        QStringList sources;
        QString cache;
    };
    const QString local = QDir::homePath() + "/.local/share/Rombard/dats";
    const QString usr = "/usr/local/share/games/mame/hash", share = "/usr/share/games/mame/hash";
    const QString cache = QDir::homePath() + "/.cache/Rombard/checksums.sqlite3";
    // clang-format off
    const Case cases[] = {
        {"/a:/b/:/a", "/h", "/var/tmp/c", "/emu",
         {"/a/games/mame/hash", "/b/games/mame/hash", "/h/Rombard/dats", "/emu/dats"},
         "/var/tmp/c/Rombard/checksums.sqlite3"},
        // Unset, empty or relative: the freedesktop defaults.
        {std::nullopt, std::nullopt, std::nullopt, "", {usr, share, local}, cache},
        {"", "", "", "/e", {usr, share, local, "/e/dats"}, cache},
        {"", "", "relative/c", "", {usr, share, local}, cache},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        ScopedEnv dirs("XDG_DATA_DIRS", c.dataDirs), home("XDG_DATA_HOME", c.dataHome),
            cacheHome("XDG_CACHE_HOME", c.cacheHome);
        EXPECT_EQ(identify::Sources::standard(c.emulatorFolder).paths, c.sources);
        EXPECT_EQ(identify::ChecksumDb::defaultFile(), c.cache);
    }
}

}  // namespace
