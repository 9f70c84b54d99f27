#pragma once

// The animated GIF view as a widget: shows the view's control surface and its static
// picture box, turns size changes into re-layouts and re-raises the view's events.

#include "gifview/GifViewCore.h"
#include "gifview/GifViewHost.h"

#include <QFrame>

#include <memory>

class GifView : public QFrame, private GifViewHost {
    Q_OBJECT
public:
    explicit GifView(QWidget* parent = nullptr);
    ~GifView() override;

    // The logic behind the widget, for members not repeated here.
    GifViewCore& view() { return *m_view; }

    bool loadGif(const QString& fileName) { return m_view->loadGif(fileName); }
    bool loadGifBytes(const QByteArray& bytes, const QString& fileName) {
        return m_view->loadGifBytes(bytes, fileName);
    }
    void unloadGif(bool releaseSurfaces = false) { m_view->unloadGif(releaseSurfaces); }
    GifFrame* frame(int index) { return m_view->frame(index); }
    QImage frameImage(int index) { return m_view->frameImage(index); }
    int gifFrameCount() const { return m_view->gifFrameCount(); }
    QString gifVersion() const { return m_view->gifVersion(); }
    qint32 gifBackgroundColor() const { return m_view->gifBackgroundColor(); }
    int gifLogicalWindowCx() const { return m_view->gifLogicalWindowCx(); }
    int gifLogicalWindowCy() const { return m_view->gifLogicalWindowCy(); }
    QString gifFileName() const { return m_view->gifFileName(); }
    void setgifFileName(const QString& name) { m_view->setgifFileName(name); }

    bool autoSize() const { return m_view->autoSize(); }
    void setAutoSize(bool value) { m_view->setAutoSize(value); }
    qint32 backColor() const { return m_view->backColor(); }
    void setBackColor(qint32 value) { m_view->setBackColor(value); }
    int stretch() const { return m_view->stretch(); }
    void setStretch(int value) { m_view->setStretch(value); }
    int stretchMethod() const { return m_view->stretchMethod(); }
    void setStretchMethod(int value) { m_view->setStretchMethod(value); }
    int borderStyle() const { return m_view->borderStyle(); }
    void setBorderStyle(int value) { m_view->setBorderStyle(value); }
    int borderWidth() const { return m_view->borderWidth(); }
    int borderHeight() const { return m_view->borderHeight(); }
    void showFrame(int index) { m_view->showFrame(index); }

    bool animate() const { return m_view->animate(); }
    void setAnimate(bool value) { m_view->setAnimate(value); }
    void pauseAnimation(bool resume) { m_view->pauseAnimation(resume); }
    int gifMaxLoops() const { return m_view->gifMaxLoops(); }
    int setgifMaxLoops(int newMax) { return m_view->setgifMaxLoops(newMax); }
    int gifMinFrameDelay() const { return m_view->gifMinFrameDelay(); }
    int setgifMinFrameDelay(int newMin) { return m_view->setgifMinFrameDelay(newMin); }
    qint32 gifAnimationTime() const { return m_view->gifAnimationTime(); }
    qint32 gifTransparencyState() const { return m_view->gifTransparencyState(); }
    bool removeFrame(int index, bool* logicalScreenResized = nullptr) {
        return m_view->removeFrame(index, logicalScreenResized);
    }
    bool moveFrame(int index, int x, int y, bool* logicalScreenResized = nullptr) {
        return m_view->moveFrame(index, x, y, logicalScreenResized);
    }
    bool cropGif(int newWidth, int newHeight) { return m_view->cropGif(newWidth, newHeight); }

    void readProperties(const platform::PropertyBag& bag) { m_view->readProperties(bag); }

signals:
    void animationProgress(int frameIndex);
    void animationLoopComplete(int loopsLeft);
    void animationLoopExpired();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QSize clientSize() const override;
    QSize outerSize() const override;
    void setOuterSize(const QSize& size) override;
    void invalidate(const QRect& rect, bool erase) override;
    void applyBorderStyle(int style) override;

    std::unique_ptr<GifViewCore> m_view;
};
