// Compiled without vector instructions on x86 (see tests/CMakeLists.txt).
#include "plain_lineends.h"

#include "lineends_kernel.h"

namespace {
int64_t growth(const unsigned char *data, size_t size) { return growth_of(data, size); }
int64_t growth_part(const unsigned char *data, size_t size) { return growth_of_part(data, size); }
void rewrite(unsigned char *buffer, size_t size, size_t growth) { rewrite_whole(buffer, size, growth); }
void rewrite_of_part(unsigned char *buffer, size_t size, size_t growth) { rewrite_part(buffer, size, growth); }
size_t convert(const unsigned char *data, size_t size, unsigned char *out) { return convert_whole(data, size, out); }
size_t convert_part(const unsigned char *data, size_t size, unsigned char *out) { return convert_steps(data, size, out); }
}  // namespace

const LineendsVariant plain_lineends = {"plain", growth, growth_part, rewrite, rewrite_of_part, convert, convert_part};
