// Drawing frames onto the view's pixel buffers: the control surface, the back buffer that
// exists while a custom background is set, and the save-under copy for "restore previous".

#include "gifview/GifColors.h"
#include "gifview/GifRaster.h"
#include "gifview/GifViewCore.h"

#include <QPainter>

namespace {

void copyInto(QImage& to, const QPoint& at, const QImage& from, const QRect& fromRect) {
    if (to.isNull() || from.isNull()) return;
    QPainter p(&to);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(at, from, fromRect);
}

QImage blank(const QSize& size) {
    QImage image(size.expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

}  // namespace

QRect GifViewCore::scaledRect(const GifFrame& f) const {
    return QRect(roundHalfEven(f.frameLeft() * static_cast<double>(m_scaleX)),
                 roundHalfEven(f.frameTop() * static_cast<double>(m_scaleY)),
                 roundHalfEven(f.frameWidth() * static_cast<double>(m_scaleX)),
                 roundHalfEven(f.frameHeight() * static_cast<double>(m_scaleY)));
}

void GifViewCore::refreshArea(int index, bool erase, bool clear) {
    QRect rect(QPoint(0, 0), m_host.clientSize());
    if (index != 0) {
        const GifFrame* f = m_doc.frame(index);
        if (!f) return;
        if (m_stretch == 0 || m_autoSize) {
            rect = QRect(f->frameLeft(), f->frameTop(), f->frameWidth(), f->frameHeight());
        } else {
            // One scale step taller, so no rounded-off row of the frame is left behind.
            const double sx = m_scaleX, sy = m_scaleY;
            rect = QRect(roundHalfEven(f->frameLeft() * sx), roundHalfEven(f->frameTop() * sy),
                         roundHalfEven(f->frameWidth() * sx),
                         roundHalfEven(f->frameHeight() * sy + sy));
        }
    }
    if (clear) {
        if (!m_backBuffer.isNull()) {
            copyInto(m_backBuffer, rect.topLeft(), m_customBackground, rect);
        } else if (!m_surface.isNull()) {
            QPainter p(&m_surface);
            p.fillRect(rect, QColor::fromRgb(colorToRgb(m_backColor)));
        }
    }
    m_host.invalidate(rect, erase);
}

void GifViewCore::presentBackBuffer() {
    if (!m_backBuffer.isNull())
        copyInto(m_surface, QPoint(0, 0), m_backBuffer, m_backBuffer.rect());
}

void GifViewCore::showFrame(int index) {
    if (!m_doc.hasFrames() || animate()) return;
    const GifFrame* f = m_doc.frame(index);
    m_surfaceBackColor = f && f->isTransparent() ? m_backColor : gifBackgroundColor();
    refreshArea(0, false, true);
    drawFrame(index);
    presentBackBuffer();
    refreshArea(0, true, false);
}

void GifViewCore::drawFrame(int index) {
    const GifFrame* f = m_doc.frame(index);
    if (!f) return;
    const QImage picture = m_doc.frameImage(index);
    if (picture.isNull()) return;
    QImage& out = target();
    if (out.isNull()) return;
    const bool forced = f->forceTransparency();
    const bool unscaled = m_stretch == 0 || m_autoSize;
    if (!forced && (unscaled || m_stretchMethod == 0)) {
        // The picture's own drawing, which honours its transparency.
        QPainter p(&out);
        const QRect dest =
            unscaled ? QRect(f->frameLeft(), f->frameTop(), f->frameWidth(), f->frameHeight())
                     : scaledRect(*f);
        p.drawImage(dest, picture);
        return;
    }
    const QRect dest = scaledRect(*f);
    prepareSurfaces(true, false);
    if (!f->isTransparent() && !forced) {
        drawOpaque(out, dest, picture);
        return;
    }
    qint32 key = f->frameTransparentColor();
    QRgb keyRgb = 0;
    if (key == -1)
        keyRgb = picture.pixel(0, 0) | 0xFF000000u;
    else
        keyRgb = colorToRgb(key);
    // Keyed on black, a frame's own transparency decides; keying would punch out every black
    // pixel of the picture.
    const bool fromTransparency = !forced && (keyRgb & 0xFFFFFFu) == 0;
    drawMasked(out, dest, picture, buildMask(picture, keyRgb, fromTransparency));
}

void GifViewCore::prepareSurfaces(bool workOnly, bool backBuffer) {
    if (backBuffer) {
        if (m_backBufferContext) return;
        m_backBufferContext = true;
    } else {
        m_workSurface = true;
        if (workOnly) return;
        if (!m_doc.info().restorePrevious) {
            m_saveUnder = QImage();
            if (m_backBuffer.isNull()) m_workSurface = false;
        } else {
            // Only what lies on the client can be saved from it; a larger copy would hold
            // nothing but could be made huge by the file's logical size.
            const QSize logical(
                roundHalfEven(gifLogicalWindowCx() * static_cast<double>(m_scaleX)),
                roundHalfEven(gifLogicalWindowCy() * static_cast<double>(m_scaleY)));
            m_saveUnder = blank(logical.boundedTo(m_host.clientSize()));
        }
    }
    if (!m_backBufferContext) return;
    const bool pause = m_timer.isActive();
    if (pause) pauseAnimation(false);
    const QSize client = m_host.clientSize();
    QImage buffer = blank(client);
    const bool hadBackground = !m_customBackground.isNull();
    if (hadBackground)
        copyInto(buffer, QPoint(0, 0), m_customBackground, m_customBackground.rect());
    m_backBuffer = buffer;
    m_customBackground = blank(client);
    if (hadBackground)
        copyInto(m_customBackground, QPoint(0, 0), m_backBuffer, m_backBuffer.rect());
    if (pause) pauseAnimation(true);
}

QImage* GifViewCore::beginCustomBackground() {
    if (!m_hostContext) {
        m_hostContext = blank(m_host.clientSize());
        if (!m_customBackground.isNull())
            copyInto(*m_hostContext, QPoint(0, 0), m_customBackground, m_customBackground.rect());
    }
    return &*m_hostContext;
}

void GifViewCore::commitCustomBackground() {
    if (!m_hostContext) return;
    bool paused = false;
    if (m_backBufferContext) {
        paused = m_timer.isActive();
        if (paused) pauseAnimation(false);
    } else {
        prepareSurfaces(true, false);
        prepareSurfaces(false, true);
    }
    m_customBackground = *m_hostContext;
    m_hostContext.reset();
    if (paused) pauseAnimation(true);
}

void GifViewCore::removeCustomBackground() {
    if (!m_backBufferContext) return;
    m_customBackground = QImage();
    m_backBuffer = QImage();
    m_backBufferContext = false;
    m_hostContext.reset();
    m_host.invalidate(QRect(QPoint(0, 0), m_host.clientSize()), true);
}
