#pragma once

// A PNG row's filter undone in place: the part of decoding that runs for every byte, with
// the processor's vector instructions where it has them.

#include <QtGlobal>

namespace imaging {

// Undoes one row's filter in place; `prev` is the row above, already undone (zeros above
// the first). False for a filter type PNG does not have.
bool unfilter(uchar filter, uchar* cur, const uchar* prev, qsizetype n, int bpp);
// Two Paeth rows, one under the other, at once when there is a way to do it faster than one
// after the other; false (nothing done) when there is none.
bool paethPair(uchar* first, const uchar* prev, uchar* second, qsizetype n, int bpp);

}  // namespace imaging
