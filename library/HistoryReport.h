#pragma once

// The text of `rombard --history`: one line per game with a play or a favourite mark, the
// latest play first: plays, seconds played, last played (ISO 8601 local time, or "-"),
// favourite (1 or 0) and the full path, separated by tabs. The path comes last and as its
// own bytes, so a name with a tab or an odd byte in it cannot shift the other fields.

#include "library/LibraryDb.h"

#include <QByteArray>

#include <vector>

namespace library {

QByteArray historyReport(const std::vector<HistoryLine>& lines);

}  // namespace library
