#include "linewindow.h"

#include <string.h>

#include "lineends.h"
#include "utf16.h"

LineForm lineform_of(const unsigned char *head, uint64_t size)
{
    if (size >= 4 && ((head[0] == 0xFF && head[1] == 0xFE && head[2] == 0 && head[3] == 0) ||
                      (head[0] == 0 && head[1] == 0 && head[2] == 0xFE && head[3] == 0xFF)))
        return LINES_NOT_TEXT;
    bool little = size >= 2 && head[0] == 0xFF && head[1] == 0xFE;
    bool big = size >= 2 && head[0] == 0xFE && head[1] == 0xFF;
    if ((little || big) && size % 2 != 0)
        return LINES_NOT_TEXT;
    return little ? LINES_UTF16LE : big ? LINES_UTF16BE : LINES_BYTES;
}

void linewindow_start(LineWindow *state, LineForm form)
{
    state->form = form;
    state->carried_count = 0;
    state->nul = false;
}

// The bytes to read now: the carried ones, put back in front of the
// window, and the window. Up to `*part` they make whole steps; the bytes
// after them are carried on.
static unsigned char *take_part(LineWindow *state, unsigned char *window, size_t size, bool last, size_t *part)
{
    unsigned char *start = window - state->carried_count;
    memcpy(start, state->carried, state->carried_count);
    size_t length = static_cast<size_t>(window + size - start);
    if (last)
        *part = length;
    else if (state->form == LINES_BYTES)
        *part = lineends_part_end(start, length);
    else
        *part = utf16_part_end(start, length, state->form == LINES_UTF16LE);
    state->carried_count = length - *part;
    memcpy(state->carried, start + *part, state->carried_count);
    return start;
}

int64_t linewindow_growth(LineWindow *state, unsigned char *window, size_t size, bool last)
{
    size_t part;
    unsigned char *start = take_part(state, window, size, last, &part);
    if (state->form == LINES_BYTES)
        return lineends_count(start, part, last, &state->nul);
    return utf16_growth(start, part, state->form == LINES_UTF16LE, last);
}

size_t linewindow_convert(LineWindow *state, unsigned char *window, size_t size, bool last, unsigned char *out)
{
    size_t part;
    unsigned char *start = take_part(state, window, size, last, &part);
    if (state->form == LINES_BYTES)
        return last ? lineends_convert(start, part, out) : lineends_convert_part(start, part, out);
    return utf16_convert(start, part, state->form == LINES_UTF16LE, last, out);
}
