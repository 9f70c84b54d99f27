// The trash and the exact-entry rules of the file operations, on real folders.

#include "platform/FileContent.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/Trash.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/SmallFileSystem.h"
#include "support/TempFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

using platform::LocalFileOperations;
using platform::TrashPlaces;

// The folder both exact-entry tests start from: GAME.smc (a file), game.smc -> GAME.smc,
// x.png -> y.png, y.png, hard.smc and HARD.smc (one file, two names).
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
    struct Case {
        const char* what;
        const char* from;
        const char* to;
        bool renamed;
        QStringList after;
    };
    // clang-format off
    const QStringList before{"GAME.smc: REAL GAME DATA\n", "HARD.smc: hard", "game.smc -> GAME.smc",
                             "hard.smc: hard", "x.png -> y.png", "y.png: picture"};
    // clang-format on
    auto replaced = [&](const QString& from, const QString& to) {
        QStringList out = before;
        for (QString& e : out)
            if (e.startsWith(from + ':') || e.startsWith(from + " ->")) e = to + e.mid(from.size());
        out.sort();
        return out;
    };
    // clang-format off
    const Case cases[] = {
        {"a link onto its target, letter case only", "game.smc", "GAME.smc", false, before},
        {"a target onto its link", "GAME.smc", "game.smc", false, before},
        {"a link onto another file", "x.png", "y.png", false, before},
        {"a file onto another file", "GAME.smc", "hard.smc", false, before},
        {"a hard link onto the other name", "hard.smc", "HARD.smc", false, before},
        {"a link moves as the link", "game.smc", "other.smc", true, replaced("game.smc", "other.smc")},
        {"letter case only, one entry", "GAME.smc", "Game.smc", true, replaced("GAME.smc", "Game.smc")},
        {"a name no longer there", "Game.smc", "z.smc", false, before},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder t;
        makeEntries(t);
        LocalFileOperations ops(TrashPlaces{t.file("Trash"), false});
        EXPECT_EQ(ops.rename(t.file(c.from), t.file(c.to)), c.renamed);
        EXPECT_EQ(ops.lastError().isEmpty(), c.renamed) << ops.lastError().toStdString();
        EXPECT_EQ(raw::tree(t.path()), c.after);
    }
}

// A name lands by its own bytes, also one that is not UTF-8; a long one shortened, never
// inside a character. The info file keeps the full path, percent-encoded byte by byte.
TEST(Trash, NamesLandByTheirBytesLongOnesShortenedWithTheirFullPathInTheInfoFile) {
    const QByteArray e = "\xc3\xa9";  // two bytes: a cut must not split it
    struct Case {
        QByteArray name;
        QByteArray extension;  // the entry keeps it
    };
    const Case cases[] = {
        {"bad\xff\xfename.smc", ".smc"},  // Latin-1 and Shift-JIS bytes
        {QByteArray(246, 'a') + ".smc", ".smc"},
        {QByteArray(250, 'b') + ".smc", ".smc"},
        // The cut lands inside a character with one byte before the first, or with none.
        {"x" + e.repeated(125) + ".smc", ".smc"},
        {e.repeated(125) + ".smc", ".smc"},
        {QByteArray(250, '\x80') + ".smc", ".smc"},  // no character starts: all are cut
        {QByteArray(255, 'c'), ""},
        {QByteArray(235, 'd') + '.' + QByteArray(19, 'e'), ""},  // too long to count as one
    };
    for (const Case& c : cases) {
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
        if (c.name.size() < 200) {
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
        // Whether or not the file systems' own trash may be used: the home trash's file
        // system has no other.
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

// Another file system's file goes to a trash of its own there, made when missing; with a
// file in the way of it, or when such trashes are not to be used, the game stays, and the
// home trash is never used for it. A full disk keeps the file too, and says so.
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

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::lstat(raw::bytes(path).constData(), &st);
    return st.st_mode & 07777;
}

TEST(ReplaceFileContent, ReplacesAPlainFileOnlyAndLeavesNothingBeside) {
    TempFolder dir;
    dir.write("game.cue", "old");
    ::chmod(raw::bytes(dir.file("game.cue")).constData(), 0640);
    ASSERT_EQ(::symlink("game.cue", raw::bytes(dir.file("link.cue")).constData()), 0);
    struct Case {
        const char* name;
        bool replaced;
    };
    const Case cases[] = {{"game.cue", true}, {"link.cue", false}, {"gone.cue", false}};
    for (const Case& c : cases) {
        QString why;
        EXPECT_EQ(platform::replaceFileContent(dir.file(c.name), "new\r\n\xff", &why), c.replaced)
            << c.name;
        EXPECT_EQ(why.isEmpty(), c.replaced) << c.name;
    }
    EXPECT_EQ(dir.read("game.cue"), "new\r\n\xff");
    EXPECT_EQ(modeOf(dir.file("game.cue")), 0640u);
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

}  // namespace
