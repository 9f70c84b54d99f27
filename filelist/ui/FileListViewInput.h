#pragma once

// Turns what the user does in the list into the control's events, in the order the
// control's hosts are written against.

#include "filelist/ui/HostedItemView.h"

#include <QPoint>

class FileListView;

class FileListViewInput : public ItemViewInput {
public:
    explicit FileListViewInput(FileListView& control) : m_control(control) {}

    void beginUserAction() override;
    void endUserAction() override;
    void mousePressed(QAbstractItemView* view, QMouseEvent* e) override;
    void mouseReleased(QAbstractItemView* view, QMouseEvent* e, bool onCheckBox) override;
    void mouseDoubleClicked(QAbstractItemView* view, QMouseEvent* e) override;
    void mouseMoved(QAbstractItemView* view, QMouseEvent* e) override;
    void mouseLeft() override;
    void keyPressed(QKeyEvent* e) override;
    void keyReleased(QKeyEvent* e) override;

    // The header's clicks.
    void headerPressed(int column, Qt::MouseButton button);

private:
    // The first item both focused and selected hears ItemClick; none clears the choice.
    void itemStep();
    QPointF position(QAbstractItemView* view, QMouseEvent* e) const;

    FileListView& m_control;
    bool m_inside = false;
    QPointF m_last{-1, -1};
};
