#include "filelist/FolderList.h"

#include "filelist/DiscSets.h"
#include "filelist/FileFormats.h"
#include "filelist/FolderIndex.h"
#include "filelist/FolderListing.h"
#include "filelist/FolderPrefetch.h"
#include "filelist/FolderReader.h"
#include "filelist/ListModel.h"
#include "platform/FolderSnapshot.h"

#include <QHash>
#include <QLoggingCategory>
#include <QTime>

#include <iterator>

namespace {

// When a folder read in the background reaches the list: its index shown, its names known,
// every length and date read. Off unless asked for, as in
// QT_LOGGING_RULES=rombard.folders.info=true: a slow share's answers can be timed without a
// debugger, and the start benchmarks wait on these lines.
Q_LOGGING_CATEGORY(folderReading, "rombard.folders", QtWarningMsg)

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

FolderList::~FolderList() {
    // The owner is going too: it hears nothing more.
    onStatus = nullptr;
    onListed = nullptr;
    onShownFromIndex = nullptr;
    cancelReading();
}

void FolderList::setPath(const QString& value) {
    if (value.isEmpty()) {
        cancelReading();
        if (!m_path.isEmpty()) m_model.clear();
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

void FolderList::refresh() {
    list(m_post && m_model.count() > 0);
}

void FolderList::list(bool keepRows) {
    if (m_path.isEmpty()) return;
    cancelReading();
    if (!keepRows) m_model.clear();
    if (m_model.columnCount() == 0) {
        for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
            m_model.columnAdd(i, QString::fromLatin1(kColumns[i].header), kColumns[i].width,
                              kColumns[i].align);
        // The raw size is the size column's sort key, not something to read.
        m_model.setColumnShown(kRawSizeColumn, false);
        m_model.setColumnShown(ListModel::kVerifiedColumn, m_showsVerified);
    }
    const int columns = m_model.columnCount();
    if (!keepRows) m_hiddenByList = 0;
    if (m_pattern.isEmpty()) return;
    const QStringList masks = split(m_pattern, QStringLiteral(";"), 0);
    if (m_post) {
        listInBackground(masks, columns, keepRows);
        return;
    }
    if (onBusy) onBusy(true);
    FolderListingOptions options;
    options.hidden = m_showsHiddenFiles;
    options.details = false;
    options.hiddenByList = &m_hiddenByList;
    if (m_readAhead) options.prelisted = m_readAhead->takeFiles(m_path);
    // The folder is read once, for the listing and its disc sets both.
    PrelistedFiles own;
    if (!options.prelisted) {
        if (const auto entries = platform::folderEntryKinds(m_path)) {
            own = prelist(m_path, *entries, nameOrderOf(*entries));
            options.prelisted = &own;
        }
    }
    // A disc game is one row: the tracks and discs its .cue, .gdi or .m3u names have none.
    const DiscSets sets =
        options.prelisted ? discSetsAmong(m_path, *options.prelisted) : discSetsIn(m_path);
    if (beforeListing) beforeListing(m_path);
    std::vector<ListedFile> files = listFolder(m_path, masks, options);
    dropSetMembers(files, sets);
    m_model.setIncompleteSets(incompleteSetsOf(sets));
    if (m_favouritesOnly)
        std::erase_if(files,
                      [&](const ListedFile& f) { return !m_model.playFacts(f.name).favourite; });
    m_model.appendFiles(std::move(files), columns, m_path);
    if (onBusy) onBusy(false);
}

void FolderList::setShowsVerified(bool on) {
    m_showsVerified = on;
    if (m_model.columnCount() > ListModel::kVerifiedColumn)
        m_model.setColumnShown(ListModel::kVerifiedColumn, on);
}

bool FolderList::sortFilesByColumnClick(int column) {
    if (m_path.isEmpty()) return false;
    switch (column) {
        case 0:
            return m_model.sort(0, 2, ListModel::kSortTextNoCase);
        case 1:
            return m_model.sort(4, 2, ListModel::kSortNumeric);
        case 2:
            return m_model.sort(2, 2, ListModel::kSortTextNoCase);
        case 3:
            return m_model.sort(3, 2, ListModel::kSortDate);
        case ListModel::kPlayedColumn:
        case ListModel::kPlayTimeColumn:
        case ListModel::kLastPlayedColumn:
        case ListModel::kVerifiedColumn:
            return m_model.sort(column, 2, ListModel::kSortNumeric);
        default:
            return false;
    }
}

// ---- reading in the background -----------------------------------------------------------

void FolderList::readInBackground(std::function<void(std::function<void()>)> post) {
    m_post = std::move(post);
    m_model.setLooksAtFiles(!m_post);
}

void FolderList::cancelReading() {
    if (m_reader) m_reader->cancel();
    m_reader.reset();
    ++m_reading;
    m_namesKnown = false;
    m_readRows.clear();
    m_rowOfName.clear();
    if (!m_status.isEmpty()) setStatus(QString());
}

QString FolderList::shownFolder() const {
    return m_path.size() > 1 && m_path.endsWith(u'/') ? m_path.chopped(1) : m_path;
}

void FolderList::setStatus(const QString& status) {
    m_status = status;
    if (onStatus) onStatus();
}

void FolderList::listInBackground(const QStringList& masks, int columns, bool keepRows) {
    m_columns = columns;
    if (beforeListing) beforeListing(m_path);
    FolderReadRequest request;
    // Rows kept are reconciled with the names as an index's would be; otherwise the index
    // (on the local disk, but 100,000 files take a while to read) comes from the reader's
    // thread, so the window shows at once and the list fills a moment later.
    m_fromIndex = keepRows;
    if (keepRows) {
        request.shownNames.reserve(m_model.count());
        for (int row = 0; row < m_model.count(); ++row)
            request.shownNames.push_back(m_model.itemText(row));
    }
    request.showsIndex = !keepRows;
    const quint64 reading = m_reading;
    const auto post = m_post;
    FolderReader::Callbacks callbacks;
    callbacks.indexRead = [this, post, reading](std::vector<ListedFile> files, int hidden) {
        post([this, reading, files = std::move(files), hidden]() mutable {
            if (reading == m_reading) indexRead(std::move(files), hidden);
        });
    };
    callbacks.names = [this, post, reading](std::vector<ListedFile> files, int hidden, bool ok) {
        post([this, reading, files = std::move(files), hidden, ok]() mutable {
            if (reading == m_reading) namesRead(std::move(files), hidden, ok);
        });
    };
    callbacks.incompleteSets = [this, post, reading](QHash<QString, QString> missing) {
        post([this, reading, missing = std::move(missing)]() mutable {
            if (reading == m_reading) m_model.setIncompleteSets(std::move(missing));
        });
    };
    callbacks.facts = [this, post, reading](std::vector<std::pair<int, ListedFile>> facts) {
        post([this, reading, facts = std::move(facts)] {
            if (reading == m_reading) factsRead(facts);
        });
    };
    callbacks.finished = [this, post, reading] {
        post([this, reading] {
            if (reading == m_reading) readingFinished();
        });
    };
    request.folder = m_path;
    request.masks = masks;
    request.hidden = m_showsHiddenFiles;
    request.pattern = m_pattern;
    request.indexFile = folderIndexFile(m_path, m_pattern, m_showsHiddenFiles);
    m_reader = FolderReader::start(std::move(request), std::move(callbacks));
    setStatus(QStringLiteral("Reading ") + shownFolder() + QStringLiteral("..."));
}

void FolderList::noAnswerYet() {
    if (m_reader && !m_namesKnown) setStatus(shownFolder() + QStringLiteral(" does not answer"));
}

void FolderList::lookFirstAt(int row) {
    if (!m_reader || row < 0) return;
    if (m_readRows.empty()) {
        m_reader->lookFirstAt(row);
        return;
    }
    const auto it = std::find(m_readRows.begin(), m_readRows.end(), row);
    if (it != m_readRows.end()) m_reader->lookFirstAt(static_cast<int>(it - m_readRows.begin()));
}

void FolderList::indexRead(std::vector<ListedFile> files, int hiddenByList) {
    // A command may have listed rows meanwhile only by reading the folder again, which
    // lets this reading go: the list is still empty here.
    m_fromIndex = true;
    m_hiddenByList = hiddenByList;
    if (m_favouritesOnly)
        std::erase_if(files,
                      [&](const ListedFile& f) { return !m_model.playFacts(f.name).favourite; });
    // Handed over: the rows are all that is kept of the index until the names come.
    m_model.appendFiles(std::move(files), m_columns, m_path);
    qCInfo(folderReading, "index shown: %d files in %s", m_model.count(), qUtf8Printable(m_path));
    if (onShownFromIndex) onShownFromIndex();
}

void FolderList::namesRead(std::vector<ListedFile> files, int hiddenByList, bool readable) {
    m_namesKnown = true;
    m_hiddenByList = hiddenByList;
    if (m_favouritesOnly) {
        std::vector<ListedFile> kept;
        m_readRows.assign(files.size(), -1);
        for (size_t i = 0; i < files.size(); ++i) {
            if (!m_model.playFacts(files[i].name).favourite) continue;
            m_readRows[i] = static_cast<int>(kept.size());
            kept.push_back(std::move(files[i]));
        }
        files = std::move(kept);
    }
    bool changed = true;
    if (m_fromIndex) {
        const ReconcilePlan plan = m_model.planReconcile(files);
        changed = !plan.removeRows.empty() || !plan.insertRows.empty();
        m_model.reconcileFiles(plan, std::move(files), m_columns);
    } else {
        m_model.appendFiles(std::move(files), m_columns, m_path);
    }
    if (changed && beforeListing) beforeListing(m_path);
    setStatus(readable ? QStringLiteral("Reading ") + shownFolder() + QStringLiteral("... ") +
                             QString::number(m_model.count()) + QStringLiteral(" files")
                       : shownFolder() + QStringLiteral(" cannot be read"));
    qCInfo(folderReading, "names known: %d files in %s", m_model.count(), qUtf8Printable(m_path));
    if (onListed) onListed();
}

void FolderList::factsRead(const std::vector<std::pair<int, ListedFile>>& facts) {
    std::vector<std::pair<int, ListedFile>> byRow;
    byRow.reserve(facts.size());
    bool madeAgain = false;  // the rows by name, at most once a batch
    for (const auto& [index, f] : facts) {
        if (index < 0 || (!m_readRows.empty() && static_cast<size_t>(index) >= m_readRows.size()))
            continue;
        int row = m_readRows.empty() ? index : m_readRows[index];
        if (row < 0) continue;
        const QString& name = f.name;
        if (m_model.itemText(row) != name) {
            // Moved by a sort or a removal: found by its name, or gone. Kept from batch to
            // batch: a sorted list moves every row, and its names need not be hashed again.
            row = m_rowOfName.value(name, -1);
            if ((row < 0 || row >= m_model.count() || m_model.itemText(row) != name) &&
                !madeAgain) {
                madeAgain = true;
                m_rowOfName.clear();
                for (int r = m_model.count() - 1; r >= 0; --r)
                    m_rowOfName.insert(m_model.itemText(r), r);
                row = m_rowOfName.value(name, -1);
            }
            if (row < 0 || row >= m_model.count() || m_model.itemText(row) != name) continue;
        }
        byRow.emplace_back(row, f);
    }
    m_model.setFileFacts(byRow);
}

void FolderList::readingFinished() {
    m_reader.reset();
    m_readRows = std::vector<int>();
    m_rowOfName = QHash<QString, int>();
    setStatus(m_fromIndex ? shownFolder() + QStringLiteral(" read again at ") +
                                QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))
                          : QString());
    qCInfo(folderReading, "read: %d files in %s", m_model.count(), qUtf8Printable(m_path));
}
