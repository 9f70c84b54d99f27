#pragma once

// The comparison rules of the list's sorts: case-blind text, exact text, numbers and dates,
// each read from the cell texts.

#include <QString>

#include <vector>

// The new order of rows (a stable sort of 0..n-1) for the cell texts of the sort column.
// order: 1 ascending, -1 descending; type: 0 text without regard to case, 1 exact text,
// 2 numeric, 3 date. Texts that do not read as a number or a date count as 0.
std::vector<int> SortedRows(const std::vector<QString>& texts, int order, int type);

// The number a cell reads as for a numeric sort (0 when it reads as none).
double SortNumber(const QString& text);
