// The trash where other users can reach: a shared disk's trash folders are used only when
// they are the user's own, held by descriptor so that nobody can swap them between the
// check and the move, and a move never replaces anything nor leaves info without its file.

#include "platform/FileNames.h"
#include "platform/Trash.h"
#include "support/OtherUser.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/SmallFileSystem.h"
#include "support/TempFolder.h"

#include <QDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace {

using platform::TrashPlaces;

QStringList namesIn(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool makeFolder(const QString& path, mode_t mode, uid_t owner) {
    const QByteArray p = raw::bytes(path);
    return ::mkdir(p.constData(), mode) == 0 && ::chmod(p.constData(), mode) == 0 &&
           ::lchown(p.constData(), owner, owner) == 0;
}

uid_t ownerOf(const QString& path) {
    struct stat st;
    return ::lstat(raw::bytes(path).constData(), &st) == 0 ? st.st_uid : uid_t(-1);
}

// The owner of a sticky shared $topdir/.Trash swaps the victim's folder in it with a
// folder of their own, over and over, while the victim trashes file after file: with the
// folders checked by name and then used by name, some files would land in the swapper's
// folder, readable and deletable by them.
TEST(TrashAgainstOtherUsers, SwappingTheUserFolderNeverSendsFilesToTheSwapper) {
    if (!support::canActAsOtherUsers()) GTEST_SKIP() << "acting as two users needs root";
    SmallFileSystem fs("size=16m,mode=1777");
    if (!fs.mounted()) GTEST_SKIP() << "cannot mount a file system here";
    const uid_t victim = support::kVictimUid, attacker = support::kAttackerUid;
    const QString top = fs.path(), shared = top + "/.Trash";
    const QString mine = shared + '/' + QString::number(victim), theirs = shared + "/theirs";
    ASSERT_TRUE(makeFolder(shared, 01777, attacker));
    ASSERT_TRUE(makeFolder(mine, 0700, victim));
    ASSERT_TRUE(makeFolder(theirs, 0777, attacker));
    for (const char* sub : {"/files", "/info"}) {
        ASSERT_TRUE(makeFolder(mine + sub, 0700, victim));
        ASSERT_TRUE(makeFolder(theirs + sub, 0777, attacker));
    }
    ASSERT_TRUE(makeFolder(top + "/roms", 0755, victim));
    constexpr int kFiles = 400;
    for (int i = 0; i < kFiles; ++i) {
        const QString game = top + QStringLiteral("/roms/game%1.smc").arg(i);
        ASSERT_TRUE(raw::write(game, "private"));
        ASSERT_EQ(::lchown(raw::bytes(game).constData(), victim, victim), 0);
    }

    const QByteArray victimName = QByteArray::number(victim);
    const pid_t swapper = support::startAs(attacker, [&] {
        const int fd = ::open(raw::bytes(shared).constData(), O_RDONLY | O_DIRECTORY);
        // A pause after each swap lets each state last about as long as one move takes.
        for (;;) {
            ::renameat2(fd, victimName.constData(), fd, "theirs", RENAME_EXCHANGE);
            ::usleep(20);
        }
        return 0;
    });
    ASSERT_GT(swapper, 0);
    const pid_t trasher = support::startAs(victim, [&] {
        int failed = 0;
        for (int i = 0; i < kFiles; ++i)
            if (!platform::moveToTrash(top + QStringLiteral("/roms/game%1.smc").arg(i),
                                       TrashPlaces{QString(), true}))
                ++failed;
        return failed > 250 ? 250 : failed;
    });
    const int failed = support::waitFor(trasher);
    support::stop(swapper);
    ASSERT_GE(failed, 0);
    EXPECT_EQ(failed, 0) << "a trash of one's own is always left";

    // Whichever name it has now, the swapper's folder holds nothing of the victim's.
    int landed = 0, stayed = int(namesIn(top + "/roms").size());
    for (const QString& name : namesIn(shared)) {
        const QString folder = shared + '/' + name;
        const int count = int(namesIn(folder + "/files").size());
        if (ownerOf(folder) == attacker) {
            EXPECT_EQ(count, 0) << "files in the other user's folder";
            EXPECT_TRUE(namesIn(folder + "/info").isEmpty());
        } else {
            landed += count;
        }
    }
    landed += int(namesIn(top + "/.Trash-" + QString::number(victim) + "/files").size());
    EXPECT_EQ(landed + stayed, kFiles) << "every file is in the victim's trash or where it was";
}

}  // namespace
