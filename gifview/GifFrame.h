#pragma once

// One frame of a loaded GIF: where its bytes lie in the file and how it is placed, timed,
// disposed of and keyed. Editable attributes remember the value first written (the one read
// from the file) so a host's edits can be undone one attribute at a time.

#include <QtGlobal>

class GifFrame {
public:
    // Attribute codes for resetFrameAttributes.
    enum Attribute : int {
        kDelay = 1,
        kTransparentColor = 2,
        kDisposal = 4,
        kLeft = 8,
        kTop = 16,
        kTransparency = 32,
    };

    int frameLeft() const { return m_left; }
    int frameTop() const { return m_top; }
    // False (and nothing stored) when the value does not fit 16 bits signed.
    bool setFrameLeft(int value);
    bool setFrameTop(int value);

    int frameDelay() const { return m_delay; }
    // Clamped to 0..60000 milliseconds.
    void setframeDelay(int value);

    int frameDisposal() const { return m_disposal; }
    void setFrameDisposal(int value);

    qint32 frameTransparentColor() const { return m_transparentColor; }
    void setFrameTransparentColor(qint32 value);

    bool forceTransparency() const { return m_forced; }
    void setForceTransparency(bool value);

    int frameWidth() const { return m_width; }
    int frameHeight() const { return m_height; }
    bool isTransparent() const { return m_transparent; }

    // Written by the loader only. Width and height keep their first value.
    bool setFrameWidth(int value);
    bool setFrameHeight(int value);
    void setIsTransparent(bool value) { m_transparent = value; }

    // File positions (1-based): start of the frame's bytes and the position just behind them.
    // Each keeps its first write. kImage is where the image descriptor's separator lies, so
    // the frame picture can be placed at the origin of its own screen.
    enum Position { kStart = 0, kEnd = 1, kImage = 2 };
    qint32 framePosition(Position which) const;
    void setFramePosition(Position which, qint32 position);

    // fAttribute >= 0 restores the attributes whose bits are set and returns fAttribute;
    // a negative code returns the initial value of that attribute (0 for unknown codes).
    qint32 resetFrameAttributes(int fAttribute);
    // The value first written for attribute code 1, 2, 4, 8 or 16; 0 for any other code.
    qint32 initialValue(int code) const;

private:
    enum SetFlag : quint32 {
        kSetDelay = 1,
        kSetColor = 2,
        kSetDisposal = 4,
        kSetLeft = 8,
        kSetTop = 16,
        kSetWidth = 64,
        kSetHeight = 128,
        kSetStart = 256,
        kSetEnd = 512,
        kSetColorTwin = 1024,
        kSetImage = 2048,
    };

    qint16 m_top = 0, m_initialTop = 0;
    qint16 m_left = 0, m_initialLeft = 0;
    qint16 m_width = 0;
    qint16 m_height = 0;
    qint32 m_delay = 0, m_initialDelay = 0;
    quint8 m_disposal = 0, m_initialDisposal = 0;
    qint32 m_transparentColor = -1, m_initialTransparentColor = -1;
    qint32 m_start = 0, m_end = 0, m_image = 0;
    bool m_transparent = false;
    bool m_forced = false;
    quint32 m_setFlags = 0;
};
