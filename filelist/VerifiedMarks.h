#pragma once

// What the checksum identification says of one listed game, for the "Verified" column. The
// list knows nothing of software lists or DAT files; the launcher fills the marks in by
// name for the folder listed, as the answers come.

#include <QHash>
#include <QString>

// Ordered by how far the file is known to be good: a sort by the column goes by this.
enum class VerifiedMark : quint8 {
    NotYet,   // not identified (yet)
    Unknown,  // nothing matches
    BadDump,
    CrcOnly,
    Verified,
};

using VerifiedMarksByName = QHash<QString, VerifiedMark>;

// The column's text: a short sign, empty for a game not identified or unknown, so that a
// folder of unknown files does not fill the column with noise.
QString verifiedCell(VerifiedMark mark);
