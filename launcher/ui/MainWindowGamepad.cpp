// Pads: their controls become the keyboard's keys, sent to the focused control, so every
// key route of the window works from the couch with no second code path.

#include "filelist/ui/FileListView.h"
#include "launcher/ui/MainWindow.h"
#include "platform/Gamepad.h"
#include "platform/KeystrokeSender.h"

#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace {
constexpr int kPadTipMs = 4000;
}  // namespace

void MainWindow::connectGamepads() {
    if (!m_services.gamepads) return;
    m_padRepeat = new QTimer(this);
    m_padRepeat->setObjectName(QStringLiteral("gamepadRepeat"));
    m_padRepeat->setSingleShot(true);
    connect(m_padRepeat, &QTimer::timeout, this, [this] {
        sendPadKeys(m_padKeys.repeat(m_services.gamepads->nowMs(), takesPadInput()));
    });
    m_padTip = new QTimer(this);
    m_padTip->setObjectName(QStringLiteral("gamepadTip"));
    m_padTip->setSingleShot(true);
    m_padTip->setInterval(kPadTipMs);
    connect(m_padTip, &QTimer::timeout, this, [this] { showFileCount(); });
    m_services.gamepads->setReceiver(this,
                                     [this](const platform::PadEvent& e) { handlePadEvent(e); });
}

// A game is played with the same pad: while it runs, or while another window has the
// focus, the launcher's list must not move under the player's presses.
bool MainWindow::takesPadInput() const {
    return isActiveWindow() && !m_emulatorPoll->isActive();
}

void MainWindow::handlePadEvent(const platform::PadEvent& event) {
    using Kind = platform::PadEvent::Kind;
    if (event.kind == Kind::Added) showPadTip(QStringLiteral("Gamepad connected: ") + event.name);
    if (event.kind == Kind::Removed)
        showPadTip(QStringLiteral("Gamepad disconnected: ") + event.name);
    sendPadKeys(m_padKeys.handle(event, m_services.gamepads->nowMs(), takesPadInput()));
}

void MainWindow::sendPadKeys(const QStringList& keys) {
    for (const QString& k : keys)
        m_services.keystrokes->send(k);
    const std::optional<qint64> next = m_padKeys.nextRepeatAt();
    if (!next) {
        m_padRepeat->stop();
        return;
    }
    const qint64 wait = std::max<qint64>(0, *next - m_services.gamepads->nowMs());
    m_padRepeat->start(int(std::min<qint64>(wait, platform::GamepadKeys::kFirstRepeatMs)));
}

void MainWindow::showPadTip(const QString& text) {
    m_ui.fileList->setToolTip(text);
    m_padTip->start();
    // Over a game it would only be in the way.
    if (takesPadInput())
        QToolTip::showText(m_ui.fileList->mapToGlobal(QPoint(0, 0)), text, m_ui.fileList, {},
                           kPadTipMs);
}
