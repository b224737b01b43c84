#include "linewindow.h"

#include "lineends.h"

void linewindow_start(LineWindow *state) { state->carried = -1; }

// The bytes to read now: the carried byte, put back in front of the
// window, and the window. Up to `*part` they make whole steps; the byte
// after them, if any, is carried on.
static unsigned char *take_part(LineWindow *state, unsigned char *window, size_t size, bool last,
                                size_t *part)
{
    unsigned char *start = window;
    if (state->carried >= 0)
        *--start = static_cast<unsigned char>(state->carried);
    size_t length = static_cast<size_t>(window + size - start);
    *part = last ? length : lineends_part_end(start, length);
    state->carried = *part < length ? start[*part] : -1;
    return start;
}

int64_t linewindow_growth(LineWindow *state, unsigned char *window, size_t size, bool last)
{
    size_t part;
    unsigned char *start = take_part(state, window, size, last, &part);
    return last ? lineends_growth(start, part) : lineends_growth_part(start, part);
}

size_t linewindow_convert(LineWindow *state, unsigned char *window, size_t size, bool last, unsigned char *out)
{
    size_t part;
    unsigned char *start = take_part(state, window, size, last, &part);
    return last ? lineends_convert(start, part, out) : lineends_convert_part(start, part, out);
}
