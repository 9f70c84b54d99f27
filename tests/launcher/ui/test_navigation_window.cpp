// The drive and folder lists in the window: the browsing layout, the keyboard walk between
// folders, the folder picker and the file list's right click.

#include "launcher/ui/PictureBox.h"
#include "launcher/ui/WindowFixture.h"
#include "launcher/window/FolderNavigation.h"
#include "platform/FileNames.h"
#include "support/RawFiles.h"

#include <QDirIterator>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>

namespace {

class NavigationTest : public WindowTest {
protected:
    QWidget* focused() const { return QApplication::focusWidget(); }
    bool onFiles() const { return window->Files->isAncestorOf(focused()); }
    void press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(w, key, mods);
    }
    void escapeOnFiles() {
        int key = 27, shift = 0;
        window->Files_KeyDown(key, shift);
    }
    // Highlights the row of `path` the way a user does, with Down from the folder itself.
    void downTo(const QString& path) {
        for (int i = 0; i < window->dirList->count(); ++i) {
            if (window->dirListList(window->dirList->currentRow()) == path) return;
            press(window->dirList, Qt::Key_Down);
        }
        FAIL() << "no row " << path.toStdString();
    }
    QString sub(const QString& relative) const { return emu.path() + '/' + relative; }
};

// Each folder-list key reaches FolderListKey once; the rules themselves are checked there.
TEST_F(NavigationTest, KeyboardWalkToAnotherFolderAndBack) {
    program("zsnes");
    roms({"a.smc"});
    emu.write("games/c.smc");
    emu.write("games/snes/d.smc");
    start(Shown::Active);
    const QRect frame = window->frmShot->geometry();
    window->Files->setFocus();
    press(focused(), Qt::Key_Escape);
    ASSERT_TRUE(window->dirList->isVisible());
    EXPECT_TRUE(window->driveList->isVisible());
    EXPECT_EQ(window->dirListPath(), sub("roms"));
    EXPECT_TRUE(onFiles());
    // The browsing layout (its arithmetic is FolderNavigation's) is applied.
    EXPECT_EQ(window->Files->geometry().topLeft(), QPoint(frame.left() + 4, 0));
    EXPECT_NEAR(window->Files->height(), frame.height() * 0.6, 1);  // no picture: 0.6
    // Shift alone keeps the focus in the command line box; its Escape hands it on.
    press(focused(), Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(focused(), window->txtCommandLine);
    press(window->txtCommandLine, Qt::Key_Escape);
    ASSERT_EQ(focused(), window->dirList);

    press(window->dirList, Qt::Key_Left);
    EXPECT_EQ(window->dirListPath(), emu.path());
    EXPECT_EQ(window->Files->ListCount(), 0);
    downTo(sub("games"));
    press(window->dirList, Qt::Key_Right);  // the file list is empty: opens
    EXPECT_EQ(window->dirListPath(), sub("games"));
    EXPECT_EQ(window->Files->ListCount(), 1);  // listed at once, the lists still open
    press(window->dirList, Qt::Key_Right);     // files listed: Right goes to them
    EXPECT_TRUE(onFiles());
    press(focused(), Qt::Key_Escape);  // closes on the folder reached, in the standard layout
    EXPECT_FALSE(window->dirList->isVisible());
    EXPECT_EQ(window->Files->path(), sub("games/"));
    EXPECT_EQ(window->Files->geometry(), QRect(0, 0, window->dirList->width(), frame.height()));
    EXPECT_EQ(window->imgShot->geometry(), QRect(QPoint(0, 0), frame.size()));

    press(focused(), Qt::Key_Escape);  // open again, then Escape from the folder list itself
    window->dirList->setFocus();
    downTo(sub("games/snes"));
    press(window->dirList, Qt::Key_Return);
    press(window->dirList, Qt::Key_Escape);
    EXPECT_FALSE(window->dirList->isVisible());
    EXPECT_EQ(window->Files->path(), sub("games/snes/"));
    EXPECT_TRUE(onFiles());
}

// Left at a volume root reaches the drive list; a volume gone since it was listed changes
// nothing; "/" is always there and going up from it stays there.
TEST_F(NavigationTest, VolumeRootsAndTheDriveList) {
    program("zsnes");
    roms({"a.smc"});
    volumes.rootList = {"/", emu.path() + '/', "/no-such-volume-rombard/"};
    start(Shown::Active);
    escapeOnFiles();
    ASSERT_EQ(window->driveList->count(), 3);
    window->driveList->setCurrentIndex(2);
    EXPECT_EQ(window->dirListPath(), sub("roms"));
    EXPECT_EQ(window->Drive(), emu.path() + '/');
    window->dirList->setFocus();
    press(window->dirList, Qt::Key_Left);
    EXPECT_EQ(focused(), window->dirList);
    press(window->dirList, Qt::Key_Left);  // a volume root now
    EXPECT_EQ(window->dirListPath(), emu.path());
    EXPECT_EQ(focused(), window->driveList);
    press(window->driveList, Qt::Key_Right);
    EXPECT_EQ(focused(), window->dirList);
    window->driveList->setFocus();
    press(window->driveList, Qt::Key_Left);
    EXPECT_TRUE(onFiles());

    window->driveList->setCurrentIndex(0);
    EXPECT_EQ(window->dirListPath(), "/");
    EXPECT_EQ(window->Files->path(), "/");
    window->dirList->setFocus();
    press(window->dirList, Qt::Key_Backspace);
    EXPECT_EQ(window->dirListPath(), "/");
    press(window->dirList, Qt::Key_Left);
    EXPECT_EQ(focused(), window->driveList);

    // The browse button's arrows: Left and Backspace to the command line box, Right to the list.
    for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Backspace, Qt::Key_Right}) {
        window->btnBrowse->setFocus();
        press(window->btnBrowse, key);
        EXPECT_EQ(key == Qt::Key_Right ? onFiles() : focused() == window->txtCommandLine, true)
            << key;
    }
}

// Folders that are many, vanish, loop or have names that are not UTF-8 are shown as far as
// they can be read; nothing on disk changes. (Twenty thousand sub-folders: bench_navigation.)
TEST_F(NavigationTest, AwkwardFoldersAreShownAsFarAsTheyCanBeRead) {
    program("zsnes");
    roms({"a.smc"});
    const QString many = emu.mkdir("many");
    for (int i = 0; i < 300; ++i)
        emu.mkdir(QStringLiteral("many/%1Game %2").arg(QChar(i % 2 ? 'g' : 'G')).arg(i));
    const QString french = sub(platform::decodeName("Jeux fran\xe7"));
    const raw::RemoveTree cleanup(french);  // QTemporaryDir cannot spell it
    ASSERT_TRUE(raw::mkdir(french));
    ASSERT_TRUE(raw::write(french + "/x.smc", "x"));
    ASSERT_TRUE(raw::link(".", sub("loop")));
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

    ASSERT_TRUE(window->setDirListPath(many));
    const int ancestors = int(AncestorsOf(many).size());
    ASSERT_EQ(window->dirList->count(), ancestors + 300);
    EXPECT_EQ(window->dirListList(ancestors), many + "/GGame 0");
    EXPECT_EQ(window->dirListList(ancestors + 1), many + "/gGame 1");

    ASSERT_TRUE(window->setDirListPath(french));
    EXPECT_EQ(window->Files->ListCount(), 1);

    ASSERT_TRUE(window->setDirListPath(sub("loop/loop/loop")));
    EXPECT_EQ(window->dirListPath(), sub("loop/loop/loop"));

    ASSERT_TRUE(window->setDirListPath(sub("soon-gone")));
    ASSERT_TRUE(QDir(emu.path()).rmdir("soon-gone"));
    window->dirListRefresh();
    EXPECT_EQ(window->dirList->count(), AncestorsOf(sub("soon-gone")).size());
    EXPECT_FALSE(window->setDirListPath(sub("soon-gone")));
    window->dirList->setFocus();
    press(window->dirList, Qt::Key_Backspace);
    EXPECT_EQ(window->dirListPath(), emu.path());
    press(window->dirList, Qt::Key_Escape);
    EXPECT_EQ(window->Files->path(), sub("roms/"));  // nothing to list there: the roms

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
    window->btnBrowse_Click();  // cancelled
    ASSERT_EQ(dialogs.folderPicks.size(), 1);
    // The fake records the picker's title as text and its start folder as title.
    EXPECT_EQ(dialogs.folderPicks[0].text, "Select Emulator/ROMs folder:");
    EXPECT_EQ(dialogs.folderPicks[0].title, sub("roms/"));
    EXPECT_EQ(settings.writes().size(), writes);
    EXPECT_EQ(window->Files->path(), sub("roms/"));

    dialogs.folderAnswers = {games};
    QTest::mouseClick(window->btnBrowse, Qt::LeftButton);
    EXPECT_EQ(window->Files->path(), games + '/');
    EXPECT_EQ(window->cmbEmu->count(), 1);
    EXPECT_EQ(window->EmulatorFolder, folder());
    EXPECT_TRUE(settings.writes().contains("set zsnes.exe roms=" + games + '/'));
}

// With no emulator selected the picked folder is scanned for emulators first.
TEST_F(NavigationTest, BrowsingWithoutAnEmulatorRescansTheChosenFolder) {
    TempFolder other;
    program("zsnes", &other);
    other.write("roms/a.smc");
    start();
    dialogs.folderAnswers = {other.path()};
    window->btnBrowse_Click();
    EXPECT_EQ(window->EmulatorFolder, other.path() + '/');
    EXPECT_EQ(window->CurrentEmulator, "zsnes.exe");
    EXPECT_EQ(window->Files->path(), other.path() + "/roms/");  // no games in the folder itself
    EXPECT_TRUE(settings.writes().contains("set zsnes.exe roms=" + other.path() + "/roms/"));
}

// Right click opens the listed folder (left click starts nothing); a header click reaches the
// list's own sort (its keys are checked with the folder list).
TEST_F(NavigationTest, RightClickOpensTheListedFolderAndHeadersSort) {
    program("zsnes");
    emu.write("roms/b.smc", "xxx");
    emu.write("roms/a.smc", "x");
    emu.write("roms/c.smc", "xx");
    start(Shown::Yes);
    auto* view = qobject_cast<QTreeView*>(window->Files->currentView());
    ASSERT_NE(view, nullptr);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_TRUE(shell.opened.isEmpty());
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(20, 5));
    EXPECT_EQ(shell.opened, QStringList{sub("roms/")});
    EXPECT_TRUE(shell.started.isEmpty());

    QHeaderView* header = view->header();
    const QPoint size(header->sectionViewportPosition(1) + header->sectionSize(1) / 2,
                      header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, size);
    EXPECT_EQ(listed(), QStringList({"a.smc", "c.smc", "b.smc"}));
}

}  // namespace
