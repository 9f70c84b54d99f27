// Start-up, emulator selection, the stored settings and the one running copy.

#include "WindowFixture.h"
#include "launcher/ucPictureBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>

namespace {

TEST_F(WindowTest, StartListsFoundEmulatorsInCatalogueOrderAndSelectsTheFirst) {
    program("Nestopia");
    emu.write("no$nes.exe");
    emu.write("z26DOS.exe");
    program("zsnes");
    program("rombard");
    rom("a.smc");
    rom("b.nes");
    start();
    EXPECT_EQ(items(), (QStringList{"zsnes.exe:1", "Nestopia.exe:4", "NO$NES.EXE:4", "Z26dos.EXE:8",
                                    "rombard.exe:14"}));
    EXPECT_EQ(window->cmbEmu->currentIndex(), 0);
    EXPECT_EQ(window->CurrentEmulator, "zsnes.exe");
    EXPECT_EQ(window->SystemName, "Super Nintendo");
    EXPECT_EQ(window->FileMask, "*.zip;*.fig;*.smc;*.swc;*.sfc");
    EXPECT_EQ(window->windowTitle(), "[zsnes] Super Nintendo" + kCaptionSuffix);
    EXPECT_EQ(window->Files->path(), folder() + "roms/");
    EXPECT_EQ(window->Files->ListCount(), 1);
    EXPECT_EQ(window->Files->ListIndex(), 0);
    EXPECT_EQ(window->Files->toolTip(), "1 Files");
    EXPECT_EQ(window->HidePattern, "*[b?].*");
    EXPECT_TRUE(window->cmbEmu->isEnabled());
    EXPECT_TRUE(window->Files->isEnabled());
    EXPECT_TRUE(window->txtCommandLine->isEnabled());
    EXPECT_TRUE(settings.writes().isEmpty()) << settings.writes().join('\n').toStdString();
    // The placement comes from the first emulator's section.
    EXPECT_TRUE(settings.log.contains("get zsnes.exe Maximized"));
    EXPECT_FALSE(settings.log.contains("get Nestopia.exe Maximized"));
}

TEST_F(WindowTest, OpenerAloneGivesItsCaptionAndMediaMask) {
    program("rombard");
    emu.write("roms/readme.txt");
    start();
    EXPECT_EQ(items(), QStringList{"rombard.exe:14"});
    EXPECT_EQ(window->windowTitle(), "[rombard] " + kCaptionSuffix);
    EXPECT_TRUE(window->SystemName.isEmpty());
    EXPECT_TRUE(window->Files->Pattern().startsWith("*.mp3;*.mid;*.kar;"));
    EXPECT_EQ(window->Files->ListCount(), 1);
}

TEST_F(WindowTest, EmptyFolderDisablesTheBoxesAndStoresNothing) {
    start();
    EXPECT_EQ(window->cmbEmu->count(), 0);
    EXPECT_FALSE(window->cmbEmu->isEnabled());
    EXPECT_FALSE(window->Files->isEnabled());
    EXPECT_FALSE(window->txtCommandLine->isEnabled());
    EXPECT_TRUE(window->CurrentEmulator.isEmpty());
    EXPECT_EQ(window->windowTitle(), "Rombard");
    window->show();
    window->close();
    EXPECT_TRUE(settings.writes().isEmpty());
    EXPECT_FALSE(QFile::exists(settings.file()));
}

TEST_F(WindowTest, SwitchingStoresTheLeftEmulatorBeforeShowingTheNext) {
    program("zsnes");
    program("Nestopia");
    rom("a.smc");
    rom("b.smc");
    rom("c.nes");
    settings.preset("Nestopia.exe", "cmdline", "-fullscreen");
    settings.preset("Nestopia.exe", "file", "0");
    start();
    window->txtCommandLine->setText("-fs");
    window->Files->setListIndex(1);
    settings.log.clear();
    window->cmbEmu->setCurrentIndex(1);

    const int firstRead = settings.log.indexOf(QRegularExpression("^get Nestopia.exe .*"));
    ASSERT_GE(firstRead, 0);
    const QStringList before = settings.log.mid(0, firstRead);
    EXPECT_EQ(before, (QStringList{"set zsnes.exe cmdline=-fs", "set zsnes.exe file=1",
                                   "set zsnes.exe roms=" + folder() + "roms/"}));
    EXPECT_EQ(window->CurrentEmulator, "Nestopia.exe");
    EXPECT_EQ(window->windowTitle(), "[Nestopia] Nintendo" + kCaptionSuffix);
    EXPECT_EQ(window->txtCommandLine->text(), "-fullscreen");
    EXPECT_EQ(window->Files->Pattern(), "*.zip;*.nes;*.nsf;*.fds;*.unf;*.gz");
    EXPECT_EQ(window->Files->ListCount(), 1);
    EXPECT_EQ(window->Files->FileName(), "c.nes");
    // Selecting does not lay the window out again.
    EXPECT_FALSE(settings.log.contains("get Nestopia.exe imageleft"));
}

TEST_F(WindowTest, StoredListPositionAndBadStoredValues) {
    program("zsnes");
    for (const char* n : {"a.smc", "b.smc", "c.smc"})
        rom(n);
    struct Case {
        QString file;
        int index;
    };
    const Case cases[] = {{"2", 2}, {"1abc", 1}, {"abc", 0}, {"", 0}};
    for (const Case& c : cases) {
        settings.preset("zsnes.exe", "file", c.file);
        start();
        EXPECT_EQ(window->Files->ListIndex(), c.index) << c.file.toStdString();
    }
}

TEST_F(WindowTest, PlacementComesBackAndBadValuesLeaveTheWindowAlone) {
    program("zsnes");
    rom("a.smc");
    settings.preset("zsnes.exe", "Left", "300");
    settings.preset("zsnes.exe", "Top", "450");
    settings.preset("zsnes.exe", "Width", "12000");
    settings.preset("zsnes.exe", "Height", "9000");
    settings.preset("zsnes.exe", "Maximized", "False");
    start();
    EXPECT_EQ(window->size(), QSize(800, 600));
    EXPECT_FALSE(window->windowState() & Qt::WindowMaximized);

    settings.preset("zsnes.exe", "Width", "wide");
    settings.preset("zsnes.exe", "Maximized", "perhaps");
    start();
    EXPECT_EQ(window->size(), QSize(699, 474));
    EXPECT_FALSE(window->windowState() & Qt::WindowMaximized);

    settings.preset("zsnes.exe", "Width", "0");
    start();
    EXPECT_EQ(window->size(), QSize(699, 474));

    settings.preset("zsnes.exe", "Width", "12000");
    settings.preset("zsnes.exe", "Maximized", "True");
    start();
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
}

TEST_F(WindowTest, ShutdownWritesTheExactKeysAndTexts) {
    program("zsnes");
    rom("a.smc");
    rom("b.smc");
    start();
    window->show();
    window->txtCommandLine->setText("-fs -v");
    window->Files->setListIndex(1);
    window->close();

    const QRect screen = window->screen()->geometry();
    const int left = (screen.width() * 15 - 10485) / 2, top = (screen.height() * 15 - 7110) / 2;
    QFile f(settings.file());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    const QStringList expected{
        "[zsnes.exe]",
        "Height=7110",
        QStringLiteral("Left=%1").arg(left),
        "Maximized=False",
        QStringLiteral("Top=%1").arg(top),
        "Width=10485",
        "cmdline=-fs -v",
        "file=1",
        "imageleft=6291",
        "roms=" + folder() + "roms/",
    };
    EXPECT_EQ(text.split('\n', Qt::SkipEmptyParts), expected);
}

TEST_F(WindowTest, SearchTextOrEmptyBoxLeavesTheStoredCommandLine) {
    program("zsnes");
    rom("mario.smc");
    settings.preset("zsnes.exe", "cmdline", "-old");
    for (const QString& box : {QString("mario"), QString()}) {
        start();
        window->txtCommandLine->setText(box);
        window->close();
        EXPECT_EQ(stored("zsnes.exe", "cmdline"), "-old") << box.toStdString();
    }
}

TEST_F(WindowTest, SecondCopyHandsOverAndEndsWithoutSaving) {
    program("zsnes");
    rom("a.smc");
    single.otherRunning = true;
    create();
    EXPECT_FALSE(window->Form_Load());
    EXPECT_EQ(single.askedWith, QStringList{"[zsnes] Super Nintendo" + kCaptionSuffix});
    EXPECT_FALSE(static_cast<bool>(single.handler));
    window.reset();
    EXPECT_TRUE(settings.writes().isEmpty());
}

TEST_F(WindowTest, FirstCopyListensAndComesForwardOnlyForItsOwnCaption) {
    program("zsnes");
    start();
    ASSERT_TRUE(static_cast<bool>(single.handler));
    window->hide();
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
    EXPECT_EQ(window->Files->path(), other.path() + "/");

    settings.preset("zsnes.exe", "roms", other.file("missing"));
    emu.write("game.zip");
    start();
    EXPECT_EQ(window->Files->path(), folder());
    EXPECT_EQ(window->Files->FileName(), "game.zip");
}

TEST_F(WindowTest, GameFilesWhereNoEmulatorIsKnownMakeThatTheEmulatorFolder) {
    start();
    ASSERT_EQ(window->cmbEmu->count(), 0);
    TempFolder other;
    const QString zsnes = other.write("zsnes");
    QFile::setPermissions(zsnes, QFile::permissions(zsnes) | QFile::ExeOwner);
    other.write("roms/x.smc");
    other.write("readme.txt");
    window->SelectRomFolder(other.file("roms"));
    EXPECT_EQ(window->EmulatorFolder, other.path() + "/roms/");
    // The games folder holds no emulator itself, so the box stays empty.
    EXPECT_EQ(window->cmbEmu->count(), 0);
    window->SelectRomFolder(other.path());
    EXPECT_EQ(window->EmulatorFolder, other.path() + "/");
    EXPECT_EQ(items(), QStringList{"zsnes.exe:1"});
    EXPECT_EQ(window->Files->FileName(), "x.smc");
}

TEST_F(WindowTest, ScanShowsTheDefaultPicture) {
    program("zsnes");
    start();
    EXPECT_EQ(window->imgShot->Picture().size(), QSize(241, 471));
    EXPECT_EQ(window->imgShot->Picture().cacheKey(), window->imgDefault->Picture().cacheKey());
}

TEST_F(WindowTest, CreditsLabelOpensItsAddress) {
    start();
    window->show();
    QTest::mouseClick(window->lblCredits, Qt::LeftButton);
    EXPECT_EQ(shell.opened, QStringList{window->lblCredits->toolTip()});
    EXPECT_TRUE(shell.opened.first().startsWith("https://"));
}

}  // namespace
