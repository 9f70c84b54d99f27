#include "filelist/PlayFacts.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>

QString playedCell(const PlayFacts& facts) {
    return facts.plays > 0 ? QString::number(facts.plays) : QString();
}

QString playTimeCell(const PlayFacts& facts) {
    if (facts.plays <= 0) return {};
    // Seconds always: most plays of a quick game are under a minute, and "0:00" would say
    // they never happened.
    const qint64 total = std::max<qint64>(0, facts.seconds);
    const qint64 hours = total / 3600, minutes = total / 60 % 60, seconds = total % 60;
    const auto twoDigits = [](qint64 n) {
        return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
    };
    if (hours == 0) return QString::number(minutes) + u':' + twoDigits(seconds);
    return QString::number(hours) + u':' + twoDigits(minutes) + u':' + twoDigits(seconds);
}

QString lastPlayedCell(const PlayFacts& facts) {
    if (facts.plays <= 0 || facts.lastPlayed <= 0) return {};
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(facts.lastPlayed).date(),
                              QLocale::ShortFormat);
}
