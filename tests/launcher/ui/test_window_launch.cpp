// Launching from the window (the composing is LaunchRules'), the poll that brings it back,
// and the command line box's keys.

#include "launcher/emulators/LaunchRules.h"
#include "launcher/ui/WindowFixture.h"

#include <QKeyEvent>

namespace {

// The box's switches and the title's game number reach the emulator; the window waits
// minimised, polling, and comes back as it was once the emulator has ended.
TEST_F(WindowTest, LaunchStartsTheEmulatorMinimisesAndPollsUntilItEnds) {
    struct Case {
        QString emulator, rom, box, tag;
        QStringList arguments;  // with "<roms>" for the roms folder, "<emu>" for the emulators'
    };
    const Case cases[] = {
        {"Nestopia", "a b.nes", "-fs --scale 2", "", {"-fs", "--scale", "2", "<roms>a b.nes"}},
        {"zinc", "sfex.zip", "", "2", {"2", "--use-config-file=<emu>zinc.cfg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rom.toStdString());
        window.reset();
        QDir(folder()).removeRecursively();  // a fresh emulator folder for each case
        const QString exe = program(c.emulator);
        roms({c.rom});
        start(Shown::Yes);
        window->setWindowState(Qt::WindowMaximized);
        commandLine()->setText(c.box);
        title()->setProperty("Tag", c.tag);
        shell.started.clear();
        processes.running = {c.emulator.toLower() + ".exe"};
        launch();
        ASSERT_EQ(shell.started.size(), 1);
        EXPECT_EQ(shell.started.first().program, exe);
        QStringList expected = c.arguments;
        expected.replaceInStrings("<roms>", folder() + "roms/").replaceInStrings("<emu>", folder());
        EXPECT_EQ(shell.started.first().arguments, expected);
        EXPECT_TRUE(window->windowState() & Qt::WindowMinimized);
        EXPECT_TRUE(emulatorPoll()->isActive());

        pollOnce();  // still running
        EXPECT_EQ(processes.queries.last(), c.emulator + ".exe");
        EXPECT_TRUE(emulatorPoll()->isActive());
        EXPECT_TRUE(window->windowState() & Qt::WindowMinimized);
        processes.running.clear();
        pollOnce();
        EXPECT_FALSE(emulatorPoll()->isActive());
        EXPECT_EQ(window->windowState(), Qt::WindowMaximized);
        EXPECT_TRUE(window->isVisible());
    }
}

TEST_F(WindowTest, OpenerModeListsMediaOpensTheFileAndWatchesItself) {
    program("rombard");
    emu.write("roms/manual.pdf");
    start(Shown::Yes);
    EXPECT_EQ(window->windowTitle(), "[rombard] " + kCaptionSuffix);
    launch();
    EXPECT_TRUE(shell.started.isEmpty());
    EXPECT_EQ(shell.opened, QStringList{folder() + "roms/manual.pdf"});
    processes.running.insert("rombard.exe");
    pollOnce();
    EXPECT_TRUE(emulatorPoll()->isActive());
}

// A launch the rules refuse starts nothing and says why; the window stays as it was.
TEST_F(WindowTest, ARefusedLaunchStartsNothingAndSaysWhy) {
    program("callus");
    roms({"--config=evil.zip"});
    start(Shown::Yes);
    launch();
    EXPECT_TRUE(shell.started.isEmpty());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages.first().text, optionLikeNameRefusal("--config=evil.zip"));
    EXPECT_EQ(dialogs.messages.first().icon, platform::MessageIcon::Warning);
    EXPECT_FALSE(window->windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(emulatorPoll()->isActive());
}

TEST_F(WindowTest, NothingStartsWithoutAFileOrAnEmulator) {
    const QString exe = program("Nestopia");
    roms({"a.nes"});
    start(Shown::Yes);
    files()->setListIndex(-1);
    launch();
    files()->setListIndex(0);
    QFile::remove(exe);
    launch();
    EXPECT_TRUE(shell.started.isEmpty());
    EXPECT_FALSE(emulatorPoll()->isActive());
    EXPECT_FALSE(window->windowState() & Qt::WindowMinimized);
}

TEST_F(WindowTest, TypingNarrowsTheListWhileSwitchesKeepTheMask) {
    program("zsnes");
    roms({"Super Mario World.smc", "Mario Kart.sfc", "Zelda.smc", "mario.txt"});
    start(Shown::Active);
    const QString mask = files()->pattern();
    commandLine()->setFocus();
    QTest::keyClicks(commandLine(), "mar");
    EXPECT_EQ(files()->listCount(), 2);
    EXPECT_EQ(files()->toolTip(), "2 Files");
    QTest::keyClicks(commandLine(), "io w");
    EXPECT_EQ(files()->fileName(), "Super Mario World.smc");

    // A letter with no key code of its own still types and narrows.
    QKeyEvent accented(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("ゼ"));
    QApplication::sendEvent(commandLine(), &accented);
    EXPECT_EQ(commandLine()->text(), "mario wゼ");
    EXPECT_EQ(files()->listCount(), 0);

    commandLine()->clear();
    files()->setListIndex(2);
    // Switches: the whole mask again, and the game chosen stays chosen for Enter.
    QTest::keyClicks(commandLine(), "-mar");
    EXPECT_EQ(files()->pattern(), mask);
    EXPECT_EQ(files()->listCount(), 3);
    EXPECT_EQ(files()->listIndex(), 2);
}

TEST_F(WindowTest, CommandLineAndEmulatorBoxKeys) {
    program("zsnes");
    roms({"a.smc", "b.smc", "c.smc", "d.smc"});
    start(Shown::Active);
    QLineEdit* box = commandLine();
    box->setFocus();

    struct Move {
        Qt::Key key;
        int index;
    };
    // Down on the last item keeps it and reports no item past the end.
    QList<int> reported;
    QObject::connect(files(), &FileListView::itemClick, [&](int item) { reported.append(item); });
    const Move moves[] = {{Qt::Key_End, 3}, {Qt::Key_Up, 2},  {Qt::Key_Home, 0},
                          {Qt::Key_Up, 0},  {Qt::Key_End, 3}, {Qt::Key_Down, 3}};
    for (const Move& m : moves) {
        QTest::keyClick(box, m.key);
        EXPECT_EQ(files()->listIndex(), m.index) << m.key;
    }
    EXPECT_FALSE(reported.contains(4));

    struct Edit {
        QString text;
        int cursor;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString after;
        bool keepsFocus;  // or hands it to the list
    };
    const Edit edits[] = {
        {"-fs -v", 2, Qt::Key_Delete, Qt::ControlModifier, "-fs -v", false},  // deletes a file
        {"-fs -v", 2, Qt::Key_Delete, Qt::NoModifier, "-f -v", true},
        {"-fs -v", 2, Qt::Key_Backspace, Qt::ControlModifier, "", true},
        {"-x", 2, Qt::Key_Escape, Qt::NoModifier, "", true},
        {"", 0, Qt::Key_Escape, Qt::NoModifier, "", false},
        {"-ab", 1, Qt::Key_Left, Qt::NoModifier, "-ab", true},  // the caret moves to the start
        {"-ab", 0, Qt::Key_Left, Qt::NoModifier, "-ab", false},
        {"-ab", 3, Qt::Key_Right, Qt::NoModifier, "-ab", false},
    };
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.key);
        box->setFocus();
        box->setText(e.text);
        box->setCursorPosition(e.cursor);
        QTest::keyClick(box, e.key, e.modifiers);
        EXPECT_EQ(box->text(), e.after);
        EXPECT_EQ(box->hasFocus(), e.keepsFocus);
        EXPECT_EQ(files()->isAncestorOf(QApplication::focusWidget()), !e.keepsFocus);
    }

    // Focus selects the whole box and flashes it back to black; Return launches, as do Return
    // in the emulator box and double clicks on the title and the picture.
    box->setText("-fs");
    box->setFocus();
    EXPECT_EQ(box->selectedText(), "-fs");
    // The flash runs in steps of the event loop.
    EXPECT_TRUE(QTest::qWaitFor([&] { return box->palette().color(QPalette::Base) == Qt::black; }));
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_EQ(shell.started.size(), 1);
    EXPECT_EQ(shell.started.first().arguments.first(), "-fs");
    QTest::keyClick(emulatorBox(), Qt::Key_Return);
    QTest::mouseDClick(title(), Qt::LeftButton);
    QTest::mouseDClick(picture(), Qt::LeftButton);
    EXPECT_EQ(shell.started.size(), 4);
}

}  // namespace
