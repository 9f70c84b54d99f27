#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Writes all of `bytes` at the descriptor's position, again after an interruption; false
// (errno set, ENOSPC for a write that takes nothing) when it cannot.
bool writeAll(int fd, const QByteArray& bytes);

// Gives the regular file `path` the content `bytes` in one step: the content is written to
// a new file beside it (under a name no entry had, with the file's permissions), synced,
// then renamed over it, and the folder synced. A failure at any point leaves the file as it
// was (the new file, ours alone, is taken away again); `why` then says why in words for the
// user. A link is refused: replacing it would cut it from the file it leads to.
bool replaceFileContent(const QString& path, const QByteArray& bytes, QString* why = nullptr);

// Makes the file `path` with the content `bytes`, never over an entry of that name: written
// beside it under a name no entry had, synced, then renamed to `path` only if that is still
// free. False, with nothing left behind, when it cannot; `why` then says why.
bool createFileWithContent(const QString& path, const QByteArray& bytes, QString* why = nullptr);

}  // namespace platform
