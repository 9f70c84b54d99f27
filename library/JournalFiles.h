#pragma once

// The files behind the journals: this installation's id, and the journals of a games
// folder on disk. The folder may be a network share or a copy another program keeps in
// step, so a file is only ever appended to by its owner, replaced whole by its owner
// (compaction), and read by everyone from where it was last read.

#include "library/JournalFormat.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace library::journal {

struct InstallationId {
    QByteArray id;  // 32 hex digits; empty when none could be kept
    // Said once to the user: the stored id was damaged and a new one made, or none could
    // be stored.
    QString notice;
};

// The id made at this installation's first start, kept in `folder` (the user's data folder
// of the launcher). Written under another name, synced and renamed into place, so a crash
// never leaves half an id; a damaged file is replaced and the notice says so.
InstallationId loadInstallationId(const QString& folder);
QByteArray newRandomId();

// A file of a folder's `.rombard`, as found by one stat.
struct JournalFile {
    QString path;
    QByteArray name;
    qint64 device = 0;
    qint64 inode = 0;
    qint64 size = 0;
};

// The regular files of `gamesFolder`/.rombard that could be journals (a sync tool's
// conflict copy counts); names beginning with "." are files being written.
std::vector<JournalFile> listJournals(const QString& gamesFolder);

// The journal's complete lines from `offset` on (the header too when `offset` is 0); at
// most `maxBytes` are read at once, the rest comes at the next read.
std::optional<Parsed> readJournal(const JournalFile& file, qint64 offset, qint64 maxBytes);

struct Appended {
    bool ok = false;
    QString error;  // why not, for the user
};

// Appends `lines` (complete records) to the installation's own journal in `gamesFolder`,
// making `.rombard` and the file when missing. One write call, so another launcher of the
// same installation appending at once never interleaves with it; a last line a crash left
// without its newline is closed first, so it stays one damaged line and no more.
Appended appendOwn(const QString& gamesFolder, const QByteArray& installation,
                   const QByteArray& lines);

// The installation's journal file name within `.rombard`.
QByteArray ownJournalName(const QByteArray& installation);

// Rewrites the installation's own journal with only the records that still count (a play's
// longest record, each game's latest mark of this installation, every rename) into a new
// file renamed over the old one, so a reader sees either the old or the new file whole.
// Only the owner does this; other installations' files are never touched.
bool compactOwn(const QString& gamesFolder, const QByteArray& installation);

}  // namespace library::journal
