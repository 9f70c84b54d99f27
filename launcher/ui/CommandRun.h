#pragma once

// One long file command (F7, F8) from its start to its message, with its work on a thread
// of its own. What the work has to show comes back to the window's thread as queued calls.
// A child of FileCommands: destroyed with it, this waits for the thread first, so the
// thread never outlives what it posts to.

#include "launcher/maintenance/DuplicateFinder.h"
#include "launcher/maintenance/FileRenaming.h"
#include "platform/QueuedCalls.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

class CommandRun : public QObject {
public:
    explicit CommandRun(QObject* parent) : QObject(parent) {}
    ~CommandRun() override { stopAndWait(); }

    // Waits only for the file operation under way: the work checks `stop` before each.
    void stopAndWait() {
        stop = true;
        if (worker.joinable()) worker.join();
    }
    // Calls `f` on the window's thread, unless this run is over by then.
    template <typename F>
    void post(F&& f) {
        calls.post(std::forward<F>(f));
    }
    // Shows `done` of the run's work: the work goes faster than the window can show each
    // step, so the window is sent at most one call at a time and shows the newest by then.
    template <typename F>
    void postProgress(int done, F&& show) {
        progressDone = done;
        if (progressPending.exchange(true)) return;
        post([this, show = std::forward<F>(show)] {
            progressPending = false;
            show(progressDone.load());
        });
    }

    platform::QueuedCalls calls;
    std::atomic<bool> stop = false;
    std::thread worker;
    std::atomic<int> progressDone = 0;
    std::atomic<bool> progressPending = false;

    // The rest belongs to the window's thread, but for the work's results, which are read
    // once it has been joined.
    QString caption;  // the window's, given back at the end
    QString folder;   // ends in "/"
    QStringList names;
    bool stoppedByUser = false;

    // F7's search. DryRun: the count F7 asks with; nothing leaves the list.
    DuplicateMode mode = DuplicateMode::DryRun;
    DuplicateSearchResult result;
    std::vector<int> gone;  // rows of `names` removed from the list, in order

    // F8's renames.
    bool strips = false;
    std::vector<GameRename> wanted;
    std::vector<GameRename> renamed;
    std::atomic<int> processed = 0;  // games the batch is through with
};
