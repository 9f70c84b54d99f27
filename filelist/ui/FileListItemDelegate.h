#pragma once

// Draws the list's cells with what the plain item delegate lacks: item indents, grid
// lines, ghosted items, per-cell colours from the OnSubItemPrePaint event, and the label
// edit's before/after events.

#include <QStyledItemDelegate>

#include <functional>

class ListModel;

class FileListItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    FileListItemDelegate(const ListModel& model, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

    void setGridLines(bool on) { m_gridLines = on; }
    void setIndentWidth(int pixels) { m_indentWidth = pixels; }
    void setHideLabels(bool on) { m_hideLabels = on; }
    // Underlines the item under the pointer, as a list that activates on click does.
    void setUnderlineHot(bool on) { m_underlineHot = on; }
    // Without full-row selection only the item's own cell shows it selected.
    void setFullRowSelect(bool on) { m_fullRowSelect = on; }
    // Asked for each cell while set: (item, sub-item, back colour, fore colour) -> apply.
    std::function<bool(int, int, QColor&, QColor&)> cellColors;
    // Asked before an edit box opens; false refuses the edit.
    std::function<bool()> mayEdit;

private:
    const ListModel& m_model;
    bool m_gridLines = false;
    bool m_hideLabels = false;
    bool m_underlineHot = false;
    bool m_fullRowSelect = true;
    int m_indentWidth = 16;
};
