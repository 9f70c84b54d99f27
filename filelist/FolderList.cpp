#include "filelist/FolderList.h"

#include "filelist/DiscSets.h"
#include "filelist/FileFormats.h"
#include "filelist/FolderListing.h"
#include "filelist/FolderPrefetch.h"
#include "filelist/ListModel.h"

#include <iterator>

namespace {

struct DefaultColumn {
    const char* header;
    int width;
    int align;
};
constexpr DefaultColumn kColumns[] = {
    {"Name", 600, 0},  {"Size", 100, 1}, {"Type", 150, 0},        {"Date", 250, 0},    {"", 0, 0},
    {"Played", 70, 1}, {"Time", 70, 1},  {"Last played", 120, 0}, {"Verified", 75, 2},
};
constexpr int kRawSizeColumn = 4;

}  // namespace

void FolderList::setPath(const QString& value) {
    if (value.isEmpty()) {
        if (!m_path.isEmpty()) m_model.Clear();
        m_path.clear();
        return;
    }
    const QString folder = value.endsWith(u'/') ? value : value + u'/';
    if (folder == m_path) return;
    m_path = folder;
    list();
}

void FolderList::setPattern(const QString& value) {
    m_pattern = value;
    list();
}

void FolderList::list() {
    if (m_path.isEmpty()) return;
    m_model.Clear();
    if (m_model.ColumnCount() == 0) {
        for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
            m_model.ColumnAdd(i, QString::fromLatin1(kColumns[i].header), kColumns[i].width,
                              kColumns[i].align);
        // The raw size is the size column's sort key, not something to read.
        m_model.setColumnShown(kRawSizeColumn, false);
        m_model.setColumnShown(ListModel::kVerifiedColumn, m_showsVerified);
    }
    const int columns = m_model.ColumnCount();
    m_hiddenByList = 0;
    if (m_pattern.isEmpty()) return;
    const QStringList masks = Split(m_pattern, QStringLiteral(";"), 0);
    if (onBusy) onBusy(true);
    FolderListingOptions options;
    options.hidden = m_showsHiddenFiles;
    options.details = false;
    options.hiddenByList = &m_hiddenByList;
    if (m_readAhead) options.prelisted = m_readAhead->takeFiles(m_path);
    if (beforeListing) beforeListing(m_path);
    std::vector<ListedFile> files = ListFolder(m_path, masks, options);
    // A disc game is one row: the tracks and discs its .cue, .gdi or .m3u names have none.
    const DiscSets sets = DiscSetsIn(m_path);
    DropSetMembers(files, sets);
    m_model.setIncompleteSets(IncompleteSetsOf(sets));
    if (m_favouritesOnly)
        std::erase_if(files,
                      [&](const ListedFile& f) { return !m_model.playFacts(f.name).favourite; });
    m_model.appendFiles(std::move(files), columns, m_path);
    if (onBusy) onBusy(false);
}

void FolderList::setShowsVerified(bool on) {
    m_showsVerified = on;
    if (m_model.ColumnCount() > ListModel::kVerifiedColumn)
        m_model.setColumnShown(ListModel::kVerifiedColumn, on);
}

bool FolderList::SortFilesByColumnClick(int Column) {
    if (m_path.isEmpty()) return false;
    switch (Column) {
        case 0:
            return m_model.Sort(0, 2, ListModel::kSortTextNoCase);
        case 1:
            return m_model.Sort(4, 2, ListModel::kSortNumeric);
        case 2:
            return m_model.Sort(2, 2, ListModel::kSortTextNoCase);
        case 3:
            return m_model.Sort(3, 2, ListModel::kSortDate);
        case ListModel::kPlayedColumn:
        case ListModel::kPlayTimeColumn:
        case ListModel::kLastPlayedColumn:
        case ListModel::kVerifiedColumn:
            return m_model.Sort(Column, 2, ListModel::kSortNumeric);
        default:
            return false;
    }
}
