// Start-up, emulator choice, stored settings, one copy, the layout (its only check), F12.

#include "filelist/ListModel.h"
#include "launcher/ui/WindowFixture.h"
#include "launcher/window/WindowPlacement.h"
#include "platform/DesktopShell.h"
#include "support/RawFiles.h"

#include <QHeaderView>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTreeView>

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
    EXPECT_EQ(window->windowTitle(), "[zsnes] Super Nintendo" + kCaptionSuffix);
    EXPECT_EQ(files()->path(), folder() + "roms/");
    EXPECT_EQ(listed(), QStringList{"a.smc"});
    EXPECT_TRUE(commandLine()->isEnabled());
    EXPECT_TRUE(settings.writes().isEmpty()) << settings.writes().join('\n').toStdString();
    // The placement comes from the first emulator's section; the scan shows the default.
    EXPECT_FALSE(settings.log.contains("get Nestopia.exe Maximized"));
    EXPECT_EQ(picture()->Picture().cacheKey(),
              control<PictureBox>("imgDefault")->Picture().cacheKey());
}

// Without an emulator the list shows the folder itself, and nothing is ever stored.
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
    EXPECT_EQ(settings.writes(), QStringList());
    EXPECT_FALSE(QFile::exists(settings.file()));
}

TEST_F(WindowTest, SwitchingStoresTheLeftEmulatorBeforeShowingTheNext) {
    program("Nestopia");
    settings.preset("Nestopia.exe", "cmdline", "-fullscreen");
    settings.preset("Nestopia.exe", "file", "0");
    startWith("zsnes", {"a.smc", "b.smc", "c.nes"});
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

// The start selects the stored game once: each itemClick shows a game, at a cost.
TEST_F(WindowTest, StartSelectsTheStoredGameOnce) {
    program("zsnes");
    roms({"a.smc", "b.smc", "c.smc"});
    struct Case {
        const char* file;  // nullptr: nothing stored
        QList<int> clicks;
        int index;
    };
    const Case cases[] = {
        // Row 7, past the end, is still asked for; the first game stays selected.
        {"2", {2}, 2}, {"0", {0}, 0}, {nullptr, {0}, 0}, {"-1", {0}, -1}, {"7", {0, 7}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "none");
        window.reset();
        settings.forget();
        if (c.file) settings.preset("zsnes.exe", "file", c.file);
        create();
        QList<int> heard;
        QObject::connect(files(), &FileListView::itemClick, [&](int item) { heard << item; });
        ASSERT_TRUE(window->start());
        EXPECT_EQ(heard, c.clicks);
        EXPECT_EQ(files()->listIndex(), c.index);
    }
}

TEST_F(WindowTest, SecondCopyHandsOverAndTheFirstAnswersItsOwnCaption) {
    program("zsnes");
    roms({"a.smc"});
    // Nor does it name the problems of emulators.conf: the first copy did.
    installedSearch.userFile = config.write("emulators.conf", "[A]\nprogam = x\n");
    single.otherRunning = true;
    create();
    EXPECT_FALSE(window->start());
    EXPECT_EQ(single.askedWith, QStringList{"[zsnes] Super Nintendo" + kCaptionSuffix});
    EXPECT_FALSE(static_cast<bool>(single.handler));
    window.reset();
    EXPECT_TRUE(settings.writes().isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());

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

// An entry of no known system takes a program of the emulator folder, not the working one.
TEST_F(WindowTest, AnEntryOfNoKnownSystemTakesAProgramOfTheEmulatorFolder) {
    const struct Back {
        QString to = QDir::currentPath();
        ~Back() { QDir::setCurrent(to); }
    } back;
    TempFolder working;
    working.write("a.exe", "MZ");
    ASSERT_TRUE(QDir::setCurrent(working.path()));
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
        create(nullptr, emulators.path());
        ASSERT_TRUE(window->start());
        emulatorBox()->addItem(QStringLiteral("mystery.exe"));  // no system code at all
        QTest::keyClick(emulatorBox(), Qt::Key_End);
        EXPECT_EQ(window->windowTitle(), c.caption + kCaptionSuffix);
        window.reset();
    }
}

// The pixels of `twips`, as the settings store the frame's left edge.
int px(int twips) {
    return twipsToPixels(twips, 96);
}

TEST_F(WindowTest, LayoutAtTwoWindowSizes) {
    startWith("zsnes", {}, Shown::Yes);
    struct Case {
        QWidget* control;
        QRect small, large;  // at 699 x 474 and at 1000 x 700
    };
    const Case cases[] = {
        {emulatorBox(), {0, 455, 151, 19}, {0, 681, 151, 19}},
        {commandLine(), {151, 455, 414, 19}, {151, 681, 715, 19}},
        {browseButton(), {565, 455, 21, 18}, {866, 681, 21, 18}},
        {control<QLabel>("lblCredits"), {586, 455, 113, 18}, {887, 681, 113, 18}},
        {previewFrame(), {419, 0, 280, 454}, {600, 0, 400, 680}},
        {files(), {0, 0, 419, 455}, {0, 0, 600, 681}},
    };
    for (const QSize size : {QSize(699, 474), QSize(1000, 700)}) {
        SCOPED_TRACE(size.width());
        window->resize(size);
        for (const Case& c : cases)
            EXPECT_EQ(c.control->geometry(), size.width() == 699 ? c.small : c.large)
                << c.control->metaObject()->className();
        const QRect frame = previewFrame()->geometry();
        EXPECT_EQ(picture()->geometry(), QRect(QPoint(0, 0), frame.size()));
        EXPECT_EQ(title()->width(), frame.width());
        EXPECT_EQ(control<QLabel>("lblShadow")->width(), frame.width());
        EXPECT_EQ(folderList()->geometry().top(), driveList()->height());
        EXPECT_EQ(folderList()->width(), files()->width());
    }
}

// At 1,250 pixels every column shows without scrolling, the name keeping a third.
TEST_F(WindowTest, EveryColumnShowsAndTheNameTakesTheRest) {
    startWith("Nestopia", {"Pac-Man.nes", "Super Mario Bros. 3 (USA) (Rev 1).nes"}, Shown::Active);
    auto* view = qobject_cast<QTreeView*>(files()->currentView());
    ASSERT_TRUE(view);
    files()->model().setColumnShown(ListModel::kVerifiedColumn, true);
    QHeaderView* header = view->header();
    window->resize(1250, 700);
    QApplication::processEvents();
    ASSERT_EQ(header->count(), 8);  // all but the raw size
    int right = 0;
    for (int i = 0; i < header->count(); ++i) {
        EXPECT_GT(header->sectionSize(i), 20) << i;
        right = std::max(right, header->sectionViewportPosition(i) + header->sectionSize(i));
    }
    EXPECT_EQ(right, view->viewport()->width());
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
    EXPECT_GE(header->sectionSize(0), view->viewport()->width() / 3);
}

// A stored split is read at the next layout, within the window; F12 hides and resets the panel.
TEST_F(WindowTest, StoredSplitIsReadAtTheNextLayoutWithinTheWindowAndF12) {
    startWith("zsnes", {}, Shown::Active);
    const std::pair<const char*, int> stored[] = {{"2000000000", 10485}, {"-4509", 0},
                                                  {"10485", 10485},      {"0", 0},
                                                  {"left", 6291},        {"3000", 3000}};
    for (const auto& [text, left] : stored) {
        settings.preset("zsnes.exe", "imageleft", text);
        window->resize(700, 474);
        window->resize(699, 474);
        EXPECT_EQ(previewFrame()->x(), px(left)) << text;
    }
    QTest::keyClick(files(), Qt::Key_F12);
    EXPECT_EQ(previewFrame()->x(), 699);
    EXPECT_EQ(previewFrame()->width(), 0);
    EXPECT_EQ(files()->width(), 699);
    QTest::keyClick(commandLine(), Qt::Key_F12);
    EXPECT_EQ(previewFrame()->x(), px(6291));

    window->resize(40, 10);  // heights would be negative: the list keeps its last place
    EXPECT_GT(files()->height(), 0);
    EXPECT_EQ(emulatorBox()->y(), 10 - 19);
}

TEST_F(WindowTest, DraggingMovesTheFrameByBandsAndStoresTheEdgeOnRelease) {
    startWith("zsnes", {}, Shown::Yes);
    QFrame* frame = previewFrame();
    ASSERT_EQ(frame->x(), px(6291));

    mouse(frame, QEvent::MouseButtonPress, 100, Qt::LeftButton);
    mouse(frame, QEvent::MouseMove, 75, Qt::LeftButton);  // 5916: the band below
    EXPECT_EQ(frame->x(), px(5916));
    EXPECT_EQ(files()->width(), 394);
    mouse(frame, QEvent::MouseMove, 50, Qt::NoButton);  // no button held: no drag
    EXPECT_EQ(frame->x(), px(5916));
    EXPECT_TRUE(settings.writes().isEmpty());
    mouse(frame, QEvent::MouseButtonRelease, 75, Qt::NoButton);
    EXPECT_EQ(settings.writes(), QStringList{"set zsnes.exe imageleft=5916"});

    // Dragged far past the left edge: the frame stops at 0 and 0 is stored.
    mouse(frame, QEvent::MouseButtonPress, 100, Qt::LeftButton);
    mouse(frame, QEvent::MouseMove, -2000, Qt::LeftButton);
    EXPECT_EQ(frame->x(), 0);
    settings.log.clear();
    mouse(frame, QEvent::MouseButtonRelease, -2000, Qt::NoButton);
    EXPECT_EQ(settings.writes(), QStringList{"set zsnes.exe imageleft=0"});
}

TEST(WindowPlacement, StoredGeometryLandsOnAScreenAndFitsIt) {
    // A panel at the bottom of the primary screen; a larger screen to its right.
    const DesktopArea desktop{{{0, 0, 1280, 770}, {1280, 0, 1920, 1080}}, 0};
    struct Case {
        const char* what;
        TwipRect stored;
        std::optional<TwipRect> shown;
    };
    const Case cases[] = {
        {"fits: kept exactly", {100, 50, 800, 600}, TwipRect{100, 50, 800, 600}},
        {"partly off its screen: kept", {-100, -20, 800, 600}, TwipRect{-100, -20, 800, 600}},
        {"taller than the available area", {100, 0, 800, 900}, TwipRect{100, 0, 800, 770}},
        {"huge", {-499999000, -499999000, 999999999, 999999999}, TwipRect{1280, 0, 1920, 1080}},
        {"wider than the second screen", {1000, 10, 2500, 500}, TwipRect{1280, 10, 1920, 500}},
        {"off every screen to the right", {5000, 100, 800, 600}, TwipRect{240, 85, 800, 600}},
        {"off screen, huge", {2147483647 - 10, 0, 2147483647, 10}, TwipRect{0, 380, 1280, 10}},
        {"zero width", {0, 0, 0, 600}, std::nullopt},
        {"negative height", {0, 0, 800, -1}, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(placeOnDesktop(c.stored, desktop), c.shown) << c.what;

    EXPECT_EQ(placeOnDesktop({5, 5, 99999, 99999}, {}), (TwipRect{5, 5, 99999, 99999}));
    // The primary screen is the one named, not the first.
    EXPECT_EQ(placeOnDesktop({-5000, 0, 100, 100}, {desktop.screens, 1}),
              (TwipRect{2190, 490, 100, 100}));
}

QStringList savedGeometry(const RecordingSettings& settings) {
    QStringList out;
    for (const QString& w : settings.writes())
        for (const char* key : {" Left=", " Top=", " Width=", " Height="})
            if (w.contains(QLatin1String(key))) out << w.section(' ', 2);
    return out;
}

TEST_F(WindowTest, StoredGeometryIsBroughtOntoTheScreenAndSavedAsShown) {
    program("zsnes");
    const QRect a = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        QStringList stored;
        QRect shown;  // in pixels: the window's position and its inner size
    };
    const Case cases[] = {
        {{"Left=-499994000", "Top=-499995500", "Width=999999999", "Height=999999999"}, a},
        {{"Left=0", "Top=0", "Width=0", "Height=0"}, {0, 0, 699, 474}},  // not applied
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.join(' ').toStdString());
        for (const QString& pair : c.stored)
            settings.preset("zsnes.exe", pair.section('=', 0, 0), pair.section('=', 1));
        start(Shown::Yes);
        EXPECT_EQ(QRect(window->pos(), window->size()), c.shown);
        settings.log.clear();
        window->close();
        // What comes back next time is the window that was shown, centred.
        const QRect screen = window->screen()->geometry();
        const int w = c.shown.width() * 15, h = c.shown.height() * 15;
        EXPECT_EQ(
            savedGeometry(settings),
            (QStringList{QStringLiteral("Left=%1").arg((screen.width() * 15 - w) / 2),
                         QStringLiteral("Top=%1").arg((screen.height() * 15 - h) / 2),
                         QStringLiteral("Width=%1").arg(w), QStringLiteral("Height=%1").arg(h)}));
    }
}

// Names that are not UTF-8 reach the started emulator byte for byte.
TEST_F(WindowTest, OddNamedFolderAndGameReachTheEmulatorByteForByte) {
    const QByteArray oddFolder("emus \xe9\xff"), oddGame("bad\xff\xfename.smc");
    const QString base = emu.path() + QLatin1Char('/') + platform::decodeName(oddFolder);
    const raw::RemoveTree cleanup(base);
    ASSERT_TRUE(raw::mkdir(base));
    ASSERT_TRUE(raw::mkdir(base + QStringLiteral("/roms")));
    const QString zsnes = base + QStringLiteral("/zsnes");
    ASSERT_TRUE(raw::link(QStringLiteral(RECORD_ARGV_PROGRAM), zsnes));
    ASSERT_TRUE(raw::write(base + QStringLiteral("/roms/") + platform::decodeName(oddGame), "rom"));

    platform::DesktopShell realShell(QString{}, QString{});
    create(&realShell, base);
    ASSERT_TRUE(window->start());
    ASSERT_EQ(items(), QStringList{"zsnes:1"});
    EXPECT_EQ(raw::bytes(files()->fileName()), oddGame);

    QTest::keyClick(files()->currentView(), Qt::Key_Return);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return raw::exists(zsnes + QStringLiteral(".argv")); }, 10000));
    const QList<QByteArray> recorded = raw::recorded(zsnes);
    ASSERT_EQ(recorded.size(), 2);
    EXPECT_EQ(recorded.at(1), raw::bytes(emu.path()) + '/' + oddFolder + "/roms/" + oddGame);
}

}  // namespace
