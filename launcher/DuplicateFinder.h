#pragma once

// Finding and removing byte-for-byte copies among the files of a list. Of two equal files
// the one earlier in the list stays. Only files that share their size with another are
// read; a first block and then a CRC-32 narrow the candidates, and a file is removed only
// after a full comparison with the kept one, never when it is the kept file itself (a hard
// link, or a symbolic link either way).

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace platform {
class FileOperations;
}

struct DuplicateSearchHooks {
    // After each file's size: `done` of `count`. False stops the run.
    std::function<bool(int done, int count)> sized;
    // Once, when the sizes are known and the comparing begins.
    std::function<void()> comparing;
    // Before the copies of `row` are looked for. False stops the run.
    std::function<bool(int row)> examining;
    // After each file read while comparing (which may take a while). False stops the run.
    std::function<bool()> keepGoing;
    // `row` was removed (or found, in a dry run) as a copy of `keptRow`; `found` so far.
    std::function<void(int row, int keptRow, int found)> found;
};

struct DuplicateSearchResult {
    struct Copy {
        int row;
        int keptRow;
    };
    std::vector<Copy> copies;  // in the order they were removed
    // One line per copy: "<full path> -> <kept name>", each ending in a line break.
    QString report;
    bool stopped = false;
};

// Looks for copies among `names` of `folder` (ending in "/"), rows in list order. With
// `remover` each copy goes through it (to the trash) and, for a ".jar", its ".jad" goes
// too; a copy that cannot be removed stays out of the result. Without it nothing changes
// on disk (a dry run).
DuplicateSearchResult FindDuplicates(const QString& folder, const QStringList& names,
                                     platform::FileOperations* remover,
                                     const DuplicateSearchHooks& hooks = {});
