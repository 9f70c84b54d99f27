// Leaving for a game and coming back on Wayland, where a minimised window cannot be
// brought back by its program: the window hides while the emulator runs and shows again
// when it ends, before any message about the game, with the keys working as before.

#include "launcher/ui/WindowFixture.h"
#include "platform/DesktopShell.h"
#include "platform/ProcProcessTable.h"
#include "wayland/WaylandSession.h"

#include <QGuiApplication>
#include <QWindow>

namespace {

class WaylandWindow : public WindowTest {
protected:
    bool shownAgain() const {
        return window->isVisible() && !window->isMinimized() && window->windowHandle()->isExposed();
    }
};

TEST_F(WaylandWindow, HidesWhileTheGameRunsAndComesBackAfter) {
    REQUIRE_WAYLAND();
    ASSERT_TRUE(QGuiApplication::platformName().startsWith("wayland"));
    // The stand-in emulator plays for a moment, then ends.
    const QString zsnes = emu.write("zsnes", "#!/bin/sh\nsleep 1\n");
    QFile::setPermissions(zsnes, QFile::permissions(zsnes) | QFile::ExeOwner);
    roms({"a.smc", "b.smc"});
    platform::DesktopShell shell{QString(), QString()};
    platform::ProcProcessTable table;
    processTable = &table;
    create(&shell);
    ASSERT_TRUE(window->start());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    files()->setFocus();

    for (int play = 0; play < 2; ++play) {
        SCOPED_TRACE(play);
        launch();
        EXPECT_FALSE(window->isVisible());  // hidden, not minimised: it can come back
        EXPECT_TRUE(emulatorPoll()->isActive());
        ASSERT_TRUE(QTest::qWaitFor([&] { return shownAgain(); }, 15000));
        EXPECT_FALSE(emulatorPoll()->isActive());
        // Ended within seconds: said over the window that is back, not alone.
        EXPECT_EQ(dialogs.messages.size(), play + 1);
    }
}

}  // namespace
