// The entry points of the line-ending passes, and the choice among the
// builds of their scanning code (lineends_kernel.h) for what the processor
// has.
#include "lineends.h"

// A target whose baseline has no vector unit (32-bit x86 before SSE2) gets
// the scanning code twice: once for SSE2, taken when the processor has it,
// and once plain.
#if defined(__i386__) && !defined(__SSE2__)
#define LINEENDS_SSE2_AT_RUN_TIME 1
#endif

#include "lineends_kernel.h"
#include "lineends_variants.h"

size_t lineends_part_end(const unsigned char *data, size_t size)
{
    if (size == 0 || !is_break(data[size - 1]))
        return size;
    unsigned char *end = const_cast<unsigned char *>(data) + size;
    unsigned char *a = alternating_start(const_cast<unsigned char *>(data), end);
    return (end - a) % 2 != 0 ? size - 1 : size;
}

namespace baseline {
static int64_t growth(const unsigned char *data, size_t size) { return growth_of(data, size); }
static int64_t growth_part(const unsigned char *data, size_t size) { return growth_of_part(data, size); }
static void rewrite(unsigned char *buffer, size_t size, size_t growth) { rewrite_whole(buffer, size, growth); }
static void rewrite_of_part(unsigned char *buffer, size_t size, size_t growth) { rewrite_part(buffer, size, growth); }
static size_t convert(const unsigned char *data, size_t size, unsigned char *out) { return convert_whole(data, size, out); }
static size_t convert_part(const unsigned char *data, size_t size, unsigned char *out) { return convert_steps(data, size, out); }
}  // namespace baseline

static const LineendsVariant lineends_baseline = {"baseline", baseline::growth, baseline::growth_part,
                                                  baseline::rewrite, baseline::rewrite_of_part,
                                                  baseline::convert, baseline::convert_part};

#ifdef LINEENDS_SSE2_AT_RUN_TIME
#define SSE2 static __attribute__((target("sse2")))
namespace sse2 {
SSE2 int64_t growth(const unsigned char *data, size_t size) { return growth_of(data, size); }
SSE2 int64_t growth_part(const unsigned char *data, size_t size) { return growth_of_part(data, size); }
SSE2 void rewrite(unsigned char *buffer, size_t size, size_t growth) { rewrite_whole(buffer, size, growth); }
SSE2 void rewrite_of_part(unsigned char *buffer, size_t size, size_t growth) { rewrite_part(buffer, size, growth); }
SSE2 size_t convert(const unsigned char *data, size_t size, unsigned char *out) { return convert_whole(data, size, out); }
SSE2 size_t convert_part(const unsigned char *data, size_t size, unsigned char *out) { return convert_steps(data, size, out); }
}  // namespace sse2

static const LineendsVariant lineends_sse2 = {"sse2", sse2::growth, sse2::growth_part, sse2::rewrite,
                                              sse2::rewrite_of_part, sse2::convert, sse2::convert_part};
#endif

// Filled in at the first call, best first; the processor is asked once.
static const LineendsVariant *usable[3];
static int usable_count;

static void choose_variants(void)
{
#if defined(__i386__) || defined(__x86_64__)
    __builtin_cpu_init();
#endif
#ifdef DRAVICK_AVX2
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt"))
        usable[usable_count++] = &lineends_avx2;
#endif
#ifdef LINEENDS_SSE2_AT_RUN_TIME
    if (__builtin_cpu_supports("sse2"))
        usable[usable_count++] = &lineends_sse2;
#endif
    usable[usable_count++] = &lineends_baseline;
}

static const LineendsVariant *chosen(void)
{
    if (usable_count == 0)
        choose_variants();
    return usable[0];
}

const LineendsVariant *const *lineends_variants(int *count)
{
    chosen();
    *count = usable_count;
    return usable;
}

int64_t lineends_growth(const unsigned char *data, size_t size) { return chosen()->growth(data, size); }

int64_t lineends_growth_part(const unsigned char *data, size_t size) { return chosen()->growth_part(data, size); }

void lineends_rewrite(unsigned char *buffer, size_t size, size_t growth) { chosen()->rewrite(buffer, size, growth); }

void lineends_rewrite_part(unsigned char *buffer, size_t size, size_t growth)
{
    chosen()->rewrite_part(buffer, size, growth);
}

size_t lineends_convert(const unsigned char *data, size_t size, unsigned char *out)
{
    return chosen()->convert(data, size, out);
}

size_t lineends_convert_part(const unsigned char *data, size_t size, unsigned char *out)
{
    return chosen()->convert_part(data, size, out);
}
