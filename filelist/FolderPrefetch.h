#pragma once

// A folder read ahead, on a thread of its own: at start-up the games folder is read while
// the window's widgets are being made, on the other core, and the first listing and the
// first screenshot search take its entries instead of reading the folder again.

#include "filelist/FolderListing.h"
#include "platform/FolderSnapshot.h"

#include <QString>

#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class FolderPrefetch {
public:
    // Starts reading `folder` at once.
    explicit FolderPrefetch(const QString& folder);
    // Waits for the read.
    ~FolderPrefetch();
    FolderPrefetch(const FolderPrefetch&) = delete;
    FolderPrefetch& operator=(const FolderPrefetch&) = delete;

    // Whether `folder` is the folder read ("/" at the end or not).
    bool reads(const QString& folder) const;
    // The entries of `folder` (every kind, "." and ".." left out) in the folder's own order,
    // when it is the folder read ("/" at the end or not) and the read still
    // holds: the folder's modification time is what it was before the read, and that time
    // lies more than kSettleNs before the read, so that a change made in the same clock tick
    // as the read, which leaves the time alone, cannot hide. Nothing otherwise: the caller
    // reads the folder itself. Waits for the read to end.
    const std::vector<platform::FolderEntry>* entriesFor(const QString& folder);
    // The folder's files for one listing, on the same terms as entriesFor; nothing after
    // they were taken once (FolderListingOptions::prelisted moves their names out).
    PrelistedFiles* takeFiles(const QString& folder);
    // Every entry's name followed by "/" (which no name holds), in the entries' order; for
    // searches that scan names rather than hold one string each. Valid with entriesFor's.
    const QString& joinedNames() const { return m_joined; }
    // When the entries were read (platform::stampNow's clock).
    qint64 listedAt() const { return m_listedAt; }
    // The entries are not wanted any more: they go now, or as soon as the read ends, which
    // is not waited for.
    void release();

    static constexpr qint64 kSettleNs = 2'000'000'000;

private:
    void wait();

    const QString m_folder;
    std::mutex m_lock;  // the read's end against release()
    bool m_released = false;
    std::optional<qint64> m_stamp;
    qint64 m_listedAt = 0;
    std::optional<std::vector<platform::FolderEntry>> m_entries;
    QString m_joined;
    PrelistedFiles m_files;
    bool m_filesTaken = false;
    std::thread m_reader;
};
