#pragma once

// A frame drawn around whichever of some controls has the keyboard focus. Some styles
// (Fusion among them) show no sign of the focus on a list or a drop-down box, and a user
// walking the window by keyboard must see where the next key goes.

#include <QList>
#include <QPointer>
#include <QWidget>

class FocusRing final : public QWidget {
public:
    // `parent` is the controls' common parent; the ring is drawn on it, over them.
    explicit FocusRing(QWidget* parent);
    void watch(QWidget* control);
    // The control the ring is drawn around, or none.
    QWidget* target() const { return m_target; }

    static constexpr int kWidth = 3;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void follow(QWidget* control);

    QPointer<QWidget> m_target;
};
