#pragma once

// The numbered game lists of the zinc arcade emulator. Its builds number their games
// differently; the build is told apart by its program file's size and date.

#include <QDateTime>
#include <QStringList>

#include <optional>

enum class ZincVariant { A1, A2, B1, B2 };

// Which build's numbering applies: 647168 bytes marks the A builds, the date
// 24 October 2004 07:19:00 (local time) splits each pair. A date that cannot be read
// counts as older than every build.
ZincVariant chooseZincVariant(std::optional<qint64> size, const QDateTime& localModified);

// The build's game list: entry i (from 0) is "N Title|key" with N = i + 1, the key being
// the game's file name without extension.
QStringList zincGameTable(ZincVariant variant);
