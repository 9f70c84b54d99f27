#pragma once

// A folder listed on a thread of its own, for folders on a share that answers slowly or
// not at all: first every name (a few calls, however many files), then each file's length
// and date (one call a file, the slow part), rows near the one asked for first, then the
// listing is kept as the folder's index for the next start.
//
// The thread is never joined: a share that stops answering can hold it in the kernel for
// ever. It owns what it uses (the reader is shared with it), and after cancel() returns it
// calls nothing back, so the window may go, and the program end, while it is stuck.

#include "filelist/FolderListing.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

struct FolderReadRequest {
    QString folder;  // ending in "/"
    QStringList masks;
    bool hidden = false;
    QString pattern;    // kept in the index beside the folder
    QString indexFile;  // where the listing is kept; empty: not kept
    // The index is read first and handed over (Callbacks::indexRead) when it holds this
    // folder's last listing; off the window's thread, since a large one takes a while.
    bool showsIndex = false;
    // The names already shown: a name read again shares their text (so do the index's).
    std::vector<QString> shownNames;
};

class FolderReader {
public:
    // Each runs on the reader's thread; the owner posts the work on to its own thread.
    struct Callbacks {
        // When asked for (FolderReadRequest::showsIndex), before anything else: the files
        // of the folder's last listing, with their lengths and dates, to show until the
        // names come. Not called when no index of the folder is kept.
        std::function<void(std::vector<ListedFile> files, int hiddenByList)> indexRead;
        // Every file the masks take, in the listing's order, lengths and dates not yet
        // read (ListedFile::looked false) unless the name alone could not say it is a file.
        // `readable` is false when the folder could not be read.
        std::function<void(std::vector<ListedFile> files, int hiddenByList, bool readable)> names;
        // Before the names: the disc sets with missing members, their texts by top file.
        std::function<void(QHash<QString, QString> missingByName)> incompleteSets;
        // Lengths and dates by the file's index in the names' list, each with its name (its
        // text shared), so the owner needs no list of the names to find the rows.
        std::function<void(std::vector<std::pair<int, ListedFile>> facts)> facts;
        // Everything was read (and kept in the index).
        std::function<void()> finished;
    };

    // Starts reading at once.
    static std::shared_ptr<FolderReader> start(FolderReadRequest request, Callbacks callbacks);
    // Nothing is called back once this returns; the thread ends at its next step.
    void cancel();
    // The files from `index` on are read next.
    void lookFirstAt(int index) { m_hint.store(index); }

    // How many lengths and dates go back in one call, at most.
    static constexpr int kFactsBatch = 256;

private:
    FolderReader(FolderReadRequest request, Callbacks callbacks);
    void run();
    // Calls `call` unless cancelled; false when cancelled.
    template <typename Call>
    bool callBack(Call&& call);

    // Only the reader's thread touches it once started (it gives the shown names away).
    FolderReadRequest m_request;
    Callbacks m_callbacks;
    std::mutex m_lock;  // cancel() against a call back under way
    bool m_cancelled = false;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_hint{-1};
};
