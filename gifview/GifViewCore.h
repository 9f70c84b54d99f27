#pragma once

// The GIF view without its window: loading, properties, drawing onto pixel buffers, the
// animation and saving to a property bag. The widget shows `surface()` and the static
// picture, and forwards size changes; everything a test checks lives here.

#include "gifview/GifDocument.h"
#include "gifview/GifViewHost.h"
#include "platform/PropertyBag.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class GifViewCore : public QObject {
    Q_OBJECT
public:
    static constexpr qint32 kButtonFace = static_cast<qint32>(0x8000000F);
    // The largest client side AutoSize asks for.
    static constexpr int kMaxAutoSize = 4096;

    explicit GifViewCore(GifViewHost& host, QObject* parent = nullptr);
    ~GifViewCore() override;

    // ---- loading
    bool loadGif(const QString& fileName);
    // A GIF file's bytes, read elsewhere: the window reads them off its own thread, since
    // the file may be on a share that stops answering. Nothing here touches the disk.
    bool loadGifBytes(const QByteArray& bytes, const QString& fileName);
    void unloadGif(bool releaseSurfaces = false);
    GifFrame* frame(int index) { return m_doc.frame(index); }
    QImage frameImage(int index) { return m_doc.frameImage(index); }
    int gifFrameCount() const { return m_doc.hasFrames() ? m_doc.frameCount() : 0; }
    QString gifVersion() const { return m_doc.info().version; }
    qint32 gifBackgroundColor() const { return m_doc.info().background; }
    int gifLogicalWindowCx() const { return m_doc.info().logicalWidth; }
    int gifLogicalWindowCy() const { return m_doc.info().logicalHeight; }
    QString gifFileName() const;
    void setgifFileName(const QString& name);
    const GifDocument& document() const { return m_doc; }
    GifDocument& document() { return m_doc; }

    // The image box that shows static pictures over the control surface.
    const QImage& staticPicture() const { return m_staticPicture; }
    bool staticPictureVisible() const { return m_staticPictureVisible; }
    bool staticPictureStretched() const { return m_stretch != 0; }

    // ---- appearance
    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool value);
    qint32 backColor() const { return m_backColor; }
    void setBackColor(qint32 value);
    int stretch() const { return m_stretch; }
    void setStretch(int value);
    int stretchMethod() const { return m_stretchMethod; }
    void setStretchMethod(int value);
    int borderStyle() const { return m_borderStyle; }
    void setBorderStyle(int value);
    int borderWidth() const;
    int borderHeight() const;
    float scaleX() const { return m_scaleX; }
    float scaleY() const { return m_scaleY; }
    // The colour the control surface is cleared with outside what is drawn.
    qint32 surfaceBackColor() const { return m_surfaceBackColor; }

    void showFrame(int index);
    void fitLogicalScreen(int& width, int& height, bool& flag, qint32& border) const;
    // The host paints a background on the returned picture, then hands it over.
    QImage* beginCustomBackground();
    void commitCustomBackground();
    void removeCustomBackground();
    // The resize handling; also run after layout-changing property writes and loads.
    void relayout();

    // What the window shows (client pixels).
    const QImage& surface() const { return m_surface; }
    bool hasBackBuffer() const { return !m_backBuffer.isNull(); }
    bool hasWorkSurface() const { return m_workSurface; }
    const QImage& saveUnder() const { return m_saveUnder; }

    // ---- design values
    void readProperties(const platform::PropertyBag& bag);
    QString temporaryGifName() const;
    // Where embedded GIFs are restored; the program's folder unless set.
    void setApplicationFolder(const QString& folder) { m_applicationFolder = folder; }
    QString applicationFolder() const { return m_applicationFolder; }

    // ---- animation
    bool animate() const { return !m_tag.isEmpty(); }
    void setAnimate(bool value) { setAnimationState(!value); }
    void pauseAnimation(bool resume);
    int gifMaxLoops() const { return m_doc.info().loopCount; }
    // Returns the value stored (below -1 becomes 1).
    int setgifMaxLoops(int newMax);
    int gifMinFrameDelay() const { return m_minDelay; }
    int setgifMinFrameDelay(int newMin);
    qint32 gifAnimationTime() const;
    qint32 gifTransparencyState() const;
    bool removeFrame(int index, bool* logicalScreenResized = nullptr);
    bool moveFrame(int index, int x, int y, bool* logicalScreenResized = nullptr);
    bool cropGif(int newWidth, int newHeight);
    // The timer tick; public so a test can step the animation without waiting.
    void advanceAnimation();
    const QTimer& animationTimer() const { return m_timer; }
    int currentFrame() const { return m_currentFrame; }
    int loopsLeft() const { return m_loopsLeft; }
    // The host's design mode limits animations to 10 loops and shows frame 1 when stopped.
    void setUserMode(bool userMode) { m_userMode = userMode; }
    bool userMode() const { return m_userMode; }

signals:
    void animationProgress(int frameIndex);
    void animationLoopComplete(int loopsLeft);
    void animationLoopExpired();
    void propertyChanged(const QString& name);

private:
    bool showStaticPicture(const QImage& picture, const QString& fileName, bool replacesGif);
    void setAnimationState(bool stop);
    void updateScale();
    void prepareSurfaces(bool workOnly, bool backBuffer);
    void refreshArea(int index, bool erase, bool clear);
    void drawFrame(int index);
    void disposeFrame(int index);
    void recalcLogicalScreen(bool* resized);
    void presentBackBuffer();
    void fitSurface();
    QImage& target() { return m_backBuffer.isNull() ? m_surface : m_backBuffer; }
    // The frame's rectangle in client pixels, each edge rounded.
    QRect scaledRect(const GifFrame& frame) const;

    GifViewHost& m_host;
    GifDocument m_doc;
    QTimer m_timer;
    QString m_tag;
    int m_currentFrame = 0;
    int m_loopsLeft = 0;
    int m_minDelay = 50;
    bool m_userMode = true;
    // Changes whenever the animation is started, stopped or paused, so a tick notices that an
    // event handler did one of these.
    quint64 m_animationSerial = 0;

    bool m_autoSize = true;
    qint32 m_backColor = kButtonFace;
    qint32 m_surfaceBackColor = kButtonFace;
    int m_stretch = 0;
    int m_stretchMethod = 0;
    int m_borderStyle = 0;
    float m_scaleX = 1.0f;
    float m_scaleY = 1.0f;
    QSize m_askedOuterSize;

    QImage m_surface;
    QImage m_staticPicture;
    bool m_staticPictureVisible = false;
    bool m_workSurface = false;
    QImage m_saveUnder;
    bool m_backBufferContext = false;
    QImage m_backBuffer;
    QImage m_customBackground;
    std::optional<QImage> m_hostContext;

    QString m_applicationFolder;
};
