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

size_t lineends_part_end(const unsigned char *data, size_t size)
{
    if (size == 0 || !is_break(data[size - 1]))
        return size;
    unsigned char *end = const_cast<unsigned char *>(data) + size;
    unsigned char *a = alternating_start(const_cast<unsigned char *>(data), end);
    return (end - a) % 2 != 0 ? size - 1 : size;
}

LINEENDS_ENTRY_POINTS(static, lineends_baseline, "baseline", static)

#ifdef LINEENDS_SSE2_AT_RUN_TIME
LINEENDS_ENTRY_POINTS(static, lineends_sse2, "sse2", static __attribute__((target("sse2"))))
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
