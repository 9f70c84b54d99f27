#include "library/HistoryReport.h"

#include <QDateTime>

namespace library {

QByteArray historyReport(const std::vector<HistoryLine>& lines) {
    QByteArray out;
    for (const HistoryLine& line : lines) {
        const GameHistory& h = line.history;
        out += QByteArray::number(h.plays) + '\t' + QByteArray::number(h.seconds) + '\t';
        out += h.lastPlayed > 0 ? QDateTime::fromSecsSinceEpoch(h.lastPlayed)
                                      .toLocalTime()
                                      .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
                                      .toLatin1()
                                : QByteArray("-");
        out += '\t';
        out += h.favourite ? '1' : '0';
        out += '\t' + line.path + '\n';
    }
    return out;
}

}  // namespace library
