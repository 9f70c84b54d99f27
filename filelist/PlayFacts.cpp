#include "filelist/PlayFacts.h"

#include <QDateTime>
#include <QLocale>

QString PlayedCell(const PlayFacts& facts) {
    return facts.plays > 0 ? QString::number(facts.plays) : QString();
}

QString PlayTimeCell(const PlayFacts& facts) {
    if (facts.plays <= 0) return {};
    const qint64 minutes = facts.seconds / 60;
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString LastPlayedCell(const PlayFacts& facts) {
    if (facts.plays <= 0 || facts.lastPlayed <= 0) return {};
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(facts.lastPlayed).date(),
                              QLocale::ShortFormat);
}
