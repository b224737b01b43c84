// The line-ending passes are built more than once, for instruction sets
// that not every processor has; the best one this processor can run is
// picked at the first call. Tests run every one of them.
#ifndef DRAVICK_LINEENDS_VARIANTS_H
#define DRAVICK_LINEENDS_VARIANTS_H

#include <stddef.h>
#include <stdint.h>

struct LineendsVariant {
    const char *name;
    int64_t (*growth)(const unsigned char *data, size_t size);
    int64_t (*growth_part)(const unsigned char *data, size_t size);
    void (*rewrite)(unsigned char *buffer, size_t size, size_t growth);
    void (*rewrite_part)(unsigned char *buffer, size_t size, size_t growth);
    size_t (*convert)(const unsigned char *data, size_t size, unsigned char *out);
    size_t (*convert_part)(const unsigned char *data, size_t size, unsigned char *out);
};

// The variants this processor can run, the one in use first.
const LineendsVariant *const *lineends_variants(int *count);

// Built for AVX2 (with the population count) where the target is x86.
extern const LineendsVariant lineends_avx2;

#endif
