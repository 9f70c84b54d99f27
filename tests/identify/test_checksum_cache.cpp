#include "identify/ChecksumCache.h"
#include "identify/GameIdentifier.h"

#include "FakeLookup.h"
#include "support/FakeFolderIdentifier.h"
#include "support/RawFiles.h"
#include "support/SevenZipBuilder.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <thread>

using identify::ChecksumCache, identify::GameIdentifier, identify::Identification,
    identify::Verdict;

namespace {

const QByteArray kGame = QByteArray("a cartridge image ").repeated(300);
const QByteArray kOther = QByteArray("something else ").repeated(100);

struct Pass {
    std::vector<int> order;
    std::vector<Identification> answers;
    int reads = 0;
};

// A library database on disk with a cache over it (reopened as a new launcher would).
struct World {
    World() { reopen(); }
    ~World() { close(); }
    void reopen() {
        close();
        sqlite3_open(folder.file("library.sqlite3").toUtf8().constData(), &db);
        cache = std::make_unique<ChecksumCache>(db);
    }
    void close() {
        cache.reset();
        sqlite3_close(db);
        db = nullptr;
    }
    QStringList keptPaths() {
        QStringList paths;
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT path FROM file_checksums ORDER BY path", -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            paths << QString::fromUtf8(static_cast<const char*>(sqlite3_column_blob(s, 0)),
                                       sqlite3_column_bytes(s, 0));
        sqlite3_finalize(s);
        return paths;
    }
    // One look by a new identifier; with `within`, the paths are names in that folder.
    Pass look(const QStringList& paths, const QString& within = {}, qsizetype slice = 0) {
        GameIdentifier identifier(lookup, cache.get());
        if (slice > 0) identifier.setSliceSize(slice);
        return run(identifier, paths, within);
    }
    static Pass run(GameIdentifier& identifier, const QStringList& paths,
                    const QString& within = {}) {
        Pass pass;
        pass.answers.resize(size_t(paths.size()));
        const auto each = [&](int i, const Identification& id) {
            pass.order.push_back(i);
            pass.answers.at(size_t(i)) = id;
            return true;
        };
        within.isEmpty() ? identifier.identify(paths, each)
                         : identifier.identifyIn(within, paths, each);
        pass.reads = identifier.filesRead();
        return pass;
    }

    TempFolder folder;
    FakeLookup lookup;
    sqlite3* db = nullptr;
    std::unique_ptr<ChecksumCache> cache;
};

// The verdict and the first match's software, as one text.
QString said(const Identification& id) {
    return identify::verdictText(id.verdict) + u' ' +
           (id.matches.empty() ? QString() : id.matches[0].software);
}

struct stat statOf(const QString& path) {
    struct stat st {};
    ::stat(raw::bytes(path).constData(), &st);
    return st;
}

// Puts a file's modification time back to what it was, to the nanosecond.
void restoreTime(const QString& path, const struct stat& before) {
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(AT_FDCWD, raw::bytes(path).constData(), times, 0);
}

TEST(ChecksumCache, AnUnchangedFileIsNeverReadTwiceAndIsAnsweredFirst) {
    World w;
    const QStringList paths = {
        w.folder.write("roms/a.a26", kGame),
        w.folder.write("roms/b.a26", kOther),
        w.folder.write("roms/c.zip", zipbuild::build({{"c.a26", kGame, true}}).bytes),
        w.folder.write("roms/empty.a26", QByteArray()),
        w.folder.write("roms/bad.zip", zipbuild::build({{"../c.a26", kGame, true}}).bytes),
    };
    w.lookup.add(kGame, "pitfall", sha1Of(kGame));
    const Pass first = w.look(paths);
    EXPECT_EQ(first.answers[0].verdict, Verdict::Verified);
    EXPECT_EQ(first.answers[2].verdict, Verdict::Verified);
    EXPECT_FALSE(first.answers[4].problem.isEmpty());
    EXPECT_EQ(first.reads, 5 + 2);  // two needed their SHA-1 as well

    // Kept by path, found again by the folder's names; kept answers come before new files'.
    w.reopen();
    QStringList names{"new.a26"};
    w.folder.write("roms/new.a26", kOther + "new");
    for (const QString& p : paths)
        names << QFileInfo(p).fileName();
    const Pass second = w.look(names, w.folder.file("roms"));
    EXPECT_EQ(second.reads, 1);
    EXPECT_EQ(second.order, (std::vector<int>{1, 2, 3, 4, 5, 0}));
    // The kept form holds every field of an answer.
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(ChecksumCache::encodeAnswer(first.answers[size_t(i)]),
                  ChecksumCache::encodeAnswer(second.answers[size_t(i) + 1]))
            << i;
}

// Changed before a look, or while read (then answered with a reason, not kept).
TEST(ChecksumCache, AChangedFileIsReadAgain) {
    using enum Verdict;
    using Change = std::function<void(TempFolder&, const QString&)>;
    struct Case {
        const char* what;
        Change change;
        int reads;
        Verdict verdict;
        QByteArray content = kGame;
        bool whileRead = false;
        bool putBack = false;  // its time, after the look
    };
    const Change grow = [](TempFolder&, const QString& p) { raw::write(p, kGame + "more"); };
    const Change moveTime = [](TempFolder& f, const QString&) {
        f.touch("roms/b", QDateTime::currentDateTime().addDays(-2));
    };
    const Case cases[] = {
        {"nothing changed", [](TempFolder&, const QString&) {}, 0, Verified},
        {"only the time changed", moveTime, 1, Verified},
        {"only the nanoseconds of the time changed",
         [](TempFolder&, const QString& p) {
             struct stat changed = statOf(p);
             changed.st_mtim.tv_nsec = (changed.st_mtim.tv_nsec + 1) % 1'000'000'000;
             restoreTime(p, changed);
         },
         1, Verified},
        {"the size changed, the time put back",
         [](TempFolder&, const QString& p) {
             const struct stat before = statOf(p);
             raw::write(p, kGame + "!");
             restoreTime(p, before);
         },
         1, Unknown},
        // A share may number its files anew after a remount; that alone is no change.
        {"another inode, the same size and time",
         [](TempFolder& f, const QString& p) {
             const struct stat before = statOf(p);
             const QString copy = f.write("roms/copy.tmp", kGame);
             restoreTime(copy, before);
             ::rename(raw::bytes(copy).constData(), raw::bytes(p).constData());
             ASSERT_NE(statOf(p).st_ino, before.st_ino);
         },
         0, Verified},
        {"a plain file grew while read", grow, 1, Unknown, kGame, true},
        {"a zip's time moved while read", moveTime, 1, Verified,
         zipbuild::build({{"b.a26", kGame}}).bytes, true},
        {"the time moved while read, then put back", moveTime, 1, Verified, kGame, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        World w;
        const QStringList paths = {w.folder.write("roms/a.a26", kOther),
                                   w.folder.write("roms/b", c.content),
                                   w.folder.write("roms/c.a26", kOther + "c")};
        w.lookup.add(kGame, "pitfall", {});
        GameIdentifier identifier(w.lookup, w.cache.get());
        const struct stat before = statOf(paths[1]);
        std::atomic<bool> changed = false;
        if (c.whileRead) {
            identifier.setAfterReading([&](const QByteArray& path) {
                if (path == raw::bytes(paths[1]) && !changed.exchange(true))
                    c.change(w.folder, paths[1]);
            });
        }
        const std::vector<Identification> answers = World::run(identifier, paths).answers;
        EXPECT_EQ(answers[1].problem.isEmpty(), !c.whileRead) << answers[1].problem.toStdString();
        EXPECT_EQ(answers[1].verdict, c.whileRead ? Unknown : Verified);
        EXPECT_TRUE(answers[0].problem.isEmpty());
        if (!c.whileRead) c.change(w.folder, paths[1]);
        if (c.putBack) restoreTime(paths[1], before);
        const Pass again = w.look(paths);
        EXPECT_EQ(again.reads, c.reads);
        EXPECT_EQ(again.answers[1].verdict, c.verdict);
        EXPECT_TRUE(again.answers[1].problem.isEmpty());
        // Whatever was read is kept: a third look reads nothing.
        EXPECT_EQ(w.look(paths).reads, 0);
    }
}

TEST(ChecksumCache, ANewIndexOrFormatIsAnsweredFromTheKeptChecksumsOrFromNothing) {
    using enum Verdict;
    World w;
    const QStringList paths = {
        w.folder.write("roms/a.a26", kGame),
        w.folder.write("roms/z.zip", zipbuild::build({{"z.a26", kOther}}).bytes),
        // A 7z's members are summed as it is unpacked, once per version of the file.
        w.folder.write("roms/s.7z", support::sevenZip({{"s.bin", kOther}}))};
    // An index of the two contents with those SHA-1s.
    const auto index = [&w](QByteArray game, QByteArray other, identify::DumpStatus status) {
        return [&w, game, other, status] {
            w.lookup.clear();
            w.lookup.add(kGame, "pitfall", game);
            w.lookup.add(kOther, "other", other, status);
        };
    };
    constexpr auto Good = identify::DumpStatus::Good, Bad = identify::DumpStatus::BadDump;
    struct Step {
        const char* what;
        std::function<void()> change;
        int reads;
        Verdict plain, packed;
    };
    const Step steps[] = {
        {"an empty index", [] {}, 3, Unknown, Unknown},
        {"entries without SHA-1: the kept CRCs answer", index({}, {}, Bad), 0, Verified, BadDump},
        {"entries with SHA-1: each file but the 7z read once more for it",
         index(sha1Of(kGame), sha1Of(kGame), Good), 2, Verified, CrcOnly},
        {"the same index again", [] {}, 0, Verified, CrcOnly},
        {"the kept table in another format: each file read anew, and again for its SHA-1",
         [&] {
             sqlite3_exec(w.db, "UPDATE file_checksums_format SET format = 999", nullptr, nullptr,
                          nullptr);
             w.reopen();
             EXPECT_TRUE(w.cache->ok());
         },
         5, Verified, CrcOnly},
        {"a new index: the SHA-1s are kept too", index(sha1Of(kOther), sha1Of(kOther), Good), 0,
         CrcOnly, Verified},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.change();
        const Pass pass = w.look(paths);
        EXPECT_EQ(pass.reads, s.reads);
        EXPECT_EQ(pass.answers[0].verdict, s.plain);
        EXPECT_EQ(pass.answers[1].verdict, s.packed);
        EXPECT_EQ(pass.answers[2].verdict, s.packed);
    }
}

// A long list has its stamps taken on two threads; each file must still get its own.
TEST(ChecksumCache, ALongListKeepsEachFileToItsOwnAnswer) {
    World w;
    QStringList paths;
    for (int i = 0; i < 2500; ++i) {
        const QByteArray content = QByteArray::number(i);
        paths << w.folder.write(QStringLiteral("roms/%1.a26").arg(i), content);
        if (i % 7 == 0) w.lookup.add(content, QString::number(i), {});
    }
    // The folder's names sort apart around a folder within it.
    paths << w.folder.write("roms/sub/s.a26", "s") << w.folder.write("roms/zz.a26", "zz");
    EXPECT_EQ(w.look(paths).reads, 2502);
    // Every third file changes: only those are read again, slice by slice.
    for (int i = 0; i < 2500; i += 3)
        w.folder.touch(QStringLiteral("roms/%1.a26").arg(i),
                       QDateTime::currentDateTime().addDays(-1));
    QStringList names;
    for (const QString& p : paths)
        names << p.mid(w.folder.file("roms/").size());
    const Pass again = w.look(names, w.folder.file("roms/"), 1000);
    EXPECT_EQ(again.reads, 834);
    for (int i = 0; i < 2500; ++i)
        EXPECT_EQ(said(again.answers[size_t(i)]),
                  i % 7 ? "unknown " : "verified " + QString::number(i));
}

int threadCount() {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    return int(tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// Whether the process is back to `before` threads (a joined one may linger a moment).
bool backTo(int before) {
    for (int look = 0; look < 1000; ++look) {
        if (threadCount() == before) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Read ahead and answered as they finish: each index once, with its own file's answer.
TEST(FirstRead, EveryIndexIsAnsweredOnceWithItsOwnAnswer) {
    World w;
    QStringList paths, keptBefore;
    const auto contentOf = [](int i) { return kGame + QByteArray::number(i); };
    for (int i = 0; i < 48; ++i) {
        const QByteArray content = contentOf(i);
        if (i % 4 == 3)
            paths << w.folder.file(QStringLiteral("roms/missing%1.a26").arg(i));
        else if (i % 4 == 0)
            paths << w.folder.write(QStringLiteral("roms/%1.zip").arg(i),
                                    zipbuild::build({{"g.a26", content, true}}).bytes);
        else
            paths << w.folder.write(QStringLiteral("roms/%1.a26").arg(i), content);
        if (i % 6 == 1) keptBefore << paths.back();
    }
    paths << paths[5];  // the same file twice answers twice
    // Kept while nothing was known: their new answer needs a SHA-1 read on the calling thread.
    w.look(keptBefore);
    QStringList expected;
    for (int i = 0; i < 48; ++i) {
        const bool sha1 = i % 4 != 3 && i % 3 == 0, other = i % 4 != 3 && i % 3 == 1;
        if (sha1 || other)
            w.lookup.add(contentOf(i), QString::number(i), sha1Of(sha1 ? contentOf(i) : kOther));
        const QString name = QString::number(i);
        expected << (sha1 ? "verified " + name : other ? "crc only " + name : "unknown ");
    }
    expected << expected[5];

    for (const char* look : {"first", "again"}) {
        const Pass pass = w.look(paths);
        const std::set<int> answered(pass.order.begin(), pass.order.end());
        EXPECT_EQ(pass.order.size(), answered.size()) << look;
        EXPECT_EQ(answered.size(), size_t(paths.size())) << look;
        for (int i = 0; i < paths.size(); ++i) {
            EXPECT_EQ(said(pass.answers[size_t(i)]), expected[i]) << look << " " << i;
            EXPECT_EQ(pass.answers[size_t(i)].problem.isEmpty(), i % 4 != 3) << look << " " << i;
        }
        EXPECT_EQ(pass.reads == 0, look[0] == 'a');
    }
}

// A stop hands on nothing more, keeps nothing read after it, leaves no thread; 7z too.
TEST(FirstRead, AStopHandsOnNothingMoreAndKeepsNothingMore) {
    for (const int stopAfter : {1, 2, 3, 7, 19}) {
        SCOPED_TRACE(stopAfter);
        World w;
        QStringList paths, kept;
        for (int i = 0; i < 20; ++i) {
            const QByteArray content = kOther + QByteArray::number(i);
            paths << w.folder.write(QStringLiteral("roms/%1.a26").arg(i), content);
            if (i % 5 == 0) kept << paths.back();
        }
        w.look(kept);
        // A new index: the kept files need their SHA-1, the others are read.
        for (int i = 0; i < 20; i += 5)
            w.lookup.add(kOther + QByteArray::number(i), QString::number(i),
                         sha1Of(kOther + QByteArray::number(i)));
        const QStringList keptBefore = w.keptPaths();

        const int threadsBefore = threadCount();
        GameIdentifier identifier(w.lookup, w.cache.get());
        identifier.setSliceSize(6);
        int calls = 0;
        QStringList answered;
        identifier.identify(paths, [&](int i, const Identification&) {
            answered << paths[i];
            return ++calls < stopAfter;
        });
        EXPECT_EQ(calls, stopAfter);
        EXPECT_TRUE(backTo(threadsBefore));
        // Only what was answered joined the kept files.
        QStringList expectedKept = keptBefore + answered;
        expectedKept.removeDuplicates();
        expectedKept.sort();
        EXPECT_EQ(w.keptPaths().join('\n').toStdString(), expectedKept.join('\n').toStdString());
        w.reopen();
        EXPECT_EQ(w.look(paths).reads, 20 - stopAfter);
    }
    World w;
    const QString sevenZip = w.folder.write("roms/game.7z", support::sevenZip({{"g", kGame}}));
    w.lookup.add(kGame, "game", sha1Of(kGame));
    GameIdentifier stopped(w.lookup, w.cache.get());
    stopped.setStopCheck([] { return true; });
    EXPECT_EQ(stopped.identify(sevenZip).problem, "stopped");
    EXPECT_EQ(w.look({sevenZip}).reads, 1);
}

// A row cut short or overlong, or a count past what it holds, is no answer.
TEST(ChecksumCache, DamagedBlobsAreNoBlobs) {
    Identification answer = fakes::identification(Verdict::CrcOnly, "p.a26", "g\u00e9.a26");
    answer.matches[0].sha1 = sha1Of(kGame);
    answer.matches[0].status = identify::DumpStatus::BadDump;
    answer.matches.push_back(answer.matches[0]);
    const QByteArray blob = ChecksumCache::encodeAnswer(answer);
    const std::optional<Identification> back = ChecksumCache::decodeAnswer(blob);
    ASSERT_TRUE(back);
    EXPECT_EQ(ChecksumCache::encodeAnswer(*back), blob);
    for (qsizetype n = 0; n < blob.size(); ++n)
        EXPECT_FALSE(ChecksumCache::decodeAnswer(blob.left(n))) << n;
    EXPECT_FALSE(ChecksumCache::decodeAnswer(blob + "x"));
    QByteArray hugeCount = blob;
    const qsizetype count = 1 + 4 + answer.member.size() * 2 + 4;  // its low byte
    hugeCount[count] = char(0xFF);
    hugeCount[count + 3] = char(0x7F);
    EXPECT_FALSE(ChecksumCache::decodeAnswer(hugeCount));

    const QByteArray packed = ChecksumCache::encodeMembers({{"a", 1, 2, {}}, {"b", 3, 4, "x"}});
    ASSERT_TRUE(ChecksumCache::decodeMembers(packed));
    EXPECT_EQ(ChecksumCache::decodeMembers(packed)->at(1).sha1, "x");
    for (qsizetype n = 0; n < packed.size(); ++n)
        EXPECT_FALSE(ChecksumCache::decodeMembers(packed.left(n))) << n;
}

}  // namespace
