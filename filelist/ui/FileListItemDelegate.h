#pragma once

// Draws the list's cells with what the plain item delegate lacks: item indents, grid
// lines, ghosted items and the underlined item under the pointer.

#include <QStyledItemDelegate>

class ListModel;

class FileListItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    FileListItemDelegate(const ListModel& model, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

    void setGridLines(bool on) { m_gridLines = on; }
    void setIndentWidth(int pixels) { m_indentWidth = pixels; }
    void setHideLabels(bool on) { m_hideLabels = on; }
    // Underlines the item under the pointer, as a list that activates on click does.
    void setUnderlineHot(bool on) { m_underlineHot = on; }
    // Without full-row selection only the item's own cell shows it selected.
    void setFullRowSelect(bool on) { m_fullRowSelect = on; }

private:
    const ListModel& m_model;
    bool m_gridLines = false;
    bool m_hideLabels = false;
    bool m_underlineHot = false;
    bool m_fullRowSelect = true;
    int m_indentWidth = 16;
};
