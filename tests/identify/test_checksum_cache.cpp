#include "identify/ChecksumCache.h"
#include "identify/GameIdentifier.h"

#include "FakeLookup.h"
#include "support/RawFiles.h"
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
#include <thread>

using identify::ChecksumCache;
using identify::GameIdentifier;
using identify::Identification;
using identify::Verdict;

namespace {

const QByteArray kGame = QByteArray("a cartridge image ").repeated(300);
const QByteArray kOther = QByteArray("something else ").repeated(100);

// A library database on disk and a cache over it, opened again as a new launcher would.
class Library {
public:
    explicit Library(const QString& file) : m_file(file.toUtf8()) { reopen(); }
    ~Library() { close(); }
    void reopen() {
        close();
        sqlite3_open(m_file.constData(), &m_db);
        cache = std::make_unique<ChecksumCache>(m_db);
    }
    void exec(const char* sql) { sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }
    // The paths kept, as written in the table.
    QStringList keptPaths() {
        QStringList paths;
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(m_db, "SELECT path FROM file_checksums ORDER BY path", -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            paths << QString::fromUtf8(static_cast<const char*>(sqlite3_column_blob(s, 0)),
                                       sqlite3_column_bytes(s, 0));
        sqlite3_finalize(s);
        return paths;
    }
    std::unique_ptr<ChecksumCache> cache;

private:
    void close() {
        cache.reset();
        if (m_db) sqlite3_close(m_db);
        m_db = nullptr;
    }
    QByteArray m_file;
    sqlite3* m_db = nullptr;
};

struct Pass {
    std::vector<int> order;
    std::vector<Identification> answers;
    int reads = 0;
};

// One look at the paths by a new identifier, as a launcher started again would make. With
// a folder, the paths are names in it, handed over as the window hands a listed folder.
Pass identifyAll(FakeLookup& lookup, ChecksumCache& cache, const QStringList& paths,
                 const QString& folder = {}, qsizetype slice = 0) {
    GameIdentifier identifier(lookup, &cache);
    if (slice > 0) identifier.setSliceSize(slice);
    Pass pass;
    pass.answers.resize(size_t(paths.size()));
    const auto each = [&](int i, const Identification& id) {
        pass.order.push_back(i);
        pass.answers[size_t(i)] = id;
        return true;
    };
    if (folder.isEmpty())
        identifier.identify(paths, each);
    else
        identifier.identifyIn(folder, paths, each);
    pass.reads = identifier.filesRead();
    return pass;
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
    TempFolder folder;
    const QStringList paths = {
        folder.write("roms/a.a26", kGame),
        folder.write("roms/b.a26", kOther),
        folder.write("roms/c.zip", zipbuild::build({{"c.a26", kGame, true}}).bytes),
        folder.write("roms/empty.a26", QByteArray()),
        folder.write("roms/bad.zip", zipbuild::build({{"../c.a26", kGame, true}}).bytes),
    };
    FakeLookup lookup;
    lookup.add(kGame, "pitfall", sha1Of(kGame));
    Library library(folder.file("library.sqlite3"));
    ASSERT_TRUE(library.cache->ok());
    const Pass first = identifyAll(lookup, *library.cache, paths);
    EXPECT_EQ(first.answers[0].verdict, Verdict::Verified);
    EXPECT_EQ(first.answers[2].verdict, Verdict::Verified);
    EXPECT_FALSE(first.answers[4].problem.isEmpty());
    // Two files needed their SHA-1 as well.
    EXPECT_EQ(first.reads, 5 + 2);

    // Kept by path: the folder's names find the same rows; kept answers come before a new
    // file's (a stop is honoured wherever it comes: see FirstRead below).
    library.reopen();
    QStringList names{"new.a26"};
    folder.write("roms/new.a26", kOther + "new");
    for (const QString& p : paths)
        names << QFileInfo(p).fileName();
    const Pass second = identifyAll(lookup, *library.cache, names, folder.file("roms"));
    EXPECT_EQ(second.reads, 1);
    EXPECT_EQ(second.order, (std::vector<int>{1, 2, 3, 4, 5, 0}));
    // The kept form holds every field of an answer.
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(ChecksumCache::encodeAnswer(first.answers[size_t(i)]),
                  ChecksumCache::encodeAnswer(second.answers[size_t(i) + 1]))
            << i;
}

TEST(ChecksumCache, AChangedFileIsReadAgain) {
    struct Case {
        const char* what;
        std::function<void(TempFolder&, const QString&)> change;
        int reads;
        Verdict verdict;
    };
    const Case cases[] = {
        {"nothing changed", [](TempFolder&, const QString&) {}, 0, Verdict::Verified},
        {"only the time changed",
         [](TempFolder& f, const QString&) {
             f.touch("roms/a.a26", QDateTime::currentDateTime().addSecs(-3600));
         },
         1, Verdict::Verified},
        {"only the nanoseconds of the time changed",
         [](TempFolder&, const QString& p) {
             struct stat changed = statOf(p);
             changed.st_mtim.tv_nsec = (changed.st_mtim.tv_nsec + 1) % 1'000'000'000;
             restoreTime(p, changed);
         },
         1, Verdict::Verified},
        {"the size changed, the time put back",
         [](TempFolder&, const QString& p) {
             const struct stat before = statOf(p);
             raw::write(p, kGame + "!");
             restoreTime(p, before);
         },
         1, Verdict::Unknown},
        // A share may number its files anew after a remount; that alone is no change.
        {"another inode, the same size and time",
         [](TempFolder& f, const QString& p) {
             const struct stat before = statOf(p);
             const QString copy = f.write("roms/copy.tmp", kGame);
             restoreTime(copy, before);
             ::rename(raw::bytes(copy).constData(), raw::bytes(p).constData());
             ASSERT_NE(statOf(p).st_ino, before.st_ino);
         },
         0, Verdict::Verified},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const QString game = folder.write("roms/a.a26", kGame);
        FakeLookup lookup;
        lookup.add(kGame, "pitfall", {});
        Library library(folder.file("library.sqlite3"));
        ASSERT_EQ(identifyAll(lookup, *library.cache, {game}).reads, 1) << c.what;
        c.change(folder, game);
        const Pass again = identifyAll(lookup, *library.cache, {game});
        EXPECT_EQ(again.reads, c.reads) << c.what;
        EXPECT_EQ(again.answers[0].verdict, c.verdict) << c.what;
        // Whatever was read is kept: a third look reads nothing.
        EXPECT_EQ(identifyAll(lookup, *library.cache, {game}).reads, 0) << c.what;
    }
}

TEST(ChecksumCache, ANewIndexOrFormatIsAnsweredFromTheKeptChecksumsOrFromNothing) {
    TempFolder folder;
    const QStringList paths = {
        folder.write("roms/a.a26", kGame),
        folder.write("roms/z.zip", zipbuild::build({{"z.a26", kOther}}).bytes)};
    FakeLookup lookup;
    Library library(folder.file("library.sqlite3"));
    struct Step {
        const char* what;
        std::function<void()> change;
        int reads;
        Verdict plain, zipped;
    };
    const Step steps[] = {
        {"an empty index", [] {}, 2, Verdict::Unknown, Verdict::Unknown},
        {"entries without SHA-1: the kept CRCs answer",
         [&] {
             lookup.add(kGame, "pitfall", {});
             lookup.add(kOther, "other", {}, identify::DumpStatus::BadDump);
         },
         0, Verdict::Verified, Verdict::BadDump},
        {"entries with SHA-1: each file read once more for it",
         [&] {
             lookup.clear();
             lookup.add(kGame, "pitfall", sha1Of(kGame));
             lookup.add(kOther, "other", sha1Of(kGame));
         },
         2, Verdict::Verified, Verdict::CrcOnly},
        {"the same index again", [] {}, 0, Verdict::Verified, Verdict::CrcOnly},
        {"the kept table in another format: each file read anew, and again for its SHA-1",
         [&] {
             library.exec("UPDATE file_checksums_format SET format = 999");
             library.reopen();
             EXPECT_TRUE(library.cache->ok());
         },
         4, Verdict::Verified, Verdict::CrcOnly},
        {"a new index: the SHA-1s are kept too",
         [&] {
             lookup.clear();
             lookup.add(kGame, "pitfall", sha1Of(kOther));
             lookup.add(kOther, "other", sha1Of(kOther));
         },
         0, Verdict::CrcOnly, Verdict::Verified},
    };
    for (const Step& s : steps) {
        s.change();
        const Pass pass = identifyAll(lookup, *library.cache, paths);
        EXPECT_EQ(pass.reads, s.reads) << s.what;
        EXPECT_EQ(pass.answers[0].verdict, s.plain) << s.what;
        EXPECT_EQ(pass.answers[1].verdict, s.zipped) << s.what;
    }
}

// A long list has its stamps taken on two threads; each file must still get its own.
TEST(ChecksumCache, ALongListKeepsEachFileToItsOwnAnswer) {
    TempFolder folder;
    FakeLookup lookup;
    QStringList paths;
    for (int i = 0; i < 2500; ++i) {
        const QByteArray content = QByteArray::number(i);
        paths << folder.write(QStringLiteral("roms/%1.a26").arg(i), content);
        if (i % 7 == 0) lookup.add(content, QString::number(i), {});
    }
    // The folder's names sort apart around a folder within it.
    paths << folder.write("roms/sub/s.a26", "s") << folder.write("roms/zz.a26", "zz");
    Library library(folder.file("library.sqlite3"));
    EXPECT_EQ(identifyAll(lookup, *library.cache, paths).reads, 2502);
    // Every third file changes: only those are read again, a slice of the folder at a time,
    // each slice finding its own kept files, up to its last.
    for (int i = 0; i < 2500; i += 3)
        folder.touch(QStringLiteral("roms/%1.a26").arg(i),
                     QDateTime::currentDateTime().addDays(-1));
    QStringList names;
    for (const QString& p : paths)
        names << p.mid(folder.file("roms/").size());
    const Pass again = identifyAll(lookup, *library.cache, names, folder.file("roms/"), 1000);
    EXPECT_EQ(again.reads, 834);
    for (int i = 0; i < 2500; ++i) {
        const Identification& id = again.answers[size_t(i)];
        EXPECT_EQ(id.verdict, i % 7 == 0 ? Verdict::Verified : Verdict::Unknown) << i;
        if (i % 7 == 0 && !id.matches.empty()) {
            EXPECT_EQ(id.matches[0].software, QString::number(i));
        }
    }
}

// The threads of this process.
int threadCount() {
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

// Whether the process is back to `before` threads. A joined thread can stay listed for a
// moment while the kernel finishes tearing it down, so a few looks are allowed; one still
// waiting for work would be listed for ever.
bool backTo(int before) {
    for (int look = 0; look < 1000; ++look) {
        if (threadCount() == before) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Files are read ahead on other threads and answered in the order they finish; whatever the
// order, each index must be answered once, with its own file's answer, whether it was never
// read, kept but needing a SHA-1 for a new index, a zip, or unreadable.
TEST(FirstRead, EveryIndexIsAnsweredOnceWithItsOwnAnswer) {
    TempFolder folder;
    FakeLookup lookup;
    Library library(folder.file("library.sqlite3"));
    QStringList paths, keptBefore;
    std::vector<Verdict> expected;
    std::vector<QByteArray> contents;
    for (int i = 0; i < 48; ++i) {
        const QByteArray content = kGame + QByteArray::number(i);
        contents.push_back(content);
        if (i % 4 == 3)
            paths << folder.file(QStringLiteral("roms/missing%1.a26").arg(i));
        else if (i % 4 == 0)
            paths << folder.write(QStringLiteral("roms/%1.zip").arg(i),
                                  zipbuild::build({{"g.a26", content, true}}).bytes);
        else
            paths << folder.write(QStringLiteral("roms/%1.a26").arg(i), content);
        if (i % 6 == 1) keptBefore << paths.back();
    }
    paths << paths[5];  // the same file twice answers twice
    // Kept while nothing was known: their new answer needs a SHA-1 read on the calling thread.
    identifyAll(lookup, *library.cache, keptBefore);
    for (int i = 0; i < 48; ++i) {
        Verdict v = Verdict::Unknown;
        if (i % 4 != 3 && i % 3 == 0) {
            lookup.add(contents[size_t(i)], QString::number(i), sha1Of(contents[size_t(i)]));
            v = Verdict::Verified;
        } else if (i % 4 != 3 && i % 3 == 1) {
            lookup.add(contents[size_t(i)], QString::number(i), sha1Of(kOther));
            v = Verdict::CrcOnly;
        }
        expected.push_back(v);
    }
    expected.push_back(expected[5]);

    for (const bool again : {false, true}) {
        const char* look = again ? "again" : "first";
        std::vector<int> times(size_t(paths.size()));
        std::vector<Identification> answers(size_t(paths.size()));
        GameIdentifier identifier(lookup, library.cache.get());
        identifier.identify(paths, [&](int i, const Identification& id) {
            ++times.at(size_t(i));
            answers[size_t(i)] = id;
            return true;
        });
        for (int i = 0; i < paths.size(); ++i) {
            const Identification& id = answers[size_t(i)];
            EXPECT_EQ(times[size_t(i)], 1) << look << " " << i;
            EXPECT_EQ(id.verdict, expected[size_t(i)]) << look << " " << i;
            EXPECT_EQ(id.problem.isEmpty(), i % 4 != 3) << look << " " << i;
            if (!id.matches.empty()) {
                EXPECT_EQ(id.matches[0].software, QString::number(i == 48 ? 5 : i)) << look;
            }
        }
        if (again) {
            EXPECT_EQ(identifier.filesRead(), 0);
        }
    }
}

// A stop anywhere: nothing more is handed on, nothing read after it is kept (the next look
// reads exactly the files not answered), and no reading thread is left.
TEST(FirstRead, AStopHandsOnNothingMoreAndKeepsNothingMore) {
    for (const int stopAfter : {1, 2, 3, 7, 19}) {
        TempFolder folder;
        FakeLookup lookup;
        Library library(folder.file("library.sqlite3"));
        QStringList paths, kept;
        for (int i = 0; i < 20; ++i) {
            const QByteArray content = kOther + QByteArray::number(i);
            paths << folder.write(QStringLiteral("roms/%1.a26").arg(i), content);
            if (i % 5 == 0) kept << paths.back();
        }
        identifyAll(lookup, *library.cache, kept);
        // A new index: the kept files need their SHA-1, the others are read.
        for (int i = 0; i < 20; i += 5)
            lookup.add(kOther + QByteArray::number(i), QString::number(i),
                       sha1Of(kOther + QByteArray::number(i)));
        const QStringList keptBefore = library.keptPaths();

        const int threadsBefore = threadCount();
        GameIdentifier identifier(lookup, library.cache.get());
        identifier.setSliceSize(6);
        int calls = 0;
        QStringList answered;
        identifier.identify(paths, [&](int i, const Identification&) {
            ++calls;
            answered << paths[i];
            return calls < stopAfter;
        });
        EXPECT_EQ(calls, stopAfter);
        EXPECT_TRUE(backTo(threadsBefore)) << stopAfter;
        // Only what was answered joined the kept files.
        QStringList expectedKept = keptBefore + answered;
        expectedKept.removeDuplicates();
        expectedKept.sort();
        EXPECT_EQ(library.keptPaths().join('\n').toStdString(),
                  expectedKept.join('\n').toStdString())
            << stopAfter;

        library.reopen();
        const Pass next = identifyAll(lookup, *library.cache, paths);
        EXPECT_EQ(next.reads, 20 - stopAfter) << stopAfter;
    }
}

// A file that changes between its reading and the check after is answered with the reason
// but not kept, so its next look reads it again; the files read beside it are kept.
TEST(FirstRead, AFileThatChangedWhileReadIsNotKept) {
    struct Case {
        const char* what;
        QByteArray content;
        std::function<void(TempFolder&, const QString&)> change;
    };
    const Case cases[] = {
        {"a plain file grew", kGame,
         [](TempFolder&, const QString& p) { raw::write(p, kGame + "more"); }},
        {"a zip's time moved", zipbuild::build({{"b.a26", kGame, true}}).bytes,
         [](TempFolder& f, const QString&) {
             f.touch("roms/b", QDateTime::currentDateTime().addDays(-2));
         }},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const QStringList paths = {folder.write("roms/a.a26", kOther),
                                   folder.write("roms/b", c.content),
                                   folder.write("roms/c.a26", kOther + "c")};
        FakeLookup lookup;
        lookup.add(kGame, "pitfall", {});
        Library library(folder.file("library.sqlite3"));
        GameIdentifier identifier(lookup, library.cache.get());
        const QByteArray changing = raw::bytes(paths[1]);
        std::atomic<bool> changed = false;
        identifier.setAfterReading([&](const QByteArray& path) {
            if (path == changing && !changed.exchange(true)) c.change(folder, paths[1]);
        });
        std::vector<Identification> answers(3);
        identifier.identify(paths, [&](int i, const Identification& id) {
            answers[size_t(i)] = id;
            return true;
        });
        EXPECT_FALSE(answers[1].problem.isEmpty()) << c.what;
        EXPECT_EQ(answers[1].verdict, Verdict::Unknown) << c.what;
        EXPECT_TRUE(answers[0].problem.isEmpty()) << c.what;

        const Pass again = identifyAll(lookup, *library.cache, paths);
        EXPECT_EQ(again.reads, 1) << c.what;
        EXPECT_TRUE(again.answers[1].problem.isEmpty()) << c.what;
        EXPECT_EQ(identifyAll(lookup, *library.cache, paths).reads, 0) << c.what;
    }
}

// A row cut short or overlong, or a count past what it holds, is no answer.
TEST(ChecksumCache, DamagedBlobsAreNoBlobs) {
    Identification answer;
    answer.verdict = Verdict::CrcOnly;
    answer.member = QStringLiteral("g\u00e9.a26");
    identify::RomEntry e;
    e.software = "pitfall";
    e.sha1 = sha1Of(kGame);
    e.status = identify::DumpStatus::BadDump;
    answer.matches = {e, e};
    const QByteArray blob = ChecksumCache::encodeAnswer(answer);
    const std::optional<Identification> back = ChecksumCache::decodeAnswer(blob);
    ASSERT_TRUE(back);
    EXPECT_EQ(ChecksumCache::encodeAnswer(*back), blob);
    for (qsizetype n = 0; n < blob.size(); ++n)
        EXPECT_FALSE(ChecksumCache::decodeAnswer(blob.left(n))) << n;
    EXPECT_FALSE(ChecksumCache::decodeAnswer(blob + "x"));
    QByteArray hugeCount = blob;
    hugeCount[1 + 4 + answer.member.size() * 2 + 4] = char(0xFF);  // the count's low byte
    hugeCount[1 + 4 + answer.member.size() * 2 + 4 + 3] = char(0x7F);
    EXPECT_FALSE(ChecksumCache::decodeAnswer(hugeCount));

    const QByteArray packed = ChecksumCache::encodeMembers({{"a", 1, 2, {}}, {"b", 3, 4, "x"}});
    ASSERT_TRUE(ChecksumCache::decodeMembers(packed));
    EXPECT_EQ(ChecksumCache::decodeMembers(packed)->at(1).sha1, "x");
    for (qsizetype n = 0; n < packed.size(); ++n)
        EXPECT_FALSE(ChecksumCache::decodeMembers(packed.left(n))) << n;
}

}  // namespace
