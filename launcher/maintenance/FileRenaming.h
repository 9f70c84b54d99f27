#pragma once

// Renaming game files so that what belongs to a game goes with it: its screenshot (in
// whichever picture folder it lives, keeping its own extension) and, for a Java game
// (".jar"), its ".jad" descriptor. Nothing is ever overwritten.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace platform {
class FileOperations;
}

// The full path of a game's picture, with its real spelling, or empty.
using ScreenshotFinder = std::function<QString(const QString& gameName)>;

// The ".jad" descriptor that belongs to the ".jar" game at `jarPath`, with its real
// spelling; nothing when `jarPath` is not a ".jar" name or it has no descriptor. Names
// match without regard to letter case, but a descriptor that is the exact twin of another
// ".jar" of the folder belongs to that one.
std::optional<QString> JadTwinOf(platform::FileOperations& files, const QString& jarPath);

// Whether `name` can be a file name in a folder: not empty, no folder separator, not "."
// or "..", no NUL. Typed names that fail would move the file elsewhere.
bool IsPlainFileName(const QString& name);

// Renames the entry spelled exactly `oldName` in `folder` (ending in "/") to `newName`;
// nothing when there is no such entry. A name that is taken (letter case ignored) gets
// "(1)", then "(1)(2)" and so on, until the game's name and the new names of its
// screenshot and descriptor are all free; a change of letter case only renames in place.
// Taken means by another entry: a link to the file, or a hard link of it, is one.
// The screenshot and descriptor follow; when one of them cannot, the game keeps its old
// name. A screenshot that another of the `listed` games shows too (pictures are found by
// the longest prefix of a name, so variants share one) stays where it is. Returns the
// name given, or nothing when nothing was renamed.
std::optional<QString> RenameGameFile(platform::FileOperations& files, const QString& folder,
                                      const QString& oldName, const QString& newName,
                                      const ScreenshotFinder& findScreenshot,
                                      const QStringList& listed = {});

// The name with the dump tag for the modifier state (Ctrl " [b1]", Alt " [b2]", else
// " [!]") added before the extension, or removed when the name already holds it.
QString DumpTagName(const QString& name, int Shift);

// The tidied name for removing `text`: underscores and dots become blanks (the
// extension's dot stays), then every `text` goes, letters compared without regard to case.
QString StrippedName(const QString& name, const QString& text);
