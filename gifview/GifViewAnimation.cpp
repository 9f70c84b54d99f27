// The animation: one timer steps through the frames, disposing of each before the next is
// drawn, and counts loops. Also the edits of the frame set as a whole.

#include "gifview/GifColors.h"
#include "gifview/GifViewCore.h"

#include <QPainter>

#include <algorithm>
#include <climits>

void GifViewCore::setAnimationState(bool stop) {
    ++m_animationSerial;
    if (stop) {
        m_timer.stop();
        m_currentFrame = 0;
        m_loopsLeft = 0;
        if (!m_tag.isEmpty()) {
            m_tag.clear();
            if (!m_userMode) {
                emit propertyChanged(QStringLiteral("Animate"));
                showFrame(1);
            }
        }
        return;
    }
    if (!m_doc.hasFrames() || m_doc.frameCount() <= 1) return;
    const int loops = gifMaxLoops();
    m_loopsLeft = m_userMode ? (loops >= 1 ? loops : 0) : 10;
    m_currentFrame = 0;
    m_timer.setInterval(1);
    m_tag = QStringLiteral("Animating");
    m_timer.start();
}

void GifViewCore::pauseAnimation(bool resume) {
    if (!animate()) return;
    ++m_animationSerial;
    if (resume) {
        if (!m_timer.isActive()) m_timer.start();
        return;
    }
    m_timer.stop();
    // After resuming, the next frame comes after about half of its delay.
    m_timer.setInterval(roundHalfEven(m_timer.interval() / 2.0 + 1));
}

void GifViewCore::disposeFrame(int index) {
    const GifFrame* f = m_doc.frame(index);
    if (!f) return;
    int disposal = f->frameDisposal();
    if (disposal != 2 && disposal != 3 && f->forceTransparency()) disposal = 2;
    if (disposal == 2) {
        refreshArea(index, false, true);
    } else if (disposal == 3 && m_workSurface) {
        const QRect rect = scaledRect(*f);
        QPainter p(&target());
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(rect.topLeft(), m_saveUnder, QRect(QPoint(0, 0), rect.size()));
        p.end();
        refreshArea(index, false, false);
    }
}

void GifViewCore::advanceAnimation() {
    m_timer.stop();
    const quint64 serial = m_animationSerial;
    const int count = gifFrameCount();
    int next = m_currentFrame + 1;
    if (m_currentFrame >= 1 && next <= count) disposeFrame(m_currentFrame);
    if (m_currentFrame >= 1 && next > count) {
        next = 1;
        if (m_loopsLeft > 0) {
            if (m_loopsLeft == 1) {
                setAnimationState(true);
                emit animationLoopExpired();
                return;
            }
            --m_loopsLeft;
            emit animationLoopComplete(m_loopsLeft);
            // A handler that stopped, paused or restarted the animation has taken over.
            if (serial != m_animationSerial) return;
        }
        refreshArea(0, false, true);
    }
    if (m_currentFrame < 1) refreshArea(0, false, true);
    m_currentFrame = next;
    const GifFrame* f = m_doc.frame(m_currentFrame);
    if (m_doc.info().restorePrevious && f && !m_saveUnder.isNull()) {
        const QRect rect = scaledRect(*f);
        QPainter p(&m_saveUnder);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(QPoint(0, 0), target(), rect);
    }
    drawFrame(m_currentFrame);
    presentBackBuffer();
    refreshArea(m_currentFrame, true, false);
    const int delay = f ? f->frameDelay() : 0;
    m_timer.setInterval(std::max(delay, m_minDelay));
    emit animationProgress(m_currentFrame);
    if (serial == m_animationSerial && animate()) m_timer.start();
}

int GifViewCore::setgifMaxLoops(int newMax) {
    if (newMax < -1) newMax = 1;
    if (newMax > 32767) return gifMaxLoops();  // does not fit the 16-bit field
    m_doc.info().loopCount = newMax;
    m_loopsLeft = newMax;
    return newMax;
}

int GifViewCore::setgifMinFrameDelay(int newMin) {
    if (newMin > 32767) return m_minDelay;  // does not fit the 16-bit field
    m_minDelay = std::max(newMin, 5);
    return m_minDelay;
}

qint32 GifViewCore::gifAnimationTime() const {
    if (!m_doc.hasFrames()) return 0;
    qint64 total = 0;
    for (const GifFrame& f : const_cast<GifDocument&>(m_doc).frames())
        total += std::max(f.frameDelay(), m_minDelay);
    return static_cast<qint32>(std::min<qint64>(total, 0x7FFFFFFF));
}

qint32 GifViewCore::gifTransparencyState() const {
    if (!m_doc.hasFrames()) return 0;
    bool some = false, notAll = false;
    for (const GifFrame& f : const_cast<GifDocument&>(m_doc).frames())
        (f.isTransparent() ? some : notAll) = true;
    if (some && !notAll) return 1;
    return some ? 2 : 0;
}

void GifViewCore::recalcLogicalScreen(bool* resized) {
    int right = 0, bottom = 0;
    for (const GifFrame& f : m_doc.frames()) {
        right = std::max(right, f.frameLeft() + f.frameWidth());
        bottom = std::max(bottom, f.frameTop() + f.frameHeight());
    }
    GifInfo& info = m_doc.info();
    const bool changed = right != info.logicalWidth || bottom != info.logicalHeight;
    if (resized) *resized = changed;
    // An edge past 32767 does not fit the logical size; that side keeps its value.
    if (right <= 32767) info.logicalWidth = right;
    if (bottom <= 32767) info.logicalHeight = bottom;
    if (changed) relayout();
}

bool GifViewCore::removeFrame(int index, bool* logicalScreenResized) {
    if (!m_doc.hasFrames() || index < 1 || index > m_doc.frameCount() || m_doc.frameCount() < 2)
        return false;
    m_doc.removeFrame(index);
    recalcLogicalScreen(logicalScreenResized);
    return true;
}

bool GifViewCore::moveFrame(int index, int x, int y, bool* logicalScreenResized) {
    GifFrame* f = m_doc.frame(index);
    if (!f) return false;
    f->setFrameTop(y);
    f->setFrameLeft(x);
    recalcLogicalScreen(logicalScreenResized);
    return true;
}

bool GifViewCore::cropGif(int newWidth, int newHeight) {
    if (!m_doc.hasFrames() || m_doc.frameCount() < 1 || newWidth < 1 || newHeight < 1) return false;
    GifInfo& info = m_doc.info();
    const qint64 dy = (static_cast<qint64>(newHeight) - info.logicalHeight) / 2;
    const qint64 dx = (static_cast<qint64>(newWidth) - info.logicalWidth) / 2;
    for (GifFrame& f : m_doc.frames()) {
        const qint64 top = f.frameTop() + dy, left = f.frameLeft() + dx;
        if (top >= INT_MIN && top <= INT_MAX) f.setFrameTop(static_cast<int>(top));
        if (left >= INT_MIN && left <= INT_MAX) f.setFrameLeft(static_cast<int>(left));
    }
    if (newWidth <= 32767) info.logicalWidth = newWidth;
    if (newHeight <= 32767) info.logicalHeight = newHeight;
    relayout();
    return true;
}
