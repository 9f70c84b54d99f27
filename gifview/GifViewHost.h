#pragma once

// What the GIF view's logic needs from the window that shows it.

#include <QRect>
#include <QSize>

class GifViewHost {
public:
    virtual ~GifViewHost() = default;
    virtual QSize clientSize() const = 0;
    // Client size plus the border.
    virtual QSize outerSize() const = 0;
    // May run the re-layout again, as any size change does.
    virtual void setOuterSize(const QSize& size) = 0;
    // Shows the control surface again inside rect (client pixels).
    virtual void invalidate(const QRect& rect, bool erase) = 0;
    virtual void applyBorderStyle(int style) = 0;
};

// A host without a window, for programs that only load or draw off screen: the client is
// whatever size was last asked for, without a border.
class HeadlessGifHost : public GifViewHost {
public:
    explicit HeadlessGifHost(QSize size = QSize(1, 1)) : m_size(size) {}
    QSize clientSize() const override { return m_size; }
    QSize outerSize() const override { return m_size; }
    void setOuterSize(const QSize& size) override { m_size = size; }
    void invalidate(const QRect&, bool) override {}
    void applyBorderStyle(int) override {}

private:
    QSize m_size;
};
