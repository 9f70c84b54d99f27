// The keyboard path between the controls, F1, what a screen reader is told, the folder lists.

#include "launcher/ui/WindowFixture.h"
#include "launcher/window/FolderNavigation.h"
#include "launcher/window/KeyReference.h"
#include "support/RawFiles.h"

#include <QAccessible>
#include <QDialog>
#include <QHeaderView>
#include <QKeySequence>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTreeView>

#include <vector>

namespace {

enum class Layout { Standard, Browsing };

// What a key does besides moving the focus, where that is part of the route.
enum class Effect {
    None,
    FileRowDown,    // the file list's selection moved from the first file to the second
    FolderRowDown,  // the folder list's highlight moved one row down
    ListsHidden,
    FolderUp,  // the folder list, and so the file list, went up to the emulator folder
};

struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers mods = Qt::NoModifier;
};

struct Route {
    Layout layout;
    const char* from;
    std::vector<Key> before;  // pressed first, to reach the place the route starts from
    Key key;
    const char* to;
    Effect effect = Effect::None;
};

const char* const kControls[] = {"Files",   "txtCommandLine", "cmbEmu",
                                 "dirList", "driveList",      "btnBrowse"};

class KeyboardPaths : public WindowTest {
protected:
    // Two games and a sub-folder; the emulator folder is a volume, so Left reaches the drives.
    void open() {
        volumes.rootList = {"/", folder()};
        startWith("zsnes", {"a.smc", "b.smc", "more/c.smc"}, Shown::Active);
    }

    QWidget* control(const char* name) const { return WindowTest::control<QWidget>(name); }

    // The named control that holds the focus, the file list's inner view counting as the list.
    static QString focusedControl() {
        for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
            for (const char* name : kControls)
                if (w->objectName() == QLatin1String(name)) return w->objectName();
        QWidget* w = QApplication::focusWidget();
        return w ? QStringLiteral("(a %1)").arg(w->metaObject()->className())
                 : QStringLiteral("(nothing)");
    }

    // One event to the focus now: a key that moves it sends its release elsewhere.
    static void send(bool down, Qt::Key key, Qt::KeyboardModifiers held, const QString& text = {}) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::simulateEvent(target, down, key, held, text, false);
    }
    // A key as typed: modifiers down one by one, the key down and up, the modifiers up.
    static void press(Key k) {
        const std::pair<Qt::KeyboardModifier, Qt::Key> modifiers[] = {
            {Qt::ShiftModifier, Qt::Key_Shift},
            {Qt::ControlModifier, Qt::Key_Control},
            {Qt::AltModifier, Qt::Key_Alt}};
        Qt::KeyboardModifiers held;
        for (const auto& [flag, key] : modifiers) {
            if (!(k.mods & flag)) continue;
            send(true, key, held);
            held |= flag;
        }
        const char ascii = QTest::keyToAscii(k.key);
        QString text = ascii ? QString(QChar::fromLatin1(ascii)) : QString();
        if (held & Qt::ShiftModifier) text = text.toUpper();
        send(true, k.key, held, text);
        send(false, k.key, held, text);
        for (auto m = std::rbegin(modifiers); m != std::rend(modifiers); ++m) {
            if (!(held & m->first)) continue;
            send(false, m->second, held);
            held &= ~m->first;
        }
    }
    // `key` clicked on `w`, then what it looks up off the window's thread waited for.
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
    void focus(const char* name) {
        control(name)->setFocus();
        QApplication::processEvents();
        ASSERT_EQ(focusedControl(), QString::fromLatin1(name));
    }
};

constexpr auto Shift = Qt::ShiftModifier;
constexpr Layout Std = Layout::Standard;
constexpr Layout Brw = Layout::Browsing;

// Every route of the keyboard path, in both layouts: where the focus is after the key.
TEST_F(KeyboardPaths, EveryRouteBetweenTheControls) {
    const Route routes[] = {
        // The file list: every key ends on the list unless Shift leaves the command line box.
        {Std, "Files", {}, {Qt::Key_Left, Shift}, "txtCommandLine"},
        {Std, "Files", {}, {Qt::Key_Down}, "Files", Effect::FileRowDown},
        {Std, "Files", {}, {Qt::Key_Down, Shift}, "txtCommandLine", Effect::FileRowDown},
        {Brw, "Files", {}, {Qt::Key_Escape}, "Files", Effect::ListsHidden},
        {Brw, "Files", {{Qt::Key_Left, Shift}}, {Qt::Key_PageDown}, "dirList"},
        // The command line box hands the focus to the list its arrows move.
        {Std, "txtCommandLine", {}, {Qt::Key_PageDown}, "Files"},
        {Std, "txtCommandLine", {}, {Qt::Key_Down}, "txtCommandLine", Effect::FileRowDown},
        {Brw, "txtCommandLine", {}, {Qt::Key_PageDown}, "dirList"},
        {Brw, "txtCommandLine", {}, {Qt::Key_Down}, "txtCommandLine", Effect::FolderRowDown},
        {Brw, "txtCommandLine", {}, {Qt::Key_Left}, "Files"},
        // The folder list: Right to the games, Left at the volume root to the drive list.
        {Brw, "dirList", {}, {Qt::Key_Down}, "dirList", Effect::FolderRowDown},
        {Brw, "dirList", {}, {Qt::Key_Right}, "Files"},
        {Brw, "dirList", {{Qt::Key_Left}}, {Qt::Key_Left}, "driveList", Effect::FolderUp},
        {Brw, "driveList", {}, {Qt::Key_Right}, "dirList"},
        {Brw, "driveList", {}, {Qt::Key_Left}, "Files"},
        // The emulator box and the browse button (alike in both layouts; Space clicks).
        {Std, "cmbEmu", {}, {Qt::Key_Right}, "txtCommandLine"},
        {Std, "cmbEmu", {}, {Qt::Key_Left}, "Files"},
        {Std, "btnBrowse", {}, {Qt::Key_Right}, "Files"},
        {Std, "btnBrowse", {}, {Qt::Key_Left}, "txtCommandLine"},
        {Std, "btnBrowse", {}, {Qt::Key_Backspace}, "txtCommandLine"},
        {Std, "btnBrowse", {}, {Qt::Key_Space}, "btnBrowse"},
    };
    for (const Route& r : routes) {
        SCOPED_TRACE(QStringLiteral("%1 layout, %3 on %2")
                         .arg(r.layout == Std ? "standard" : "browsing", r.from,
                              QKeySequence(r.key.key | r.key.mods).toString())
                         .toStdString());
        window.reset();
        open();
        files()->setListIndex(0);
        if (r.layout == Brw) {
            focus("Files");
            press(Key{Qt::Key_Escape});
            ASSERT_TRUE(control("dirList")->isVisible());
            settle();
        }
        focus(r.from);
        for (const Key& k : r.before) {
            press(k);
            settle();  // a folder's rows come from a thread
        }
        const int folderRow = folderList()->currentRow();
        press(r.key);
        settle();
        EXPECT_EQ(focusedControl(), QString::fromLatin1(r.to));
        // Besides its effect, a key leaves the lists, the folder and the selection alone.
        const bool listsShown = r.layout == Brw && r.effect != Effect::ListsHidden;
        EXPECT_EQ(control("dirList")->isVisible(), listsShown);
        EXPECT_EQ(control("driveList")->isVisible(), listsShown);
        EXPECT_EQ(folderList()->currentRow(), folderRow + (r.effect == Effect::FolderRowDown));
        EXPECT_EQ(files()->path(), r.effect == Effect::FolderUp ? folder() : folder() + "roms/");
        if (r.effect != Effect::FolderUp) {
            EXPECT_EQ(files()->listIndex(), r.effect == Effect::FileRowDown ? 1 : 0);
        }
    }
}

// The focus keys never scroll a wide list sideways; after Shift+Right typing reaches the box.
TEST_F(KeyboardPaths, FocusKeysLeaveAWideListWhereItIs) {
    open();
    focus("Files");
    auto* view = qobject_cast<QTreeView*>(files()->currentView());
    ASSERT_NE(view, nullptr);
    view->header()->resizeSection(0, view->viewport()->width() * 3);
    QApplication::processEvents();
    QScrollBar* bar = view->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    for (const Qt::Key k : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Backspace, Qt::Key_Space}) {
        SCOPED_TRACE(QKeySequence(k).toString().toStdString());
        bar->setValue(bar->maximum() / 2);  // room to scroll either way
        press(Key{k});
        EXPECT_EQ(bar->value(), bar->maximum() / 2);
        EXPECT_EQ(focusedControl(), "Files");
        EXPECT_EQ(files()->listIndex(), 0);
    }
    for (const Key k : {Key{Qt::Key_Right, Shift}, Key{Qt::Key_A}, Key{Qt::Key_B}})
        press(k);
    EXPECT_EQ(focusedControl(), "txtCommandLine");
    EXPECT_EQ(qobject_cast<QLineEdit*>(control("txtCommandLine"))->text(), "ab");
}

TEST_F(KeyboardPaths, F1ShowsTheKeyTableAndF1OrEscapeClosesIt) {
    open();
    focus("Files");
    for (const bool fromCommandLine : {false, true}) {
        SCOPED_TRACE(fromCommandLine ? "from the command line box, F1 closes" : "Escape closes");
        if (fromCommandLine) {
            pressHere(Qt::Key_Right, Qt::ShiftModifier);
            ASSERT_EQ(focused(), commandLine());
        }
        pressHere(Qt::Key_F1);
        auto* shown = window->findChild<QDialog*>("keyReference");
        ASSERT_NE(shown, nullptr);
        activate(shown);
        const QString table = shown->findChild<QTextBrowser*>()->toPlainText();
        for (const KeyReferenceSection& section : keyReferenceSections())
            for (const KeyReferenceRow& row : section.rows)
                EXPECT_TRUE(table.contains(row.what)) << row.what.toStdString();
        pressHere(fromCommandLine ? Qt::Key_F1 : Qt::Key_Escape);
        QApplication::processEvents();
        EXPECT_FALSE(shown->isVisible());
        activate();
        focus("Files");
    }
}

// Every node a screen reader would visit, depth first.
void walk(QAccessibleInterface* node, const std::function<void(QAccessibleInterface*)>& visit) {
    if (!node || node->state().invisible) return;
    visit(node);
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), visit);
}

TEST_F(KeyboardPaths, EveryControlIsNamedAndNothingIsReadTwice) {
    program("Nestopia");
    for (const char* name : {"Pac-Man.nes", "Zelda.nes"})
        emu.write(QStringLiteral("roms/") + name, QByteArray(4096, 'x'));
    start(Shown::Active);
    focus("Files");
    pressHere(Qt::Key_Down);  // Zelda: its title is shown
    ASSERT_FALSE(title()->text().isEmpty());
    for (const bool foldersShown : {false, true}) {
        SCOPED_TRACE(foldersShown ? "folder lists shown" : "file list shown");
        if (foldersShown) {
            pressHere(Qt::Key_Escape);
            ASSERT_TRUE(folderList()->isVisible());
        }
        // Every control that takes the focus has a name of its own, not its value.
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!w->isVisible() || w->focusPolicy() == Qt::NoFocus) continue;
            EXPECT_FALSE(w->accessibleName().isEmpty())
                << w->metaObject()->className() << " " << w->objectName().toStdString();
        }
        int titles = 0;
        walk(QAccessible::queryAccessibleInterface(window.get()), [&](QAccessibleInterface* n) {
            if (n->role() == QAccessible::StaticText &&
                n->text(QAccessible::Name) == title()->text())
                ++titles;
            QAccessibleTableInterface* table = n->tableInterface();
            if (!table) return;
            // The columns a user sees, each with its header, and no raw byte count.
            for (int col = 0; col < table->columnCount(); ++col) {
                EXPECT_FALSE(table->columnDescription(col).isEmpty()) << "column " << col;
                for (int row = 0; row < table->rowCount(); ++row) {
                    QAccessibleInterface* cell = table->cellAt(row, col);
                    ASSERT_NE(cell, nullptr);
                    EXPECT_NE(cell->text(QAccessible::Name), "4096") << row << "," << col;
                }
            }
        });
        EXPECT_EQ(titles, 1);  // the shadow draws it too, but is not read
    }
    // A box is read by what it is for, then the entry chosen.
    ASSERT_GT(driveList()->count(), 0);
    for (const auto& [box, name] : {std::pair{emulatorBox(), "Emulator"}, {driveList(), "Drive"}}) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(box);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->text(QAccessible::Name), name);
        EXPECT_EQ(node->text(QAccessible::Value), box->currentText());
        EXPECT_FALSE(box->currentText().isEmpty()) << name;
    }
}

// A folder change selects and shows the game chosen there before, else the first, or none.
TEST_F(KeyboardPaths, AFolderChangeSelectsAndShowsAGame) {
    emu.write("games/c.smc");
    emu.write("games/d.smc");
    startWith("zsnes", {"a.smc", "b.smc"}, Shown::Active);
    const QRect frame = previewFrame()->geometry();
    files()->setFocus();
    press(focused(), Qt::Key_Down);
    ASSERT_EQ(files()->fileName(), "b.smc");
    press(focused(), Qt::Key_Escape);
    // The browsing layout (its arithmetic is FolderNavigation's) is applied, and undone.
    EXPECT_EQ(files()->geometry().topLeft(), QPoint(frame.left() + 4, 0));
    EXPECT_NEAR(files()->height(), frame.height() * 0.6, 1);  // no picture: 0.6
    folderList()->setFocus();
    auto* ring = control("focusRing");
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
    EXPECT_TRUE(holds(title()->toolTip(), "Size"));
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
}

// A volume gone since it was listed changes nothing; Left at "/" reaches the drive list.
TEST_F(KeyboardPaths, VolumeRootsAndTheDriveList) {
    volumes.rootList = {"/", folder(), "/no-such-volume-rombard/"};
    startWith("zsnes", {"a.smc"}, Shown::Active);
    escapeOnFiles();
    ASSERT_EQ(driveList()->count(), 3);
    driveList()->setCurrentIndex(2);
    settle();
    EXPECT_EQ(window->folderListPath(), folder() + "roms");
    EXPECT_EQ(driveList()->currentData().toString(), folder());
    driveList()->setCurrentIndex(0);
    settle();
    EXPECT_EQ(window->folderListPath(), "/");
    EXPECT_EQ(files()->path(), "/");
    folderList()->setFocus();
    press(folderList(), Qt::Key_Left);  // the first volume, too
    EXPECT_EQ(focused(), driveList());
}

// Folders that are many or vanish are shown as far as they can be read; nothing on disk changes.
TEST_F(KeyboardPaths, AwkwardFoldersAreShownAsFarAsTheyCanBeRead) {
    const QString many = emu.mkdir("many");
    for (int i = 0; i < 300; ++i)
        emu.mkdir(QStringLiteral("many/Game %1").arg(i));
    emu.mkdir("soon-gone");
    startWith("zsnes", {"a.smc"}, Shown::Active);
    const QStringList before = raw::tree(emu.path());
    escapeOnFiles();

    const auto go = [&](const QString& path) {
        window->setFolderListPath(path);
        settle();
    };
    go(many);
    EXPECT_EQ(folderList()->count(), ancestorsOf(many).size() + 300);

    go(folder() + "soon-gone");
    ASSERT_TRUE(QDir(emu.path()).rmdir("soon-gone"));
    window->refreshFolderList();
    settle();
    EXPECT_EQ(folderList()->count(), ancestorsOf(folder() + "soon-gone").size());
    go(many);
    go(folder() + "soon-gone");  // cannot be entered: back where it was
    EXPECT_EQ(window->folderListPath(), many);
    folderList()->setFocus();
    press(folderList(), Qt::Key_Backspace);
    EXPECT_EQ(window->folderListPath(), emu.path());
    press(folderList(), Qt::Key_Escape);
    EXPECT_EQ(files()->path(), folder() + "roms/");  // nothing to list there: the roms

    QStringList expected = before;
    expected.removeOne("soon-gone/");
    EXPECT_EQ(raw::tree(emu.path()), expected);
}

TEST_F(KeyboardPaths, BrowseButtonAndRightClick) {
    const QString games = emu.mkdir("games");
    emu.write("games/b.smc");
    startWith("zsnes", {"a.smc"}, Shown::Yes);
    program("snes9x");  // arrives later: only a rescan would find it

    const int writes = int(settings.writes().size());
    QTest::mouseClick(browseButton(), Qt::LeftButton);  // cancelled
    ASSERT_EQ(dialogs.folderPicks.size(), 1);
    EXPECT_EQ(dialogs.folderPicks[0].title, folder() + "roms/");  // the fake's start folder
    EXPECT_EQ(settings.writes().size(), writes);
    EXPECT_EQ(files()->path(), folder() + "roms/");
    // Right click opens the listed folder; left click starts nothing.
    auto* view = qobject_cast<QTreeView*>(files()->currentView());
    ASSERT_NE(view, nullptr);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_TRUE(shell.opened.isEmpty());
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(20, 5));
    EXPECT_EQ(shell.opened, QStringList{folder() + "roms/"});
    EXPECT_TRUE(shell.started.isEmpty());

    dialogs.folderAnswers = {games};
    QTest::mouseClick(browseButton(), Qt::LeftButton);
    EXPECT_EQ(files()->path(), games + '/');
    EXPECT_EQ(title()->text(), "b");       // its first game, shown
    EXPECT_EQ(emulatorBox()->count(), 1);  // not scanned again
    EXPECT_TRUE(settings.writes().contains("set zsnes.exe roms=" + games + '/'));
}

}  // namespace
