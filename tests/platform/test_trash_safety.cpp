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
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
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

bool backdate(const QString& path) {
    const timespec hourAgo{::time(nullptr) - 3600, 0};
    const timespec times[2] = {hourAgo, hourAgo};
    return ::utimensat(AT_FDCWD, raw::bytes(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// A disk's trash folders count only when they are the user's own, private and not links;
// the shared one falls back to the user's own, a bad own one is refused and the file stays.
TEST(DiskTrash, OnlyFoldersOfTheUsersOwnAreUsed) {
    const QString uid = QString::number(::getuid());
    const QString shared = ".Trash/" + uid, own = ".Trash-" + uid;
    const bool root = support::canActAsOtherUsers();
    const uid_t other = support::kAttackerUid;
    struct Case {
        const char* what;
        std::function<bool(TempFolder&)> setUp;
        QString landsIn;  // from the top; empty: refused
        bool needsRoot = false;
    };
    const Case cases[] = {
        {"a shared trash: the user's folder is made",
         [](TempFolder& t) { return makeFolder(t.file(".Trash"), 01777, ::getuid()); }, shared},
        {"a shared trash without its sticky bit is not used",
         [](TempFolder& t) { return makeFolder(t.file(".Trash"), 0777, ::getuid()); }, own},
        {"the user's folder there belongs to another user",
         [&](TempFolder& t) {
             return makeFolder(t.file(".Trash"), 01777, ::getuid()) &&
                    makeFolder(t.file(shared), 0700, other);
         },
         own, true},
        {"the user's folder there is open to others",
         [&](TempFolder& t) {
             return makeFolder(t.file(".Trash"), 01777, ::getuid()) &&
                    makeFolder(t.file(shared), 0755, ::getuid());
         },
         own},
        {"the user's folder there is a link",
         [&](TempFolder& t) {
             return makeFolder(t.file(".Trash"), 01777, ::getuid()) &&
                    makeFolder(t.file("elsewhere"), 0700, ::getuid()) &&
                    raw::link(t.file("elsewhere"), t.file(shared));
         },
         own},
        {"the shared trash is a link to a sticky folder",
         [](TempFolder& t) {
             return makeFolder(t.file("elsewhere"), 01777, ::getuid()) &&
                    raw::link(t.file("elsewhere"), t.file(".Trash"));
         },
         own},
        {"the user's own trash",
         [&](TempFolder& t) { return makeFolder(t.file(own), 0700, ::getuid()); }, own},
        {"the user's own trash is open to others",
         [&](TempFolder& t) { return makeFolder(t.file(own), 0755, ::getuid()); }, ""},
        {"the user's own trash belongs to another user",
         [&](TempFolder& t) { return makeFolder(t.file(own), 0700, other); }, "", true},
        {"the user's own trash is a link to a folder of theirs",
         [&](TempFolder& t) {
             return makeFolder(t.file("elsewhere"), 0700, ::getuid()) &&
                    raw::link(t.file("elsewhere"), t.file(own));
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !root) continue;
        TempFolder t;
        const raw::RemoveTree cleanup(t.path());
        t.write("roms/x.smc", "game");
        ASSERT_TRUE(c.setUp(t));
        const QStringList before = raw::tree(t.path());
        QString why;
        EXPECT_EQ(platform::moveToDiskTrash(t.file("roms/x.smc"), t.path(), &why),
                  !c.landsIn.isEmpty());
        if (c.landsIn.isEmpty()) {
            EXPECT_EQ(why, t.file(own) + " is not a trash folder of yours");
            EXPECT_EQ(raw::tree(t.path()), before) << "nothing moved, nothing made";
            continue;
        }
        EXPECT_EQ(t.read(c.landsIn + "/files/x.smc"), "game");
        EXPECT_TRUE(t.read(c.landsIn + "/info/x.smc.trashinfo").contains("\nPath=roms/x.smc\n"));
        EXPECT_FALSE(t.exists("roms/x.smc"));
        // A folder that was not the user's own got nothing.
        if (t.exists("elsewhere")) {
            EXPECT_TRUE(namesIn(t.file("elsewhere")).isEmpty());
        }
        if (c.landsIn == own && t.exists(shared) && !QFileInfo(t.file(shared)).isSymLink()) {
            EXPECT_TRUE(namesIn(t.file(shared)).isEmpty());
        }
    }
}

// A move takes a name nothing has in the trash, never replacing an entry even when its
// info is missing, and removes the info it wrote for a move that failed. Info files whose
// entry is gone (a move cut short by a kill) are cleared on the next use once they are old
// enough not to be another program's move in progress; nothing else is touched.
TEST(TrashLeftovers, NothingIsReplacedAndInfoWithoutItsEntryIsCleared) {
    TempFolder t;
    t.write("roms/x.smc", "new");
    t.write("roms/y.smc", "second");
    t.write("Trash/files/x.smc", "old");  // its info is missing
    t.write("Trash/files/kept.smc", "kept");
    t.write("Trash/info/kept.smc.trashinfo", "kept info");
    t.write("Trash/info/gone.smc.trashinfo", "cut short");
    t.write("Trash/info/fresh.smc.trashinfo", "in progress");
    t.write("Trash/info/notes.txt", "not info");
    t.mkdir("Trash/info/folder.trashinfo");
    for (const char* old : {"gone.smc.trashinfo", "notes.txt", "folder.trashinfo"})
        ASSERT_TRUE(backdate(t.file(QStringLiteral("Trash/info/") + old)));
    const TrashPlaces places{t.file("Trash"), false};

    ASSERT_TRUE(platform::moveToTrash(t.file("roms/x.smc"), places));
    QStringList trash = raw::tree(t.file("Trash"));
    QStringList expected{"files/",
                         "files/kept.smc: kept",
                         "files/x.smc: old",
                         "files/x.smc.2: new",
                         "info/",
                         "info/folder.trashinfo/",
                         "info/fresh.smc.trashinfo: in progress",
                         "info/kept.smc.trashinfo: kept info",
                         "info/notes.txt: not info"};
    ASSERT_EQ(trash.size(), expected.size() + 1) << trash.join('\n').toStdString();
    const qsizetype info = trash.indexOf(QRegularExpression(
        "^info/x\\.smc\\.2\\.trashinfo: .*", QRegularExpression::DotMatchesEverythingOption));
    ASSERT_GE(info, 0) << "the info file of the entry made";
    EXPECT_TRUE(trash.takeAt(info).contains("Path=" + t.file("roms/x.smc")));
    EXPECT_EQ(trash, expected);

    // Left over since: cleared at the next move, the info just made staying.
    t.write("Trash/info/later.smc.trashinfo", "cut short too");
    ASSERT_TRUE(backdate(t.file("Trash/info/later.smc.trashinfo")));
    ASSERT_TRUE(platform::moveToTrash(t.file("roms/y.smc"), places));
    EXPECT_FALSE(t.exists("Trash/info/later.smc.trashinfo"));
    EXPECT_TRUE(t.exists("Trash/info/x.smc.2.trashinfo"));
    EXPECT_TRUE(t.exists("Trash/info/y.smc.trashinfo"));
    EXPECT_EQ(t.read("Trash/files/y.smc"), "second");
}

}  // namespace
