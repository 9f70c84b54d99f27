// The file list's keys pressed for real on the focused list: Enter's launch against open,
// F5's rescan, the selection after a delete and a key macro's own movement against the
// refresh's reselection.

#include "launcher/ui/WindowFixture.h"
#include "platform/ui/FocusKeystrokeSender.h"

#include <QDir>
#include <QLineEdit>
#include <QTimer>

namespace {

class WindowKeys : public WindowTest {
protected:
    void SetUp() override {
        // Delete moves files to the trash; it must be a temporary one.
        m_oldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", trash.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_DATA_HOME", m_oldDataHome); }

    // The active window over roms holding `names`, the focus on the list and its first
    // row selected.
    void open(const QStringList& names) {
        openRoms(names);
        focusList();
    }
    void focusList() {
        files()->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(onFiles());
    }
    static QWidget* focused() { return QApplication::focusWidget(); }
    bool onFiles() const { return files()->isAncestorOf(focused()); }
    // A key pressed and released on whatever has the focus, as a user's keyboard does.
    static void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = focused();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key, mods);
    }
    QStringList onDisk() const {
        return QDir(emu.file("roms")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    TempFolder trash;

private:
    QByteArray m_oldDataHome;
};

constexpr auto None = Qt::NoModifier;
constexpr auto Shift = Qt::ShiftModifier;

// Shift+Enter hands the file to the desktop, Enter launches (the other modifiers are the
// key rules' business).
TEST_F(WindowKeys, ShiftEnterOpensTheFileEnterLaunches) {
    open({"a.nes"});
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        bool opens;
    };
    const Case cases[] = {
        {Qt::Key_Return, None, false},
        {Qt::Key_Return, Shift, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("key %1 modifiers %2").arg(c.key).arg(int(c.mods)).toStdString());
        shell.started.clear();
        shell.opened.clear();
        focusList();
        press(c.key, c.mods);
        EXPECT_EQ(shell.started.size(), c.opens ? 0 : 1);
        EXPECT_EQ(shell.opened, c.opens ? QStringList{folder() + "roms/a.nes"} : QStringList{});
        // The launch minimised the window; the poll finds the emulator gone and restores it.
        emulatorPoll()->setInterval(1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !emulatorPoll()->isActive(); }));
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
}

// Shift+Enter on a file the desktop has no program for says so, in the window.
TEST_F(WindowKeys, ShiftEnterWithNoProgramForTheFileSaysSo) {
    open({"a.nes"});
    shell.openResult = false;
    focusList();
    press(Qt::Key_Return, Shift);
    ASSERT_EQ(shell.opened, QStringList{folder() + "roms/a.nes"});
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.first().text.contains("\"a.nes\"") &&
                dialogs.messages.first().text.contains("No program"))
        << dialogs.messages.first().text.toStdString();
    shell.openResult = true;
    press(Qt::Key_Return, Shift);
    EXPECT_EQ(dialogs.messages.size(), 1);  // opened: nothing to say
}

// F5 looks at the emulator folder again: a program added since start-up appears then.
TEST_F(WindowKeys, F5RescansTheEmulatorFolder) {
    open({"a.nes"});
    program("zsnes");
    const auto names = [this] {
        QStringList out;
        for (int i = 0; i < emulatorBox()->count(); ++i)
            out << emulatorBox()->itemText(i);
        return out;
    };
    press(Qt::Key_Down);  // any other key looks at nothing
    EXPECT_EQ(names(), QStringList{"Nestopia"});
    press(Qt::Key_F5);
    EXPECT_EQ(names(), (QStringList{"zsnes", "Nestopia"}));
    EXPECT_TRUE(onFiles());
}

// After a delete the same row number stays selected, which is the next file; deleting the
// last row selects the one before it, and an emptied list selects nothing.
TEST_F(WindowKeys, DeleteKeepsTheRowNumberWithinTheList) {
    struct Case {
        QStringList files;
        QString deleted;
        QString selectedAfter;  // empty: nothing
    };
    const Case cases[] = {
        {{"a.nes", "b.nes", "c.nes"}, "b.nes", "c.nes"},
        {{"a.nes", "b.nes", "c.nes"}, "c.nes", "b.nes"},
        {{"a.nes", "b.nes"}, "a.nes", "b.nes"},
        {{"a.nes"}, "a.nes", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deleted.toStdString() + " of " + c.files.join(' ').toStdString());
        window.reset();
        QDir(emu.file("roms")).removeRecursively();
        open(c.files);
        select(c.deleted);
        press(Qt::Key_Delete);
        commandsDone();
        QStringList left = c.files;
        left.removeAll(c.deleted);
        EXPECT_EQ(onDisk(), left);
        EXPECT_EQ(listed(), left);
        if (c.selectedAfter.isEmpty()) {
            EXPECT_EQ(files()->listIndex(), -1);
        } else {
            EXPECT_EQ(files()->listIndex(), left.indexOf(c.selectedAfter));
            EXPECT_EQ(files()->fileName(), c.selectedAfter);
        }
        EXPECT_TRUE(onFiles());
    }
}

// A macro's keys arrive while it runs; a command among them that refreshes the list must not
// pull the selection after a renamed file, or the macro's next movement starts from the
// wrong row.
TEST_F(WindowKeys, MacroMovesFromTheRowNotFromTheRenamedFile) {
    platform::FocusKeystrokeSender sender;
    keystrokeSender = &sender;
    // The tag moves the renamed file to the top: "Game [!]" sorts before "Game-A".
    open({"Game-A.smc", "Game-B.smc", "Game.smc", "Zelda.smc"});
    ASSERT_EQ(listed(), (QStringList{"Game-A.smc", "Game-B.smc", "Game.smc", "Zelda.smc"}));
    select("Game.smc");
    dialogs.inputAnswers = {QString("{F9}{DOWN}")};
    press(Qt::Key_F6);
    QApplication::processEvents();
    EXPECT_EQ(listed(), (QStringList{"Game [!].smc", "Game-A.smc", "Game-B.smc", "Zelda.smc"}));
    EXPECT_EQ(files()->fileName(), "Zelda.smc");
    EXPECT_EQ(files()->listIndex(), 3);
    EXPECT_TRUE(onFiles());
}

}  // namespace
