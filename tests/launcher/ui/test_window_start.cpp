// Start-up, emulator selection, the stored settings and the one running copy.

#include "launcher/ui/PictureBox.h"
#include "launcher/ui/WindowFixture.h"

#include <QFrame>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>

namespace {

TEST_F(WindowTest, StartSelectsTheFirstEmulatorAndStoresNothing) {
    program("Nestopia");
    emu.write("no$nes.exe");
    program("zsnes");
    roms({"a.smc", "b.nes"});
    start();
    EXPECT_EQ(items(), (QStringList{"zsnes.exe:1", "Nestopia.exe:4", "NO$NES.EXE:4"}));
    EXPECT_EQ(window->m_currentEmulator, "zsnes.exe");
    EXPECT_EQ(window->windowTitle(), "[zsnes] Super Nintendo" + kCaptionSuffix);
    EXPECT_EQ(window->m_fileList->path(), folder() + "roms/");
    EXPECT_EQ(window->m_fileList->ListCount(), 1);
    EXPECT_EQ(window->m_fileList->ListIndex(), 0);
    EXPECT_EQ(window->m_fileList->toolTip(), "1 Files");
    EXPECT_TRUE(window->m_commandLine->isEnabled());
    EXPECT_TRUE(settings.writes().isEmpty()) << settings.writes().join('\n').toStdString();
    // The placement comes from the first emulator's section; the scan shows the default.
    EXPECT_TRUE(settings.log.contains("get zsnes.exe Maximized"));
    EXPECT_FALSE(settings.log.contains("get Nestopia.exe Maximized"));
    EXPECT_EQ(window->m_picture->Picture().cacheKey(),
              window->m_defaultPicture->Picture().cacheKey());
}

// Without an emulator the list shows the folder itself, never the root, and neither a drag
// of the preview frame nor closing stores anything.
TEST_F(WindowTest, EmptyFolderDisablesTheBoxesAndStoresNothing) {
    emu.write("readme.txt");
    start();
    EXPECT_EQ(window->m_fileList->path(), folder());
    EXPECT_FALSE(window->m_emulatorBox->isEnabled());
    EXPECT_FALSE(window->m_fileList->isEnabled());
    EXPECT_FALSE(window->m_commandLine->isEnabled());
    EXPECT_EQ(window->windowTitle(), "Rombard");
    window->show();
    mouse(window->m_previewFrame, QEvent::MouseButtonPress, 100, Qt::LeftButton);
    mouse(window->m_previewFrame, QEvent::MouseMove, 10, Qt::LeftButton);
    mouse(window->m_previewFrame, QEvent::MouseButtonRelease, 10, Qt::NoButton);
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
    window->m_commandLine->setText("-fs");
    window->m_fileList->setListIndex(1);
    settings.log.clear();
    window->m_emulatorBox->setCurrentIndex(1);

    const int firstRead = settings.log.indexOf(QRegularExpression("^get Nestopia.exe .*"));
    ASSERT_GE(firstRead, 0);
    EXPECT_EQ(settings.log.mid(0, firstRead),
              (QStringList{"set zsnes.exe cmdline=-fs", "set zsnes.exe file=1",
                           "set zsnes.exe roms=" + folder() + "roms/"}));
    EXPECT_EQ(window->windowTitle(), "[Nestopia] Nintendo" + kCaptionSuffix);
    EXPECT_EQ(window->m_commandLine->text(), "-fullscreen");
    EXPECT_EQ(window->m_fileList->FileName(), "c.nes");
    // Selecting does not lay the window out again.
    EXPECT_FALSE(settings.log.contains("get Nestopia.exe imageleft"));
}

TEST_F(WindowTest, StoredValuesComeBackAndBadOnesAreIgnored) {
    program("zsnes");
    roms({"a.smc", "b.smc", "c.smc"});
    struct Case {
        QString file, width, maximized;
        int index;
        QSize size;  // when not maximized
    };
    const Case cases[] = {
        {"2", "12000", "False", 2, {800, 600}},
        {"1abc", "wide", "perhaps", 1, {699, 474}},
        {"abc", "0", "False", 0, {699, 474}},  // a size of nothing could not be seen
        {"", "12000", "True", 0, {}},
    };
    settings.preset("zsnes.exe", "Height", "9000");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width.toStdString());
        settings.preset("zsnes.exe", "file", c.file);
        settings.preset("zsnes.exe", "Width", c.width);
        settings.preset("zsnes.exe", "Maximized", c.maximized);
        start();
        EXPECT_EQ(window->m_fileList->ListIndex(), c.index);
        EXPECT_EQ(bool(window->windowState() & Qt::WindowMaximized), c.size.isEmpty());
        if (!c.size.isEmpty()) {
            EXPECT_EQ(window->size(), c.size);
        }
    }
}

TEST_F(WindowTest, ShutdownWritesTheExactKeysAndTexts) {
    program("zsnes");
    roms({"a.smc", "b.smc"});
    start(Shown::Yes);
    window->m_commandLine->setText("-fs -v");
    window->m_fileList->setListIndex(1);
    window->close();

    const QRect screen = window->screen()->geometry();
    const int left = (screen.width() * 15 - 10485) / 2, top = (screen.height() * 15 - 7110) / 2;
    QFile f(settings.file());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString expected = QStringLiteral(
        "[zsnes.exe]\nHeight=7110\nLeft=%1\nMaximized=False\nTop=%2\nWidth=10485\n"
        "cmdline=-fs -v\nfile=1\nimageleft=6291\nroms=%3");
    EXPECT_EQ(QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts),
              expected.arg(left).arg(top).arg(folder() + "roms/").split('\n'));
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
    EXPECT_EQ(window->m_fileList->path(), other.path() + "/");

    settings.preset("zsnes.exe", "roms", other.file("missing"));
    emu.write("game.zip");
    start();
    EXPECT_EQ(window->m_fileList->path(), folder());
    EXPECT_EQ(window->m_fileList->FileName(), "game.zip");
}

TEST_F(WindowTest, GameFilesWhereNoEmulatorIsKnownMakeThatTheEmulatorFolder) {
    start();
    TempFolder other;
    program("zsnes", &other);
    other.write("roms/x.smc");
    window->selectRomFolder(other.file("roms"));
    EXPECT_EQ(window->m_emulatorFolder, other.path() + "/roms/");
    EXPECT_EQ(window->m_emulatorBox->count(), 0);  // the games folder holds no emulator itself
    window->selectRomFolder(other.path());
    EXPECT_EQ(window->m_emulatorFolder, other.path() + "/");
    EXPECT_EQ(items(), QStringList{"zsnes.exe:1"});
    EXPECT_EQ(window->m_fileList->FileName(), "x.smc");
}

}  // namespace
