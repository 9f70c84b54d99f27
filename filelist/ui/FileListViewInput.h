#pragma once

// Turns what the user does in the list into the list's events, in the order the window
// is written against: the newly chosen item's itemClick comes before mouseDown, and a
// click or a key's release reports the chosen item again.

#include "filelist/ui/HostedItemView.h"

#include <QPoint>

class FileListView;

class FileListViewInput : public ItemViewInput {
public:
    explicit FileListViewInput(FileListView& list) : m_list(list) {}

    void beginUserAction() override;
    void endUserAction() override;
    void mousePressed(QAbstractItemView* view, QMouseEvent* e) override;
    void mouseReleased(QAbstractItemView* view, QMouseEvent* e, bool onCheckBox) override;
    void mouseDoubleClicked() override;
    void keyPressed(QKeyEvent* e) override;
    void keyReleased(QKeyEvent* e) override;
    bool keptFromView(const QKeyEvent* e) const override;

private:
    // The first item both focused and selected hears itemClick; none clears the choice.
    void itemStep();
    QPointF position(QAbstractItemView* view, QMouseEvent* e) const;

    FileListView& m_list;
};
