// The file commands' keys on the focused list: prompts, answers, the closing step, the disk.

#include "launcher/ui/WindowFixture.h"
#include "platform/ui/FocusKeystrokeSender.h"

#include <QAbstractItemView>

namespace {

constexpr auto Delete = Qt::Key_Delete, F2 = Qt::Key_F2, F3 = Qt::Key_F3, F4 = Qt::Key_F4,
               F6 = Qt::Key_F6, F7 = Qt::Key_F7, F8 = Qt::Key_F8, F9 = Qt::Key_F9;

class FileCommands : public WindowTest {
protected:
    // Presses the key; true when the closing step ran (the focus passed the command line box).
    bool press(Qt::Key key, Qt::KeyboardModifiers held = Qt::NoModifier) {
        bool flashed = false;
        const auto watch =
            QObject::connect(qApp, &QApplication::focusChanged, [&](QWidget*, QWidget* now) {
                if (now == commandLine()) flashed = true;
            });
        WindowTest::press(key, held);
        QObject::disconnect(watch);
        return flashed;
    }
};

TEST_F(FileCommands, DeleteAsksOnceTakesTheJadTwinAndSelectsTheNextGame) {
    openRoms({"a.jar", "a.jad", "b.nes", "c.nes"});
    select("a.jar");
    dialogs.messageAnswers = {platform::MessageAnswer::Cancel};
    EXPECT_TRUE(press(Delete));
    EXPECT_EQ(onDisk().size(), 4);
    EXPECT_TRUE(press(Delete));
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[1].text,
              "Move 'a.jar' to the trash?\nFrom Path: " + folder() + "roms/");
    EXPECT_EQ(dialogs.messages[1].buttons, platform::MessageButtons::OkCancel);
    EXPECT_EQ(onDisk(), (QStringList{"b.nes", "c.nes"}));
    EXPECT_EQ(trashed().size(), 2);
    // The last row's game gone, the one before it; the list emptied, none.
    select("c.nes");
    EXPECT_TRUE(press(Delete));
    EXPECT_EQ(files()->fileName(), "b.nes");
    EXPECT_TRUE(press(Delete));
    EXPECT_EQ(files()->listIndex(), -1);
}

// A name that is taken gives a numbered one, said to the user; the screenshot takes it too.
TEST_F(FileCommands, RenameAndDumpTagsSelectTheNewName) {
    emu.write("shots/b.png", "picture");
    openRoms({"Game.smc", "b.smc", "y.smc"});
    select("b.smc");
    dialogs.inputAnswers = {std::nullopt, QString(), QString("y.smc")};
    press(F2);
    press(F2);
    EXPECT_EQ(onDisk(), (QStringList{"Game.smc", "b.smc", "y.smc"}));
    press(F2);
    EXPECT_EQ(dialogs.inputs.last().text, "Rename b.smc to:");
    EXPECT_EQ(dialogs.inputDefaults.last(), "b.smc");
    EXPECT_EQ(onDisk(), (QStringList{"Game.smc", "y(1).smc", "y.smc"}));
    EXPECT_EQ(QDir(emu.file("shots")).entryList(QDir::Files), QStringList{"y(1).png"});
    EXPECT_EQ(files()->fileName(), "y(1).smc");
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(begins(said()[0], "'y.smc' is taken"));

    select("Game.smc");
    press(F9, Qt::ControlModifier);
    EXPECT_EQ(files()->fileName(), "Game [b1].smc");
    EXPECT_EQ(emu.read("roms/Game [b1].smc"), "Game.smc");
}

// F3's mask is what the command line box filters within, and what Escape in the box restores.
TEST_F(FileCommands, MaskHideAndCancel) {
    openRoms({"a.nes", "Game [!].nes", "Game [b1].nes", "Mario 2.nes", "x.smc", "y.smc"});
    dialogs.inputAnswers = {QString("*.smc"), std::nullopt};
    press(F3);
    ASSERT_EQ(listed(), (QStringList{"x.smc", "y.smc"}));
    commandLine()->setFocus();
    QApplication::processEvents();
    QTest::keyClicks(QApplication::focusWidget(), "x");
    EXPECT_EQ(listed(), QStringList{"x.smc"});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(commandLine()->text().isEmpty());
    EXPECT_EQ(listed(), (QStringList{"x.smc", "y.smc"}));
    press(F3);  // Cancel, like an empty answer, brings the system's mask back
    EXPECT_EQ(listed(), (QStringList{"a.nes", "Game [!].nes", "Game [b1].nes", "Mario 2.nes"}));
    files()->setPattern("*.*");

    // Capitals typed are kept, and matched, in small letters.
    dialogs.inputAnswers = {std::nullopt, QString("*{0-9}*.NES"), QString(" ")};
    EXPECT_FALSE(press(F4));
    EXPECT_EQ(dialogs.inputs.last().text,
              "Enter pattern to hide files:\nEnter blank pattern to remove all hidden files.");
    EXPECT_EQ(dialogs.inputDefaults.last(), "*[b?].*");
    EXPECT_TRUE(press(F4));
    EXPECT_EQ(listed().size(), 4);
    EXPECT_EQ(onDisk(QDir::Hidden).size(), 7);  // the files and ".hidden", all as they were
    EXPECT_EQ(emu.read("roms/Mario 2.nes"), "Mario 2.nes");
    press(F4);
    EXPECT_EQ(dialogs.inputDefaults.last(), "*{0-9}*.nes");  // the last pattern offered again
    EXPECT_EQ(listed().size(), 6);
}

TEST_F(FileCommands, MacroAsksOnlyWhenNeeded) {
    openRoms({"a.smc", "b.smc"});
    dialogs.inputAnswers = {QString(), QString("{DOWN}"), QString("{UP}")};
    EXPECT_FALSE(press(F6));  // nothing stored: asks; an empty answer ends there
    EXPECT_TRUE(keystrokes.sent.isEmpty());
    EXPECT_TRUE(press(F6));
    EXPECT_TRUE(press(F6));  // stored and no modifier: no question
    EXPECT_TRUE(press(F6, Qt::ControlModifier));
    EXPECT_EQ(keystrokes.sent, (QStringList{"{DOWN}", "{DOWN}", "{UP}"}));
    EXPECT_EQ(dialogs.inputs.size(), 3);
    EXPECT_EQ(dialogs.inputDefaults.last(), "{DOWN}");
}

// F8 over many games lists the folder once and keeps the row; Cancel renames nothing.
TEST_F(FileCommands, StripTextOverManyGamesListsTheFolderOnce) {
    QStringList names;
    for (int i = 0; i < 300; ++i)
        names << QString("Game_%1_Atari.a26").arg(i, 3, 10, QLatin1Char('0'));
    openRoms(names);
    files()->setListIndex(5);
    const QString selectedBefore = files()->fileName();
    const QString caption = window->windowTitle();
    int resets = 0;
    auto* view = qobject_cast<QAbstractItemView*>(files()->currentView());
    ASSERT_TRUE(view && view->model());
    QObject::connect(view->model(), &QAbstractItemModel::modelReset, [&] { ++resets; });

    dialogs.inputAnswers = {std::nullopt, QString("atari")};
    press(F8);
    EXPECT_EQ(onDisk().first(), "Game_000_Atari.a26");
    EXPECT_TRUE(press(F8));
    waitForMessages(1);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(said(), QStringList{"300 Files Renamed"});
    EXPECT_EQ(onDisk().first(), "Game 000.a26");
    EXPECT_EQ(files()->listIndex(), 5);
    EXPECT_NE(files()->fileName(), selectedBefore);
    EXPECT_EQ(window->windowTitle(), caption);
}

// Listed before game.smc went and GAME.smc came: said, nothing asked or touched, listed anew.
TEST_F(FileCommands, AListedFileThatIsGoneIsSaidAndNoOtherSpellingIsTouched) {
    const std::pair<Qt::Key, QString> cases[] = {
        {Delete, "Delete File"}, {F2, "Rename"}, {F9, "Rombard"}};
    openRoms({"b.smc", "game.smc"});
    for (const auto& [key, title] : cases) {
        SCOPED_TRACE(title.toStdString());
        emu.write("roms/game.smc", "mine");
        files()->refresh();
        select("game.smc");
        QFile::remove(emu.file("roms/game.smc"));
        emu.write("roms/GAME.smc", "theirs");
        dialogs.messages.clear();
        dialogs.inputs.clear();
        dialogs.inputAnswers = {QString("x.smc")};
        press(key);
        ASSERT_EQ(said(), QStringList{"'game.smc' is no longer in this folder."});
        EXPECT_EQ(dialogs.messages[0].title, title);
        EXPECT_TRUE(dialogs.inputs.isEmpty());
        EXPECT_EQ(onDisk(), (QStringList{"GAME.smc", "b.smc"}));
        EXPECT_EQ(emu.read("roms/GAME.smc"), "theirs");
        EXPECT_EQ(listed(), (QStringList{"b.smc", "GAME.smc"}));
        EXPECT_TRUE(trashed().isEmpty());
        QFile::remove(emu.file("roms/GAME.smc"));
    }
}

TEST_F(FileCommands, DeleteThatTheTrashCannotTakeKeepsTheFileAndSaysWhy) {
    trashHome.write("Trash/info", "not a folder");
    openRoms({"a.nes", "b.nes"});
    select("a.nes");
    press(Qt::Key_Delete);
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(begins(said()[1], "Could not move 'a.nes' to the trash: "));
    EXPECT_EQ(onDisk(), (QStringList{"a.nes", "b.nes"}));
    EXPECT_EQ(emu.read("roms/a.nes"), "a.nes");
    EXPECT_EQ(listed(), (QStringList{"a.nes", "b.nes"}));
}

// The keys that act on a disc game as one; Ctrl+M never writes over a playlist.
TEST_F(FileCommands, CtrlMF2AndDeleteActOnEveryFileOfTheGame) {
    emu.write("roms/Zeta.bin", "data");
    emu.write("roms/Zeta.cue", "FILE \"Zeta.bin\" BINARY\r\n");
    for (int d = 1; d <= 2; ++d) {
        QByteArray cue;
        for (int t = 1; t <= 2; ++t) {
            const QString track = QStringLiteral("Beta (Disc %1) (Track %2).bin").arg(d).arg(t);
            emu.write("roms/" + track, track.toUtf8());
            cue += "FILE \"" + track.toUtf8() + "\" BINARY\n";
        }
        emu.write(QStringLiteral("roms/Beta (Disc %1).cue").arg(d), cue);
    }
    emu.write("roms/Beta.m3u", "mine\n");
    TempFolder bin;
    program("mednafen", &bin);
    installedSearch.pathFolders = {bin.path()};
    start(Shown::Active);
    ASSERT_EQ(emulatorBox()->currentText(), "mednafen");
    listAll();
    select("Beta (Disc 2).cue");
    press(Qt::Key_M, Qt::ControlModifier);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(begins(said()[0], "Could not write 'Beta.m3u'"));
    EXPECT_EQ(emu.read("roms/Beta.m3u"), "mine\n");
    QFile::remove(emu.file("roms/Beta.m3u"));
    files()->refresh();
    select("Beta (Disc 2).cue");
    press(Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(emu.read("roms/Beta.m3u"), "Beta (Disc 1).cue\nBeta (Disc 2).cue\n");
    EXPECT_EQ(files()->fileName(), "Beta.m3u");
    ASSERT_EQ(listed(), (QStringList{"Beta.m3u", "Zeta.cue"}));

    dialogs.inputAnswers = {QString("Gamma.m3u")};
    press(Qt::Key_F2);
    EXPECT_EQ(onDisk().filter("Beta").size(), 0);
    EXPECT_EQ(onDisk().filter("Gamma").size(), 7);
    EXPECT_EQ(files()->fileName(), "Gamma.m3u");
    EXPECT_EQ(dialogs.messages.size(), 1);

    press(Qt::Key_Delete);
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(begins(said()[1], "Move 'Gamma.m3u' and the 6 files of its game to the trash?"));
    EXPECT_EQ(onDisk(), (QStringList{"Zeta.bin", "Zeta.cue"}));
    EXPECT_EQ(trashed().size(), 7);
}

TEST_F(WindowTest, ShiftEnterOpensTheFileOrSaysNoProgramTakesIt) {
    openRoms({"a.nes"});
    shell.openResult = false;
    press(Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_TRUE(shell.started.isEmpty());
    ASSERT_EQ(shell.opened, QStringList{folder() + "roms/a.nes"});
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(holds(said()[0], "\"a.nes\""));
    EXPECT_TRUE(holds(said()[0], "No program"));
    shell.openResult = true;
    press(Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(shell.opened.size(), 2);
    EXPECT_EQ(dialogs.messages.size(), 1);  // opened: nothing to say
}

TEST_F(WindowTest, F5RescansTheEmulatorFolder) {
    openRoms({"a.nes"});
    program("zsnes");
    press(Qt::Key_Down);  // any other key looks at nothing
    EXPECT_EQ(emulatorBox()->findText("zsnes"), -1);
    press(Qt::Key_F5);
    EXPECT_NE(emulatorBox()->findText("zsnes"), -1);
    EXPECT_TRUE(onFiles());
}

// The macro's input box closes before its keys go out: no window is active, yet they must land.
class DeactivatingDialogs : public fakes::FakeDialogs {
public:
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override {
        QApplication::setActiveWindow(nullptr);
        return FakeDialogs::inputBox(prompt, title, defaultText);
    }
};

// A macro's refresh must not pull the selection after the renamed file, or it moves wrongly.
TEST_F(WindowTest, MacroRunsOnItsFirstF6AndMovesFromTheRowNotTheRenamedFile) {
    platform::FocusKeystrokeSender sender;
    DeactivatingDialogs realistic;
    keystrokeSender = &sender;
    dialogService = &realistic;
    startWith("Nestopia", {"Game-A.nes", "Game-B.nes", "Game.nes", "Zelda.nes"}, Shown::Active);
    select("Game.nes");

    realistic.inputAnswers = {QString("{F9}{DOWN}")};
    press(Qt::Key_F6);
    // Tagged ("Game [!]" sorts first), then one row down from where it was.
    EXPECT_EQ(listed(), (QStringList{"Game [!].nes", "Game-A.nes", "Game-B.nes", "Zelda.nes"}));
    EXPECT_EQ(files()->fileName(), "Zelda.nes");
    EXPECT_EQ(realistic.inputs.size(), 1);
}

}  // namespace
