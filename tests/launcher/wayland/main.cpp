// The window on weston's headless backend, started before the application (the window system
// is chosen once per process); without weston every test skips. A minimised window cannot be
// brought back on Wayland: it hides while the emulator runs and shows again when it ends.

#include "launcher/ui/WindowFixture.h"
#include "platform/DesktopShell.h"
#include "platform/ProcProcessTable.h"

#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <optional>

namespace {

// Whether the tests of this program run on the weston their main started.
enum class Session { NoWeston, Failed, Running };
Session session = Session::NoWeston;

constexpr int kStartMs = 20000;

// weston in a runtime folder of its own (0700, as the protocol asks), on a socket no other
// session uses; ended with the program.
class Weston {
public:
    bool start(const QString& program) {
        if (!m_runtime.isValid()) return false;
        QFile::setPermissions(m_runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString socket =
            QStringLiteral("rombard-test-%1").arg(QCoreApplication::applicationPid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(program,
                        {QStringLiteral("--backend=headless-backend.so"),
                         QStringLiteral("--socket=") + socket, QStringLiteral("--idle-time=0")});
        if (!m_process.waitForStarted(kStartMs)) return false;
        const QString path = m_runtime.filePath(socket);
        for (int waited = 0; !QFile::exists(path); waited += 50) {
            if (waited > kStartMs || m_process.state() != QProcess::Running) return false;
            QThread::msleep(50);
        }
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        qputenv("WAYLAND_DISPLAY", socket.toUtf8());
        qputenv("QT_QPA_PLATFORM", "wayland");
        return true;
    }
    ~Weston() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QTemporaryDir m_runtime;
    QProcess m_process;
};

using WaylandWindow = WindowTest;

TEST_F(WaylandWindow, HidesWhileTheGameRunsAndComesBackAfter) {
    if (session == Session::NoWeston) GTEST_SKIP() << "weston is not installed";
    ASSERT_EQ(session, Session::Running) << "weston did not start";
    ASSERT_TRUE(QGuiApplication::platformName().startsWith("wayland"));
    // The stand-in emulator plays for a moment, then ends.
    program("zsnes", nullptr, "#!/bin/sh\nsleep 1\n");
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
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return window->isVisible() && !window->isMinimized() &&
                       window->windowHandle()->isExposed();
            },
            15000));
        EXPECT_FALSE(emulatorPoll()->isActive());
        // Ended within seconds: said over the window that is back, not alone.
        EXPECT_EQ(dialogs.messages.size(), play + 1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    // Nothing a test removes may reach the user's own trash, data or thumbnails.
    QTemporaryDir dataHome, stateHome, cacheHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    qputenv("XDG_STATE_HOME", stateHome.path().toUtf8());
    qputenv("XDG_CACHE_HOME", cacheHome.path().toUtf8());
    std::optional<Weston> weston;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("weston"));
    if (!program.isEmpty()) {
        weston.emplace();
        session = weston->start(program) ? Session::Running : Session::Failed;
    }
    // The tests skip (or fail) on their own; the application still needs a platform.
    if (session != Session::Running) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    return RUN_ALL_TESTS();
}
