#include "filelist/ColumnFit.h"

#include "filelist/FileFormats.h"
#include "filelist/ListModel.h"
#include "filelist/PlayFacts.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>

namespace {
// Two-digit month, day, hour and minute: the widest a date of the list's format gets.
qint64 widestMoment() {
    return QDateTime(QDate(2026, 12, 28), QTime(12, 59)).toSecsSinceEpoch();
}
}  // namespace

QString columnSample(int column) {
    switch (column) {
        case 1:  // size
            return formatSize(1023.9 * 1024 * 1024);
        case 2:  // type
            return QStringLiteral("JPEG Image");
        case 3:  // date
            return FileDateFormat().format(widestMoment());
        case ListModel::kPlayedColumn:
            return QStringLiteral("999");
        case ListModel::kPlayTimeColumn:
            return playTimeCell({1, 99 * 3600 + 59 * 60 + 59, 0, false});
        case ListModel::kLastPlayedColumn:
            return lastPlayedCell({1, 0, widestMoment(), false});
        case ListModel::kVerifiedColumn:
            return QStringLiteral("\u2714");
        default:
            return {};
    }
}

std::vector<int> fittedColumnWidths(int viewWidth, const std::vector<int>& wanted, int nameIndex,
                                    int nameMinimum) {
    std::vector<int> widths = wanted;
    const int count = static_cast<int>(widths.size());
    if (nameIndex < 0 || nameIndex >= count) return widths;
    std::vector<int> others;
    int total = 0;
    for (int i = 0; i < count; ++i) {
        if (i == nameIndex) continue;
        widths[i] = std::max(0, widths[i]);
        total += widths[i];
        others.push_back(i);
    }
    const int nameFloor = std::clamp(nameMinimum, 0, std::max(0, viewWidth));
    if (total + nameFloor > viewWidth) {
        // Too narrow for all: the narrow columns keep their widths and the wide ones share
        // what the name leaves equally, so every column still shows, cut short.
        std::sort(others.begin(), others.end(),
                  [&](int a, int b) { return widths[a] < widths[b]; });
        int left = std::max(0, viewWidth - nameFloor);
        for (size_t k = 0; k < others.size(); ++k) {
            const int remaining = static_cast<int>(others.size() - k);
            const int level = left / remaining;
            if (widths[others[k]] > level) {
                for (size_t j = k; j < others.size(); ++j)
                    widths[others[j]] = level;
                break;
            }
            left -= widths[others[k]];
        }
        total = 0;
        for (const int i : others)
            total += widths[i];
    }
    widths[nameIndex] = std::max(0, viewWidth - total);
    return widths;
}
