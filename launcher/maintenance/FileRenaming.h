#pragma once

// Renaming game files so that what belongs to a game goes with it: its screenshots (the
// pictures named after it, in whichever picture folders they live, each keeping its own
// extension) and, for a Java game, the other half of its ".jar"/".jad" pair. Nothing is
// ever overwritten, and a run killed half-way is put right at the next start
// (RenameJournal).

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class ScreenshotSearch;

namespace platform {
class FileOperations;
}

// Where the pictures of a game are, as full paths with their real spelling.
struct GamePictures {
    // The picture shown for a name (the longest prefix of it that names a picture), or
    // empty. Another game may be shown a picture that is named after this one.
    std::function<QString(const QString& name)> shown;
    // The pictures named after the name itself, in every picture folder.
    std::function<QStringList(const QString& name)> own;
};
// Both questions asked of `search` over `folders`.
GamePictures picturesIn(ScreenshotSearch& search, const QStringList& folders);

// The pictures of `game` (a name in `folder`) that go with it when it moves: its own ones,
// but for one that another entry of the folder is shown. The entries of `sameGame` (the
// other files of a disc set) are the game itself, not others.
QStringList picturesThatFollow(const QString& folder, const QString& game,
                               const QStringList& sameGame, const GamePictures& pictures);

// The ".jad" descriptor that belongs to the ".jar" game at `jarPath`, with its real
// spelling; nothing when `jarPath` is not a ".jar" name or it has no descriptor. Names
// match without regard to letter case, but a descriptor that is the exact twin of another
// ".jar" of the folder belongs to that one.
std::optional<QString> jadTwinOf(platform::FileOperations& files, const QString& jarPath);
// The ".jar" game whose descriptor is the ".jad" at `jadPath` (jadTwinOf from the other
// side); nothing when there is none.
std::optional<QString> jarTwinOf(platform::FileOperations& files, const QString& jadPath);

// Whether `name` can be a file name in a folder: not empty, no folder separator, not "."
// or "..", no NUL. Typed names that fail would move the file elsewhere.
bool isPlainFileName(const QString& name);

// Renames the entry spelled exactly `oldName` in `folder` (ending in "/") to `newName`;
// nothing when there is no such entry. A name that is taken (letter case ignored) gets
// "(1)", then "(1)(2)" and so on, until the game's name and the new names of its
// screenshot and descriptor are all free; a change of letter case only renames in place.
// Taken means by another entry: a link to the file, or a hard link of it, is one.
// The game's own screenshots and its ".jar"/".jad" twin follow; when one of them cannot,
// the game keeps its old name. A pair keeps its types: a ".jar" or ".jad" with a twin is
// renamed only to a name of its own type. A screenshot that another entry of `folder`
// is shown too (pictures are found by the longest prefix of a name, so variants share
// one) stays where it is, whether that entry is listed or not: the list's mask and
// hidden names do not make it any less a game. Returns the name given, or nothing when
// nothing was renamed.
std::optional<QString> renameGameFile(platform::FileOperations& files, const QString& folder,
                                      const QString& oldName, const QString& newName,
                                      const GamePictures& pictures);

// One game of a batch: its listed name and the name wanted (or, in the answer, given).
struct GameRename {
    QString oldName;
    QString newName;
    friend bool operator==(const GameRename&, const GameRename&) = default;
};

// What a batch tells its caller while it runs, on the caller's thread.
struct RenameBatchHooks {
    // Each entry moved (a game, its screenshot, its descriptor, or one put back), as full
    // paths, right after it moved: a picture search kept for the batch stays in step.
    std::function<void(const QString& from, const QString& to)> moved;
    // After each game: how many of `total` are done. False ends the batch there.
    std::function<bool(int done, int total)> progress;
};

// renameGameFile for many games of one folder, in the given order, with the same rules for
// each. The folders are listed once for the whole batch (names taken are known from that
// listing and the batch's own moves), so that the cost grows with the number of games, not
// with its square. Returns the games renamed, each with the name it was given; a game that
// an earlier one of the batch took along (the other half of its ".jar"/".jad" pair) counts
// as renamed, with the name it took.
std::vector<GameRename> renameGameFiles(platform::FileOperations& files, const QString& folder,
                                        const std::vector<GameRename>& wanted,
                                        const GamePictures& pictures,
                                        const RenameBatchHooks& hooks = {});

// What the user is told when renaming `oldName` gave `given` because `wanted` was taken.
QString nameGivenText(const QString& oldName, const QString& wanted, const QString& given);

// The closing words of a batch: "1 File Renamed" or "N Files Renamed", then a line (as
// nameGivenText) for each game of `renamed` that was given another name than `wanted`
// asked for it, the first few of them and how many more.
QString renamedCountText(const std::vector<GameRename>& wanted,
                         const std::vector<GameRename>& renamed);

// The name with the dump tag for the modifier state (Ctrl " [b1]", Alt " [b2]", else
// " [!]") added before the extension, or removed when the name already holds it.
QString dumpTagName(const QString& name, int shift);

// The tidied name for removing `text`: underscores and dots become blanks (the
// extension's dot stays), then every `text`, tidied the same way, goes, letters compared
// without regard to case;
// the blanks it leaves are closed up (none doubled, none at either end of the name before
// the extension). A name that would keep nothing but its extension is returned unchanged.
QString strippedName(const QString& name, const QString& text);

// Whether F8 takes `name` for removing `text`: the name holds the text as it was typed, or
// its tidied form holds the tidied text (a dot typed in the text is a blank in a tidied name).
bool nameHoldsText(const QString& name, const QString& text);
