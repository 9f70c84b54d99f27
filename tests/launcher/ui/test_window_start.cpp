// Start-up, emulator selection, the stored settings and the one running copy.

#include "launcher/ui/WindowFixture.h"

#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>

namespace {

TEST_F(WindowTest, StartSelectsTheFirstEmulatorAndStoresNothing) {
    program("Nestopia");
    emu.write("no$nes.exe");
    program("zsnes");
    roms({"a.smc", "b.nes"});
    settings.preset("zsnes.exe", "Maximized", "True");
    start();
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
    // Native programs under their own names; a Windows one under the catalogue's.
    EXPECT_EQ(items(), (QStringList{"zsnes:1", "Nestopia:4", "NO$NES.EXE:4"}));
    EXPECT_EQ(emulatorBox()->currentText(), "zsnes");
    EXPECT_EQ(window->windowTitle(), "[zsnes] Super Nintendo" + kCaptionSuffix);
    EXPECT_EQ(files()->path(), folder() + "roms/");
    EXPECT_EQ(files()->listCount(), 1);
    EXPECT_EQ(files()->listIndex(), 0);
    EXPECT_EQ(files()->toolTip(), "1 Files");
    EXPECT_TRUE(commandLine()->isEnabled());
    EXPECT_TRUE(settings.writes().isEmpty()) << settings.writes().join('\n').toStdString();
    // The placement comes from the first emulator's section; the scan shows the default.
    EXPECT_TRUE(settings.log.contains("get zsnes.exe Maximized"));
    EXPECT_FALSE(settings.log.contains("get Nestopia.exe Maximized"));
    EXPECT_EQ(picture()->Picture().cacheKey(),
              control<PictureBox>("imgDefault")->Picture().cacheKey());
}

// Without an emulator the list shows the folder itself, never the root, and neither a drag
// of the preview frame nor closing stores anything.
TEST_F(WindowTest, EmptyFolderDisablesTheBoxesAndStoresNothing) {
    emu.write("readme.txt");
    start();
    EXPECT_EQ(files()->path(), folder());
    EXPECT_FALSE(emulatorBox()->isEnabled());
    EXPECT_FALSE(files()->isEnabled());
    EXPECT_FALSE(commandLine()->isEnabled());
    EXPECT_EQ(window->windowTitle(), "Rombard");
    window->show();
    mouse(previewFrame(), QEvent::MouseButtonPress, 100, Qt::LeftButton);
    mouse(previewFrame(), QEvent::MouseMove, 10, Qt::LeftButton);
    mouse(previewFrame(), QEvent::MouseButtonRelease, 10, Qt::NoButton);
    window->close();
    EXPECT_FALSE(QFile::exists(settings.file()));
}

TEST_F(WindowTest, SwitchingStoresTheLeftEmulatorBeforeShowingTheNext) {
    program("zsnes");
    program("Nestopia");
    roms({"a.smc", "b.smc", "c.nes"});
    settings.preset("Nestopia.exe", "cmdline", "-fullscreen");
    settings.preset("Nestopia.exe", "file", "0");
    start();
    commandLine()->setText("-fs");
    files()->setListIndex(1);
    settings.log.clear();
    emulatorBox()->setCurrentIndex(1);

    const int firstRead = settings.log.indexOf(QRegularExpression("^get Nestopia.exe .*"));
    ASSERT_GE(firstRead, 0);
    EXPECT_EQ(settings.log.mid(0, firstRead),
              (QStringList{"set zsnes.exe cmdline=-fs", "set zsnes.exe file=1",
                           "set zsnes.exe roms=" + folder() + "roms/"}));
    EXPECT_EQ(window->windowTitle(), "[Nestopia] Nintendo" + kCaptionSuffix);
    EXPECT_EQ(commandLine()->text(), "-fullscreen");
    EXPECT_EQ(files()->fileName(), "c.nes");
    // Selecting does not lay the window out again.
    EXPECT_FALSE(settings.log.contains("get Nestopia.exe imageleft"));
}

// The start selects the stored game once: each itemClick shows a game (its title, its
// screenshot search, its preview), and a large folder pays for every one of them.
TEST_F(WindowTest, StartSelectsTheStoredGameOnce) {
    program("zsnes");
    roms({"a.smc", "b.smc", "c.smc"});
    struct Case {
        const char* file;  // nullptr: nothing stored
        QList<int> clicks;
        int index;
    };
    const Case cases[] = {
        {"2", {2}, 2},
        {"0", {0}, 0},
        {nullptr, {0}, 0},
        // A row past the end is still asked for; the first game stays selected.
        {"7", {0, 7}, 0},
        {"-1", {0}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "none");
        window.reset();
        settings.forget();
        if (c.file) settings.preset("zsnes.exe", "file", c.file);
        create();
        QSignalSpy clicks(files(), &FileListView::itemClick);
        ASSERT_TRUE(window->start());
        QList<int> heard;
        for (const QList<QVariant>& args : std::as_const(clicks))
            heard << args.at(0).toInt();
        EXPECT_EQ(heard, c.clicks);
        EXPECT_EQ(files()->listIndex(), c.index);
    }
}

TEST_F(WindowTest, ShutdownWritesTheExactKeysAndTexts) {
    program("zsnes");
    roms({"a.smc", "b.smc"});
    start(Shown::Yes);
    commandLine()->setText("-fs -v");
    files()->setListIndex(1);
    window->close();

    const QRect screen = window->screen()->geometry();
    const int left = (screen.width() * 15 - 10485) / 2, top = (screen.height() * 15 - 7110) / 2;
    QFile f(settings.file());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString expected = QStringLiteral(
        "[zsnes.exe]\nHeight=7110\nLeft=%1\nMaximized=False\nTop=%2\nWidth=10485\n"
        "cmdline=-fs -v\nfile=1\nimageleft=6291\nroms=%3");
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    // The launcher's own section first: the emulator chosen in this folder.
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.takeFirst(), "[Rombard]");
    EXPECT_TRUE(lines.takeFirst().endsWith("=zsnes.exe"));
    EXPECT_EQ(lines, expected.arg(left).arg(top).arg(folder() + "roms/").split('\n'));
}

// A second copy hands its caption to the first and ends without saving; the first comes
// forward only for its own caption.
TEST_F(WindowTest, SecondCopyHandsOverAndTheFirstAnswersItsOwnCaption) {
    program("zsnes");
    roms({"a.smc"});
    single.otherRunning = true;
    create();
    EXPECT_FALSE(window->start());
    EXPECT_EQ(single.askedWith, QStringList{"[zsnes] Super Nintendo" + kCaptionSuffix});
    EXPECT_FALSE(static_cast<bool>(single.handler));
    window.reset();
    EXPECT_TRUE(settings.writes().isEmpty());

    single.otherRunning = false;
    start();
    ASSERT_TRUE(static_cast<bool>(single.handler));
    single.handler("[other] caption");
    EXPECT_FALSE(window->isVisible());
    single.handler(window->windowTitle());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(WindowTest, RomFolderFallsBackToTheStoredThenTheEmulatorFolder) {
    program("zsnes");
    TempFolder other;
    other.write("x.smc");
    settings.preset("zsnes.exe", "roms", other.path());
    start();
    EXPECT_EQ(files()->path(), other.path() + "/");

    settings.preset("zsnes.exe", "roms", other.file("missing"));
    emu.write("game.zip");
    start();
    EXPECT_EQ(files()->path(), folder());
    EXPECT_EQ(files()->fileName(), "game.zip");
}

TEST_F(WindowTest, GameFilesWhereNoEmulatorIsKnownMakeThatTheEmulatorFolder) {
    start();
    TempFolder other;
    program("zsnes", &other);
    other.write("roms/x.smc");
    dialogs.folderAnswers = {other.file("roms"), other.path()};
    QTest::mouseClick(browseButton(), Qt::LeftButton);
    EXPECT_EQ(listed(), QStringList{"x.smc"});
    EXPECT_EQ(emulatorBox()->count(), 0);  // the games folder holds no emulator itself
    QTest::mouseClick(browseButton(), Qt::LeftButton);
    EXPECT_EQ(items(), QStringList{"zsnes:1"});
    EXPECT_EQ(listed(), QStringList{"x.smc"});
}

// An entry of the emulator box with no known system stands for a generic program of the
// emulator folder, whatever folder the launcher was started from.
class EmulatorBox : public WindowTest {
protected:
    ~EmulatorBox() override { QDir::setCurrent(m_started); }

    const QString m_started = QDir::currentPath();
};

TEST_F(EmulatorBox, AnEntryOfNoKnownSystemTakesAProgramOfTheEmulatorFolder) {
    struct Case {
        const char* what;
        QStringList emulatorFolder;  // besides the native program "zsnes"
        QString caption;             // up to the credit suffix
    };
    const Case cases[] = {
        {"emulator.exe first", {"b.exe", "emulator.exe"}, "[emulator] "},
        {"else the first .exe by name, letter case ignored", {"C.exe", "b.EXE"}, "[b] "},
        {"a folder or a link to nothing is no program", {"a.exe/", "b.exe->gone"}, "[] "},
        {"none at all", {}, "[] "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder emulators;
        program("zsnes", &emulators);
        for (const QString& e : c.emulatorFolder) {
            if (e.endsWith('/'))
                emulators.mkdir(e.chopped(1));
            else if (e.contains("->"))
                ASSERT_TRUE(QFile::link(e.section("->", 1), emulators.file(e.section("->", 0, 0))));
            else
                emulators.write(e, "MZ");
        }
        // The launcher's working folder holds a program of its own, which is never taken.
        TempFolder working;
        working.write("a.exe", "MZ");
        ASSERT_TRUE(QDir::setCurrent(working.path()));

        create(nullptr, emulators.path());
        ASSERT_TRUE(window->start());
        window->show();
        activate();
        auto* box = window->findChild<QComboBox*>(QStringLiteral("cmbEmu"));
        ASSERT_TRUE(box);
        ASSERT_EQ(box->count(), 1);
        box->addItem(QStringLiteral("mystery.exe"));  // no system code at all
        box->setFocus();
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), box);
        QTest::keyClick(box, Qt::Key_End);
        EXPECT_EQ(box->currentIndex(), 1);
        EXPECT_EQ(window->windowTitle(), c.caption + kCaptionSuffix);
        window.reset();
    }
}

}  // namespace
