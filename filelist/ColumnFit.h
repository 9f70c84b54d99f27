#pragma once

// How the list's columns share its width: every column but the name is as wide as what it
// usually holds, and the name takes what is left, so that the play and "Verified" columns
// show without sideways scrolling.

#include <QString>

#include <vector>

// The widest text a cell of `column` usually holds (ListModel's column numbers); empty for
// the name, which takes what is left, and for columns that hold nothing of their own.
QString columnSample(int column);

// The widths, in the order given, for a view `viewWidth` wide: each column in `wanted`
// but the name (index `nameIndex`) keeps its width and the name takes the rest. When that
// would leave the name less than `nameMinimum`, the name gets that and the widest other
// columns are cut to one width, so that all still show without sideways scrolling.
std::vector<int> fittedColumnWidths(int viewWidth, const std::vector<int>& wanted, int nameIndex,
                                    int nameMinimum);
