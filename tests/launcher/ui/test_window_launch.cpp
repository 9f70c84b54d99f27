// Launching and coming back, the command line box, installed emulators, a folder handed over.

#include "launcher/emulators/LaunchRules.h"
#include "launcher/ui/WindowFixture.h"
#include "launcher/window/StartFolder.h"
#include "platform/DesktopShell.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

// Switches and game number reach the emulator; the window waits minimised and comes back.
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
        startWith(c.emulator, {c.rom}, Shown::Yes);
        window->setWindowState(Qt::WindowMaximized);
        commandLine()->setText(c.box);
        title()->setProperty("Tag", c.tag);
        shell.started.clear();
        processes.running = {c.emulator.toLower() + ".exe"};
        launch();
        ASSERT_EQ(shell.started.size(), 1);
        EXPECT_EQ(shell.started.first().program, folder() + c.emulator);
        QStringList expected = c.arguments;
        expected.replaceInStrings("<roms>", folder() + "roms/").replaceInStrings("<emu>", folder());
        EXPECT_EQ(shell.started.first().arguments, expected);
        EXPECT_TRUE(window->windowState() & Qt::WindowMinimized);

        pollOnce();  // still running
        EXPECT_EQ(processes.queries.last(), c.emulator + ".exe");
        EXPECT_TRUE(emulatorPoll()->isActive());
        EXPECT_TRUE(window->windowState() & Qt::WindowMinimized);
        processes.running.clear();
        pollOnce();
        EXPECT_FALSE(emulatorPoll()->isActive());
        EXPECT_EQ(window->windowState(), Qt::WindowMaximized);
    }
    // Without a file, or with the emulator gone, nothing starts and the window stays.
    shell.started.clear();
    files()->setListIndex(-1);
    launch();
    files()->setListIndex(0);
    QFile::remove(folder() + "zinc");
    launch();
    EXPECT_TRUE(shell.started.isEmpty());
    EXPECT_FALSE(emulatorPoll()->isActive());
    EXPECT_FALSE(window->windowState() & Qt::WindowMinimized);
}

TEST_F(WindowTest, OpenerModeListsMediaOpensTheFileAndWatchesItself) {
    startWith("rombard", {"manual.pdf"}, Shown::Yes);
    EXPECT_EQ(window->windowTitle(), "[rombard] " + kCaptionSuffix);
    launch();
    EXPECT_TRUE(shell.started.isEmpty());
    EXPECT_EQ(shell.opened, QStringList{folder() + "roms/manual.pdf"});
    processes.running.insert("rombard.exe");
    pollOnce();
    EXPECT_TRUE(emulatorPoll()->isActive());
}

TEST_F(WindowTest, ARefusedLaunchStartsNothingAndSaysWhy) {
    startWith("callus", {"--config=evil.zip"}, Shown::Yes);
    launch();
    EXPECT_TRUE(shell.started.isEmpty());
    ASSERT_EQ(said(), QStringList{optionLikeNameRefusal("--config=evil.zip")});
    EXPECT_EQ(dialogs.messages.first().icon, platform::MessageIcon::Warning);
    EXPECT_FALSE(window->windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(emulatorPoll()->isActive());
}

TEST_F(WindowTest, TypingNarrowsTheListWhileSwitchesKeepTheMask) {
    startWith("zsnes", {"Super Mario World.smc", "Mario Kart.sfc", "Zelda.smc", "mario.txt"},
              Shown::Active);
    const QString mask = files()->pattern();
    commandLine()->setFocus();
    QTest::keyClicks(commandLine(), "mar");
    EXPECT_EQ(files()->listCount(), 2);
    EXPECT_EQ(files()->toolTip(), "2 Files");
    QTest::keyClicks(commandLine(), "io w");

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
    startWith("zsnes", {"a.smc", "b.smc", "c.smc", "d.smc"}, Shown::Active);
    QLineEdit* box = commandLine();
    box->setFocus();

    // Down on the last item keeps it and reports no item past the end.
    QList<int> reported;
    QObject::connect(files(), &FileListView::itemClick, [&](int item) { reported.append(item); });
    const std::pair<Qt::Key, int> moves[] = {{Qt::Key_End, 3}, {Qt::Key_Up, 2},  {Qt::Key_Home, 0},
                                             {Qt::Key_Up, 0},  {Qt::Key_End, 3}, {Qt::Key_Down, 3}};
    for (const auto& [key, index] : moves) {
        QTest::keyClick(box, key);
        EXPECT_EQ(files()->listIndex(), index) << key;
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
        EXPECT_TRUE(e.keepsFocus ? box->hasFocus() : onFiles());
    }

    // Focus selects the box and flashes it; Return, and double clicks on the preview, launch.
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

class InstalledWindow : public WindowTest {
protected:
    // A stand-in program of `bin`, the folder searched as PATH.
    QString installed(const QString& name, const QByteArray& script = "#!/bin/sh\n") {
        installedSearch.pathFolders = {bin.path()};
        return program(name, &bin, script);
    }
    TempFolder bin;
};

TEST_F(InstalledWindow, OfferedAfterTheFolderOwnAndStartedWithTheGameWhole) {
    const QString stella = installed("stella");
    installed("mednafen");
    installedSearch.userFile = config.write(
        "emulators.conf", "[Mine]\nprogram = stella\nmasks = *.mine\narguments = -m {game}\n");
    startWith("zsnes", {"a.smc", "a b.a26", "c.mine"}, Shown::Active);
    EXPECT_EQ(items(), (QStringList{"zsnes:1", "Mine:", "mednafen:", "stella:"}));
    EXPECT_TRUE(dialogs.messages.isEmpty());

    emulatorBox()->setFocus();
    QTest::keyClick(emulatorBox(), Qt::Key_End);
    EXPECT_EQ(window->windowTitle(), "[stella] Atari 2600" + kCaptionSuffix);
    EXPECT_EQ(listed(), QStringList{"a b.a26"});
    commandLine()->setText("-fullscreen 1");
    launch();
    ASSERT_EQ(shell.started.size(), 1);
    EXPECT_EQ(shell.started.first().program, stella);
    EXPECT_EQ(shell.started.first().arguments,
              (QStringList{"-fullscreen", "1", folder() + "roms/a b.a26"}));
    EXPECT_GE(shell.started.first().outputFd, 0);  // its output is read, not lost

    // The poll looks for the installed program's own name.
    processes.running = {"stella"};
    pollOnce();
    EXPECT_TRUE(emulatorPoll()->isActive());

    emulatorBox()->setFocus();
    QTest::keyClick(emulatorBox(), Qt::Key_Home);
    QTest::keyClick(emulatorBox(), Qt::Key_Down);
    EXPECT_EQ(emulatorBox()->currentText(), "Mine");
    EXPECT_EQ(listed(), QStringList{"c.mine"});
}

TEST_F(InstalledWindow, TheEmulatorUsedLastInAFolderIsSelectedAtStart) {
    program("zsnes");
    program("Nestopia");
    installed("stella");
    TempFolder other;
    program("zsnes", &other);
    program("Nestopia", &other);

    struct Step {
        QString folder;    // empty: the fixture's emulator folder
        int choose;        // the row chosen in the box, -1 for none
        QString selected;  // at start
    };
    const Step steps[] = {
        {"", 2, "zsnes"},             // nothing stored: the first
        {"", -1, "stella"},           // the one chosen before closing
        {other.path(), -1, "zsnes"},  // another folder keeps its own
        {"", 1, "stella"},
        {"", -1, "Nestopia"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.folder.toStdString() + " " + s.selected.toStdString());
        create(nullptr, s.folder);
        ASSERT_TRUE(window->start());
        EXPECT_EQ(emulatorBox()->currentText(), s.selected);
        if (s.choose >= 0) emulatorBox()->setCurrentIndex(s.choose);
        window->close();
        window.reset();
    }
    // A stored emulator that is gone leaves the first.
    QFile::remove(bin.file("stella"));
    QFile::remove(folder() + "Nestopia");
    start();
    EXPECT_EQ(emulatorBox()->currentText(), "zsnes");
}

// The problems of emulators.conf are named; a folder without an emulator says how to add one.
TEST_F(InstalledWindow, AnEmptyFolderShowsHowToAddAnEmulator) {
    installedSearch.userFile = config.write("emulators.conf", "[A]\nprogam = x\n");
    start(Shown::Yes);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(holds(said()[0], installedSearch.userFile + ", line 2: unknown key \"progam\""));
    auto* hint = control<QLabel>("lblNoEmulator");
    ASSERT_TRUE(hint);
    EXPECT_TRUE(hint->isVisible());
    EXPECT_TRUE(hint->isEnabled());
    EXPECT_EQ(hint->geometry(), files()->geometry());
    // It takes the focus for its link, so a screen reader names it.
    EXPECT_NE(hint->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(hint)->text(QAccessible::Name),
              "No emulator here");
    for (const QString& named : {folder(), installedSearch.userFile, QStringLiteral("stella"),
                                 QStringLiteral("retroarch")})
        EXPECT_TRUE(holds(hint->text(), named));
    emit hint->linkActivated("open");  // as a click on the folder's link
    EXPECT_EQ(shell.opened, QStringList{folder()});

    // An installed emulator is enough: no hint, the folder's games listed.
    window.reset();
    installed("stella");
    emu.write("pitfall.a26");
    start(Shown::Yes);
    EXPECT_FALSE(control<QLabel>("lblNoEmulator")->isVisible());
    EXPECT_EQ(items(), QStringList{"stella:"});
    EXPECT_EQ(listed(), QStringList{"pitfall.a26"});
}

// An emulator that ends at once is quoted; one that cannot be started is named.
TEST_F(InstalledWindow, AnEmulatorThatEndsAtOnceGetsAMessageWithWhatItWrote) {
    const QString marker = bin.file("ended");
    installed("stella",
              "#!/bin/sh\necho 'Using stand-in 1.0'\n"
              "echo 'ERROR: Unrecognized ROM file type'\necho 'on stderr' >&2\n"
              // Closed before the marker: the pipe has ended once the test sees it.
              "exec >&- 2>&-\n: > '" +
                  marker.toUtf8() + "'\n");
    emu.write("broken.a26", QByteArray(100, 'x'));
    platform::DesktopShell real{QString(), QString()};
    create(&real);
    ASSERT_TRUE(window->start());
    window->show();
    launch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }));
    pollOnce();  // no longer running: the window comes back
    EXPECT_FALSE(emulatorPoll()->isActive());
    ASSERT_EQ(said(),
              QStringList{"stella ended within 5 seconds of its start. The last it wrote:\n\n"
                          "Using stand-in 1.0\nERROR: Unrecognized ROM file type\non stderr"});
    EXPECT_EQ(dialogs.messages.first().icon, platform::MessageIcon::Warning);

    // Gone between the listing and the launch: it cannot be started.
    QFile::remove(bin.file("stella"));
    launch();  // the poll still runs every millisecond from the first time
    ASSERT_TRUE(QTest::qWaitFor([&] { return !emulatorPoll()->isActive(); }));
    EXPECT_EQ(said().mid(1), QStringList{"stella could not be started."});
}

TEST_F(InstalledWindow, AFolderHandedOverIsTakenUp) {
    program("zsnes");
    TempFolder other;
    program("Nestopia", &other);
    other.write("roms/mario.nes");
    start(Shown::Yes);
    ASSERT_TRUE(single.handler);
    single.handler("[Nestopia] Nintendo" + kCaptionSuffix);  // a caption changes nothing
    EXPECT_EQ(items(), QStringList{"zsnes:1"});

    single.handler(folderHandoff(other.path()));
    EXPECT_EQ(items(), QStringList{"Nestopia:4"});
    EXPECT_EQ(window->windowTitle(), "[Nestopia] Nintendo" + kCaptionSuffix);
    EXPECT_EQ(listed(), QStringList{"mario.nes"});
    EXPECT_EQ(settings.getSetting("Rombard", kLauncherSection, kLastFolderKey, {}),
              other.path() + '/');
    EXPECT_EQ(settings.writes().filter("set zsnes.exe roms=").size(), 1);  // the left one kept
}

// A folder of games named as the emulator folder wins over the remembered games folder.
TEST_F(InstalledWindow, AFolderOfGamesWinsOverTheRememberedOne) {
    installed("stella");
    TempFolder nes, psx;
    nes.write("a.a26");
    psx.write("b.a26");
    create(nullptr, nes.path());
    ASSERT_TRUE(window->start());
    EXPECT_EQ(listed(), QStringList{"a.a26"});
    window->close();  // stella's games folder is remembered: nes
    window.reset();

    create(nullptr, psx.path());
    ASSERT_TRUE(window->start());
    EXPECT_EQ(listed(), QStringList{"b.a26"});
    settle();
    EXPECT_TRUE(holds(picture()->toolTip(), psx.path() + "/snap/"));
    single.handler(folderHandoff(nes.path()));
    EXPECT_EQ(listed(), QStringList{"a.a26"});
}

// A mistaken command line is answered on the terminal without a display, after Qt's options.
TEST(Program, AMistakeGivesUsageAndStatusTwoWithoutADisplay) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(v);
    p.setProcessEnvironment(env);
    p.start(ROMBARD_PROGRAM, {"-platform", "xcb", "-q"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 2);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(begins(err, "rombard: "));
    EXPECT_TRUE(holds(err, "Usage: rombard [FOLDER]"));
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
}

}  // namespace
