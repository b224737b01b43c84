// The line-ending passes are built twice: with SSE2, which every x86
// processor of the last twenty years has, and as a plain loop for a
// processor without it (the 32-bit program on an old one) and for targets
// that are not x86. The SSE2 build is picked at the first call where the
// processor has it. Tests run both.
//
// A build makes only the steps of a run of bytes (see lineends.h); the CR
// LF after a last single byte and the end of a part are worked out once,
// for both, in lineends.cpp.
#ifndef DRAVICK_LINEENDS_VARIANTS_H
#define DRAVICK_LINEENDS_VARIANTS_H

#include <stddef.h>
#include <stdint.h>

static const unsigned char CR = 13;
static const unsigned char LF = 10;

struct LineendsVariant {
    const char *name;
    // The growth of the steps of [data, data + size); sets *nul where a
    // zero byte is among them, and leaves it alone otherwise.
    int64_t (*count)(const unsigned char *data, size_t size, bool *nul);
    // Writes the steps converted to `out`, which has room for 2 * size
    // bytes and does not overlap them; returns the bytes written.
    size_t (*convert)(const unsigned char *data, size_t size, unsigned char *out);
};

// The variants this processor can run, the one in use first.
const LineendsVariant *const *lineends_variants(int *count);

// The entry points of lineends.h with a given build: `last` says that the
// bytes end the file, so that CR LF follows a last single byte other than
// LF.
int64_t lineends_count_with(const LineendsVariant *variant, const unsigned char *data, size_t size, bool last,
                            bool *nul);
size_t lineends_convert_with(const LineendsVariant *variant, const unsigned char *data, size_t size, bool last,
                             unsigned char *out);

// The builds' own code: the plain loop (lineends_plain.cpp), and where the
// target is x86 (DRAVICK_SSE2) the SSE2 kernels (x86/).
int64_t lineends_plain_count(const unsigned char *data, size_t size, bool *nul);
size_t lineends_plain_convert(const unsigned char *data, size_t size, unsigned char *out);
int64_t lineends_sse2_count(const unsigned char *data, size_t size, bool *nul);
size_t lineends_sse2_convert(const unsigned char *data, size_t size, unsigned char *out);

#endif
