// UTF-16 files are small and rare: the units are read one at a time.
#include "utf16.h"

#include <string.h>

static const unsigned CR = 13;
static const unsigned LF = 10;

static unsigned unit_at(const unsigned char *p, bool little_endian)
{
    return little_endian ? p[0] | p[1] << 8 : p[0] << 8 | p[1];
}

static bool is_break(unsigned unit) { return unit == CR || unit == LF; }

// One step of the pair reader over units, from unit i of n: a CR LF or
// LF CR pair, or a lone LF, is written CR LF; any other unit as it is.
struct Step {
    size_t units;  // 1 or 2
    bool crlf;
};

static Step step_at(const unsigned char *data, size_t i, size_t n, bool little_endian)
{
    unsigned unit = unit_at(data + 2 * i, little_endian);
    if (is_break(unit) && i + 1 < n && (unit_at(data + 2 * i + 2, little_endian) ^ unit) == (CR ^ LF))
        return {2, true};
    return {1, unit == LF};
}

int64_t utf16_growth(const unsigned char *data, size_t size, bool little_endian, bool last)
{
    size_t n = size / 2;
    int64_t growth = 0;
    bool single = false;  // the last step is a unit other than LF
    for (size_t i = 0; i < n;) {
        Step step = step_at(data, i, n, little_endian);
        if (step.crlf && step.units == 1)
            growth += 2;
        single = !step.crlf;
        i += step.units;
    }
    return last && single ? growth + 4 : growth;
}

static unsigned char *put_unit(unsigned char *q, unsigned unit, bool little_endian)
{
    q[little_endian ? 0 : 1] = static_cast<unsigned char>(unit);
    q[little_endian ? 1 : 0] = static_cast<unsigned char>(unit >> 8);
    return q + 2;
}

size_t utf16_convert(const unsigned char *data, size_t size, bool little_endian, bool last, unsigned char *out)
{
    size_t n = size / 2;
    unsigned char *q = out;
    bool single = false;
    for (size_t i = 0; i < n;) {
        Step step = step_at(data, i, n, little_endian);
        if (step.crlf) {
            q = put_unit(q, CR, little_endian);
            q = put_unit(q, LF, little_endian);
        } else {
            memcpy(q, data + 2 * i, 2);
            q += 2;
        }
        single = !step.crlf;
        i += step.units;
    }
    if (last && single) {
        q = put_unit(q, CR, little_endian);
        q = put_unit(q, LF, little_endian);
    }
    return static_cast<size_t>(q - out);
}

size_t utf16_part_end(const unsigned char *data, size_t size, bool little_endian)
{
    size_t n = size / 2;
    if (n == 0 || !is_break(unit_at(data + 2 * (n - 1), little_endian)))
        return 2 * n;
    // The run of alternating breaks that ends the units: pairs are taken
    // from its start, so a run of odd length leaves its last break open.
    size_t a = n - 1;
    while (a > 0) {
        unsigned before = unit_at(data + 2 * (a - 1), little_endian);
        if (!is_break(before) || before == unit_at(data + 2 * a, little_endian))
            break;
        a--;
    }
    return (n - a) % 2 != 0 ? 2 * (n - 1) : 2 * n;
}
