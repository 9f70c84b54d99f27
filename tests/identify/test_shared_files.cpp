// The library and checksum cache as the window holds them while other programs come and go.

#include "identify/LibraryIdentifier.h"
#include "library/LibraryDb.h"
#include "support/Forked.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <memory>
#include <optional>

namespace {

using identify::FolderIdentifier, library::LibraryDb;

// Whether this process holds a deleted file named like `part` open.
bool holdsDeletedFile(const QByteArray& part) {
    DIR* fds = ::opendir("/proc/self/fd");
    if (!fds) return false;
    bool found = false;
    while (const dirent* e = ::readdir(fds)) {
        char target[4096];
        const QByteArray link = "/proc/self/fd/" + QByteArray(e->d_name);
        const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
        if (n <= 0) continue;
        const QByteArray to(target, n);
        if (to.contains(part) && to.endsWith(" (deleted)")) found = true;
    }
    ::closedir(fds);
    return found;
}

qint64 sizeOf(const QString& file) {
    return QFileInfo(file).size();  // 0 when there is none
}

}  // namespace

// Other programs (and a second connection) never delete a library file under the window.
TEST(SharedFiles, AnotherProgramNeverPullsTheLibraryFromUnderTheWindow) {
    for (const bool secondConnection : {false, true}) {
        SCOPED_TRACE(secondConnection);
        TempFolder t;
        const QString library = t.file(QStringLiteral("data/Rombard/library.sqlite3"));
        const QString cache = t.file(QStringLiteral("cache/Rombard/checksums.sqlite3"));
        {
            LibraryDb db;
            ASSERT_TRUE(db.open(library).ok);
            ASSERT_TRUE(db.setFavourite("/g/b.nes", true));
        }
        int ready[2], go[2];
        ASSERT_EQ(::pipe(ready), 0);
        ASSERT_EQ(::pipe(go), 0);
        const pid_t window = ::fork();
        if (window == 0) {
            // As main() opens them: the history first, the identifier once the window is up.
            LibraryDb history;
            char state = history.open(library).ok ? 'r' : 'x';
            std::unique_ptr<FolderIdentifier> identifier =
                identify::openLibraryIdentifier(cache, identify::Sources{}, nullptr);
            if (!identifier) state = 'x';
            std::optional<LibraryDb> second;
            if (secondConnection && !second.emplace().open(library).ok) state = 'x';
            history.summaries();
            (void)!::write(ready[1], &state, 1);
            (void)!::read(go[0], &state, 1);
            state = holdsDeletedFile("library.sqlite3")                   ? 'd'
                    : history.toggleFavourite("/g/a.nes").value_or(false) ? 'k'
                                                                          : 'f';
            (void)!::write(ready[1], &state, 1);
            for (;;)
                ::pause();
        }
        char state = 0;
        ASSERT_EQ(::read(ready[0], &state, 1), 1);
        ASSERT_EQ(state, 'r');
        // rombard --history, three times.
        for (int i = 0; i < 3; ++i) {
            const support::Forked run = support::runForked([&](int) {
                LibraryDb db;
                if (!db.open(library).ok) return 1;
                return db.historyLines().size() == 1 ? 0 : 2;
            });
            EXPECT_EQ(run.status, 0);
        }
        (void)!::write(go[1], "g", 1);
        ASSERT_EQ(::read(ready[0], &state, 1), 1);
        ::kill(window, SIGKILL);
        ::waitpid(window, nullptr, 0);
        for (int fd : {ready[0], ready[1], go[0], go[1]})
            ::close(fd);
        EXPECT_EQ(state, 'k') << "d: a library file was deleted under the window; f: no mark";

        LibraryDb db;
        ASSERT_TRUE(db.open(library).ok);
        EXPECT_TRUE(db.isFavourite("/g/a.nes"));
        EXPECT_TRUE(db.integrityOk());
    }
}

// The index lives in the cache folder, not the history, and is made again once deleted.
TEST(SharedFiles, TheIndexLivesInTheCacheAndIsRebuiltWhenDeleted) {
    TempFolder t;
    const QString library = t.file(QStringLiteral("data/Rombard/library.sqlite3"));
    const QString cache = t.file(QStringLiteral("cache/Rombard/checksums.sqlite3"));
    QStringList games;
    QByteArray list = "<softwarelist name=\"big\">\n";
    for (int i = 0; i < 20000; ++i) {
        const QByteArray content = "game number " + QByteArray::number(i) + QByteArray(100, 'x');
        const quint32 crc = zipbuild::crcOf(content);
        if (i < 10) games << t.write(QStringLiteral("roms/%1.bin").arg(i), content);
        list += "<software name=\"s" + QByteArray::number(i) + "\"><description>Game " +
                QByteArray::number(i) + "</description><part><dataarea><rom name=\"r" +
                QByteArray::number(i) + ".bin\" size=\"" + QByteArray::number(content.size()) +
                "\" crc=\"" + QByteArray::number(crc, 16).rightJustified(8, '0') +
                "\"/></dataarea></part></software>\n";
    }
    const identify::Sources sources{
        {t.write(QStringLiteral("hash/big.xml"), list + "</softwarelist>\n")}};

    LibraryDb history;
    ASSERT_TRUE(history.open(library).ok);
    for (const QString& game : games)
        ASSERT_TRUE(history.beginSession(game.toUtf8(), QStringLiteral("emu"), 100).has_value());

    const auto verifiedCount = [&](FolderIdentifier& identifier) {
        EXPECT_EQ(identifier.refreshSources({}), QStringList());
        int verified = 0;
        identifier.identify(games, [&](int, const identify::Identification& answer) {
            if (answer.verdict == identify::Verdict::Verified) ++verified;
            return true;
        });
        return verified;
    };
    {
        std::unique_ptr<FolderIdentifier> identifier =
            identify::openLibraryIdentifier(cache, sources, nullptr);
        ASSERT_TRUE(identifier);
        EXPECT_EQ(verifiedCount(*identifier), 10);
        EXPECT_GT(sizeOf(cache), 1024 * 1024);
        // Checkpointed after the refresh: the journal does not keep the index a second time.
        EXPECT_LT(sizeOf(cache + "-wal"), 1024 * 1024);

        // Deleted while the window runs: the next refresh makes it again.
        ASSERT_TRUE(QFile::remove(cache));
        EXPECT_EQ(verifiedCount(*identifier), 10);
        EXPECT_GT(sizeOf(cache), 1024 * 1024);
    }
    for (const QByteArray& left : {QByteArray(), QByteArray("not a database ").repeated(500)}) {
        SCOPED_TRACE(left.isEmpty() ? "deleted" : "damaged");
        QFile::remove(cache);
        if (!left.isEmpty()) t.write(QStringLiteral("cache/Rombard/checksums.sqlite3"), left);
        std::unique_ptr<FolderIdentifier> identifier =
            identify::openLibraryIdentifier(cache, sources, nullptr);
        ASSERT_TRUE(identifier);
        EXPECT_EQ(verifiedCount(*identifier), 10);
        EXPECT_GT(sizeOf(cache), 1024 * 1024);
    }
    EXPECT_LT(sizeOf(library) + sizeOf(library + "-wal"), 1024 * 1024);
}
