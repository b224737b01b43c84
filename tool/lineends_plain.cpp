// The plain build of the line-ending passes: one byte at a time. What a
// processor without SSE2 runs, and what the SSE2 build is tested against.
#include "lineends_variants.h"

// Whether the break c and the byte after it make a CR LF or LF CR pair.
static bool pairs_with(unsigned char c, const unsigned char *next, const unsigned char *end)
{
    return (c == CR || c == LF) && next < end && (*next ^ c) == (CR ^ LF);
}

int64_t lineends_plain_count(const unsigned char *p, size_t size, bool *nul)
{
    const unsigned char *end = p + size;
    int64_t growth = 0;
    bool zero = false;
    while (p < end) {
        unsigned char c = *p++;
        zero |= c == 0;
        if (pairs_with(c, p, end))
            p++;
        else
            growth += c == LF;
    }
    if (zero)
        *nul = true;
    return growth;
}

size_t lineends_plain_convert(const unsigned char *p, size_t size, unsigned char *out)
{
    const unsigned char *end = p + size;
    unsigned char *q = out;
    while (p < end) {
        unsigned char c = *p++;
        if (pairs_with(c, p, end)) {
            p++;
            c = LF;  // either pair is written CR LF
        }
        if (c == LF)
            *q++ = CR;
        *q++ = c;
    }
    return static_cast<size_t>(q - out);
}
