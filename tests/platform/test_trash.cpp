// The trash and the exact-entry rules of the file operations, on real folders.

#include "platform/FileContent.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/Trash.h"
#include "support/OtherUser.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/SmallFileSystem.h"
#include "support/TempFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace {

using platform::LocalFileOperations;
using platform::TrashPlaces;

// A file, links to files, and one file under two names (hard.smc and HARD.smc).
void makeEntries(TempFolder& t) {
    t.write("GAME.smc", "REAL GAME DATA\n");
    ASSERT_TRUE(raw::link("GAME.smc", t.file("game.smc")));
    t.write("y.png", "picture");
    ASSERT_TRUE(raw::link("y.png", t.file("x.png")));
    t.write("hard.smc", "hard");
    ASSERT_EQ(::link(raw::bytes(t.file("hard.smc")), raw::bytes(t.file("HARD.smc"))), 0);
}

TEST(ExactEntries, LinksAndHardLinksAreEntriesOfTheirOwn) {
    TempFolder t;
    makeEntries(t);
    ASSERT_TRUE(raw::link("nowhere", t.file("dangling.png")));

    const struct {
        const char *a, *b;
        bool same;
    } cases[] = {// clang-format off
        {"GAME.smc", "GAME.smc", true}, {"game.smc", "GAME.smc", false}, {"x.png", "y.png", false},
        {"hard.smc", "HARD.smc", false}, {"dangling.png", "dangling.png", true},
        {"GAME.smc", "Game.smc", false}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(platform::sameEntry(t.file(c.a), t.file(c.b)), c.same) << c.a << " " << c.b;
    // Present means spelled exactly so; a dangling link is present too.
    for (const char* name : {"GAME.smc", "game.smc", "dangling.png", "HARD.smc"})
        EXPECT_TRUE(platform::hasEntry(t.file(name))) << name;
    for (const char* name : {"Game.smc", "GAME.SMC", "nope"})
        EXPECT_FALSE(platform::hasEntry(t.file(name))) << name;

    // A link goes to the trash as the link.
    LocalFileOperations ops(TrashPlaces{t.file("Trash"), false});
    EXPECT_TRUE(ops.remove(t.file("game.smc")));
    EXPECT_EQ(raw::tree(t.file("Trash/files")), QStringList{"game.smc -> GAME.smc"});
    EXPECT_EQ(t.read("GAME.smc"), "REAL GAME DATA\n");
}

TEST(ExactEntries, RenameNeverReplacesAnotherEntry) {
    const struct {
        const char *what, *from, *to;
        bool renamed;
    } cases[] = {
        {"a link onto its target, letter case only", "game.smc", "GAME.smc", false},
        {"a target onto its link", "GAME.smc", "game.smc", false},
        {"a link onto another file", "x.png", "y.png", false},
        {"a file onto another file", "GAME.smc", "hard.smc", false},
        {"a hard link onto the other name", "hard.smc", "HARD.smc", false},
        {"a link moves as the link", "game.smc", "other.smc", true},
        {"letter case only, one entry", "GAME.smc", "Game.smc", true},
        {"a name no longer there", "Game.smc", "z.smc", false},
    };
    // clang-format off
    const QStringList before{"GAME.smc: REAL GAME DATA\n", "HARD.smc: hard", "game.smc -> GAME.smc",
                             "hard.smc: hard", "x.png -> y.png", "y.png: picture"};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder t;
        makeEntries(t);
        LocalFileOperations ops(TrashPlaces{t.file("Trash"), false});
        EXPECT_EQ(ops.rename(t.file(c.from), t.file(c.to)), c.renamed);
        EXPECT_EQ(ops.lastError().isEmpty(), c.renamed) << ops.lastError().toStdString();
        QStringList after = before;  // the entry under its new name when renamed
        const QString from = c.from;
        for (QString& e : after)
            if (c.renamed && (e.startsWith(from + ':') || e.startsWith(from + " ->")))
                e = c.to + e.mid(from.size());
        after.sort();
        EXPECT_EQ(raw::tree(t.path()), after);
    }
}

// A name lands by its bytes, a long one cut but not inside a character; the info keeps it.
TEST(Trash, NamesLandByTheirBytesLongOnesShortenedWithTheirFullPathInTheInfoFile) {
    const QByteArray e = "\xc3\xa9";  // two bytes: a cut must not split it
    const struct {
        QByteArray name;
        QByteArray extension;  // the entry keeps it
    } cases[] = {
        {"bad\xff\xfename.smc", ".smc"},          // Latin-1 and Shift-JIS bytes
        {QByteArray(239, 'f') + ".smc", ".smc"},  // with ".2", just what an entry may hold
        {QByteArray(246, 'a') + ".smc", ".smc"},
        {QByteArray(250, 'b') + ".smc", ".smc"},
        // The cut lands inside a character with one byte before the first, or with none.
        {"x" + e.repeated(125) + ".smc", ".smc"},
        {e.repeated(125) + ".smc", ".smc"},
        {QByteArray(250, '\x80') + ".smc", ".smc"},  // no character starts: all are cut
        {QByteArray(255, 'c'), ""},
        {QByteArray(235, 'd') + '.' + QByteArray(19, 'e'), ""},  // too long to count as one
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.size());
        TempFolder t;
        const raw::RemoveTree cleanup(t.path());
        const QString path = t.path() + '/' + platform::decodeName(c.name);
        const QString trash = t.file("Trash");
        LocalFileOperations ops(TrashPlaces{trash, false});
        // Twice the same name: two entries, neither over the other.
        for (const char* content : {"first", "second"}) {
            ASSERT_TRUE(raw::write(path, content));
            ASSERT_TRUE(ops.remove(path)) << ops.lastError().toStdString();
            EXPECT_FALSE(raw::exists(path));
        }
        // Read as bytes: a listing through QString would mend a broken character.
        QList<QByteArray> stored = raw::names(trash + "/files");
        ASSERT_EQ(stored.size(), 2);
        std::sort(stored.begin(), stored.end());
        if (c.name.size() + 2 <= 245) {
            EXPECT_EQ(stored, (QList<QByteArray>{c.name, c.name + ".2"}));
        }
        QByteArrayList contents;
        for (const QByteArray& bytes : stored) {
            const QString entry = platform::decodeName(bytes);
            EXPECT_LE(bytes.size() + 10, 255);
            EXPECT_TRUE(bytes.endsWith(c.extension) || bytes.endsWith(".2"));
            EXPECT_TRUE(bytes.startsWith(c.name) || QString::fromUtf8(bytes).toUtf8() == bytes)
                << "cut inside a character";
            contents << raw::read(trash + "/files/" + entry);
            const QByteArray info = raw::read(trash + "/info/" + entry + ".trashinfo");
            const QByteArray head =
                "[Trash Info]\nPath=" + raw::bytes(path).toPercentEncoding("/") + "\nDeletionDate=";
            const QString date = QString::fromLatin1(info.mid(head.size()).trimmed());
            EXPECT_TRUE(info.startsWith(head) && info.endsWith('\n') &&
                        QDateTime::fromString(date, Qt::ISODate).isValid())
                << info.toStdString();
        }
        std::sort(contents.begin(), contents.end());
        EXPECT_EQ(contents, (QByteArrayList{"first", "second"}));
    }
}

TEST(Trash, AFileNoTrashCanTakeStaysWithTheReasonSaid) {
    const QByteArray rootTrash = "/.Trash-" + QByteArray::number(::getuid());
    const bool rootTrashBefore = raw::exists(QString::fromUtf8(rootTrash));
    // A file where the trash or its info folder belongs, or above it.
    const struct {
        const char *file, *trash;
    } cases[] = {{"Trash/info", "Trash"}, {"Trash", "Trash"}, {"data", "data/Trash"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TempFolder t;
        t.write("x.smc", "game");
        t.write(c.file, "not a folder");
        const QString trash = t.file(c.trash);
        const QStringList before = raw::tree(t.path());
        // With or without the disks' own trashes: the home trash's disk has no other.
        for (const bool mountTrash : {false, true}) {
            LocalFileOperations ops(TrashPlaces{trash, mountTrash});
            EXPECT_FALSE(ops.remove(t.file("x.smc")));
            EXPECT_EQ(ops.lastError(), "Could not move 'x.smc' to the trash: the trash folder " +
                                           trash + " cannot be used (not a directory).");
            EXPECT_EQ(raw::tree(t.path()), before);
        }
    }
    EXPECT_EQ(raw::exists(QString::fromUtf8(rootTrash)), rootTrashBefore);
}

// Another file system's file goes to its own trash there or stays; never to the home trash.
TEST(Trash, OtherFileSystemsUseTheirOwnTrashOrNone) {
    const QString uid = QString::number(::getuid());
    const struct {
        bool mountTrash, blocked, full;  // full: the home trash is on that disk, filled up
        const char* reason;              // nullptr: moved
    } cases[] = {
        {true, false, false, nullptr},
        {true, true, false, "%1 is not a trash folder of yours"},
        {false, false, false, "there is no trash on the disk that holds it"},
        {false, false, true, "the disk is full"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason ? c.reason : "moved");
        SmallFileSystem fs;
        if (!fs.mounted()) GTEST_SKIP() << "cannot mount a file system here";
        const QString top = fs.path(), trash = top + "/.Trash-" + uid;
        ASSERT_TRUE(raw::mkdir(top + "/roms"));
        ASSERT_TRUE(raw::write(top + "/roms/x.smc", "game"));
        ASSERT_TRUE(!c.blocked || raw::write(trash, "mine"));
        if (c.full) {
            QFile filler(top + "/filler");
            ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
            const QByteArray block(1024, 'f');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        const QStringList before = raw::tree(top);
        TempFolder home;
        LocalFileOperations ops(
            TrashPlaces{c.full ? top + "/Trash" : home.file("Trash"), c.mountTrash});
        EXPECT_EQ(ops.remove(top + "/roms/x.smc"), !c.reason);
        EXPECT_FALSE(home.exists("Trash"));
        if (c.reason) {
            EXPECT_EQ(ops.lastError(), "Could not move 'x.smc' to the trash: " +
                                           QString(c.reason).replace("%1", trash) + '.');
            EXPECT_EQ(raw::tree(top), before);
            continue;
        }
        EXPECT_EQ(
            QDir(top).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
            (QStringList{".Trash-" + uid, "roms"}));
        EXPECT_EQ(raw::tree(top + "/roms"), QStringList());
        EXPECT_EQ(raw::read(trash + "/files/x.smc"), "game");
        // Restorable: the path is kept from the file system's top.
        EXPECT_TRUE(raw::read(trash + "/info/x.smc.trashinfo").contains("\nPath=roms/x.smc\n"));
    }
}

TEST(ReplaceFileContent, ReplacesAPlainFileOnlyAndLeavesNothingBeside) {
    TempFolder dir;
    dir.write("game.cue", "old");
    ::chmod(raw::bytes(dir.file("game.cue")).constData(), 0640);
    ASSERT_TRUE(raw::link("game.cue", dir.file("link.cue")));
    const struct {
        const char* name;
        bool replaced;
    } cases[] = {{"game.cue", true}, {"link.cue", false}, {"gone.cue", false}};
    for (const auto& c : cases) {
        QString why;
        EXPECT_EQ(platform::replaceFileContent(dir.file(c.name), "new\r\n\xff", &why), c.replaced)
            << c.name;
        EXPECT_EQ(why.isEmpty(), c.replaced) << c.name;
    }
    EXPECT_EQ(dir.read("game.cue"), "new\r\n\xff");
    struct stat st {};
    ASSERT_EQ(::lstat(raw::bytes(dir.file("game.cue")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // The link is still a link, to the same file; no new file stays behind.
    EXPECT_EQ(filesUnder(dir.path()),
              QStringList({"game.cue: new\r\n" + QString::fromUtf8("\xff"),
                           "link.cue: new\r\n" + QString::fromUtf8("\xff")}));
    EXPECT_TRUE(QFileInfo(dir.file("link.cue")).isSymLink());
}

TEST(TrashRestore, BringsBackOnlyToAFreeName) {
    TempFolder dir;
    platform::LocalFileOperations files(platform::TrashPlaces{dir.file("Trash"), false});
    dir.write("a.bin", "a");
    dir.write("b.bin", "b");
    ASSERT_TRUE(files.remove(dir.file("a.bin")) && files.remove(dir.file("b.bin")));
    dir.write("b.bin", "new b");
    EXPECT_TRUE(files.restore(dir.file("a.bin")));
    EXPECT_FALSE(files.restore(dir.file("b.bin")));
    EXPECT_FALSE(files.restore(dir.file("never.bin")));
    // a.bin's info file went with it; b.bin stays in the trash, described.
    EXPECT_EQ(filesUnder(dir.path()),
              QStringList({"Trash/files/b.bin: b",
                           "Trash/info/b.bin.trashinfo: " +
                               QString::fromUtf8(dir.read("Trash/info/b.bin.trashinfo")),
                           "a.bin: a", "b.bin: new b"}));
}

bool makeFolder(const QString& path, mode_t mode, uid_t owner) {
    const QByteArray p = raw::bytes(path);
    return ::mkdir(p.constData(), mode) == 0 && ::chmod(p.constData(), mode) == 0 &&
           ::lchown(p.constData(), owner, owner) == 0;
}

// A shared .Trash's owner swaps the victim's folder for theirs while the victim trashes.
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
    int landed = 0, stayed = int(raw::names(top + "/roms").size());
    for (const QByteArray& name : raw::names(shared)) {
        const QString folder = shared + '/' + platform::decodeName(name);
        const int count = int(raw::names(folder + "/files").size());
        if (raw::owner(folder) == attacker) {
            EXPECT_EQ(count, 0) << "files in the other user's folder";
            EXPECT_TRUE(raw::names(folder + "/info").isEmpty());
        } else {
            landed += count;
        }
    }
    landed += int(raw::names(top + "/.Trash-" + QString::number(victim) + "/files").size());
    EXPECT_EQ(landed + stayed, kFiles) << "every file is in the victim's trash or where it was";
}

// A disk's trash folders count only when the user's own, private and not links.
TEST(DiskTrash, OnlyFoldersOfTheUsersOwnAreUsed) {
    const QString uid = QString::number(::getuid());
    const QString shared = ".Trash/" + uid, own = ".Trash-" + uid;
    const bool root = support::canActAsOtherUsers();
    const uid_t other = support::kAttackerUid;
    // Made in order: a folder of `mode` (the other user's when `others`), or a link.
    struct Made {
        QString path;
        mode_t mode;
        bool others = false;
        const char* linkTo = nullptr;
    };
    const Made sticky{".Trash", 01777}, elsewhere{"elsewhere", 0700};
    const struct {
        const char* what;
        std::vector<Made> made;
        QString landsIn;  // from the top; empty: refused
        bool needsRoot = false;
        // clang-format off
    } cases[] = {
        {"a shared trash: the user's folder is made", {sticky}, shared},
        {"a shared trash without its sticky bit is not used", {{".Trash", 0777}}, own},
        {"the user's folder there belongs to another user", {sticky, {shared, 0700, true}}, own, true},
        {"the user's folder there is open to others", {sticky, {shared, 0755}}, own},
        {"the user's folder there is a link", {sticky, elsewhere, {shared, 0, false, "elsewhere"}}, own},
        {"the shared trash is a link to a sticky folder",
         {{"elsewhere", 01777}, {".Trash", 0, false, "elsewhere"}}, own},
        {"the user's own trash", {{own, 0700}}, own},
        {"the user's own trash is open to others", {{own, 0755}}, ""},
        {"the user's own trash belongs to another user", {{own, 0700, true}}, "", true},
        {"the user's own trash is a link to a folder of theirs",
         {elsewhere, {own, 0, false, "elsewhere"}}, ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !root) continue;
        TempFolder t;
        const raw::RemoveTree cleanup(t.path());
        t.write("roms/x.smc", "game");
        for (const Made& m : c.made)
            ASSERT_TRUE(m.linkTo
                            ? raw::link(t.file(m.linkTo), t.file(m.path))
                            : makeFolder(t.file(m.path), m.mode, m.others ? other : ::getuid()));
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
        EXPECT_TRUE(raw::names(t.file("elsewhere")).isEmpty());
        if (c.landsIn == own && !QFileInfo(t.file(shared)).isSymLink()) {
            EXPECT_TRUE(raw::names(t.file(shared)).isEmpty());
        }
    }
}

// A move never replaces an entry; old info without its entry is cleared, young info is not.
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
        ASSERT_TRUE(t.settle(QStringLiteral("Trash/info/") + old));
    const TrashPlaces places{t.file("Trash"), false};

    ASSERT_TRUE(platform::moveToTrash(t.file("roms/x.smc"), places));
    QStringList trash = raw::tree(t.file("Trash"));
    // clang-format off
    const QStringList expected{
        "files/", "files/kept.smc: kept", "files/x.smc: old", "files/x.smc.2: new", "info/",
        "info/folder.trashinfo/", "info/fresh.smc.trashinfo: in progress",
        "info/kept.smc.trashinfo: kept info", "info/notes.txt: not info"};
    // clang-format on
    ASSERT_EQ(trash.size(), expected.size() + 1) << trash.join('\n').toStdString();
    const qsizetype info = trash.indexOf(QRegularExpression(
        "^info/x\\.smc\\.2\\.trashinfo: .*", QRegularExpression::DotMatchesEverythingOption));
    ASSERT_GE(info, 0) << "the info file of the entry made";
    EXPECT_TRUE(trash.takeAt(info).contains("Path=" + t.file("roms/x.smc")));
    EXPECT_EQ(trash, expected);

    // Left over since: cleared at the next move, the info just made staying.
    t.write("Trash/info/later.smc.trashinfo", "cut short too");
    ASSERT_TRUE(t.settle("Trash/info/later.smc.trashinfo"));
    ASSERT_TRUE(platform::moveToTrash(t.file("roms/y.smc"), places));
    EXPECT_FALSE(t.exists("Trash/info/later.smc.trashinfo"));
    EXPECT_TRUE(t.exists("Trash/info/x.smc.2.trashinfo"));
}

}  // namespace
