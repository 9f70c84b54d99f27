#include "filelist/FolderPrefetch.h"

#include "filelist/FolderListing.h"

#include <QDir>

FolderPrefetch::FolderPrefetch(const QString& folder) : m_folder(QDir::cleanPath(folder)) {
    // The thread fills the members under the lock; entriesFor reads them once it has
    // joined the thread.
    m_reader = std::thread([this] {
        const qint64 listedAt = platform::stampNow();
        const std::optional<qint64> stamp = platform::folderStamp(m_folder);
        std::optional<std::vector<platform::FolderEntry>> entries;
        if (stamp) entries = platform::folderEntryKinds(m_folder);
        QString joined;
        PrelistedFiles files;
        if (entries) {
            qsizetype length = 0;
            for (const platform::FolderEntry& e : *entries)
                length += e.name.size() + 1;
            joined.reserve(length);
            for (const platform::FolderEntry& e : *entries) {
                joined.append(e.name);
                joined.append(u'/');
            }
            files = prelist(m_folder, *entries, nameOrderOf(*entries));
        }
        const std::lock_guard<std::mutex> hold(m_lock);
        if (m_released) return;
        m_listedAt = listedAt;
        m_stamp = stamp;
        m_entries = std::move(entries);
        m_joined = std::move(joined);
        m_files = std::move(files);
    });
}

FolderPrefetch::~FolderPrefetch() {
    wait();
}

void FolderPrefetch::wait() {
    if (m_reader.joinable()) m_reader.join();
}

bool FolderPrefetch::reads(const QString& folder) const {
    return QDir::cleanPath(folder) == m_folder;
}

void FolderPrefetch::release() {
    // Freed after the lock is let go.
    std::optional<std::vector<platform::FolderEntry>> entries;
    QString joined;
    PrelistedFiles files;
    const std::lock_guard<std::mutex> hold(m_lock);
    m_released = true;
    entries.swap(m_entries);
    joined.swap(m_joined);
    std::swap(files, m_files);
}

PrelistedFiles* FolderPrefetch::takeFiles(const QString& folder) {
    if (m_filesTaken || !entriesFor(folder)) return nullptr;
    m_filesTaken = true;
    return &m_files;
}

const std::vector<platform::FolderEntry>* FolderPrefetch::entriesFor(const QString& folder) {
    if (m_released || !reads(folder)) return nullptr;
    wait();
    if (!m_entries || !m_stamp || m_listedAt - *m_stamp <= kSettleNs) return nullptr;
    if (platform::folderStamp(m_folder) != m_stamp) return nullptr;
    return &*m_entries;
}
