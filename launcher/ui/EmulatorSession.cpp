#include "launcher/ui/EmulatorSession.h"

#include "launcher/emulators/EmulatorOutput.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/emulators/LaunchRules.h"
#include "launcher/games/PlayHistory.h"
#include "launcher/window/WindowPlacement.h"
#include "platform/Dialogs.h"
#include "platform/OutputCapture.h"
#include "platform/ProcessTable.h"
#include "platform/Shell.h"

#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace {
constexpr int kPollMs = 2000;
// How long the pipe of an emulator that is no longer running may take to close.
constexpr int kEndGraceMs = 300;
}  // namespace

// The emulator started last: what it wrote and whether it started at all.
struct EmulatorSession::Watch {
    QString emulator;
    std::unique_ptr<platform::OutputCapture> output;
    bool started = false;
};

EmulatorSession::EmulatorSession(Host host, QObject* parent)
    : QObject(parent), m_host(std::move(host)) {
    m_poll = new QTimer(this);
    m_poll->setObjectName(QStringLiteral("emulatorPoll"));
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, [this] { poll(); });
}

EmulatorSession::~EmulatorSession() = default;

bool EmulatorSession::running() const {
    return m_poll->isActive();
}

void EmulatorSession::launch(LaunchPlan plan, const Game& game) {
    // A program that failed to start is simply not running at the next poll, which brings
    // the window back; the message waits until then.
    m_watch = std::make_unique<Watch>();
    m_watch->emulator = game.emulator;
    // A document goes to the desktop's handler, whose own end says nothing about it.
    if (!plan.openDocument) {
        m_watch->output = std::make_unique<platform::OutputCapture>();
        if (m_watch->output->isOpen()) plan.start.outputFd = m_watch->output->writeEnd();
    }
    if (m_host.history) m_host.history->aboutToLaunch();
    const bool started =
        plan.openDocument ? m_host.shell->open(plan.fileStarted) : m_host.shell->start(plan.start);
    m_watch->started = started || plan.openDocument;
    if (m_watch->output) m_watch->output->closeWriteEnd();
    if (m_host.started) m_host.started();
    if (started && m_host.history) m_host.history->gameStarted(game.path, game.historyEmulator);

    m_process = game.process;
    QWidget* window = m_host.window;
    m_stateBefore = window->windowState();
    if (leaveModeFor(QGuiApplication::platformName()) == LeaveMode::Hide)
        window->hide();
    else
        window->setWindowState(window->windowState() | Qt::WindowMinimized);
    m_poll->start();
}

void EmulatorSession::poll() {
    if (m_host.processes->isRunning(m_process)) return;
    m_poll->stop();
    // The window system takes the state, the showing and the activation in the order they
    // are asked: nothing needs to be waited for in between.
    m_host.window->setWindowState(m_stateBefore);
    if (m_host.bringBack) m_host.bringBack();
    // What the emulator wrote is said over the window that is back.
    if (const std::unique_ptr<Watch> watch = std::move(m_watch)) reportEarlyEnd(*watch);
}

void EmulatorSession::reportEarlyEnd(Watch& watch) {
    if (!watch.output) return;
    platform::OutputCapture& output = *watch.output;
    // The emulator is gone; its pipe closes with it, unless something it started keeps
    // it open, and then the game was not refused at once.
    output.waitForEnd(kEndGraceMs);
    const qint64 elapsed = output.ended() ? output.msecsToEnd() : kEarlyEndMs;
    const std::optional<QString> message =
        earlyEndMessage(watch.emulator, elapsed, watch.started, output.tail(), output.truncated());
    if (message)
        m_host.dialogs->messageBox(*message, platform::MessageButtons::Ok,
                                   platform::MessageIcon::Warning, QStringLiteral("Rombard"));
}
