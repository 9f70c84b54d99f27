// The drive and folder lists in the window: the browsing layout, the keyboard walk between
// folders, the folder picker and the file list's right click.

#include "launcher/ui/WindowFixture.h"
#include "launcher/window/FolderNavigation.h"
#include "launcher/window/StartFolder.h"

#include <QDirIterator>
#include <QTreeView>

namespace {

class NavigationTest : public WindowTest {
protected:
    void press(QWidget* w, Qt::Key key) {
        QTest::keyClick(w, key);
        settle();
    }
    void escapeOnFiles() {
        files()->setFocus();
        press(focused(), Qt::Key_Escape);
    }
    // Highlights the row named `name` the way a user does, with Down from the folder itself.
    void downTo(const QString& name) {
        for (int i = 0; i < folderList()->count(); ++i) {
            if (folderList()->currentItem()->text() == name) return;
            press(folderList(), Qt::Key_Down);
        }
        FAIL() << "no row " << name.toStdString();
    }
    QString sub(const QString& relative) const { return emu.path() + '/' + relative; }
};

// Every change of the listed folder leaves a game selected and shown: the one chosen there
// before, else the first; a folder without games shows none. Escape keeps the selection,
// and the drive and folder lists show where the focus is.
TEST_F(NavigationTest, AFolderChangeSelectsAndShowsAGame) {
    program("zsnes");
    roms({"a.smc", "b.smc"});
    emu.write("games/c.smc");
    emu.write("games/d.smc");
    start(Shown::Active);
    const QRect frame = previewFrame()->geometry();
    files()->setFocus();
    press(focused(), Qt::Key_Down);
    ASSERT_EQ(files()->fileName(), "b.smc");
    press(focused(), Qt::Key_Escape);
    // The browsing layout (its arithmetic is FolderNavigation's) is applied, and undone.
    EXPECT_EQ(files()->geometry().topLeft(), QPoint(frame.left() + 4, 0));
    EXPECT_NEAR(files()->height(), frame.height() * 0.6, 1);  // no picture: 0.6
    folderList()->setFocus();
    auto* ring = control<QWidget>("focusRing");
    EXPECT_TRUE(ring->isVisible());
    EXPECT_TRUE(ring->geometry().contains(folderList()->geometry()));

    press(folderList(), Qt::Key_Left);  // the emulator folder: no games
    EXPECT_EQ(files()->listIndex(), -1);
    EXPECT_EQ(title()->text(), "");
    EXPECT_EQ(title()->toolTip(), "");
    downTo("games");
    press(folderList(), Qt::Key_Right);  // opens: the first game, shown
    EXPECT_EQ(files()->fileName(), "c.smc");
    EXPECT_EQ(title()->text(), "c");
    EXPECT_TRUE(title()->toolTip().contains("Size")) << title()->toolTip().toStdString();
    press(folderList(), Qt::Key_Left);
    downTo("roms");
    press(folderList(), Qt::Key_Right);  // the game chosen there before
    EXPECT_EQ(files()->fileName(), "b.smc");
    EXPECT_EQ(title()->text(), "b");
    press(folderList(), Qt::Key_Escape);
    EXPECT_FALSE(ring->isVisible());
    EXPECT_TRUE(onFiles());
    EXPECT_EQ(files()->fileName(), "b.smc");
    EXPECT_EQ(files()->geometry(), QRect(0, 0, folderList()->width(), frame.height()));
    EXPECT_EQ(picture()->geometry(), QRect(QPoint(0, 0), frame.size()));

    dialogs.folderAnswers = {sub("games")};
    QTest::mouseClick(browseButton(), Qt::LeftButton);
    EXPECT_EQ(files()->fileName(), "c.smc");
    EXPECT_EQ(title()->text(), "c");
}

// A volume gone since it was listed changes nothing; "/" is always there and going up from it
// stays there (Left at a volume root to the drive list: KeyboardPaths).
TEST_F(NavigationTest, VolumeRootsAndTheDriveList) {
    program("zsnes");
    roms({"a.smc"});
    volumes.rootList = {"/", emu.path() + '/', "/no-such-volume-rombard/"};
    start(Shown::Active);
    escapeOnFiles();
    ASSERT_EQ(driveList()->count(), 3);
    driveList()->setCurrentIndex(2);
    settle();
    EXPECT_EQ(window->folderListPath(), sub("roms"));
    EXPECT_EQ(driveList()->currentData().toString(), emu.path() + '/');
    driveList()->setCurrentIndex(0);
    settle();
    EXPECT_EQ(window->folderListPath(), "/");
    EXPECT_EQ(files()->path(), "/");
    folderList()->setFocus();
    press(folderList(), Qt::Key_Backspace);
    EXPECT_EQ(window->folderListPath(), "/");
    press(folderList(), Qt::Key_Left);
    EXPECT_EQ(focused(), driveList());
}

// Folders that are many or vanish are shown as far as they can be read; nothing on disk
// changes. (Names that are not UTF-8 and loops: FolderNavigation's tests; twenty thousand
// sub-folders: bench_navigation.)
TEST_F(NavigationTest, AwkwardFoldersAreShownAsFarAsTheyCanBeRead) {
    program("zsnes");
    roms({"a.smc"});
    const QString many = emu.mkdir("many");
    for (int i = 0; i < 300; ++i)
        emu.mkdir(QStringLiteral("many/%1Game %2").arg(QChar(i % 2 ? 'g' : 'G')).arg(i));
    emu.mkdir("soon-gone");
    start(Shown::Active);
    // Every name with its modification time; links as links.
    const auto snapshot = [&] {
        QStringList out;
        QDirIterator it(emu.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo f = it.nextFileInfo();
            out << f.filePath() + ' ' +
                       (f.isSymLink() ? f.symLinkTarget()
                                      : QString::number(f.lastModified().toMSecsSinceEpoch()));
        }
        out.sort();
        return out;
    };
    const QStringList before = snapshot();
    escapeOnFiles();

    const auto go = [&](const QString& path) {
        window->setFolderListPath(path);
        settle();
    };
    go(many);
    const int ancestors = int(ancestorsOf(many).size());
    ASSERT_EQ(folderList()->count(), ancestors + 300);
    EXPECT_EQ(folderList()->item(ancestors)->text(), "GGame 0");
    EXPECT_EQ(folderList()->item(ancestors + 1)->text(), "gGame 1");

    go(sub("soon-gone"));
    ASSERT_TRUE(QDir(emu.path()).rmdir("soon-gone"));
    window->refreshFolderList();
    settle();
    EXPECT_EQ(folderList()->count(), ancestorsOf(sub("soon-gone")).size());
    go(many);
    go(sub("soon-gone"));  // cannot be entered: back where it was
    EXPECT_EQ(window->folderListPath(), many);
    folderList()->setFocus();
    press(folderList(), Qt::Key_Backspace);
    EXPECT_EQ(window->folderListPath(), emu.path());
    press(folderList(), Qt::Key_Escape);
    EXPECT_EQ(files()->path(), sub("roms/"));  // nothing to list there: the roms

    QStringList expected = before;
    expected.removeIf([](const QString& line) { return line.contains("/soon-gone "); });
    EXPECT_EQ(snapshot(), expected);
}

TEST_F(NavigationTest, BrowseButtonPointsTheListOrAdoptsAnEmulatorFolder) {
    program("zsnes");
    roms({"a.smc"});
    const QString games = emu.mkdir("games");
    emu.write("games/b.smc");
    start(Shown::Yes);
    program("snes9x");  // arrives later: only a rescan would find it

    const int writes = int(settings.writes().size());
    QTest::mouseClick(browseButton(), Qt::LeftButton);  // cancelled
    ASSERT_EQ(dialogs.folderPicks.size(), 1);
    // The fake records the picker's title as text and its start folder as title.
    EXPECT_EQ(dialogs.folderPicks[0].text, kPickerTitle);
    EXPECT_EQ(dialogs.folderPicks[0].title, sub("roms/"));
    EXPECT_EQ(settings.writes().size(), writes);
    EXPECT_EQ(files()->path(), sub("roms/"));

    dialogs.folderAnswers = {games};
    QTest::mouseClick(browseButton(), Qt::LeftButton);
    EXPECT_EQ(files()->path(), games + '/');
    EXPECT_EQ(emulatorBox()->count(), 1);  // not scanned again
    EXPECT_TRUE(settings.writes().contains("set zsnes.exe roms=" + games + '/'));
}

// Right click opens the listed folder; left click starts nothing.
TEST_F(NavigationTest, RightClickOpensTheListedFolder) {
    program("zsnes");
    roms({"a.smc"});
    start(Shown::Yes);
    auto* view = qobject_cast<QTreeView*>(files()->currentView());
    ASSERT_NE(view, nullptr);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_TRUE(shell.opened.isEmpty());
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(20, 5));
    EXPECT_EQ(shell.opened, QStringList{sub("roms/")});
    EXPECT_TRUE(shell.started.isEmpty());
}

}  // namespace
