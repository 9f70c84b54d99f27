#pragma once

#include <QPixmap>
#include <QWidget>

// A picture box: shows its picture whole, as large as fits, centred on black. Mouse
// presses fall through to the widget below, so the frame around it can be dragged.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);
    const QPixmap& Picture() const { return m_picture; }
    void setPicture(const QPixmap& picture);
    // Keeps the top `pixels` black: the picture fits below them. The default picture has
    // its own lettering at the top, which the game's title would be drawn over.
    void setTopMargin(int pixels);
    int topMargin() const { return m_topMargin; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
    int m_topMargin = 0;
};
