#pragma once

// Finding and removing byte-for-byte copies among the files of a list. Only files that
// share their size with another are read; a first block and then a CRC-32 narrow the
// candidates, and a file is removed only after a full comparison with the one that stays.
//
// Which copy stays, among byte-equal ones: the one with a screenshot of its own, then the
// one tagged " [!]" (a known good dump), then the one earlier in the list. What never goes:
// - the kept file, any name of the same file (a hard link), any symbolic link (a link
//   costs no space, and a real file is never given up for one) and the file a listed link
//   shows;
// - a copy with a screenshot of its own, which would leave the picture without its game;
// - a ".jar" game and its ".jad" descriptor apart: the descriptor goes only with its game,
//   and a game whose descriptor must stay (it is kept, or is the kept game's, or shares
//   its file with one of those) stays too;
// - a file of a disc set alone: sets are compared whole (sameDiscSets) and go whole;
// - a file changed since it was compared: before each removal the entry must still be the
//   file that was read (same device and inode of the entry itself), with the size and
//   modification time it had, and the kept file likewise.

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

namespace platform {
class FileOperations;
}

// The search may run on a thread of its own: the hooks are called on that thread.
struct DuplicateSearchHooks {
    // Once true, nothing more is read or removed: the search ends at its next file
    // operation, or within the file it is reading. A game and the descriptor that goes
    // with it are one removal, never parted by a stop.
    const std::atomic<bool>* stop = nullptr;
    // After each file's size: `done` of `count`. False stops the run.
    std::function<bool(int done, int count)> sized;
    // Once, when the sizes are known and the comparing begins.
    std::function<void()> comparing;
    // Before the copies of `row` are looked for. False stops the run.
    std::function<bool(int row)> examining;
    // After each file read while comparing (which may take a while), so also between the
    // comparing of a row's copies and their removal, and after each removal. False stops
    // the run.
    std::function<bool()> keepGoing;
    // `row` was removed (or found, in a dry run) as a copy of `keptRow`; `found` files
    // (descriptors that went along included) so far.
    std::function<void(int row, int keptRow, int found)> found;
};

// Whether a listed name has a screenshot of its own (ScreenshotSearch::hasOwnScreenshot):
// one named after it, not one it is merely shown by the beginning of its name. Names
// only, never a path.
using HasScreenshot = std::function<bool(const QString& name)>;

struct DuplicateSearchResult {
    // Why the kept copy was kept rather than the removed one.
    enum class Rule { ListOrder, Screenshot, GoodDump };
    struct Copy {
        int row;
        int keptRow;
        Rule rule = Rule::ListOrder;
        QString path;  // the removed copy's full path
        QString twin;  // the ".jad" that went with it, full path; empty when none did
        // The files of the disc set `path` heads, which went with it, full paths.
        QStringList members;
    };
    struct Failure {
        QString path;
        QString reason;  // empty when the file operations could not say
    };
    std::vector<Copy> copies;  // in the order they were removed
    // One line per file removed: "<full path> -> <kept name>", followed by " (has a
    // screenshot)" or " (good dump [!])" when that is why the other one stayed, and for a
    // descriptor " (.jad of <game name>)", for a file of a disc set " (file of <row name>)";
    // each ends in a line break.
    QString report;
    std::vector<Failure> failures;  // copies that stayed because removing them failed
    bool stopped = false;

    // Copies and the descriptors that went with them.
    int filesRemoved() const;
    // "N Duplicates Removed." ("1 Duplicate Removed.") and the report, then a line per
    // failure with its reason.
    QString message() const;
};

enum class DuplicateMode {
    Remove,  // each copy goes to the trash; a copy that cannot go stays, among the failures
    DryRun,  // nothing changes on disk
};

// Looks for copies among `names` of `folder` (ending in "/"), rows in list order. Every
// look-up and removal goes through `files`.
DuplicateSearchResult findDuplicates(const QString& folder, const QStringList& names,
                                     platform::FileOperations& files, DuplicateMode mode,
                                     const DuplicateSearchHooks& hooks = {},
                                     const HasScreenshot& hasScreenshot = {});

// The report's lines for one removed copy (see DuplicateSearchResult::report), `names` being
// the names searched; `shown`, when given, writes each path and name as it is to appear.
QString duplicateReportLines(const DuplicateSearchResult::Copy& copy, const QStringList& names,
                             const std::function<QString(const QString&)>& shown = {});
