#pragma once

// What the play history tells about one listed game, for the "Played", "Time" and
// "Last played" columns and the favourite mark. The list knows nothing of where it comes
// from; the launcher fills it in by name for the folder listed.

#include <QHash>
#include <QString>

struct PlayFacts {
    int plays = 0;
    qint64 seconds = 0;
    qint64 lastPlayed = 0;  // seconds since the epoch; 0 never
    bool favourite = false;
};

using PlayFactsByName = QHash<QString, PlayFacts>;

// The columns' texts; empty for a game never played.
QString playedCell(const PlayFacts& facts);
QString playTimeCell(const PlayFacts& facts);  // m:ss below an hour, else h:mm:ss
QString lastPlayedCell(const PlayFacts& facts);
