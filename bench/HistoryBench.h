#pragma once

// What the history benchmarks share: the folder's size, how much of it was played, and a
// process table in which nothing runs.

#include "Quick.h"
#include "platform/Descendants.h"

#include <QString>

namespace bench {

inline const int kHistoryFiles = sized<int>(30000, 300);
inline const int kHistoryPlayed = sized<int>(10000, 100);
inline const int kHistorySessions = sized<int>(100000, 1000);
inline const int kHistoryRuns = sized<int>(5, 1);

inline QString historyGameName(int i) {
    return QStringLiteral("Game %1 (U) [!].smc").arg(i, 5, 10, QLatin1Char('0'));
}

class NothingRuns final : public platform::ProcessFollower {
public:
    bool anyRunning() override { return false; }
};

}  // namespace bench
