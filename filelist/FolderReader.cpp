#include "filelist/FolderReader.h"

#include "filelist/DiscSets.h"

#include "filelist/FolderIndex.h"
#include "platform/FileNames.h"
#include "platform/FolderSnapshot.h"
#include "platform/ProcessMemory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

FolderReader::FolderReader(FolderReadRequest request, Callbacks callbacks)
    : m_request(std::move(request)), m_callbacks(std::move(callbacks)) {}

std::shared_ptr<FolderReader> FolderReader::start(FolderReadRequest request, Callbacks callbacks) {
    std::shared_ptr<FolderReader> reader(
        new FolderReader(std::move(request), std::move(callbacks)));
    // The thread holds the reader: it outlives its owner when the share keeps it waiting.
    std::thread([reader] { reader->run(); }).detach();
    return reader;
}

void FolderReader::cancel() {
    m_stop.store(true);
    const std::lock_guard<std::mutex> hold(m_lock);
    m_cancelled = true;
    // What the owner handed in (and may have captured) goes with the owner.
    m_callbacks = Callbacks();
}

template <typename Call>
bool FolderReader::callBack(Call&& call) {
    const std::lock_guard<std::mutex> hold(m_lock);
    if (m_cancelled) return false;
    call();
    return true;
}

namespace {
// A name read that is one of `shown` comes back as that one, sharing its text; found by a
// binary search over them in order, so the lookup costs no hash, only the sorted list.
std::function<QString(QString)> sameAs(std::vector<QString> shown) {
    if (shown.empty()) return {};
    auto names = std::make_shared<std::vector<QString>>(std::move(shown));
    std::sort(names->begin(), names->end());
    return [names](QString name) {
        const auto at = std::lower_bound(names->begin(), names->end(), name);
        return at != names->end() && *at == name ? *at : name;
    };
}
}  // namespace

void FolderReader::run() {
    // Start-up lists more than once: a reading let go at once reads no index either.
    if (m_stop.load()) return;
    if (m_request.showsIndex) {
        std::optional<FolderIndex> index = loadFolderIndex(m_request.indexFile, m_request.folder,
                                                           m_request.pattern, m_request.hidden);
        if (index) {
            m_request.shownNames.reserve(m_request.shownNames.size() + index->files.size());
            for (const ListedFile& f : index->files)
                m_request.shownNames.push_back(f.name);
            if (!callBack(
                    [&] { m_callbacks.indexRead(std::move(index->files), index->hiddenByList); }))
                return;
        }
    }
    // The names: readdir takes a few calls for thousands of entries; links and entries of
    // no given type are looked at to leave folders out.
    const QString& folder = m_request.folder;
    std::optional<std::vector<platform::FolderEntry>> entries =
        platform::folderEntryKinds(folder, sameAs(std::move(m_request.shownNames)));
    if (m_stop.load()) return;
    std::vector<ListedFile> files;
    int hiddenByList = 0;
    const bool readable = entries.has_value();
    if (entries) {
        PrelistedFiles prelisted = prelist(folder, *entries, nameOrderOf(*entries));
        entries.reset();
        // The disc sets from the same entries: the folder is read once (on a share, every
        // reading of 30,000 names is tens of round trips).
        const DiscSets sets = discSetsAmong(folder, prelisted);
        // A reading let go (the list asked for the folder again) gives back its memory at
        // once: two readings of a large folder side by side double the peak.
        if (m_stop.load()) return;
        FolderListingOptions options;
        options.hidden = m_request.hidden;
        options.details = false;
        options.prelisted = &prelisted;
        options.hiddenByList = &hiddenByList;
        files = listFolder(folder, m_request.masks, options);
        if (m_stop.load()) return;
        // A disc game is one row: the tracks and discs its .cue, .gdi or .m3u names have none.
        dropSetMembers(files, sets);
        QHash<QString, QString> incomplete = incompleteSetsOf(sets);
        if (!callBack([&] {
                if (m_callbacks.incompleteSets) m_callbacks.incompleteSets(std::move(incomplete));
            }))
            return;
    }
    if (!callBack([&] { m_callbacks.names(files, hiddenByList, readable); })) return;
    // The entries, the read-ahead list and the copy handed over are gone: the window holds
    // the names now, and the lengths that follow need little.
    platform::returnFreedMemory();

    // The lengths and dates, one call a file: from the file asked for on, in batches, so that
    // the rows in sight fill first and the window hears of them in few calls.
    const int fd =
        ::open(platform::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int n = static_cast<int>(files.size());
    std::vector<char> done(files.size(), 0);
    for (int i = 0; i < n; ++i)
        done[i] = files[i].looked;
    int next = 0;
    int left = static_cast<int>(std::count(done.begin(), done.end(), 0));
    std::vector<std::pair<int, ListedFile>> batch;
    auto lastSent = std::chrono::steady_clock::now();
    while (left > 0 && fd >= 0) {
        if (m_stop.load()) {
            ::close(fd);
            return;
        }
        const int hint = m_hint.exchange(-1);
        if (hint >= 0 && hint < n) next = hint;
        while (next < n && done[next])
            ++next;
        if (next >= n)
            next = static_cast<int>(std::find(done.begin(), done.end(), 0) - done.begin());
        ListedFile& f = files[next];
        struct stat st {};
        f.looked = true;
        f.readable = ::fstatat(fd, platform::encodeName(f.name).constData(), &st, 0) == 0;
        if (f.readable) {
            f.size = st.st_size;
            f.modified = st.st_mtim.tv_sec;
        }
        done[next] = 1;
        --left;
        ListedFile facts;
        facts.name = f.name;
        facts.looked = true;
        facts.readable = f.readable;
        facts.size = f.size;
        facts.modified = f.modified;
        batch.emplace_back(next, std::move(facts));
        ++next;
        const auto now = std::chrono::steady_clock::now();
        if (left == 0 || static_cast<int>(batch.size()) >= kFactsBatch ||
            now - lastSent > std::chrono::milliseconds(100)) {
            if (!callBack([&] { m_callbacks.facts(std::move(batch)); })) {
                ::close(fd);
                return;
            }
            batch.clear();
            lastSent = now;
        }
    }
    if (fd >= 0) ::close(fd);
    // A folder the user has left is not worth a write.
    if (!m_request.indexFile.isEmpty() && readable && !m_stop.load()) {
        FolderIndex index;
        index.folder = folder;
        index.pattern = m_request.pattern;
        index.hidden = m_request.hidden;
        index.hiddenByList = hiddenByList;
        index.files = std::move(files);
        saveFolderIndex(m_request.indexFile, index);
    }
    callBack([&] { m_callbacks.finished(); });
    files = std::vector<ListedFile>();
    platform::returnFreedMemory();
}
