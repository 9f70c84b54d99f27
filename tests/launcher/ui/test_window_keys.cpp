// The file list's keys pressed for real on the focused list, where the window itself holds
// the rule: Shift+Enter's hand-over to the desktop, F5's rescan, the selection after a
// delete and a key macro's own movement against the refresh's reselection.

#include "launcher/ui/WindowFixture.h"
#include "platform/ui/FocusKeystrokeSender.h"

namespace {

constexpr auto Shift = Qt::ShiftModifier;

// Shift+Enter hands the file to the desktop and starts nothing; a file the desktop has no
// program for is said, in the window (which modifiers count is the key rules' business).
TEST_F(WindowTest, ShiftEnterOpensTheFileOrSaysNoProgramTakesIt) {
    openRoms({"a.nes"});
    shell.openResult = false;
    press(Qt::Key_Return, Shift);
    EXPECT_TRUE(shell.started.isEmpty());
    ASSERT_EQ(shell.opened, QStringList{folder() + "roms/a.nes"});
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.first().text.contains("\"a.nes\"") &&
                dialogs.messages.first().text.contains("No program"))
        << dialogs.messages.first().text.toStdString();
    shell.openResult = true;
    press(Qt::Key_Return, Shift);
    EXPECT_EQ(shell.opened.size(), 2);
    EXPECT_EQ(dialogs.messages.size(), 1);  // opened: nothing to say
}

// F5 looks at the emulator folder again: a program added since start-up appears then.
TEST_F(WindowTest, F5RescansTheEmulatorFolder) {
    openRoms({"a.nes"});
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
TEST_F(WindowTest, DeleteKeepsTheRowNumberWithinTheList) {
    struct Case {
        QStringList files;
        QString deleted;
        QString selectedAfter;  // empty: nothing
    };
    const Case cases[] = {
        {{"a.nes", "b.nes", "c.nes"}, "b.nes", "c.nes"},
        {{"a.nes", "b.nes", "c.nes"}, "c.nes", "b.nes"},
        {{"a.nes"}, "a.nes", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deleted.toStdString() + " of " + c.files.join(' ').toStdString());
        window.reset();
        QDir(emu.file("roms")).removeRecursively();
        openRoms(c.files);
        select(c.deleted);
        press(Qt::Key_Delete);
        commandsDone();
        QStringList left = c.files;
        left.removeAll(c.deleted);
        EXPECT_EQ(onDisk(), left);
        EXPECT_EQ(listed(), left);
        EXPECT_EQ(files()->listIndex(), left.indexOf(c.selectedAfter));
        EXPECT_EQ(files()->fileName(), c.selectedAfter);
        EXPECT_TRUE(onFiles());
    }
}

// The macro's own input box closes before its keys go out; until the window manager gives
// the focus back no window is active, and the keys must still reach the list.
class DeactivatingDialogs : public fakes::FakeDialogs {
public:
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override {
        QApplication::setActiveWindow(nullptr);
        return FakeDialogs::inputBox(prompt, title, defaultText);
    }
};

// A macro runs on its first F6. Its keys arrive while it runs; a command among them that
// refreshes the list must not pull the selection after the renamed file, or the macro's
// next movement starts from the wrong row.
TEST_F(WindowTest, MacroRunsOnItsFirstF6AndMovesFromTheRowNotTheRenamedFile) {
    platform::FocusKeystrokeSender sender;
    DeactivatingDialogs realistic;
    program("Nestopia");
    for (const char* n : {"Game-A.nes", "Game-B.nes", "Game.nes", "Zelda.nes"})
        emu.write(QString("roms/") + n, "x");
    MainWindowServices s = services();
    s.dialogs = &realistic;
    s.keystrokes = &sender;
    window = std::make_unique<MainWindow>(s);
    ASSERT_TRUE(window->start());
    window->show();
    activate();
    select("Game.nes");

    realistic.inputAnswers = {QString("{F9}{DOWN}")};
    press(Qt::Key_F6);
    // Tagged ("Game [!]" sorts first), then one row down from where it was.
    EXPECT_EQ(listed(), (QStringList{"Game [!].nes", "Game-A.nes", "Game-B.nes", "Zelda.nes"}));
    EXPECT_EQ(files()->fileName(), "Zelda.nes");
    EXPECT_EQ(files()->listIndex(), 3);
    EXPECT_EQ(realistic.inputs.size(), 1);
}

}  // namespace
