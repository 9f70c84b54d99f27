// A rename killed between a game and what goes with it, and the next start putting it
// right: the moves are finished, or undone, and nothing is ever overwritten.

#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/FileRenaming.h"
#include "launcher/maintenance/RenameJournal.h"
#include "platform/FileOperations.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

namespace {

QStringList notes() {
    return QDir(RenameJournal::defaultFolder()).entryList(QDir::Files | QDir::Hidden);
}

// Runs `work` in a child process and returns how it ended (waitpid's status).
template <typename Work>
int inChild(Work&& work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        work();
        ::_exit(0);  // no destructors: what the child left on disk stays as it left it
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// A batch of F8 killed right after its `killAt`th move; then the next start.
TEST(RenameJournal, AKilledBatchIsPutRightAtTheNextStart) {
    struct Case {
        int killAt;
        QStringList before;  // after the kill, before the next start
    };
    // The batch moves a.jar, its picture, its descriptor, then b_X.bin and its picture.
    const Case cases[] = {
        {1,
         {"roms/Hero.jar: a.jar", "roms/a.jad: a.jad", "roms/b_X.bin: b", "shots/a.png: pa",
          "shots/b_X.png: pb"}},
        {2,
         {"roms/Hero.jar: a.jar", "roms/a.jad: a.jad", "roms/b_X.bin: b", "shots/Hero.png: pa",
          "shots/b_X.png: pb"}},
        {4,
         {"roms/Hero.jad: a.jad", "roms/Hero.jar: a.jar", "roms/b.bin: b", "shots/Hero.png: pa",
          "shots/b_X.png: pb"}},
    };
    const QStringList together{"roms/Hero.jad: a.jad", "roms/Hero.jar: a.jar", "roms/b.bin: b",
                               "shots/Hero.png: pa", "shots/b.png: pb"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.killAt);
        TempFolder emu;
        emu.write("roms/a.jar", "a.jar");
        emu.write("roms/a.jad", "a.jad");
        emu.write("roms/b_X.bin", "b");
        emu.write("shots/a.png", "pa");
        emu.write("shots/b_X.png", "pb");
        const QString root = emu.path() + '/';
        const int status = inChild([&] {
            platform::LocalFileOperations files;
            ScreenshotSearch search;
            int moves = 0;
            RenameBatchHooks hooks;
            hooks.moved = [&](const QString&, const QString&) {
                if (++moves == c.killAt) ::raise(SIGKILL);
            };
            renameGameFiles(files, root + "roms/", {{"a.jar", "Hero.jar"}, {"b_X.bin", "b.bin"}},
                            picturesIn(search, screenshotFoldersOf({}, root, root + "roms")),
                            hooks);
        });
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        EXPECT_EQ(filesUnder(emu.path()), c.before);
        ASSERT_EQ(notes().size(), 1);

        platform::LocalFileOperations files;
        recoverInterruptedRenames(files);
        // The pair killed half-way is whole again; the game not begun keeps its old name.
        QStringList expected = together;
        if (c.killAt < 4) {
            expected.replaceInStrings("roms/b.bin", "roms/b_X.bin");
            expected.replaceInStrings("shots/b.png", "shots/b_X.png");
            expected.sort();
        }
        EXPECT_EQ(filesUnder(emu.path()), expected);
        EXPECT_EQ(notes(), QStringList());
    }
}

TEST(RenameJournal, FinishesOrUndoesEachHalfDoneRenameAndNeverOverwrites) {
    struct Case {
        const char* what;
        QStringList files;  // "path: content" as the killed run left them
        QStringList after;
        int completed, undone, leftApart;
    };
    // The run was renaming roms/game.bin to Hero.bin with its picture shots/game.png.
    // clang-format off
    const Case cases[] = {
        {"the game moved, its picture not: the picture follows",
         {"roms/Hero.bin: g", "shots/game.png: p"},
         {"roms/Hero.bin: g", "shots/Hero.png: p"}, 1, 0, 0},
        {"the picture's new name was taken since: the game goes back",
         {"roms/Hero.bin: g", "shots/game.png: p", "shots/Hero.png: other"},
         {"roms/game.bin: g", "shots/Hero.png: other", "shots/game.png: p"}, 0, 1, 0},
        {"its old name taken by another file too: nothing can tell, nothing is touched",
         {"roms/Hero.bin: g", "roms/game.bin: new", "shots/game.png: p", "shots/Hero.png: other"},
         {"roms/Hero.bin: g", "roms/game.bin: new", "shots/Hero.png: other", "shots/game.png: p"},
         0, 0, 0},
        {"killed before the game moved", {"roms/game.bin: g", "shots/game.png: p"},
         {"roms/game.bin: g", "shots/game.png: p"}, 0, 0, 0},
        {"killed after the last move", {"roms/Hero.bin: g", "shots/Hero.png: p"},
         {"roms/Hero.bin: g", "shots/Hero.png: p"}, 0, 0, 0},
        {"the picture went by other hands", {"roms/Hero.bin: g"}, {"roms/Hero.bin: g"}, 0, 0, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder emu;
        for (const QString& f : c.files)
            emu.write(f.section(": ", 0, 0), f.section(": ", 1).toUtf8());
        const PlannedMoves moves{{emu.file("roms/game.bin"), emu.file("roms/Hero.bin")},
                                 {emu.file("shots/game.png"), emu.file("shots/Hero.png")}};
        // A run that wrote its note and died.
        inChild([&] { (new RenameJournal())->begin(moves); });

        platform::LocalFileOperations files;
        const RecoveredRenames done = recoverInterruptedRenames(files);
        EXPECT_EQ(filesUnder(emu.path()), c.after);
        EXPECT_EQ(int(done.completed.size()), c.completed);
        EXPECT_EQ(int(done.undone.size()), c.undone);
        EXPECT_EQ(done.leftApart, c.leftApart);
        EXPECT_EQ(notes(), QStringList());
    }
}

// Another run's note is left alone while that run lives: its moves are under way.
TEST(RenameJournal, ALiveRunsNoteIsNotTouched) {
    TempFolder emu;
    emu.write("roms/Hero.bin", "g");
    emu.write("shots/game.png", "p");
    {
        RenameJournal live;
        ASSERT_TRUE(live.begin({{emu.file("roms/game.bin"), emu.file("roms/Hero.bin")},
                                {emu.file("shots/game.png"), emu.file("shots/Hero.png")}}));
        platform::LocalFileOperations files;
        const RecoveredRenames done = recoverInterruptedRenames(files);
        EXPECT_TRUE(done.completed.empty());
        EXPECT_EQ(filesUnder(emu.path()), (QStringList{"roms/Hero.bin: g", "shots/game.png: p"}));
        EXPECT_EQ(notes().size(), 1);
    }
    EXPECT_EQ(notes(), QStringList());
}

}  // namespace
