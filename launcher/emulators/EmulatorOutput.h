#pragma once

// What the launcher says about an emulator that gave up at once: most report a rejected
// game on their terminal only (and some still end with status 0), which a launcher
// started from a desktop menu never shows.

#include <QByteArray>
#include <QString>

#include <optional>

// An emulator that ends sooner than this after its start did not really run the game.
inline constexpr qint64 kEarlyEndMs = 5000;
inline constexpr int kShownLines = 10;

// The last `maxLines` non-blank lines of an emulator's output. `truncated`: the output's
// beginning was dropped, so its first line may be a fragment and is left out. Terminal
// colour codes are removed; bytes that are not UTF-8 show as replacement characters.
QString lastLines(const QByteArray& output, bool truncated, int maxLines = kShownLines);

// The message for an emulator `emulator` that ended `elapsedMs` after its start, having
// written `output`; nothing when it ran long enough to have been played. `started`: false
// when the program could not be started at all.
std::optional<QString> earlyEndMessage(const QString& emulator, qint64 elapsedMs, bool started,
                                       const QByteArray& output, bool truncated);
