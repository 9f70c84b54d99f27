#include "platform/ui/FocusKeystrokeSender.h"

#include "platform/KeystrokeParser.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace platform {

namespace {

struct Delivery {
    QList<KeyStroke> strokes;
    qsizetype next = 0;
};

// The focused widget; while no window is active (a dialog has just closed and the window
// manager has not yet handed the focus back) the widget that gets it when it does.
QWidget* keyTarget() {
    if (QWidget* focused = QApplication::focusWidget()) return focused;
    if (QWidget* modal = QApplication::activeModalWidget()) return modal->focusWidget();
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || top->isMinimized()) continue;
        if (top->windowType() == Qt::Popup || top->windowType() == Qt::ToolTip) continue;
        if (QWidget* last = top->focusWidget()) return last;
    }
    return nullptr;
}

void deliver(const std::shared_ptr<Delivery>& d) {
    while (d->next < d->strokes.size()) {
        const KeyStroke s = d->strokes.at(d->next++);
        QWidget* target = keyTarget();
        if (!target) continue;
        // A stroke that opens a modal dialog does not return until the dialog closes; the
        // strokes after it are meant for the dialog, so they go from within its loop.
        const QPointer<QWidget> modalBefore = QApplication::activeModalWidget();
        const QMetaObject::Connection handOver = QObject::connect(
            qApp, &QApplication::focusChanged, qApp, [d, modalBefore](QWidget*, QWidget* now) {
                QWidget* modal = QApplication::activeModalWidget();
                if (!now || !modal || modal == modalBefore || now->window() != modal) return;
                QTimer::singleShot(0, qApp, [d] { deliver(d); });
            });
        QKeyEvent press(QEvent::KeyPress, s.key, s.modifiers, s.text);
        QApplication::sendEvent(target, &press);
        QObject::disconnect(handOver);
        if (QWidget* now = keyTarget()) target = now;
        QKeyEvent release(QEvent::KeyRelease, s.key, s.modifiers, s.text);
        QApplication::sendEvent(target, &release);
    }
}

}  // namespace

bool FocusKeystrokeSender::send(const QString& keys) {
    const auto strokes = parseKeystrokes(keys);
    if (!strokes) return false;
    auto delivery = std::make_shared<Delivery>();
    delivery->strokes = *strokes;
    deliver(delivery);
    return true;
}

}  // namespace platform
