#include "filelist/ui/FileListItemModel.h"

#include <QItemSelectionModel>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

#include <cmath>

FileListItemModel::FileListItemModel(ListModel& model, QObject* parent)
    : QAbstractTableModel(parent),
      m_model(model),
      m_selection(new QItemSelectionModel(this, this)) {
    m_model.setObserver(this);
    connect(m_selection, &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                if (m_mirroring) return;
                for (const QItemSelection* s : {&deselected, &selected})
                    for (const QItemSelectionRange& r : *s)
                        for (int row = r.top(); row <= r.bottom(); ++row)
                            m_touchedRows.append(row);
                viewSelectionChanged();
            });
    connect(m_selection, &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                if (m_mirroring) return;
                if (previous.isValid()) m_touchedRows.append(previous.row());
                if (current.isValid()) m_touchedRows.append(current.row());
                viewSelectionChanged();
            });
}

int FileListItemModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_model.count();
}

int FileListItemModel::columnCount(const QModelIndex& parent) const {
    // Items show at least their text, also in a list that has no columns.
    if (parent.isValid()) return 0;
    int shown = 0;
    for (int c = 0; c < m_model.columnCount(); ++c)
        if (m_model.columnShown(c)) ++shown;
    return std::max(1, shown);
}

QModelIndex FileListItemModel::index(int row, int column, const QModelIndex& parent) const {
    // The tree view asks for every row's first cell each time it lays out the list: that
    // one needs no count of the shown columns (there is always one).
    if (parent.isValid() || row < 0 || row >= m_model.count() || column < 0 ||
        (column > 0 && column >= columnCount()))
        return {};
    return createIndex(row, column);
}

int FileListItemModel::modelColumn(int viewColumn) const {
    int seen = -1;
    for (int c = 0; c < m_model.columnCount(); ++c)
        if (m_model.columnShown(c) && ++seen == viewColumn) return c;
    // A list without columns still shows its items' text.
    return viewColumn == 0 ? 0 : -1;
}

int FileListItemModel::viewColumn(int modelColumn) const {
    if (!m_model.columnShown(modelColumn)) return modelColumn == 0 ? 0 : -1;
    int view = 0;
    for (int c = 0; c < modelColumn; ++c)
        if (m_model.columnShown(c)) ++view;
    return view;
}

namespace {
// Drawn once, so it looks the same whatever icon theme the desktop has.
QIcon favouriteStar() {
    static const QIcon star = [] {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        QPolygonF points;
        for (int i = 0; i < 10; ++i) {
            const double radius = i % 2 ? 3.2 : 7.5;
            const double angle = -M_PI / 2 + i * M_PI / 5;
            points << QPointF(8 + radius * std::cos(angle), 8.5 + radius * std::sin(angle));
        }
        painter.setPen(QColor(0x9a, 0x6b, 0x00));
        painter.setBrush(QColor(0xff, 0xc8, 0x1e));
        painter.drawPolygon(points);
        return QIcon(pixmap);
    }();
    return star;
}
}  // namespace

QVariant FileListItemModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row(), col = modelColumn(index.column());
    if (col < 0) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return m_model.subItemText(row, col);
        case Qt::ToolTipRole:
            // Without tips the list widget's own tip text (the window's file count) shows instead.
            return m_tips ? QVariant(m_model.subItemText(row, col)) : QVariant();
        case Qt::DecorationRole: {
            const ImageList& images =
                m_largeIcons ? m_model.imageListLarge() : m_model.imageListSmall();
            if (col == 0) {
                // A favourite shows a star in place of its icon.
                if (m_model.playFacts(m_model.itemText(row)).favourite) return favouriteStar();
                const QIcon icon = images.icon(m_model.itemIcon(row));
                return icon.isNull() ? QVariant() : QVariant(icon);
            }
            if (!m_subItemImages) return {};
            const QIcon icon = images.icon(m_model.subItemIcon(row, col));
            return icon.isNull() ? QVariant() : QVariant(icon);
        }
        case Qt::TextAlignmentRole: {
            const int align = m_model.columnAlign(col);
            const Qt::Alignment h = align == 1   ? Qt::AlignRight
                                    : align == 2 ? Qt::AlignHCenter
                                                 : Qt::AlignLeft;
            return QVariant::fromValue(h | Qt::AlignVCenter);
        }
        case Qt::CheckStateRole:
            if (!m_checkBoxes || col != 0) return {};
            return m_model.itemChecked(row) ? Qt::Checked : Qt::Unchecked;
        default:
            return {};
    }
}

bool FileListItemModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid()) return false;
    if (role == Qt::CheckStateRole && index.column() == 0) {
        return m_model.setItemChecked(index.row(), value.toInt() == Qt::Checked);
    }
    if (role == Qt::EditRole && index.column() == 0) {
        return m_model.setItemText(index.row(), value.toString());
    }
    return false;
}

QVariant FileListItemModel::headerData(int viewSection, Qt::Orientation orientation,
                                       int role) const {
    if (orientation != Qt::Horizontal) return {};
    const int section = modelColumn(viewSection);
    if (section < 0) return {};
    switch (role) {
        case Qt::DisplayRole:
            return m_model.columnText(section);
        case Qt::DecorationRole: {
            const QIcon icon = m_model.imageListHeader().icon(m_model.columnIcon(section));
            return icon.isNull() ? QVariant() : QVariant(icon);
        }
        case Qt::TextAlignmentRole: {
            const int align = m_model.columnAlign(section);
            const Qt::Alignment h = align == 1   ? Qt::AlignRight
                                    : align == 2 ? Qt::AlignHCenter
                                                 : Qt::AlignLeft;
            return QVariant::fromValue(h | Qt::AlignVCenter);
        }
        default:
            return {};
    }
}

Qt::ItemFlags FileListItemModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0) {
        if (m_checkBoxes) f |= Qt::ItemIsUserCheckable;
        if (m_labelEdit) f |= Qt::ItemIsEditable;
    }
    return f;
}

// ---- user changes: views -> model ------------------------------------------------------

void FileListItemModel::viewSelectionChanged() {
    if (m_userAction > 0) {
        m_pendingUserChanges = true;
        return;
    }
    commitUserChanges();
}

void FileListItemModel::endUserAction() {
    if (--m_userAction == 0 && m_pendingUserChanges) commitUserChanges();
}

void FileListItemModel::commitUserChanges() {
    m_pendingUserChanges = false;
    QList<int> rows;
    rows.swap(m_touchedRows);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const int current =
        m_selection->currentIndex().isValid() ? m_selection->currentIndex().row() : -1;
    // Not under the mirroring guard: a handler of the events raised here may change the
    // list again, and its changes must reach the views.
    // The item the user moved to and selected is the list's mark before anyone hears of it.
    // A row counts as selected by its first cell: icon views select that cell only.
    auto selected = [this](int row) { return m_selection->isSelected(index(row, 0)); };
    if (current >= 0 && selected(current)) m_model.setSelectionMarkFromUser(current);
    // Rows losing their state first, as the list does when it moves a selection.
    for (int pass = 0; pass < 2; ++pass) {
        for (int row : rows) {
            if (row >= m_model.count()) continue;
            const bool isSelected = selected(row);
            const bool gains = isSelected || row == current;
            if ((pass == 0) == gains) continue;
            m_model.applyUserState(row, row == current, isSelected);
        }
    }
}

// ---- model -> views --------------------------------------------------------------------

void FileListItemModel::mirrorStates(int firstRow, int lastRow) {
    if (m_mirroring) return;
    ++m_mirroring;
    if (onMirroring) onMirroring(true);
    QItemSelection select, deselect;
    const int lastCol = columnCount() - 1;
    int runStart = -1;
    bool runSelected = false;
    auto flush = [&](int endRow) {
        if (runStart < 0) return;
        QItemSelectionRange r(index(runStart, 0), index(endRow, lastCol));
        (runSelected ? select : deselect).append(r);
    };
    int focused = -1;
    for (int row = firstRow; row <= lastRow; ++row) {
        const quint32 state = m_model.itemState(row);
        const bool sel = state & ListModel::kSelected;
        if (state & ListModel::kFocused) focused = row;
        if (runStart < 0 || sel != runSelected) {
            flush(row - 1);
            runStart = row;
            runSelected = sel;
        }
    }
    flush(lastRow);
    if (!deselect.isEmpty()) m_selection->select(deselect, QItemSelectionModel::Deselect);
    if (!select.isEmpty()) m_selection->select(select, QItemSelectionModel::Select);
    const QModelIndex cur = m_selection->currentIndex();
    if (focused >= 0) {
        if (!cur.isValid() || cur.row() != focused)
            m_selection->setCurrentIndex(index(focused, 0), QItemSelectionModel::NoUpdate);
    } else if (cur.isValid() && cur.row() >= firstRow && cur.row() <= lastRow) {
        m_selection->clearCurrentIndex();
    }
    if (onMirroring) onMirroring(false);
    --m_mirroring;
}

void FileListItemModel::aboutToReset() {
    ++m_mirroring;
    beginResetModel();
}

void FileListItemModel::reset() {
    endResetModel();
    --m_mirroring;
    m_touchedRows.clear();
    if (m_model.count() > 0) mirrorStates(0, m_model.count() - 1);
}

void FileListItemModel::aboutToInsert(int first, int last) {
    ++m_mirroring;
    beginInsertRows({}, first, last);
}

void FileListItemModel::inserted() {
    endInsertRows();
    --m_mirroring;
}

void FileListItemModel::aboutToRemove(int row) {
    ++m_mirroring;
    beginRemoveRows({}, row, row);
}

void FileListItemModel::removed() {
    endRemoveRows();
    --m_mirroring;
}

void FileListItemModel::columnsAboutToChange() {
    aboutToReset();
}

void FileListItemModel::columnsChanged() {
    reset();
    if (onColumnsChanged) onColumnsChanged(-1);
}

void FileListItemModel::headerChanged(int modelColumnChanged) {
    const int column = viewColumn(modelColumnChanged);
    if (column < 0) return;
    emit headerDataChanged(Qt::Horizontal, column, column);
    if (onColumnsChanged) onColumnsChanged(column);
}

void FileListItemModel::cellsChanged(int firstRow, int lastRow) {
    emit dataChanged(index(firstRow, 0), index(lastRow, columnCount() - 1));
}

void FileListItemModel::statesChanged(int firstRow, int lastRow) {
    mirrorStates(firstRow, lastRow);
    if (m_checkBoxes) emit dataChanged(index(firstRow, 0), index(lastRow, 0), {Qt::CheckStateRole});
}

void FileListItemModel::itemClick(int item) {
    if (onItemClick) onItemClick(item);
}
