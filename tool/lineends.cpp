// The entry points of the line-ending passes, and the choice between the
// builds of their scanning code (lineends_variants.h) for what the
// processor has.
#include "lineends.h"

#include "lineends_variants.h"

static bool is_break(unsigned char c) { return c == CR || c == LF; }

// The start of the run of alternating breaks that ends just before p
// (p[-1] is a break). Pairs are taken from the start of such a run.
static const unsigned char *alternating_start(const unsigned char *start, const unsigned char *p)
{
    const unsigned char *a = p - 1;
    while (a > start && is_break(a[-1]) && a[-1] != a[0])
        a--;
    return a;
}

size_t lineends_part_end(const unsigned char *data, size_t size)
{
    if (size == 0 || !is_break(data[size - 1]))
        return size;
    const unsigned char *a = alternating_start(data, data + size);
    return (data + size - a) % 2 != 0 ? size - 1 : size;
}

// Whether the last step of the bytes is a single byte other than LF: a CR
// LF is then appended at the file's end.
static bool ends_in_byte(const unsigned char *data, size_t size)
{
    if (size == 0)
        return false;
    if (!is_break(data[size - 1]))
        return true;
    const unsigned char *a = alternating_start(data, data + size);
    return (data + size - a) % 2 != 0 && data[size - 1] == CR;
}

int64_t lineends_count_with(const LineendsVariant *variant, const unsigned char *data, size_t size, bool last,
                            bool *nul)
{
    int64_t growth = variant->count(data, size, nul);
    return last && ends_in_byte(data, size) ? growth + 2 : growth;
}

size_t lineends_convert_with(const LineendsVariant *variant, const unsigned char *data, size_t size, bool last,
                             unsigned char *out)
{
    size_t count = variant->convert(data, size, out);
    if (last && ends_in_byte(data, size)) {
        out[count++] = CR;
        out[count++] = LF;
    }
    return count;
}

static const LineendsVariant plain = {"plain", lineends_plain_count, lineends_plain_convert};
#ifdef DRAVICK_SSE2
static const LineendsVariant sse2 = {"sse2", lineends_sse2_count, lineends_sse2_convert};
#endif

// Filled in at the first call, best first; the processor is asked once.
static const LineendsVariant *usable[2];
static int usable_count;

static void choose_variants(void)
{
#ifdef DRAVICK_SSE2
    __builtin_cpu_init();
    if (__builtin_cpu_supports("sse2"))
        usable[usable_count++] = &sse2;
#endif
    usable[usable_count++] = &plain;
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

int64_t lineends_count(const unsigned char *data, size_t size, bool last, bool *nul)
{
    return lineends_count_with(chosen(), data, size, last, nul);
}

size_t lineends_convert(const unsigned char *data, size_t size, unsigned char *out)
{
    return lineends_convert_with(chosen(), data, size, true, out);
}

size_t lineends_convert_part(const unsigned char *data, size_t size, unsigned char *out)
{
    return lineends_convert_with(chosen(), data, size, false, out);
}
