#include "imaging/PngFilters.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

uchar paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return uchar(pa <= pb && pa <= pc ? a : (pb <= pc ? b : c));
}

void paethRowPlain(uchar* cur, const uchar* prev, qsizetype n, int bpp) {
    for (qsizetype i = 0; i < bpp; ++i)
        cur[i] = uchar(cur[i] + prev[i]);  // no left pixel: Paeth picks the one above
    for (qsizetype i = bpp; i < n; ++i)
        cur[i] = uchar(cur[i] + paeth(cur[i - bpp], prev[i], prev[i - bpp]));
}

#if defined(__SSE2__)
// One pixel's samples in 16-bit lanes, the whole pixel at once: Paeth's chain runs from
// each pixel to the next, so the samples of one pixel are all there is to do side by side.
template <int Bpp>
__m128i loadPixel(const uchar* p) {
    quint32 v = 0;
    if constexpr (Bpp == 4)
        std::memcpy(&v, p, 4);
    else
        v = quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16;
    return _mm_cvtsi32_si128(int(v));
}

template <int Bpp>
void storePixel(uchar* p, __m128i pixel) {
    const auto v = quint32(_mm_cvtsi128_si32(pixel));
    if constexpr (Bpp == 4) {
        std::memcpy(p, &v, 4);
    } else {
        p[0] = uchar(v);
        p[1] = uchar(v >> 8);
        p[2] = uchar(v >> 16);
    }
}

__m128i abs16(__m128i x) {
    return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x));
}

// One pixel from its left (a), upper (b) and upper left (c) neighbours, 16 bits a sample,
// and its filtered bytes; the pixel comes back as bytes.
inline __m128i paethPixel(__m128i a, __m128i b, __m128i c, __m128i filtered) {
    const __m128i bc = _mm_sub_epi16(b, c);
    const __m128i ac = _mm_sub_epi16(a, c);
    const __m128i pa = abs16(bc);
    const __m128i pb = abs16(ac);
    const __m128i pc = abs16(_mm_add_epi16(bc, ac));
    const __m128i least = _mm_min_epi16(_mm_min_epi16(pa, pb), pc);
    const __m128i useA = _mm_cmpeq_epi16(least, pa);
    const __m128i useB = _mm_cmpeq_epi16(least, pb);
    const __m128i bOrC = _mm_or_si128(_mm_and_si128(useB, b), _mm_andnot_si128(useB, c));
    const __m128i pred = _mm_or_si128(_mm_and_si128(useA, a), _mm_andnot_si128(useA, bOrC));
    return _mm_add_epi8(_mm_packus_epi16(pred, pred), filtered);
}

template <int Bpp>
void paethRowSse2(uchar* cur, const uchar* prev, qsizetype n) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero, c = zero;
    for (qsizetype i = 0; i < n; i += Bpp) {
        const __m128i b = _mm_unpacklo_epi8(loadPixel<Bpp>(prev + i), zero);
        const __m128i pixel = paethPixel(a, b, c, loadPixel<Bpp>(cur + i));
        storePixel<Bpp>(cur + i, pixel);
        a = _mm_unpacklo_epi8(pixel, zero);
        c = b;
    }
}

// Sub and Average have the same chain from pixel to pixel as Paeth, only shorter.
template <int Bpp>
void subRowSse2(uchar* cur, qsizetype n) {
    __m128i a = _mm_setzero_si128();
    for (qsizetype i = 0; i < n; i += Bpp) {
        a = _mm_add_epi8(a, loadPixel<Bpp>(cur + i));
        storePixel<Bpp>(cur + i, a);
    }
}

template <int Bpp>
void averageRowSse2(uchar* cur, const uchar* prev, qsizetype n) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero;
    for (qsizetype i = 0; i < n; i += Bpp) {
        const __m128i b = _mm_unpacklo_epi8(loadPixel<Bpp>(prev + i), zero);
        const __m128i mean = _mm_srli_epi16(_mm_add_epi16(a, b), 1);
        const __m128i pixel = _mm_add_epi8(_mm_packus_epi16(mean, mean), loadPixel<Bpp>(cur + i));
        storePixel<Bpp>(cur + i, pixel);
        a = _mm_unpacklo_epi8(pixel, zero);
    }
}

// Two Paeth rows, one under the other, side by side: each pixel waits for the one on its
// left, so one row alone leaves the processor idle most of the time; the second row's
// chain fills it, a pixel behind the first's.
template <int Bpp>
void paethPairSse2(uchar* first, const uchar* prev, uchar* second, qsizetype n) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a0 = zero, c0 = zero, a1 = zero, c1 = zero;
    for (qsizetype i = 0; i < n; i += Bpp) {
        const __m128i b0 = _mm_unpacklo_epi8(loadPixel<Bpp>(prev + i), zero);
        const __m128i upper = paethPixel(a0, b0, c0, loadPixel<Bpp>(first + i));
        storePixel<Bpp>(first + i, upper);
        const __m128i b1 = _mm_unpacklo_epi8(upper, zero);
        const __m128i lower = paethPixel(a1, b1, c1, loadPixel<Bpp>(second + i));
        storePixel<Bpp>(second + i, lower);
        a0 = b1;
        c0 = b0;
        a1 = _mm_unpacklo_epi8(lower, zero);
        c1 = b1;
    }
}
#endif

void paethRow(uchar* cur, const uchar* prev, qsizetype n, int bpp) {
#if defined(__SSE2__)
    if (bpp == 4) return paethRowSse2<4>(cur, prev, n);
    if (bpp == 3) return paethRowSse2<3>(cur, prev, n);
#endif
    paethRowPlain(cur, prev, n, bpp);
}

}  // namespace

namespace imaging {

// Both rows at once when there is a way to do it faster than one after the other.
bool paethPair(uchar* first, const uchar* prev, uchar* second, qsizetype n, int bpp) {
#if defined(__SSE2__)
    if (bpp == 4) return paethPairSse2<4>(first, prev, second, n), true;
    if (bpp == 3) return paethPairSse2<3>(first, prev, second, n), true;
#endif
    (void)first, (void)prev, (void)second, (void)n, (void)bpp;
    return false;
}

// Undoes one row's filter in place; `prev` is the row above, already undone (zeros above
// the first).
bool unfilter(uchar filter, uchar* cur, const uchar* prev, qsizetype n, int bpp) {
    switch (filter) {
        case 0:
            return true;
        case 1:
#if defined(__SSE2__)
            if (bpp == 4) return subRowSse2<4>(cur, n), true;
            if (bpp == 3) return subRowSse2<3>(cur, n), true;
#endif
            for (qsizetype i = bpp; i < n; ++i)
                cur[i] = uchar(cur[i] + cur[i - bpp]);
            return true;
        case 2: {
            qsizetype i = 0;
#if defined(__SSE2__)
            // The row above is in the same buffer: the compiler cannot tell it never overlaps.
            for (; i + 16 <= n; i += 16) {
                const __m128i sum =
                    _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + i)),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(cur + i), sum);
            }
#endif
            for (; i < n; ++i)
                cur[i] = uchar(cur[i] + prev[i]);
            return true;
        }
        case 3:
#if defined(__SSE2__)
            if (bpp == 4) return averageRowSse2<4>(cur, prev, n), true;
            if (bpp == 3) return averageRowSse2<3>(cur, prev, n), true;
#endif
            for (qsizetype i = 0; i < bpp; ++i)
                cur[i] = uchar(cur[i] + (prev[i] >> 1));
            for (qsizetype i = bpp; i < n; ++i)
                cur[i] = uchar(cur[i] + ((cur[i - bpp] + prev[i]) >> 1));
            return true;
        case 4:
            paethRow(cur, prev, n, bpp);
            return true;
        default:
            return false;
    }
}
}  // namespace imaging
