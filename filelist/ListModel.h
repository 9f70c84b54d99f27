#pragma once

// The list behind the file list view: columns, items with sub-items, images, indents and
// state bits, the selection mark, sorting and the list-box style members. It holds no
// widget; the view binds to it through ListModelObserver and mirrors its states.

#include "filelist/FolderListing.h"
#include "filelist/ImageList.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class ListModelObserver {
public:
    virtual ~ListModelObserver() = default;
    virtual void aboutToReset() {}
    virtual void reset() {}
    virtual void aboutToInsert(int /*first*/, int /*last*/) {}
    virtual void inserted() {}
    virtual void aboutToRemove(int /*row*/) {}
    virtual void removed() {}
    virtual void columnsAboutToChange() {}
    virtual void columnsChanged() {}
    // A column's text, width, alignment or header image changed.
    virtual void headerChanged(int /*column*/) {}
    virtual void cellsChanged(int /*firstRow*/, int /*lastRow*/) {}
    virtual void statesChanged(int /*firstRow*/, int /*lastRow*/) {}
    // The list's ItemClick event (selection changes and ItemSelected lets).
    virtual void itemClick(int /*item*/) {}
};

class ListModel {
public:
    // Item state bits.
    static constexpr quint32 kFocused = 1;
    static constexpr quint32 kSelected = 2;
    static constexpr quint32 kCut = 4;
    static constexpr quint32 kStateImageMask = 0xF000;  // 1 unchecked, 2 checked
    static constexpr int kStateImageShift = 12;

    // Sort types.
    static constexpr int kSortTextNoCase = 0;
    static constexpr int kSortText = 1;
    static constexpr int kSortNumeric = 2;
    static constexpr int kSortDate = 3;

    ListModel();

    void setObserver(ListModelObserver* observer) { m_observer = observer; }

    // Columns.
    bool ColumnAdd(int Column, const QString& text, int Width, int Align = 0, int Icon = -1);
    bool ColumnRemove(int Column);
    QString ColumnText(int Column) const;
    bool setColumnText(int Column, const QString& text);
    int ColumnWidth(int Column) const;
    bool setColumnWidth(int Column, int Width);
    int ColumnAlign(int Column) const;
    bool setColumnAlign(int Column, int Align);
    int ColumnIcon(int Column) const;
    bool setColumnIcon(int Column, int Icon);
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }

    // Items.
    bool ItemAdd(int Item, const QString& text, int Icon = 0, int indent = 0);
    bool ItemRemove(int Item);
    bool Clear();
    // Coincidence: 2 whole text, 8 beginning of the text, plus 32 to wrap round; letters
    // compared without regard to case. The search starts after StartItem.
    int ItemFindText(const QString& text, int StartItem = -1, int Coincidence = 2) const;
    // The next item after StartItem having every bit of State (0: any item).
    int ItemFindState(int StartItem = -1, int State = 0) const;
    bool SubItemSet(int Item, int SubItem, const QString& text, int Icon = -1);
    QString ItemText(int Item) const { return SubItemText(Item, 0); }
    bool setItemText(int Item, const QString& text) { return setSubItemText(Item, 0, text); }
    QString SubItemText(int Item, int SubItem) const;
    bool setSubItemText(int Item, int SubItem, const QString& text);
    int ItemIcon(int Item) const;
    bool setItemIcon(int Item, int Icon);
    int SubItemIcon(int Item, int SubItem) const;
    bool setSubItemIcon(int Item, int SubItem, int Icon);
    int ItemIndent(int Item) const;
    bool setItemIndent(int Item, int indent);
    // The position given when the item was inserted.
    int ItemData(int Item) const;
    // 2 when selected, else 0.
    int ItemSelected(int Item) const;
    // Raises ItemClick(Item) afterwards whatever changed; Item -1 means every item.
    bool setItemSelected(int Item, bool Selected);
    bool ItemFocused(int Item) const;
    bool setItemFocused(int Item, bool Focused);
    bool ItemChecked(int Item) const;
    bool setItemChecked(int Item, bool Checked);
    bool ItemGhosted(int Item) const;
    bool setItemGhosted(int Item, bool Ghosted);
    quint32 ItemState(int Item) const;
    int count() const { return static_cast<int>(m_items.size()); }
    int SelectedCount() const;
    int NewIndex() const { return m_newIndex; }

    // List-box style members.
    int ListCount() const { return count(); }
    // A negative Index becomes count() (and the caller's variable receives it).
    bool AddItem(const QString& text, int& Index, int Icon = 0, int indent = 0);
    bool AddItem(const QString& text);
    bool RemoveItem(int Index) { return ItemRemove(Index); }
    QString List(int Index, int SubItem = 0) const { return SubItemText(Index, SubItem); }
    bool setList(int Index, const QString& text) { return setSubItemText(Index, 0, text); }
    bool setList(int Index, int SubItem, const QString& text) {
        return setSubItemText(Index, SubItem, text);
    }
    int ListIndex() const { return m_selectionMark; }
    void setListIndex(int index);
    bool Selected(int Item) const { return ItemSelected(Item) != 0; }
    bool setSelected(int Item, bool value) { return setItemSelected(Item, value); }
    int SelCount() const { return SelectedCount(); }
    QString text(int SubItem = 0) const { return List(m_selectionMark, SubItem); }
    bool setText(int SubItem, const QString& value) {
        return setList(m_selectionMark, SubItem, value);
    }
    // Sets or clears the selection of every item at once, without any event.
    bool SelectAll(bool NewState = true);
    void InvertSelection();

    // Sorting. Order: 1 ascending, -1 descending, 0 none, 2 toggle. Type: 0-3 as above.
    bool Sort(int Column = 0, int New_SortOrder = 2, int New_SortType = kSortTextNoCase);
    int SortColumn() const { return m_sortColumn; }
    int SortOrder() const { return m_sortOrder; }
    int SortType() const { return m_sortType; }

    // Image lists: small, large and header.
    ImageList& imageListSmall() { return m_small; }
    ImageList& imageListLarge() { return m_large; }
    ImageList& imageListHeader() { return m_header; }
    const ImageList& imageListSmall() const { return m_small; }
    const ImageList& imageListLarge() const { return m_large; }
    const ImageList& imageListHeader() const { return m_header; }

    // Appends one item per listed file. Its other cells (size, type, date, raw size) are
    // written from the listed facts the first time any of them is read; sorts by size and
    // date use the facts themselves. `columns` is how many columns the listing fills, as
    // when each item was added and set one by one.
    void appendFiles(std::vector<ListedFile> files, int columns);

    // What the view needs beyond the operations above.
    void setSingleSelection(bool single);
    bool singleSelection() const { return m_singleSelection; }
    void setCheckBoxes(bool on);
    // The selection-change ItemClick; SelectAll switches it off while it runs.
    bool selectionChangeEvents() const { return m_selectionEvents; }
    // The user changed focus and selection in the view: applies the new focused and
    // selected bits of `row` as one change, as the list does for a click or a key.
    void applyUserState(int row, bool focused, bool selected);
    void setSelectionMarkFromUser(int row);
    void raiseItemClick(int item);

private:
    struct Row {
        QString text;
        QStringList sub;            // sub-items 1..n
        std::vector<int> subIcons;  // sub-items 1..n, -1 none; empty until one is set
        int image = 0;
        int indent = 0;
        int data = 0;
        quint32 state = 0;
        // While the cells of a listed file are not yet written: how many columns to fill
        // (0 once written or for other items) and the facts to write them from.
        int fileColumns = 0;
        bool fileReadable = false;
        qint64 fileSize = 0;
        qint64 fileModified = 0;
    };
    struct ColumnInfo {
        QString text;
        int width = 0;
        int align = 0;
        int icon = -1;
    };

    bool validItem(int i) const { return i >= 0 && i < count(); }
    bool validColumn(int c) const { return c >= 0 && c < ColumnCount(); }
    // Reads the file cells of an item listed from a folder; cheap when already read.
    void load(int row) const;
    void loadAll() const;
    std::vector<int> sortedRows(int column, int order, int type) const;
    void changeState(int row, quint32 mask, quint32 bits);
    void itemChanged(int row, quint32 before, quint32 after);
    void clearFocusExcept(int row);
    void clearSelectionExcept(int row);
    void insertAt(int pos, Row item);

    mutable std::vector<Row> m_items;
    // Folded item text -> its rows in order; built by the first whole-name search after a
    // change.
    mutable std::optional<QHash<QString, std::vector<int>>> m_nameRows;
    std::vector<ColumnInfo> m_columns;
    ListModelObserver* m_observer = nullptr;
    ImageList m_small{16, 16};
    ImageList m_large{32, 32};
    ImageList m_header{16, 16};
    int m_newIndex = -1;
    int m_selectionMark = -1;
    int m_sortColumn = -1;
    int m_sortOrder = 0;
    int m_sortType = kSortText;
    bool m_selectionEvents = true;
    bool m_oneItem = false;
    bool m_singleSelection = false;
    bool m_checkBoxes = false;
};
