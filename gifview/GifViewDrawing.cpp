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
    return QRect(RoundHalfEven(f.FrameLeft() * static_cast<double>(m_scaleX)),
                 RoundHalfEven(f.FrameTop() * static_cast<double>(m_scaleY)),
                 RoundHalfEven(f.FrameWidth() * static_cast<double>(m_scaleX)),
                 RoundHalfEven(f.FrameHeight() * static_cast<double>(m_scaleY)));
}

void GifViewCore::RefreshArea(int index, bool erase, bool clear) {
    QRect rect(QPoint(0, 0), m_host.clientSize());
    if (index != 0) {
        const GifFrame* f = m_doc.Frame(index);
        if (!f) return;
        if (m_stretch == 0 || m_autoSize) {
            rect = QRect(f->FrameLeft(), f->FrameTop(), f->FrameWidth(), f->FrameHeight());
        } else {
            // One scale step taller, so no rounded-off row of the frame is left behind.
            const double sx = m_scaleX, sy = m_scaleY;
            rect = QRect(RoundHalfEven(f->FrameLeft() * sx), RoundHalfEven(f->FrameTop() * sy),
                         RoundHalfEven(f->FrameWidth() * sx),
                         RoundHalfEven(f->FrameHeight() * sy + sy));
        }
    }
    if (clear) {
        if (!m_backBuffer.isNull()) {
            copyInto(m_backBuffer, rect.topLeft(), m_customBackground, rect);
        } else if (!m_surface.isNull()) {
            QPainter p(&m_surface);
            p.fillRect(rect, QColor::fromRgb(ColorToRgb(m_backColor)));
        }
    }
    m_host.invalidate(rect, erase);
}

void GifViewCore::presentBackBuffer() {
    if (!m_backBuffer.isNull())
        copyInto(m_surface, QPoint(0, 0), m_backBuffer, m_backBuffer.rect());
}

void GifViewCore::ShowFrame(int Index) {
    if (!m_doc.hasFrames() || Animate()) return;
    const GifFrame* f = m_doc.Frame(Index);
    m_surfaceBackColor = f && f->isTransparent() ? m_backColor : gifBackgroundColor();
    RefreshArea(0, false, true);
    DrawFrame(Index);
    presentBackBuffer();
    RefreshArea(0, true, false);
}

void GifViewCore::DrawFrame(int Index) {
    const GifFrame* f = m_doc.Frame(Index);
    if (!f) return;
    const QImage picture = m_doc.FrameImage(Index);
    if (picture.isNull()) return;
    QImage& out = target();
    if (out.isNull()) return;
    const bool forced = f->ForceTransparency();
    const bool unscaled = m_stretch == 0 || m_autoSize;
    if (!forced && (unscaled || m_stretchMethod == 0)) {
        // The picture's own drawing, which honours its transparency.
        QPainter p(&out);
        const QRect dest =
            unscaled ? QRect(f->FrameLeft(), f->FrameTop(), f->FrameWidth(), f->FrameHeight())
                     : scaledRect(*f);
        p.drawImage(dest, picture);
        return;
    }
    const QRect dest = scaledRect(*f);
    PrepareSurfaces(true, false);
    if (!f->isTransparent() && !forced) {
        DrawOpaque(out, dest, picture);
        return;
    }
    qint32 key = f->FrameTransparentColor();
    QRgb keyRgb = 0;
    if (key == -1)
        keyRgb = picture.pixel(0, 0) | 0xFF000000u;
    else
        keyRgb = ColorToRgb(key);
    // Keyed on black, a frame's own transparency decides; keying would punch out every black
    // pixel of the picture.
    const bool fromTransparency = !forced && (keyRgb & 0xFFFFFFu) == 0;
    DrawMasked(out, dest, picture, BuildMask(picture, keyRgb, fromTransparency));
}

void GifViewCore::PrepareSurfaces(bool workOnly, bool backBuffer) {
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
                RoundHalfEven(gifLogicalWindowCx() * static_cast<double>(m_scaleX)),
                RoundHalfEven(gifLogicalWindowCy() * static_cast<double>(m_scaleY)));
            m_saveUnder = blank(logical.boundedTo(m_host.clientSize()));
        }
    }
    if (!m_backBufferContext) return;
    const bool pause = m_timer.isActive();
    if (pause) PauseAnimation(false);
    const QSize client = m_host.clientSize();
    QImage buffer = blank(client);
    const bool hadBackground = !m_customBackground.isNull();
    if (hadBackground)
        copyInto(buffer, QPoint(0, 0), m_customBackground, m_customBackground.rect());
    m_backBuffer = buffer;
    m_customBackground = blank(client);
    if (hadBackground)
        copyInto(m_customBackground, QPoint(0, 0), m_backBuffer, m_backBuffer.rect());
    if (pause) PauseAnimation(true);
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
        if (paused) PauseAnimation(false);
    } else {
        PrepareSurfaces(true, false);
        PrepareSurfaces(false, true);
    }
    m_customBackground = *m_hostContext;
    m_hostContext.reset();
    if (paused) PauseAnimation(true);
}

void GifViewCore::removeCustomBackground() {
    if (!m_backBufferContext) return;
    m_customBackground = QImage();
    m_backBuffer = QImage();
    m_backBufferContext = false;
    m_hostContext.reset();
    m_host.invalidate(QRect(QPoint(0, 0), m_host.clientSize()), true);
}
