// The scanning code built for processors with AVX2 and the population count
// instruction (this file alone is compiled for them): blocks are marked 32
// bytes at a time, and the copying conversion moves 32 bytes at a time.
// Only internal functions are defined here, so that nothing built for
// AVX2 is shared with code that runs on any processor.
#define LINEENDS_WIDE 1
#include "lineends_kernel.h"
#include "lineends_variants.h"

namespace {
int64_t growth(const unsigned char *data, size_t size) { return growth_of(data, size); }
int64_t growth_part(const unsigned char *data, size_t size) { return growth_of_part(data, size); }
void rewrite(unsigned char *buffer, size_t size, size_t growth) { rewrite_whole(buffer, size, growth); }
void rewrite_of_part(unsigned char *buffer, size_t size, size_t growth) { rewrite_part(buffer, size, growth); }
size_t convert(const unsigned char *data, size_t size, unsigned char *out) { return convert_whole(data, size, out); }
size_t convert_part(const unsigned char *data, size_t size, unsigned char *out) { return convert_steps(data, size, out); }
}  // namespace

const LineendsVariant lineends_avx2 = {"avx2", growth, growth_part, rewrite, rewrite_of_part, convert, convert_part};
