#pragma once

// Renaming a game to the name its software list or DAT entry gives its ROM, for Ctrl+N and
// rombard-romcheck's --rename. Only a verified game takes that name: a CRC alone can be a
// collision or another dump, and a bad dump's name would claim a good one. The rename is
// F2's (renameGameFile): nothing is overwritten and the screenshot follows, or nothing
// moves.

#include "identify/Identification.h"
#include "launcher/maintenance/FileRenaming.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace platform {
class FileOperations;
}

struct CanonicalName {
    QString name;               // the name to take; empty when there is none
    QString whyNot;             // when there is none, why, in words for the user
    bool alreadyNamed = false;  // refused because the game has that name already
    bool ok() const { return whyNot.isEmpty(); }
};

// The name the game file `fileName` takes from `found`: the first entry's ROM name as it
// stands for a plain file; for a zip (identified through a member), that name without its
// extension and with ".zip". Refused: a game not verified, an entry without a ROM name, and
// a name that cannot be one file's name here (a folder separator of either kind, "." or
// "..", a leading dot that would hide the game, control characters, more bytes than a name
// may have). The game's own name is refused too: there is nothing to do.
CanonicalName canonicalNameFor(const QString& fileName, const identify::Identification& found);

struct CanonicalRename {
    QString wanted;                // the canonical name; empty when refused
    std::optional<QString> given;  // the name given, which differs from `wanted` when that
                                   // was taken ("(1)" added, as F2 does); nothing: no rename
    QString whyNot;                // refused or failed, in words for the user
};

// The entry the canonical name `target` comes from, as the user is shown it beside that
// name: "source/software (description)", where the software name and the description are
// left out when they only repeat the title already shown (a DAT names its game, its
// description and its ROM alike).
QString entryNameText(const identify::RomEntry& entry, const QString& target);

// Renames the game at `gamePath` to its canonical name with renameGameFile, its own
// screenshots (found in `pictures`) and ".jar"/".jad" twin following.
CanonicalRename renameGameToCanonicalName(platform::FileOperations& files, const QString& gamePath,
                                          const identify::Identification& found,
                                          const GamePictures& pictures);
