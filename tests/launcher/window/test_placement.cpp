// Stored geometry kept on the desktop, and odd file names from the emulator folder to the
// started emulator.

#include "launcher/ui/WindowFixture.h"
#include "launcher/window/WindowPlacement.h"
#include "platform/DesktopShell.h"
#include "support/RawFiles.h"

#include <QScreen>

namespace {

using platform::decodeName;

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
        {"huge and centred far away",
         {-499999000, -499999000, 999999999, 999999999},
         TwipRect{1280, 0, 1920, 1080}},
        {"wider than the second screen", {1000, 10, 2500, 500}, TwipRect{1280, 10, 1920, 500}},
        {"off every screen to the right", {5000, 100, 800, 600}, TwipRect{240, 85, 800, 600}},
        {"off every screen and huge",
         {2147483647 - 10, 0, 2147483647, 10},
         TwipRect{0, 380, 1280, 10}},
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
        const char *what, *left, *top, *width, *height;
        QRect shown;  // in pixels: the window's position and its inner size
    };
    const Case cases[] = {
        {"giant", "-499994000", "-499995500", "999999999", "999999999", a},
        {"zero: not applied", "0", "0", "0", "0", {0, 0, 699, 474}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        settings.preset("zsnes.exe", "Left", c.left);
        settings.preset("zsnes.exe", "Top", c.top);
        settings.preset("zsnes.exe", "Width", c.width);
        settings.preset("zsnes.exe", "Height", c.height);
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

// An emulator folder and a game whose names are not valid UTF-8, from the scan to the
// bytes the started emulator receives.
TEST_F(WindowTest, OddNamedFolderAndGameReachTheEmulatorByteForByte) {
    const QByteArray oddFolder("emus \xe9\xff"), oddGame("bad\xff\xfename.smc");
    const QString base = emu.path() + QLatin1Char('/') + decodeName(oddFolder);
    const raw::RemoveTree cleanup(base);
    ASSERT_TRUE(raw::mkdir(base));
    ASSERT_TRUE(raw::mkdir(base + QStringLiteral("/roms")));
    const QString zsnes = base + QStringLiteral("/zsnes");
    ASSERT_TRUE(raw::link(QStringLiteral(RECORD_ARGV_PROGRAM), zsnes));
    ASSERT_TRUE(raw::write(base + QStringLiteral("/roms/") + decodeName(oddGame), "rom"));

    platform::DesktopShell realShell(QString{}, QString{});
    create(&realShell, base);
    ASSERT_TRUE(window->start());
    ASSERT_EQ(items(), QStringList{"zsnes:1"});
    ASSERT_EQ(files()->listCount(), 1);
    EXPECT_EQ(raw::bytes(files()->fileName()), oddGame);

    QTest::keyClick(files()->currentView(), Qt::Key_Return);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return raw::exists(zsnes + QStringLiteral(".argv")); }, 10000));
    const QList<QByteArray> recorded = raw::recorded(zsnes);
    ASSERT_EQ(recorded.size(), 2);
    EXPECT_EQ(recorded.at(1), raw::bytes(emu.path()) + '/' + oddFolder + "/roms/" + oddGame);
}

}  // namespace
