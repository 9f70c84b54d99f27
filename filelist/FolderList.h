#pragma once

// The file list's folder: a folder, masks and the hidden-files switch, listed into a
// ListModel with the name, size, type, date and raw-size columns, then the play history's
// played, time and last-played columns and the identification's verified column.

#include <QString>

#include <functional>

class FolderPrefetch;
class ListModel;

class FolderList {
public:
    explicit FolderList(ListModel& model) : m_model(model) {}

    QString path() const { return m_path; }
    // Ensures the trailing "/", lists when the folder differs (letter case counts); an
    // empty value clears the list and forgets the folder.
    void setPath(const QString& value);
    QString Pattern() const { return m_pattern; }
    // Stores and lists, changed or not.
    void setPattern(const QString& value);
    // Whether dot files are listed too; takes effect at the next listing.
    bool showsHiddenFiles() const { return m_showsHiddenFiles; }
    void setShowsHiddenFiles(bool v) { m_showsHiddenFiles = v; }

    void Refresh() { list(); }
    // Stores the pattern without listing (the control's start-up does so).
    void initPattern(const QString& value) { m_pattern = value; }
    // Sort by a clicked header: name, size (by the raw-size column), type, date, and the
    // play and verified columns by their raw values. False when nothing was sorted.
    bool SortFilesByColumnClick(int Column);

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

    // Called with the folder before it is read, so the play facts can be filled in first.
    std::function<void(const QString& folder)> beforeListing;

    // Called with true before the folder is read and false after, so a view can show the
    // busy pointer and stop repainting meanwhile.
    std::function<void(bool)> onBusy;

private:
    void list();

    ListModel& m_model;
    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    bool m_showsHiddenFiles = false;
    bool m_favouritesOnly = false;
    int m_hiddenByList = 0;
    bool m_showsVerified = false;
    FolderPrefetch* m_readAhead = nullptr;
};
