#pragma once

// The list behind the file list view: columns, items with sub-items, images, indents and
// state bits, the selection mark, sorting and the list-box style members. It holds no
// widget; the view binds to it through ListModelObserver and mirrors its states.

#include "filelist/FolderIndex.h"
#include "filelist/FolderListing.h"
#include "filelist/ImageList.h"
#include "filelist/PlayFacts.h"
#include "filelist/VerifiedMarks.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
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
    // The list's itemClick event (selection changes and ItemSelected lets).
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
    bool columnAdd(int column, const QString& text, int width, int align = 0, int icon = -1);
    QString columnText(int column) const;
    int columnWidth(int column) const;
    bool setColumnWidth(int column, int width);
    int columnAlign(int column) const;
    int columnIcon(int column) const;
    // A column that is not shown keeps data for the program (a sort key) and is left out
    // of every view, the accessibility tree's among them.
    bool columnShown(int column) const;
    bool setColumnShown(int column, bool shown);
    int columnCount() const { return static_cast<int>(m_columns.size()); }

    // Items.
    bool clear();
    // The next item after startItem having every bit of state (0: any item).
    int itemFindState(int startItem = -1, int state = 0) const;
    QString itemText(int item) const { return subItemText(item, 0); }
    bool setItemText(int item, const QString& text);
    QString subItemText(int item, int subItem) const;
    int itemIcon(int item) const;
    int subItemIcon(int item, int subItem) const;
    int itemIndent(int item) const;
    bool itemChecked(int item) const;
    bool setItemChecked(int item, bool checked);
    bool itemGhosted(int item) const;
    quint32 itemState(int item) const;
    int count() const { return static_cast<int>(m_items.size()); }

    // List-box style members.
    int listCount() const { return count(); }
    bool removeItem(int index);
    QString list(int index, int subItem = 0) const { return subItemText(index, subItem); }
    int listIndex() const { return m_selectionMark; }
    // Chooses the item (focus and selection; the host hears itemClick); a negative index
    // clears the selection and the mark.
    void setListIndex(int index);

    // Sorting. Order: 1 ascending, -1 descending, 0 none, 2 toggle. Type: 0-3 as above.
    bool sort(int column = 0, int newSortOrder = 2, int newSortType = kSortTextNoCase);

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
    // when each item was added and set one by one. Files not yet looked at are looked at
    // in `folder` (ending in "/") when their cells are first read or a sort needs them.
    void appendFiles(std::vector<ListedFile> files, int columns, const QString& folder = {});
    // Off while the folder is read on a thread of its own: rows not yet looked at show their
    // name and type only, and nothing reads the disk on the caller's thread; their length
    // and date come with setFileFacts.
    void setLooksAtFiles(bool on) { m_looksAtFiles = on; }
    // The length and date of listed rows, read elsewhere (the row, then the facts); repaints
    // those rows.
    void setFileFacts(const std::vector<std::pair<int, ListedFile>>& facts);
    // How the rows as listed now become `read` (planReconcile), planned from the rows
    // themselves: a list shown from a folder's index keeps no second copy of it.
    ReconcilePlan planReconcile(const std::vector<ListedFile>& read) const;
    // Turns the listed rows into `read` by `plan` (planReconcile): the rows that stay keep
    // their place among the others, their state and the selection mark.
    void reconcileFiles(const ReconcilePlan& plan, std::vector<ListedFile> read, int columns);

    // The play history's columns (kPlayedColumn and the two after it) and favourite marks,
    // by item name; their cells read from it, and a sort by them uses the raw values.
    static constexpr int kPlayedColumn = 5;
    static constexpr int kPlayTimeColumn = 6;
    static constexpr int kLastPlayedColumn = 7;
    void setPlayFacts(PlayFactsByName facts);
    PlayFacts playFacts(const QString& name) const { return m_playFacts.value(name); }

    // The identification's column: its cells read from the marks, and a sort by it goes
    // from not identified up to verified. Marks come by name a few at a time while the files
    // are read and are kept in the rows listed under those names (a byte in each: a hash by
    // name cost a folder of 100,000 games megabytes); only those rows are told to repaint.
    static constexpr int kVerifiedColumn = 8;
    void setVerifiedMarks(const VerifiedMarksByName& marks);
    void clearVerifiedMarks();
    // The mark of the first row listed under the name.
    VerifiedMark verifiedMark(const QString& name) const;

    // Disc sets with files missing, by their top file's name: the type cell says so, and
    // the text ("Missing: ...") is the game's tip.
    void setIncompleteSets(QHash<QString, QString> missingByName) {
        m_incompleteSets = std::move(missingByName);
    }
    QString incompleteSetText(const QString& name) const { return m_incompleteSets.value(name); }

    // What the view needs beyond the operations above.
    void setSingleSelection(bool single);
    void setCheckBoxes(bool on);
    // The user changed focus and selection in the view: applies the new focused and
    // selected bits of `row` as one change, as the list does for a click or a key.
    void applyUserState(int row, bool focused, bool selected);
    void setSelectionMarkFromUser(int row);

private:
    // The texts of sub-items 1..n, written only for the rows that are shown or sorted by
    // them: out of the row, so a row without them carries one pointer, not a whole list.
    class SubItems {
    public:
        SubItems() = default;
        SubItems(const SubItems& other)
            : m_texts(other.m_texts ? std::make_unique<QStringList>(*other.m_texts) : nullptr) {}
        SubItems(SubItems&&) noexcept = default;
        SubItems& operator=(const SubItems& other) {
            if (this != &other) *this = SubItems(other);
            return *this;
        }
        SubItems& operator=(SubItems&&) noexcept = default;

        qsizetype size() const { return m_texts ? m_texts->size() : 0; }
        bool isEmpty() const { return size() == 0; }
        QString at(qsizetype i) const { return i < size() ? m_texts->at(i) : QString(); }
        void insert(qsizetype i, const QString& text) { list().insert(i, text); }
        void append(const QString& text) { list().append(text); }
        // Empties them, with room for `count` texts.
        void reset(qsizetype count) {
            m_texts.reset();
            list().reserve(count);
        }

    private:
        QStringList& list() {
            if (!m_texts) m_texts = std::make_unique<QStringList>();
            return *m_texts;
        }
        std::unique_ptr<QStringList> m_texts;
    };

    // One per item, 64 bytes: a list of 100,000 games holds as many. Sub-item icons and
    // indents are never set by this program, so they are not kept (none and 0).
    struct Row {
        QString text;
        SubItems sub;
        qint64 fileSize = 0;
        qint64 fileModified = 0;
        quint32 state = 0;
        int image = 0;
        // While the cells of a listed file are not yet written: how many columns to fill
        // (0 once written or for other items) and the facts to write them from.
        quint8 fileColumns = 0;
        bool fileReadable = false;
        bool fileLooked = true;
        VerifiedMark verified = VerifiedMark::NotYet;
    };
    static_assert(sizeof(void*) != 8 || sizeof(Row) <= 64, "a row grew: 100,000 of them are kept");
    struct ColumnInfo {
        QString text;
        int width = 0;
        int align = 0;
        int icon = -1;
        bool shown = true;
    };

    bool validItem(int i) const { return i >= 0 && i < count(); }
    // The type as listed, marked when the item is a disc set with files missing.
    QString typeCell(const QString& name, const QString& type) const {
        return m_incompleteSets.contains(name) ? type + QStringLiteral(" (files missing)") : type;
    }
    bool validColumn(int c) const { return c >= 0 && c < columnCount(); }
    // Reads the file cells of an item listed from a folder; cheap when already read.
    void load(int row) const;
    Row rowOf(ListedFile&& f, int columns) const;
    // Reads the length and date of a listed file not yet looked at.
    void look(Row& row) const;
    void loadAll() const;
    std::vector<int> sortedRows(int column, int order, int type) const;
    void changeState(int row, quint32 mask, quint32 bits);
    void itemChanged(int row, quint32 before, quint32 after);
    void clearFocusExcept(int row);
    void clearSelectionExcept(int row);
    bool isSelected(int row) const { return validItem(row) && (m_items[row].state & kSelected); }
    // Raises itemClick(item) afterwards whatever changed; item -1 means every item.
    bool setItemSelected(int item, bool Selected);
    bool setItemFocused(int item, bool Focused);
    // Sets or clears the selection of every item at once, without any event.
    void selectAll(bool newState);
    void raiseItemClick(int item);

    mutable std::vector<Row> m_items;
    PlayFactsByName m_playFacts;
    bool m_anyVerified = false;
    QHash<QString, QString> m_incompleteSets;
    std::vector<ColumnInfo> m_columns;
    ListModelObserver* m_observer = nullptr;
    QByteArray m_lookFolder;  // where listed files not yet looked at are, encoded
    ImageList m_small{16, 16};
    ImageList m_large{32, 32};
    ImageList m_header{16, 16};
    int m_selectionMark = -1;
    int m_sortColumn = -1;
    int m_sortOrder = 0;
    bool m_selectionEvents = true;
    bool m_oneItem = false;
    bool m_singleSelection = false;
    bool m_checkBoxes = false;
    bool m_looksAtFiles = true;
};
