#include "filelist/ListSort.h"

#include "filelist/FileFormats.h"

#include <QLocale>

#include <algorithm>
#include <numeric>

double SortNumber(const QString& text) {
    // Plain digits (the raw-size column) read without any allocation.
    double whole = 0;
    qsizetype digits = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            digits = -1;
            break;
        }
        whole = whole * 10 + (c.unicode() - u'0');
        ++digits;
    }
    if (digits > 0) return whole;
    const QString t = text.trimmed();
    if (t.isEmpty()) return 0;
    bool ok = false;
    double v = t.toDouble(&ok);
    if (ok) return v;
    v = QLocale().toDouble(t, &ok);
    return ok ? v : 0;
}

namespace {

template <typename Key>
std::vector<int> sortByKeys(const std::vector<Key>& keys, int order) {
    std::vector<int> rows(keys.size());
    std::iota(rows.begin(), rows.end(), 0);
    if (order >= 0) {
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return keys[a] < keys[b]; });
    } else {
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return keys[b] < keys[a]; });
    }
    return rows;
}

}  // namespace

std::vector<int> SortedRows(const std::vector<QString>& texts, int order, int type) {
    switch (type) {
        case 0: {
            std::vector<QString> keys;
            keys.reserve(texts.size());
            for (const QString& t : texts)
                keys.push_back(t.toLower());
            return sortByKeys(keys, order);
        }
        case 2: {
            std::vector<double> keys;
            keys.reserve(texts.size());
            for (const QString& t : texts)
                keys.push_back(SortNumber(t));
            return sortByKeys(keys, order);
        }
        case 3: {
            const FileDateFormat dates;
            std::vector<qint64> keys;
            keys.reserve(texts.size());
            for (const QString& t : texts)
                keys.push_back(dates.sortKey(t).value_or(0));
            return sortByKeys(keys, order);
        }
        default:
            return sortByKeys(texts, order);
    }
}
