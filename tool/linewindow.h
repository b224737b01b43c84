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

// Converts one window in place and returns where its output starts, at
// most LINEWINDOW_FRONT bytes before the window; `*count` gets its length.
// The buffer must have room for 2 * size + 2 bytes from there (every byte
// can turn into two, and the file's end can gain CR LF). The outputs of a
// file's windows, in order, make its converted content.
unsigned char *linewindow_convert(LineWindow *state, unsigned char *window, size_t size, bool last,
                                  size_t *count);

#endif
