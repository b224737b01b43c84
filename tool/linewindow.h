// The pair reader over a file that is read window by window. A line break
// at the end of one window may pair with the first byte of the next, so it
// is not decided there: it is carried over and read again in front of the
// next window, which is why every window has a byte of room before it.
#ifndef DRAVICK_LINEWINDOW_H
#define DRAVICK_LINEWINDOW_H

#include <stddef.h>
#include <stdint.h>

// Room the caller leaves in front of each window for the carried byte.
enum { LINEWINDOW_FRONT = 1 };

struct LineWindow {
    int carried;  // the byte carried to the next window, or -1
};

void linewindow_start(LineWindow *state);

// The growth of one window of `size` bytes; `last` says that it ends the
// file. The windows of a file, counted in order, add up to its growth.
int64_t linewindow_growth(LineWindow *state, unsigned char *window, size_t size, bool last);

// Converts one window into `out`, which does not overlap it, and returns
// the bytes written there. `out` must have room for linewindow_out_room(size)
// bytes (every byte can turn into two, the carried one too, and the file's
// end can gain CR LF). The outputs of a file's windows, in order, make its
// converted content.
static inline size_t linewindow_out_room(size_t size) { return 2 * (size + LINEWINDOW_FRONT) + 2; }
size_t linewindow_convert(LineWindow *state, unsigned char *window, size_t size, bool last, unsigned char *out);

#endif
