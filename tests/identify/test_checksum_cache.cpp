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

#include <functional>
#include <memory>

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

// One look at the paths by a new identifier, as a launcher started again would make.
Pass identifyAll(FakeLookup& lookup, ChecksumCache& cache, const QStringList& paths) {
    GameIdentifier identifier(lookup, &cache);
    Pass pass;
    pass.answers.resize(size_t(paths.size()));
    identifier.identify(paths, [&](int i, const Identification& id) {
        pass.order.push_back(i);
        pass.answers[size_t(i)] = id;
        return true;
    });
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

TEST(ChecksumCache, AnUnchangedFileIsNeverReadTwice) {
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

    library.reopen();
    const Pass second = identifyAll(lookup, *library.cache, paths);
    EXPECT_EQ(second.reads, 0);
    for (int i = 0; i < paths.size(); ++i) {
        const Identification &a = first.answers[size_t(i)], &b = second.answers[size_t(i)];
        EXPECT_EQ(a.verdict, b.verdict) << i;
        EXPECT_EQ(a.member, b.member) << i;
        EXPECT_EQ(a.problem, b.problem) << i;
        ASSERT_EQ(a.matches.size(), b.matches.size()) << i;
        for (size_t k = 0; k < a.matches.size(); ++k) {
            EXPECT_EQ(a.matches[k].software, b.matches[k].software);
            EXPECT_EQ(a.matches[k].sha1, b.matches[k].sha1);
            EXPECT_EQ(a.matches[k].crc, b.matches[k].crc);
        }
    }
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
        {"the size changed, the time put back",
         [](TempFolder&, const QString& p) {
             const struct stat before = statOf(p);
             raw::write(p, kGame + "!");
             restoreTime(p, before);
         },
         1, Verdict::Unknown},
        {"replaced by another file of the same size and time",
         [](TempFolder& f, const QString& p) {
             const struct stat before = statOf(p);
             QByteArray same = kGame;
             same[0] = 'A';
             const QString copy = f.write("roms/copy.tmp", same);
             restoreTime(copy, before);
             ::rename(raw::bytes(copy).constData(), raw::bytes(p).constData());
         },
         1, Verdict::Unknown},
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

TEST(ChecksumCache, ANewIndexIsAnsweredFromTheKeptChecksums) {
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
    Library library(folder.file("library.sqlite3"));
    EXPECT_EQ(identifyAll(lookup, *library.cache, paths).reads, 2500);
    // Every third file changes: only those are read again.
    for (int i = 0; i < 2500; i += 3)
        folder.touch(QStringLiteral("roms/%1.a26").arg(i),
                     QDateTime::currentDateTime().addDays(-1));
    const Pass again = identifyAll(lookup, *library.cache, paths);
    EXPECT_EQ(again.reads, 834);
    for (int i = 0; i < 2500; ++i) {
        const Identification& id = again.answers[size_t(i)];
        EXPECT_EQ(id.verdict, i % 7 == 0 ? Verdict::Verified : Verdict::Unknown) << i;
        if (i % 7 == 0 && !id.matches.empty()) {
            EXPECT_EQ(id.matches[0].software, QString::number(i));
        }
    }
}

TEST(ChecksumCache, KeptAnswersComeFirstAndAStopIsHonoured) {
    TempFolder folder;
    const QString old = folder.write("roms/old.a26", kGame);
    FakeLookup lookup;
    Library library(folder.file("library.sqlite3"));
    identifyAll(lookup, *library.cache, {old});
    const QStringList paths = {folder.write("roms/new1.a26", kOther), old,
                               folder.write("roms/new2.a26", kOther + "2")};
    EXPECT_EQ(identifyAll(lookup, *library.cache, paths).order, (std::vector<int>{1, 0, 2}));

    GameIdentifier identifier(lookup, library.cache.get());
    int calls = 0;
    identifier.identify(paths, [&](int, const Identification&) { return ++calls < 2; });
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(identifier.filesRead(), 0);  // new1 had been read by the look above
}

TEST(ChecksumCache, AnotherFormatStartsAgainFromNothing) {
    TempFolder folder;
    const QString game = folder.write("roms/a.a26", kGame);
    FakeLookup lookup;
    Library library(folder.file("library.sqlite3"));
    identifyAll(lookup, *library.cache, {game});
    library.exec("UPDATE file_checksums_format SET format = 999");
    library.reopen();
    EXPECT_TRUE(library.cache->ok());
    EXPECT_EQ(identifyAll(lookup, *library.cache, {game}).reads, 1);
    library.reopen();
    EXPECT_EQ(identifyAll(lookup, *library.cache, {game}).reads, 0);
}

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
    EXPECT_EQ(back->member, answer.member);
    ASSERT_EQ(back->matches.size(), 2u);
    EXPECT_EQ(back->matches[1].sha1, e.sha1);
    EXPECT_EQ(back->matches[1].status, e.status);
    for (qsizetype n = 0; n < blob.size(); ++n)
        EXPECT_FALSE(ChecksumCache::decodeAnswer(blob.left(n))) << n;
    EXPECT_FALSE(ChecksumCache::decodeAnswer(blob + "x"));
    QByteArray hugeCount = blob;
    hugeCount[1 + 4 + answer.member.size() * 2 + 4] = char(0xFF);  // the count's low byte
    hugeCount[1 + 4 + answer.member.size() * 2 + 4 + 3] = char(0x7F);
    EXPECT_FALSE(ChecksumCache::decodeAnswer(hugeCount));

    const std::vector<identify::MemberSums> members = {{"a", 1, 2, {}}, {"b", 3, 4, "x"}};
    const QByteArray packed = ChecksumCache::encodeMembers(members);
    ASSERT_TRUE(ChecksumCache::decodeMembers(packed));
    EXPECT_EQ(ChecksumCache::decodeMembers(packed)->at(1).sha1, "x");
    for (qsizetype n = 0; n < packed.size(); ++n)
        EXPECT_FALSE(ChecksumCache::decodeMembers(packed.left(n))) << n;
}

}  // namespace
