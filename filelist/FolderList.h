#pragma once

// The file list's folder: a folder, masks and the hidden-files switch, listed into a
// ListModel with the name, size, type, date and raw-size columns, then the play history's
// played, time and last-played columns and the identification's verified column.

#include "filelist/FolderListing.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class FolderPrefetch;
class FolderReader;
class ListModel;

class FolderList {
public:
    explicit FolderList(ListModel& model) : m_model(model) {}
    // A read still under way is let go, never waited for.
    ~FolderList();
    FolderList(const FolderList&) = delete;
    FolderList& operator=(const FolderList&) = delete;

    QString path() const { return m_path; }
    // Ensures the trailing "/", lists when the folder differs (letter case counts); an
    // empty value clears the list and forgets the folder.
    void setPath(const QString& value);
    QString pattern() const { return m_pattern; }
    // Stores and lists, changed or not.
    void setPattern(const QString& value);
    // Whether dot files are listed too; takes effect at the next listing.
    bool showsHiddenFiles() const { return m_showsHiddenFiles; }
    void setShowsHiddenFiles(bool v) { m_showsHiddenFiles = v; }

    // Lists the folder again. In the background the rows shown stay (with the selection)
    // until the names come, and are then brought in line with the folder.
    void refresh();
    // Stores the pattern without listing (the control's start-up does so).
    void initPattern(const QString& value) { m_pattern = value; }
    // Sort by a clicked header: name, size (by the raw-size column), type, date, and the
    // play and verified columns by their raw values. False when nothing was sorted.
    bool sortFilesByColumnClick(int column);

    // Only the items marked favourite in the model's play facts; takes effect at the next
    // listing.
    bool favouritesOnly() const { return m_favouritesOnly; }
    void setFavouritesOnly(bool on) { m_favouritesOnly = on; }
    // How many files of the last listing the masks took but the folder's ".hidden" left out.
    int hiddenByList() const { return m_hiddenByList; }
    // The "Verified" column is left out of the views until games can be identified.
    bool showsVerified() const { return m_showsVerified; }
    void setShowsVerified(bool on);

    // Entries read ahead, taken instead of reading their folder while they hold; nullptr
    // (the default) reads every folder.
    void readAheadFrom(FolderPrefetch* prefetch) { m_readAhead = prefetch; }

    // From now on every folder is read on a thread of its own (FolderReader): the list
    // shows the folder's index from the last reading as soon as that thread has read it,
    // when there is one, then the names read, then the lengths and dates as they come; and
    // keeps the new reading as the index. `post` runs a function on this list's thread
    // later; the reader's thread calls it.
    void readInBackground(std::function<void(std::function<void()>)> post);
    // A folder is being read in the background.
    bool reading() const { return m_reader != nullptr; }
    // Whether the names of the folder being read are known (the list is whole).
    bool namesKnown() const { return m_namesKnown; }
    // What the list says of the folder it reads: "Reading <folder>...", "Reading
    // <folder>... N files", "<folder> does not answer", "<folder> read again at <time>"
    // once a list shown from the index has been read again; empty otherwise.
    QString readingStatus() const { return m_status; }
    // The owner's clock says the folder has kept the reader waiting too long.
    void noAnswerYet();
    // The rows from `row` on are the ones to read next (they are in sight).
    void lookFirstAt(int row);
    // The status changed.
    std::function<void()> onStatus;
    // The folder's names are known: the list holds what the folder holds (lengths and dates
    // may still be on their way).
    std::function<void()> onListed;
    // In the background, before the names: the folder's last listing (its index) is shown
    // (beforeListing came before it, at the start of the listing).
    std::function<void()> onShownFromIndex;

    // Called with the folder before it is read, so the play facts can be filled in first.
    // In the background it is called again once the names are known, when they differ
    // from what was shown.
    std::function<void(const QString& folder)> beforeListing;

    // Called with true before the folder is read and false after, so a view can show the
    // busy pointer and stop repainting meanwhile.
    std::function<void(bool)> onBusy;

private:
    // `keepRows`: the rows shown are the folder's, as a refresh finds them.
    void list(bool keepRows = false);
    void listInBackground(const QStringList& masks, int columns, bool keepRows);
    void indexRead(std::vector<ListedFile> files, int hiddenByList);
    void cancelReading();
    void namesRead(std::vector<ListedFile> files, int hiddenByList, bool readable);
    void factsRead(const std::vector<std::pair<int, ListedFile>>& facts);
    void readingFinished();
    void setStatus(const QString& status);
    QString shownFolder() const;

    ListModel& m_model;
    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    bool m_showsHiddenFiles = false;
    bool m_favouritesOnly = false;
    int m_hiddenByList = 0;
    bool m_showsVerified = false;
    FolderPrefetch* m_readAhead = nullptr;

    std::function<void(std::function<void()>)> m_post;
    std::shared_ptr<FolderReader> m_reader;
    quint64 m_reading = 0;  // which reading the reader's answers belong to
    int m_columns = 0;
    bool m_fromIndex = false;
    bool m_namesKnown = false;
    QString m_status;
    // The row each file read was given, by its index in the reader's list (none when every
    // file got the row of its index); a row is checked against the name its length and date
    // come with before they are written, since commands and sorts move rows meanwhile.
    std::vector<int> m_readRows;
    // Rows by name, for lengths and dates whose row has moved; checked before each use.
    QHash<QString, int> m_rowOfName;
};
