#include "platform/ui/FocusKeystrokeSender.h"

#include "platform/KeystrokeParser.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

namespace platform {

bool FocusKeystrokeSender::send(const QString& keys) {
    const auto strokes = ParseKeystrokes(keys);
    if (!strokes) return false;
    for (const KeyStroke& s : *strokes) {
        // Queued one after another, each finds the focus that the ones before left.
        QTimer::singleShot(0, qApp, [s] {
            QWidget* target = QApplication::focusWidget();
            if (!target) return;
            QKeyEvent press(QEvent::KeyPress, s.key, s.modifiers, s.text);
            QApplication::sendEvent(target, &press);
            if (QWidget* now = QApplication::focusWidget()) target = now;
            QKeyEvent release(QEvent::KeyRelease, s.key, s.modifiers, s.text);
            QApplication::sendEvent(target, &release);
        });
    }
    return true;
}

}  // namespace platform
