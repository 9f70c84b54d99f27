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

    bool LoadGIF(const QString& fileName) { return m_view->LoadGIF(fileName); }
    void UnloadGIF(bool releaseSurfaces = false) { m_view->UnloadGIF(releaseSurfaces); }
    GifFrame* Frame(int Index) { return m_view->Frame(Index); }
    QImage FrameImage(int Index) { return m_view->FrameImage(Index); }
    int gifFrameCount() const { return m_view->gifFrameCount(); }
    QString gifVersion() const { return m_view->gifVersion(); }
    qint32 gifBackgroundColor() const { return m_view->gifBackgroundColor(); }
    int gifLogicalWindowCx() const { return m_view->gifLogicalWindowCx(); }
    int gifLogicalWindowCy() const { return m_view->gifLogicalWindowCy(); }
    QString gifFileName() const { return m_view->gifFileName(); }
    void setgifFileName(const QString& name) { m_view->setgifFileName(name); }

    bool AutoSize() const { return m_view->AutoSize(); }
    void setAutoSize(bool value) { m_view->setAutoSize(value); }
    qint32 BackColor() const { return m_view->BackColor(); }
    void setBackColor(qint32 value) { m_view->setBackColor(value); }
    int Stretch() const { return m_view->Stretch(); }
    void setStretch(int value) { m_view->setStretch(value); }
    int StretchMethod() const { return m_view->StretchMethod(); }
    void setStretchMethod(int value) { m_view->setStretchMethod(value); }
    int BorderStyle() const { return m_view->BorderStyle(); }
    void setBorderStyle(int value) { m_view->setBorderStyle(value); }
    int BorderWidth() const { return m_view->BorderWidth(); }
    int BorderHeight() const { return m_view->BorderHeight(); }
    void ShowFrame(int Index) { m_view->ShowFrame(Index); }

    bool Animate() const { return m_view->Animate(); }
    void setAnimate(bool value) { m_view->setAnimate(value); }
    void PauseAnimation(bool resume) { m_view->PauseAnimation(resume); }
    int gifMaxLoops() const { return m_view->gifMaxLoops(); }
    int setgifMaxLoops(int newMax) { return m_view->setgifMaxLoops(newMax); }
    int gifMinFrameDelay() const { return m_view->gifMinFrameDelay(); }
    int setgifMinFrameDelay(int newMin) { return m_view->setgifMinFrameDelay(newMin); }
    qint32 gifAnimationTime() const { return m_view->gifAnimationTime(); }
    qint32 gifTransparencyState() const { return m_view->gifTransparencyState(); }
    bool RemoveFrame(int Index, bool* logicalScreenResized = nullptr) {
        return m_view->RemoveFrame(Index, logicalScreenResized);
    }
    bool MoveFrame(int Index, int x, int y, bool* logicalScreenResized = nullptr) {
        return m_view->MoveFrame(Index, x, y, logicalScreenResized);
    }
    bool CropGIF(int NewWidth, int NewHeight) { return m_view->CropGIF(NewWidth, NewHeight); }

    void ReadProperties(const platform::PropertyBag& bag) { m_view->ReadProperties(bag); }

signals:
    void AnimationProgress(int frameIndex);
    void AnimationLoopComplete(int loopsLeft);
    void AnimationLoopExpired();

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
