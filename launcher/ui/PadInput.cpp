#include "launcher/ui/PadInput.h"

#include "platform/Gamepad.h"
#include "platform/KeystrokeSender.h"

#include <QTimer>
#include <QToolTip>
#include <QWidget>

#include <algorithm>

namespace {
constexpr int kPadTipMs = 4000;
}  // namespace

PadInput::PadInput(Host host, QObject* parent) : QObject(parent), m_host(std::move(host)) {
    m_repeat = new QTimer(this);
    m_repeat->setObjectName(QStringLiteral("gamepadRepeat"));
    m_repeat->setSingleShot(true);
    connect(m_repeat, &QTimer::timeout, this,
            [this] { send(m_keys.repeat(m_host.gamepads->nowMs(), m_host.takesInput())); });
    m_tip = new QTimer(this);
    m_tip->setObjectName(QStringLiteral("gamepadTip"));
    m_tip->setSingleShot(true);
    m_tip->setInterval(kPadTipMs);
    connect(m_tip, &QTimer::timeout, this, [this] { m_host.tipOver(); });
    m_host.gamepads->setReceiver(this, [this](const platform::PadEvent& e) { handle(e); });
}

void PadInput::handle(const platform::PadEvent& event) {
    using Kind = platform::PadEvent::Kind;
    if (event.kind == Kind::Added) showTip(QStringLiteral("Gamepad connected: ") + event.name);
    if (event.kind == Kind::Removed) showTip(QStringLiteral("Gamepad disconnected: ") + event.name);
    send(m_keys.handle(event, m_host.gamepads->nowMs(), m_host.takesInput()));
}

void PadInput::send(const QStringList& keys) {
    for (const QString& k : keys)
        m_host.keystrokes->send(k);
    const std::optional<qint64> next = m_keys.nextRepeatAt();
    if (!next) {
        m_repeat->stop();
        return;
    }
    const qint64 wait = std::max<qint64>(0, *next - m_host.gamepads->nowMs());
    m_repeat->start(int(std::min<qint64>(wait, platform::GamepadKeys::kFirstRepeatMs)));
}

void PadInput::showTip(const QString& text) {
    m_host.list->setToolTip(text);
    m_tip->start();
    // Over a game it would only be in the way.
    if (m_host.takesInput())
        QToolTip::showText(m_host.list->mapToGlobal(QPoint(0, 0)), text, m_host.list, {},
                           kPadTipMs);
}
