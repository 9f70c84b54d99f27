#include "launcher/ui/FocusRing.h"

#include <QEvent>
#include <QPainter>

FocusRing::FocusRing(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("focusRing"));
    // Only drawn: clicks go to the control below, and a screen reader has the control.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void FocusRing::watch(QWidget* control) {
    control->installEventFilter(this);
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    auto* control = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
        case QEvent::FocusIn:
            follow(control);
            break;
        case QEvent::FocusOut:
        case QEvent::Hide:
            if (control == m_target) follow(nullptr);
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (control == m_target) follow(control);
            break;
        default:
            break;
    }
    return false;
}

void FocusRing::follow(QWidget* control) {
    m_target = control;
    if (!control || !control->isVisible()) {
        hide();
        return;
    }
    setGeometry(control->geometry().adjusted(-kWidth, -kWidth, kWidth, kWidth));
    show();
    raise();
    update();
}

void FocusRing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight), kWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal half = kWidth / 2.0;
    painter.drawRect(QRectF(rect()).adjusted(half, half, -half, -half));
}
