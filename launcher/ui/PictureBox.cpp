#include "launcher/ui/PictureBox.h"

#include <QPainter>

#include <algorithm>

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::setPicture(const QPixmap& picture) {
    m_picture = picture;
    update();
}

void PictureBox::setTopMargin(int pixels) {
    if (pixels == m_topMargin) return;
    m_topMargin = pixels;
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QRect room = rect().adjusted(0, std::max(0, m_topMargin), 0, 0);
    if (m_picture.isNull() || room.width() <= 0 || room.height() <= 0) return;
    const QSize fitted = m_picture.size().scaled(room.size(), Qt::KeepAspectRatio);
    const QRect target(QPoint(room.left() + (room.width() - fitted.width()) / 2,
                              room.top() + (room.height() - fitted.height()) / 2),
                       fitted);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(target, m_picture);
}
