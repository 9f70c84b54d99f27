#pragma once

// F2, F9 and Delete on a disc game: the set (filelist/DiscSets) is one game, so what is
// done to its row is done to every file of it, or to none.

#include "filelist/DiscSets.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

struct GamePictures;

namespace platform {
class FileOperations;
}

// The set whose row is `name` in `folder` (ending in "/"); nothing for a name that heads
// none. Only a .cue, .gdi or .m3u name has the folder read.
std::optional<DiscSet> discSetHeadedBy(const QString& folder, const QString& name);

// The name a file of a set takes when the game is renamed from `oldStem` to `newStem`: a
// name that begins with the game's name (letter case ignored) has it replaced; any other
// name stays.
QString setMemberName(const QString& member, const QString& oldStem, const QString& newStem);

// The bytes of the set file `setFileName` with each reference to a file of the folder that
// `renamed` (folded old name -> new name) renames written with its new name. Every other
// byte stays: the line ends, the quoting, references into other folders, bytes that are not
// UTF-8. A new name with blanks is quoted where the reference was not (.cue, .gdi).
QByteArray renamedReferences(const QString& setFileName, const QByteArray& bytes,
                             const QHash<QString, QString>& renamed);

// Renames the game `set` heads in `folder` to the row name `newTop`: the top file, every
// member that carries the game's name, the top's own screenshots, and the references inside
// the set files (each rewritten whole: a new file, synced, renamed over the old). Nothing is
// overwritten: a name taken gets "(1)", "(1)(2)"... as F2 gives it. The top keeps its type.
// When a step fails, every step made is undone and `why` says what failed. Returns the top
// file's new name, or nothing.
std::optional<QString> renameDiscSet(platform::FileOperations& files, const QString& folder,
                                     const DiscSet& set, const QString& newTop,
                                     const GamePictures& pictures, QString* why = nullptr);

// Moves the top file and every member of `set` to the trash, or none: when one cannot go,
// those gone already are brought back, and `why` says what failed.
bool trashDiscSet(platform::FileOperations& files, const QString& folder, const DiscSet& set,
                  QString* why = nullptr);
