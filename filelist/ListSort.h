#pragma once

// The comparison rules of the list's sorts: case-blind text, exact text, numbers and dates.

#include <QString>

#include <algorithm>
#include <numeric>
#include <vector>

// The number a cell reads as for a numeric sort (0 when it reads as none).
double sortNumber(const QString& text);

// The new order of rows for keys already read: a stable sort, ascending for order 1 and
// descending for -1.
template <typename Key>
std::vector<int> sortedRowsByKeys(const std::vector<Key>& keys, int order) {
    std::vector<int> rows(keys.size());
    std::iota(rows.begin(), rows.end(), 0);
    if (order >= 0) {
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return keys[a] < keys[b]; });
    } else {
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return keys[b] < keys[a]; });
    }
    return rows;
}
