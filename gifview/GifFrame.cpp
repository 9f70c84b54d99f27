#include "gifview/GifFrame.h"

#include <algorithm>
#include <climits>

namespace {
bool fits16(int value) {
    return value >= -32768 && value <= 32767;
}
}  // namespace

bool GifFrame::setFrameLeft(int value) {
    if (!fits16(value)) return false;
    m_left = static_cast<qint16>(value);
    if (!(m_setFlags & kSetLeft)) {
        m_initialLeft = m_left;
        m_setFlags |= kSetLeft;
    }
    return true;
}

bool GifFrame::setFrameTop(int value) {
    if (!fits16(value)) return false;
    m_top = static_cast<qint16>(value);
    if (!(m_setFlags & kSetTop)) {
        m_initialTop = m_top;
        m_setFlags |= kSetTop;
    }
    return true;
}

void GifFrame::setframeDelay(int value) {
    m_delay = std::clamp(value, 0, 60000);
    if (!(m_setFlags & kSetDelay)) {
        m_initialDelay = m_delay;
        m_setFlags |= kSetDelay;
    }
}

void GifFrame::setFrameDisposal(int value) {
    m_disposal = static_cast<quint8>(value);
    if (!(m_setFlags & kSetDisposal)) {
        m_initialDisposal = m_disposal;
        m_setFlags |= kSetDisposal;
    }
}

void GifFrame::setFrameTransparentColor(qint32 value) {
    m_transparentColor = value;
    if (!(m_setFlags & kSetColor)) {
        m_initialTransparentColor = value;
        m_setFlags |= kSetColor | kSetColorTwin;
    } else if (!m_transparent) {
        // A key colour given to an opaque frame only means something on the mask path.
        m_forced = true;
    }
}

void GifFrame::setForceTransparency(bool value) {
    m_forced = value;
    if (!value) m_transparentColor = m_initialTransparentColor;
}

bool GifFrame::setFrameWidth(int value) {
    if (!fits16(value)) return false;
    if (!(m_setFlags & kSetWidth)) {
        m_width = static_cast<qint16>(value);
        m_setFlags |= kSetWidth;
    }
    return true;
}

bool GifFrame::setFrameHeight(int value) {
    if (!fits16(value)) return false;
    if (!(m_setFlags & kSetHeight)) {
        m_height = static_cast<qint16>(value);
        m_setFlags |= kSetHeight;
    }
    return true;
}

qint32 GifFrame::framePosition(Position which) const {
    return which == kStart ? m_start : which == kEnd ? m_end : m_image;
}

void GifFrame::setFramePosition(Position which, qint32 position) {
    const quint32 flag = which == kStart ? kSetStart : which == kEnd ? kSetEnd : kSetImage;
    if (m_setFlags & flag) return;
    (which == kStart ? m_start : which == kEnd ? m_end : m_image) = position;
    m_setFlags |= flag;
}

qint32 GifFrame::initialValue(int code) const {
    switch (code) {
        case kDelay:
            return m_initialDelay;
        case kTransparentColor:
            return m_initialTransparentColor;
        case kDisposal:
            return m_initialDisposal;
        case kLeft:
            return m_initialLeft;
        case kTop:
            return m_initialTop;
        default:
            return 0;
    }
}

qint32 GifFrame::resetFrameAttributes(int fAttribute) {
    if (fAttribute < 0) return fAttribute == INT_MIN ? 0 : initialValue(-fAttribute);
    if (fAttribute & kDelay) m_delay = m_initialDelay;
    if (fAttribute & kTransparentColor) {
        if (m_initialTransparentColor == -1) m_forced = false;
        m_transparentColor = m_initialTransparentColor;
    }
    if (fAttribute & kDisposal) m_disposal = m_initialDisposal;
    if (fAttribute & kLeft) m_left = m_initialLeft;
    if (fAttribute & kTop) m_top = m_initialTop;
    if (fAttribute & kTransparency) {
        m_forced = false;
        if (m_initialTransparentColor == -1) m_transparentColor = -1;
    }
    return fAttribute;
}
