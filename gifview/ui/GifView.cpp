#include "gifview/ui/GifView.h"

#include "gifview/GifColors.h"

#include <QPaintEvent>
#include <QPainter>

GifView::GifView(QWidget* parent) : QFrame(parent) {
    GifViewHost& host = *this;
    m_view = std::make_unique<GifViewCore>(host);
    // The control surface covers the whole client area, so Qt need not erase it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameStyle(QFrame::NoFrame);
    connect(m_view.get(), &GifViewCore::animationProgress, this, &GifView::animationProgress);
    connect(m_view.get(), &GifViewCore::animationLoopComplete, this,
            &GifView::animationLoopComplete);
    connect(m_view.get(), &GifViewCore::animationLoopExpired, this, &GifView::animationLoopExpired);
    m_view->relayout();
}

GifView::~GifView() {
    // The view's teardown unloads and deletes temporary copies while the host still exists.
    m_view.reset();
}

QSize GifView::clientSize() const {
    return contentsRect().size();
}

QSize GifView::outerSize() const {
    return size();
}

void GifView::setOuterSize(const QSize& size) {
    resize(size);
    // A hidden widget gets its resize event only when shown; lay out now all the same.
    if (!isVisible()) m_view->relayout();
}

void GifView::invalidate(const QRect& rect, bool) {
    update(rect.translated(contentsRect().topLeft()));
}

void GifView::applyBorderStyle(int style) {
    switch (style) {
        case 1:
            setFrameStyle(QFrame::Box | QFrame::Plain);
            setLineWidth(1);
            break;
        case 2:
            setFrameStyle(QFrame::WinPanel | QFrame::Raised);
            break;
        case 3:
            setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
            break;
        default:
            setFrameStyle(QFrame::NoFrame);
            break;
    }
}

void GifView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect client = contentsRect();
    p.fillRect(event->rect(), QColor::fromRgb(colorToRgb(m_view->surfaceBackColor())));
    p.drawImage(client.topLeft(), m_view->surface());
    if (m_view->staticPictureVisible() && !m_view->staticPicture().isNull()) {
        if (m_view->staticPictureStretched())
            p.drawImage(client, m_view->staticPicture());
        else
            p.drawImage(client.topLeft(), m_view->staticPicture());
    }
    p.end();
    QFrame::paintEvent(event);
}

void GifView::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    m_view->relayout();
}
