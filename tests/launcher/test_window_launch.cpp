// Launching from the window, the poll that brings it back, and the command line box.

#include "WindowFixture.h"

#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {

TEST_F(WindowTest, LaunchStartsTheEmulatorMinimisesAndPolls) {
    struct Case {
        const char* what;
        QString emulator;  // native program name in the folder
        QString rom, box, tag;
        QStringList arguments;  // with "<roms>" for the roms folder
        QString workingFolder;
    };
    const Case cases[] = {
        {"plain, quoted name stays one argument",
         "Nestopia",
         "It's \"Bros\" -x ゼ.nes",
         "",
         "",
         {"<roms>It's \"Bros\" -x ゼ.nes"},
         ""},
        {"switch text first",
         "Nestopia",
         "a b.nes",
         "-fs --scale 2",
         "",
         {"-fs", "--scale", "2", "<roms>a b.nes"},
         ""},
        {"search text is not passed", "Nestopia", "mario.nes", "mar", "", {"<roms>mario.nes"}, ""},
        {"zinc with the game number",
         "zinc",
         "sfex.zip",
         "",
         "2",
         {"2", "--use-config-file=<emu>zinc.cfg"},
         ""},
        {"no$gba in its own folder", "no$gba", "g.nds", "", "", {"roms/g.nds"}, "<emu>"},
        {"Nintendo 64 takes the bare path",
         "Project64",
         "Mario 64.z64",
         "",
         "",
         {"<roms>Mario 64.z64"},
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window.reset();
        QDir(folder() + "roms").removeRecursively();
        for (const QString& name : QDir(folder()).entryList(QDir::Files))
            QFile::remove(emu.file(name));
        const QString exe = program(c.emulator);
        rom(c.rom);
        start();
        window->show();
        window->txtCommandLine->setText(c.box);
        window->lblTitle->setProperty("Tag", c.tag);
        shell.started.clear();
        window->LaunchSelected();
        ASSERT_EQ(shell.started.size(), 1);
        const platform::ProgramStart& s = shell.started.first();
        EXPECT_EQ(s.program, exe);
        QStringList expected = c.arguments;
        expected.replaceInStrings("<roms>", folder() + "roms/");
        expected.replaceInStrings("<emu>", folder());
        EXPECT_EQ(s.arguments, expected);
        EXPECT_EQ(s.workingFolder, QString(c.workingFolder).replace("<emu>", folder()));
        EXPECT_TRUE(window->windowState() & Qt::WindowMinimized);
        EXPECT_TRUE(window->tmrTimer->isActive());
        EXPECT_EQ(window->tmrTimer->interval(), 2000);
    }
}

TEST_F(WindowTest, PollRestoresTheSavedStateWhenTheEmulatorHasEnded) {
    program("Nestopia");
    rom("a.nes");
    start();
    window->show();
    window->setWindowState(Qt::WindowMaximized);
    processes.running.insert("nestopia.exe");
    window->LaunchSelected();
    EXPECT_EQ(window->SavedWindowState, Qt::WindowMaximized);
    EXPECT_TRUE(window->windowState() & Qt::WindowMinimized);

    window->tmrTimer_Timer();
    EXPECT_TRUE(window->tmrTimer->isActive());
    EXPECT_TRUE(window->windowState() & Qt::WindowMinimized);
    EXPECT_EQ(processes.queries.last(), "Nestopia.exe");

    processes.running.clear();
    window->tmrTimer_Timer();
    EXPECT_FALSE(window->tmrTimer->isActive());
    EXPECT_EQ(window->windowState(), Qt::WindowMaximized);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(WindowTest, OpenerModeOpensTheFileAndWatchesItself) {
    program("rombard");
    emu.write("roms/manual.pdf");
    start();
    window->show();
    window->LaunchSelected();
    EXPECT_TRUE(shell.started.isEmpty());
    EXPECT_EQ(shell.opened, QStringList{folder() + "roms/manual.pdf"});
    processes.running.insert("rombard.exe");
    window->tmrTimer_Timer();
    EXPECT_TRUE(window->tmrTimer->isActive());
}

TEST_F(WindowTest, NothingStartsWithoutAFileOrAnEmulator) {
    const QString exe = program("Nestopia");
    rom("a.nes");
    start();
    window->show();
    window->Files->setListIndex(-1);
    window->LaunchSelected();
    EXPECT_TRUE(shell.started.isEmpty());
    EXPECT_FALSE(window->tmrTimer->isActive());

    window->Files->setListIndex(0);
    QFile::remove(exe);
    window->LaunchSelected();
    EXPECT_TRUE(shell.started.isEmpty());
    EXPECT_FALSE(window->windowState() & Qt::WindowMinimized);
}

TEST_F(WindowTest, TypingNarrowsTheListWhileSwitchesKeepTheMask) {
    program("zsnes");
    for (const char* n : {"Super Mario World.smc", "Mario Kart.sfc", "Zelda.smc", "mario.txt"})
        rom(n);
    start();
    showActive();
    window->txtCommandLine->setFocus();
    QTest::keyClicks(window->txtCommandLine, "mar");
    EXPECT_EQ(window->Files->Pattern(), "*mar*.zip;*mar*.fig;*mar*.smc;*mar*.swc;*mar*.sfc");
    EXPECT_EQ(window->Files->ListCount(), 2);
    EXPECT_EQ(window->Files->ListIndex(), 0);
    EXPECT_EQ(window->Files->toolTip(), "2 Files");
    QTest::keyClicks(window->txtCommandLine, "io w");
    EXPECT_EQ(window->Files->ListCount(), 1);
    EXPECT_EQ(window->Files->FileName(), "Super Mario World.smc");

    // A letter with no key code of its own still types and narrows.
    QKeyEvent accented(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("ゼ"));
    QApplication::sendEvent(window->txtCommandLine, &accented);
    EXPECT_EQ(window->txtCommandLine->text(), "mario wゼ");
    EXPECT_EQ(window->Files->ListCount(), 0);

    window->txtCommandLine->clear();
    EXPECT_EQ(window->Files->Pattern(), window->FileMask);
    EXPECT_EQ(window->Files->ListCount(), 3);
    QTest::keyClicks(window->txtCommandLine, "-mar");
    EXPECT_EQ(window->Files->Pattern(), window->FileMask);
    EXPECT_EQ(window->Files->ListCount(), 3);
    EXPECT_EQ(window->Files->ListIndex(), 0);
}

TEST_F(WindowTest, CommandLineBoxKeys) {
    program("zsnes");
    for (const char* n : {"a.smc", "b.smc", "c.smc", "d.smc"})
        rom(n);
    start();
    showActive();
    QLineEdit* box = window->txtCommandLine;
    box->setFocus();

    QTest::keyClick(box, Qt::Key_End);
    EXPECT_EQ(window->Files->ListIndex(), 3);
    QTest::keyClick(box, Qt::Key_Up);
    EXPECT_EQ(window->Files->ListIndex(), 2);
    QTest::keyClick(box, Qt::Key_Home);
    EXPECT_EQ(window->Files->ListIndex(), 0);
    QTest::keyClick(box, Qt::Key_Up);
    EXPECT_EQ(window->Files->ListIndex(), 0);
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(window->Files->ListIndex(), 1);
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(window->Files->ListIndex(), 3) << "Down on the last item keeps it";
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, Qt::Key_Down);

    box->setText("-fs -v");
    box->setCursorPosition(2);
    QTest::keyClick(box, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "-fs -v");  // consumed: the text stays
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_EQ(box->text(), "-f -v");
    QTest::keyClick(box, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_TRUE(box->text().isEmpty());

    box->setText("-x");
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(box->text().isEmpty());
    EXPECT_TRUE(box->hasFocus());
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(window->Files->isAncestorOf(QApplication::focusWidget()) ||
                window->Files->hasFocus());

    box->setFocus();
    box->setText("-ab");
    box->setCursorPosition(1);
    QTest::keyClick(box, Qt::Key_Left);
    EXPECT_TRUE(box->hasFocus());  // the caret moved to the start, the focus stays
    QTest::keyClick(box, Qt::Key_Left);
    EXPECT_FALSE(box->hasFocus());

    box->setFocus();
    box->setCursorPosition(3);
    QTest::keyClick(box, Qt::Key_Right);
    EXPECT_FALSE(box->hasFocus());

    box->setFocus();
    box->setText("-fs");
    shell.started.clear();
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_EQ(shell.started.size(), 1);
    EXPECT_EQ(shell.started.first().arguments.first(), "-fs");
}

TEST_F(WindowTest, FocusSelectsTheWholeBoxAndFlashesBackToBlack) {
    program("zsnes");
    start();
    showActive();
    window->txtCommandLine->setText("-fs");
    window->Files->setFocus();
    window->txtCommandLine->setFocus();
    EXPECT_EQ(window->txtCommandLine->selectedText(), "-fs");
    EXPECT_EQ(window->txtCommandLine->palette().color(QPalette::Base), QColor(Qt::black));
}

TEST_F(WindowTest, EmulatorBoxKeys) {
    program("zsnes");
    rom("a.smc");
    start();
    showActive();
    window->cmbEmu->setFocus();
    QTest::keyClick(window->cmbEmu, Qt::Key_Right);
    EXPECT_TRUE(window->txtCommandLine->hasFocus());
    window->cmbEmu->setFocus();
    QTest::keyClick(window->cmbEmu, Qt::Key_Left);
    EXPECT_TRUE(window->Files->isAncestorOf(QApplication::focusWidget()) ||
                window->Files->hasFocus());
    window->cmbEmu->setFocus();
    QTest::keyClick(window->cmbEmu, Qt::Key_Return);
    EXPECT_EQ(shell.started.size(), 1);
}

TEST_F(WindowTest, DoubleClicksOnTheTitleAndPictureLaunch) {
    program("zsnes");
    rom("a.smc");
    start();
    window->show();
    QTest::mouseDClick(window->lblTitle, Qt::LeftButton);
    EXPECT_EQ(shell.started.size(), 1);
    window->imgShot_DblClick();
    EXPECT_EQ(shell.started.size(), 2);
}

}  // namespace
