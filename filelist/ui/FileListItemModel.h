#pragma once

// Shows a ListModel to Qt's item views, and keeps the views' selection in step with the
// model's state bits in both directions.

#include "filelist/ListModel.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>

#include <functional>

class QItemSelectionModel;

class FileListItemModel : public QAbstractTableModel, public ListModelObserver {
    Q_OBJECT
public:
    explicit FileListItemModel(ListModel& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The views see only the shown columns (ListModel::columnShown); these translate a
    // view's column to the model's and back (-1 for a column not shown).
    int modelColumn(int viewColumn) const;
    int viewColumn(int modelColumn) const;

    // The selection the views share; the adapter mirrors the model's states into it.
    QItemSelectionModel* selectionModel() const { return m_selection; }

    void setCheckBoxes(bool on) { m_checkBoxes = on; }
    void setSubItemImages(bool on) { m_subItemImages = on; }
    void setLabelEdit(bool on) { m_labelEdit = on; }
    void setLargeIcons(bool on) { m_largeIcons = on; }
    // Cells offer their text as a tip.
    void setTips(bool on) { m_tips = on; }

    // The view finished a user action (click, key): hand the views' focus and selection to
    // the model, one change per row, so the model raises its events as the list does.
    void commitUserChanges();
    // True while the views' selection is being changed by a user action.
    void beginUserAction() { ++m_userAction; }
    void endUserAction();

    std::function<void(int)> onItemClick;
    // Called with true before the model's states are copied into the views and false
    // after: a focus set by the program does not scroll the list, one set by the user does.
    std::function<void(bool)> onMirroring;
    // Columns were added or removed (-1) or one column's header changed.
    std::function<void(int)> onColumnsChanged;

    // ListModelObserver
    void aboutToReset() override;
    void reset() override;
    void aboutToInsert(int first, int last) override;
    void inserted() override;
    void aboutToRemove(int row) override;
    void removed() override;
    void columnsAboutToChange() override;
    void columnsChanged() override;
    void headerChanged(int column) override;
    void cellsChanged(int firstRow, int lastRow) override;
    void statesChanged(int firstRow, int lastRow) override;
    void itemClick(int item) override;

private:
    void mirrorStates(int firstRow, int lastRow);
    void viewSelectionChanged();

    ListModel& m_model;
    QItemSelectionModel* m_selection;
    int m_mirroring = 0;
    int m_userAction = 0;
    bool m_pendingUserChanges = false;
    QList<int> m_touchedRows;
    bool m_checkBoxes = false;
    bool m_subItemImages = false;
    bool m_labelEdit = false;
    bool m_largeIcons = false;
    bool m_tips = true;
};
