#include "filelist/ListModel.h"

#include "filelist/FileFormats.h"
#include "filelist/ListSort.h"
#include "platform/FileNames.h"

#include <sys/stat.h>

#include <algorithm>

ListModel::ListModel() = default;

// ---- columns ---------------------------------------------------------------------------

bool ListModel::columnAdd(int column, const QString& text, int width, int align, int icon) {
    if (column < 0) return false;
    const int pos = std::min(column, columnCount());
    loadAll();
    if (m_observer) m_observer->columnsAboutToChange();
    // Column 0 is always left-aligned, whatever is asked.
    m_columns.insert(m_columns.begin() + pos,
                     ColumnInfo{text, std::max(0, width), pos == 0 ? 0 : std::clamp(align, 0, 2),
                                icon >= 0 ? icon : -1, true});
    // Items keep their cells by column position.
    if (pos > 0) {
        for (Row& it : m_items) {
            if (it.sub.size() >= pos) it.sub.insert(pos - 1, QString());
        }
    }
    if (m_observer) m_observer->columnsChanged();
    return true;
}

QString ListModel::columnText(int column) const {
    return validColumn(column) ? m_columns[column].text : QString();
}

int ListModel::columnWidth(int column) const {
    return validColumn(column) ? m_columns[column].width : 0;
}

bool ListModel::columnShown(int column) const {
    return validColumn(column) && m_columns[column].shown;
}

bool ListModel::setColumnShown(int column, bool shown) {
    if (!validColumn(column)) return false;
    if (m_columns[column].shown == shown) return true;
    if (m_observer) m_observer->columnsAboutToChange();
    m_columns[column].shown = shown;
    if (m_observer) m_observer->columnsChanged();
    return true;
}

bool ListModel::setColumnWidth(int column, int width) {
    if (!validColumn(column) || width < 0) return false;
    m_columns[column].width = width;
    if (m_observer) m_observer->headerChanged(column);
    return true;
}

int ListModel::columnAlign(int column) const {
    return validColumn(column) ? m_columns[column].align : 0;
}

int ListModel::columnIcon(int column) const {
    return validColumn(column) ? m_columns[column].icon : -1;
}

// ---- items -----------------------------------------------------------------------------

void ListModel::appendFiles(std::vector<ListedFile> files, int columns, const QString& folder) {
    if (files.empty()) return;
    const QByteArray lookFolder = platform::encodeName(folder);
    if (lookFolder != m_lookFolder) {
        // Rows from another folder are looked at where they were listed.
        for (Row& it : m_items)
            look(it);
        m_lookFolder = lookFolder;
    }
    const int first = count();
    const int last = first + static_cast<int>(files.size()) - 1;
    if (m_observer) m_observer->aboutToInsert(first, last);
    m_items.reserve(m_items.size() + files.size());
    for (ListedFile& f : files)
        m_items.push_back(rowOf(std::move(f), columns));
    if (m_observer) m_observer->inserted();
    // As if added one by one: the first add into an empty list focused item 0, and the
    // one-item flag tells whether the last add left a single item.
    m_oneItem = count() == 1;
    if (first == 0) changeState(0, kFocused, kFocused);
}

ListModel::Row ListModel::rowOf(ListedFile&& f, int columns) const {
    Row it;
    it.text = std::move(f.name);
    // Only the first five columns come from the listing.
    it.fileColumns = static_cast<quint8>(columns > 1 ? std::min(columns, 255) : 0);
    it.fileReadable = f.readable;
    it.fileLooked = f.looked;
    it.fileSize = f.size;
    it.fileModified = f.modified;
    if (m_checkBoxes) it.state = 1u << kStateImageShift;
    return it;
}

void ListModel::setFileFacts(const std::vector<std::pair<int, ListedFile>>& facts) {
    int first = count(), last = -1;
    for (const auto& [row, f] : facts) {
        if (!validItem(row)) continue;
        Row& it = m_items[row];
        // Cells already written are written again from the new facts.
        if (it.fileColumns == 0 && !it.sub.isEmpty())
            it.fileColumns = static_cast<quint8>(std::min<qsizetype>(it.sub.size() + 1, 255));
        it.fileLooked = true;
        it.fileReadable = f.readable;
        it.fileSize = f.size;
        it.fileModified = f.modified;
        first = std::min(first, row);
        last = std::max(last, row);
    }
    if (m_observer && last >= first) m_observer->cellsChanged(first, last);
}

ReconcilePlan ListModel::planReconcile(const std::vector<ListedFile>& read) const {
    return ::planReconcile(
        count(),
        [this](int row) {
            const Row& it = m_items[size_t(row)];
            return ListedFile{it.text, it.fileSize, it.fileModified, it.fileReadable,
                              it.fileLooked};
        },
        read);
}

void ListModel::reconcileFiles(const ReconcilePlan& plan, std::vector<ListedFile> read,
                               int columns) {
    for (const int row : plan.removeRows)
        removeItem(row);
    // Runs of neighbouring new rows go in together.
    for (size_t k = 0; k < plan.insertRows.size();) {
        size_t end = k + 1;
        while (end < plan.insertRows.size() && plan.insertRows[end] == plan.insertRows[end - 1] + 1)
            ++end;
        const int first = plan.insertRows[k];
        const int last = plan.insertRows[end - 1];
        if (first > count()) break;  // the plan is not for these rows
        if (m_observer) m_observer->aboutToInsert(first, last);
        std::vector<Row> rows;
        rows.reserve(end - k);
        for (size_t i = k; i < end; ++i)
            rows.push_back(rowOf(std::move(read[plan.insertRows[i]]), columns));
        m_items.insert(m_items.begin() + first, std::make_move_iterator(rows.begin()),
                       std::make_move_iterator(rows.end()));
        if (m_selectionMark >= first) m_selectionMark += last - first + 1;
        if (m_observer) m_observer->inserted();
        k = end;
    }
    std::vector<std::pair<int, ListedFile>> changed;
    changed.reserve(plan.changedRows.size());
    for (const int row : plan.changedRows)
        if (static_cast<size_t>(row) < read.size()) changed.emplace_back(row, read[row]);
    setFileFacts(changed);
    m_oneItem = count() == 1;
}

void ListModel::look(Row& row) const {
    if (row.fileLooked || !m_looksAtFiles) return;
    row.fileLooked = true;
    struct stat st {};
    row.fileReadable =
        ::stat((m_lookFolder + platform::encodeName(row.text)).constData(), &st) == 0;
    if (!row.fileReadable) return;
    row.fileSize = st.st_size;
    row.fileModified = st.st_mtim.tv_sec;
}

void ListModel::load(int row) const {
    Row& it = m_items[row];
    if (it.fileColumns == 0) return;
    // Not looked at when the folder is read elsewhere: the cells stay blank until
    // setFileFacts writes them again.
    look(it);
    const int cells = it.fileColumns - 1;
    it.fileColumns = 0;
    it.sub.reset(cells);
    const bool ok = it.fileReadable;
    // A file whose length and date could not be read keeps its row; only what the name
    // itself tells is shown.
    if (cells >= 1) it.sub.append(ok ? formatSize(static_cast<double>(it.fileSize)) : QString());
    if (cells >= 2) it.sub.append(fileTypeDescription(it.text));
    if (cells >= 3) {
        static thread_local const FileDateFormat dates;
        it.sub.append(ok ? dates.format(it.fileModified) : QString());
    }
    if (cells >= 4) it.sub.append(ok ? QString::number(it.fileSize) : QString());
}

void ListModel::loadAll() const {
    for (int i = 0; i < count(); ++i)
        load(i);
}

bool ListModel::removeItem(int item) {
    if (!validItem(item)) return false;
    if (m_observer) m_observer->aboutToRemove(item);
    m_items.erase(m_items.begin() + item);
    if (m_selectionMark == item)
        m_selectionMark = -1;
    else if (m_selectionMark > item)
        --m_selectionMark;
    if (m_observer) m_observer->removed();
    return true;
}

bool ListModel::clear() {
    if (m_observer) m_observer->aboutToReset();
    m_items.clear();
    m_selectionMark = -1;
    m_oneItem = false;
    m_sortColumn = -1;
    m_sortOrder = 0;
    if (m_observer) m_observer->reset();
    return true;
}

int ListModel::itemFindState(int startItem, int state) const {
    const quint32 want = static_cast<quint32>(state) & (kFocused | kSelected | kCut);
    for (int i = std::max(startItem + 1, 0); i < count(); ++i)
        if ((m_items[i].state & want) == want) return i;
    return -1;
}

QString ListModel::subItemText(int item, int subItem) const {
    if (!validItem(item) || subItem < 0) return {};
    const Row& row = m_items[item];
    if (subItem == 0) return row.text;
    switch (subItem) {
        case kPlayedColumn:
            return playedCell(m_playFacts.value(row.text));
        case kPlayTimeColumn:
            return playTimeCell(m_playFacts.value(row.text));
        case kLastPlayedColumn:
            return lastPlayedCell(m_playFacts.value(row.text));
        case kVerifiedColumn:
            return verifiedCell(row.verified);
        default:
            break;
    }
    // The type follows from the name alone; a sort by type need not read every file.
    if (subItem == 2 && row.fileColumns > 2)
        return typeCell(row.text, fileTypeDescription(row.text));
    load(item);
    const QString text = m_items[item].sub.at(subItem - 1);
    return subItem == 2 ? typeCell(m_items[item].text, text) : text;
}

bool ListModel::setItemText(int item, const QString& text) {
    if (!validItem(item)) return false;
    // The listed cells are written first: the type shown stays the one the listing found.
    load(item);
    m_items[item].text = text;
    if (m_observer) m_observer->cellsChanged(item, item);
    return true;
}

int ListModel::itemIcon(int item) const {
    return validItem(item) ? m_items[item].image : 0;
}

int ListModel::subItemIcon(int item, int subItem) const {
    if (!validItem(item) || subItem < 0) return 0;
    return subItem == 0 ? m_items[item].image : -1;
}

int ListModel::itemIndent(int /*item*/) const {
    return 0;
}

quint32 ListModel::itemState(int item) const {
    return validItem(item) ? m_items[item].state : 0;
}

// ---- states ----------------------------------------------------------------------------

void ListModel::itemChanged(int row, quint32 before, quint32 after) {
    if (!m_selectionEvents) return;
    // A check box toggled, or an item that had no state at all became selected: the list
    // reports both as an item click (the latter not for a list of one item).
    const bool checkChanged = before != 0 && ((before ^ after) & kStateImageMask) != 0;
    const bool newlySelected = before == 0 && !m_oneItem && (after & kSelected) != 0;
    if (checkChanged || newlySelected) raiseItemClick(row);
}

void ListModel::changeState(int row, quint32 mask, quint32 bits) {
    if (!validItem(row)) return;
    Row& it = m_items[row];
    const quint32 before = it.state;
    const quint32 after = (before & ~mask) | (bits & mask);
    if (before == after) return;
    it.state = after;
    if (m_observer) m_observer->statesChanged(row, row);
    itemChanged(row, before, after);
}

void ListModel::clearFocusExcept(int row) {
    for (int i = 0; i < count(); ++i)
        if (i != row && (m_items[i].state & kFocused)) changeState(i, kFocused, 0);
}

void ListModel::clearSelectionExcept(int row) {
    for (int i = 0; i < count(); ++i)
        if (i != row && (m_items[i].state & kSelected)) changeState(i, kSelected, 0);
}

bool ListModel::setItemSelected(int item, bool Selected) {
    bool ok = false;
    if (item == -1) {
        // A single-selection list refuses to select every item.
        if (!Selected || !m_singleSelection) {
            for (int i = 0; i < count(); ++i)
                changeState(i, kSelected, Selected ? kSelected : 0);
            ok = true;
        }
    } else if (validItem(item)) {
        if (Selected) {
            if (m_singleSelection) clearSelectionExcept(item);
            clearFocusExcept(item);
            changeState(item, kSelected | kFocused, kSelected | kFocused);
        } else {
            changeState(item, kSelected, 0);
        }
        ok = true;
    }
    raiseItemClick(item);
    return ok;
}

bool ListModel::setItemFocused(int item, bool Focused) {
    if (!validItem(item)) return false;
    if (Focused) clearFocusExcept(item);
    changeState(item, kFocused, Focused ? kFocused : 0);
    return true;
}

bool ListModel::itemChecked(int item) const {
    return validItem(item) && ((m_items[item].state & kStateImageMask) >> kStateImageShift) == 2;
}

bool ListModel::setItemChecked(int item, bool checked) {
    if (!validItem(item)) return false;
    changeState(item, kStateImageMask, (checked ? 2u : 1u) << kStateImageShift);
    return true;
}

bool ListModel::itemGhosted(int item) const {
    return validItem(item) && (m_items[item].state & kCut);
}

void ListModel::setListIndex(int index) {
    if (index >= 0) {
        // An index past the end selects nothing and keeps the mark, but the host still
        // hears itemClick with the index it asked for.
        if (validItem(index)) {
            m_selectionMark = index;
            setItemFocused(index, true);
        }
        setItemSelected(index, true);
        return;
    }
    const int current = m_selectionMark;
    selectAll(false);
    if (validItem(current)) changeState(current, kFocused, 0);
    m_selectionMark = -1;
}

void ListModel::selectAll(bool newState) {
    m_selectionEvents = false;
    if (!newState || !m_singleSelection) {
        for (Row& it : m_items)
            it.state = newState ? (it.state | kSelected) : (it.state & ~kSelected);
        if (m_observer && count() > 0) m_observer->statesChanged(0, count() - 1);
    }
    m_selectionEvents = true;
}

void ListModel::applyUserState(int row, bool focused, bool selected) {
    if (!validItem(row)) return;
    changeState(row, kFocused | kSelected, (focused ? kFocused : 0) | (selected ? kSelected : 0));
}

void ListModel::setSelectionMarkFromUser(int row) {
    if (validItem(row)) m_selectionMark = row;
}

void ListModel::raiseItemClick(int item) {
    if (m_observer) m_observer->itemClick(item);
}

void ListModel::setSingleSelection(bool single) {
    m_singleSelection = single;
    if (!single) return;
    // Keep the selection mark's item (or the first selected one) when switching.
    int keep = isSelected(m_selectionMark) ? m_selectionMark : itemFindState(-1, kSelected);
    const bool events = m_selectionEvents;
    m_selectionEvents = false;
    clearSelectionExcept(keep);
    m_selectionEvents = events;
}

void ListModel::setCheckBoxes(bool on) {
    if (on == m_checkBoxes) return;
    m_checkBoxes = on;
    for (Row& it : m_items)
        it.state = (it.state & ~kStateImageMask) | (on ? 1u << kStateImageShift : 0);
    if (m_observer && count() > 0) m_observer->statesChanged(0, count() - 1);
}

// ---- sorting ---------------------------------------------------------------------------

bool ListModel::sort(int column, int newSortOrder, int newSortType) {
    int order = newSortOrder;
    if (order == 2) order = (column == m_sortColumn && m_sortOrder == 1) ? -1 : 1;
    m_sortColumn = column;
    m_sortOrder = order;
    if (order == 0) return true;
    if ((order != 1 && order != -1) || newSortType < 0 || newSortType > 3) return false;
    if (count() < 2) return true;

    const std::vector<int> rows = sortedRows(column, order, newSortType);

    if (m_observer) m_observer->aboutToReset();
    std::vector<Row> sorted;
    sorted.reserve(m_items.size());
    int mark = -1;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i] == m_selectionMark) mark = static_cast<int>(i);
        sorted.push_back(std::move(m_items[rows[i]]));
    }
    m_items = std::move(sorted);
    m_selectionMark = mark;
    if (m_observer) m_observer->reset();
    return true;
}

void ListModel::setPlayFacts(PlayFactsByName facts) {
    m_playFacts = std::move(facts);
    if (m_observer && count() > 0) m_observer->cellsChanged(0, count() - 1);
}

void ListModel::setVerifiedMarks(const VerifiedMarksByName& marks) {
    if (marks.isEmpty()) return;
    // One repaint over the rows between the first and the last name marked: a batch of
    // answers mostly lands on neighbouring rows.
    int first = -1, last = -1;
    for (int i = 0; i < count(); ++i) {
        const auto found = marks.constFind(m_items[i].text);
        if (found == marks.constEnd()) continue;
        m_items[i].verified = *found;
        m_anyVerified = true;
        if (first < 0) first = i;
        last = i;
    }
    if (m_observer && first >= 0) m_observer->cellsChanged(first, last);
}

void ListModel::clearVerifiedMarks() {
    if (!m_anyVerified) return;
    m_anyVerified = false;
    for (Row& row : m_items)
        row.verified = VerifiedMark::NotYet;
    if (m_observer && count() > 0) m_observer->cellsChanged(0, count() - 1);
}

VerifiedMark ListModel::verifiedMark(const QString& name) const {
    for (const Row& row : m_items)
        if (row.text == name) return row.verified;
    return VerifiedMark::NotYet;
}

std::vector<int> ListModel::sortedRows(int column, int order, int type) const {
    const int n = count();
    if (column == kVerifiedColumn) {
        std::vector<int> keys(n);
        for (int i = 0; i < n; ++i)
            keys[i] = static_cast<int>(m_items[i].verified);
        return sortedRowsByKeys(keys, order);
    }
    if (column >= kPlayedColumn && column <= kLastPlayedColumn) {
        // Games never played sort as nothing at all, below every played one.
        std::vector<qint64> keys(n);
        for (int i = 0; i < n; ++i) {
            const PlayFacts f = m_playFacts.value(m_items[i].text);
            keys[i] = f.plays <= 0                ? -1
                      : column == kPlayedColumn   ? f.plays
                      : column == kPlayTimeColumn ? f.seconds
                                                  : f.lastPlayed;
        }
        return sortedRowsByKeys(keys, order);
    }
    switch (type) {
        case kSortTextNoCase: {
            std::vector<QString> keys(n);
            for (int i = 0; i < n; ++i)
                keys[i] = subItemText(i, column).toLower();
            return sortedRowsByKeys(keys, order);
        }
        case kSortNumeric: {
            // A listed file's raw size is the number its size cell would read as.
            std::vector<double> keys(n);
            for (int i = 0; i < n; ++i) {
                Row& r = m_items[i];
                if (column == 4 && r.fileColumns > 4) look(r);
                keys[i] = column == 4 && r.fileColumns > 4
                              ? (r.fileReadable ? static_cast<double>(r.fileSize) : 0.0)
                              : sortNumber(subItemText(i, column));
            }
            return sortedRowsByKeys(keys, order);
        }
        case kSortDate: {
            const FileDateFormat dates;
            std::vector<qint64> keys(n);
            for (int i = 0; i < n; ++i) {
                Row& r = m_items[i];
                if (column == 3 && r.fileColumns > 3) look(r);
                keys[i] = column == 3 && r.fileColumns > 3
                              ? (r.fileReadable ? FileDateFormat::sortKeyAt(r.fileModified) : 0)
                              : dates.sortKey(subItemText(i, column)).value_or(0);
            }
            return sortedRowsByKeys(keys, order);
        }
        default: {
            std::vector<QString> keys(n);
            for (int i = 0; i < n; ++i)
                keys[i] = subItemText(i, column);
            return sortedRowsByKeys(keys, order);
        }
    }
}
