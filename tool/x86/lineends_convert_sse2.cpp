// The copying conversion with SSE2: the bytes up to the next CR or LF are
// copied 32 at a time. Built for SSE2 whatever the target, as the
// counting pass beside it.
#include <emmintrin.h>

#include "lineends_variants.h"

#define SSE2 __attribute__((target("sse2")))
#define KERNEL static inline __attribute__((always_inline, target("sse2")))

// The marks of the sixteen bytes at p that are CR or LF, stored at q.
KERNEL unsigned copy_chunk(const unsigned char *p, unsigned char *q)
{
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(q), bytes);
    __m128i marks = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(LF)), _mm_cmpeq_epi8(bytes, _mm_set1_epi8(CR)));
    return static_cast<unsigned>(_mm_movemask_epi8(marks));
}

// Copies from *src to *dst up to the next break or to end, and moves both
// on. Thirty-two bytes are stored at a time even when a break comes inside
// them, and the output then moves on only up to the break (the rest is
// written over): the stores stay within twice the bytes read so far.
KERNEL void copy_to_break(const unsigned char **src, const unsigned char *end, unsigned char **dst)
{
    const unsigned char *p = *src;
    unsigned char *q = *dst;
    for (;;) {
        if (end - p < 32) {
            while (p < end && *p != CR && *p != LF)
                *q++ = *p++;
            break;
        }
        unsigned bits = copy_chunk(p, q) | copy_chunk(p + 16, q + 16) << 16;
        if (bits != 0) {
            int at = __builtin_ctz(bits);
            p += at;
            q += at;
            break;
        }
        p += 32;
        q += 32;
    }
    *src = p;
    *dst = q;
}

SSE2 size_t lineends_sse2_convert(const unsigned char *data, size_t size, unsigned char *out)
{
    const unsigned char *p = data;
    const unsigned char *end = data + size;
    unsigned char *q = out;
    for (;;) {
        copy_to_break(&p, end, &q);
        if (p == end)
            break;
        // A CR LF or LF CR pair, or a lone break.
        if (end - p >= 2 && (p[0] ^ p[1]) == (CR ^ LF)) {
            p += 2;
        } else if (*p++ == CR) {
            *q++ = CR;  // a lone CR stays
            continue;
        }
        *q++ = CR;
        *q++ = LF;
    }
    return static_cast<size_t>(q - out);
}
