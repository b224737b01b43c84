// The pair reader over a file that is read window by window. A line break
// at the end of one window may pair with the first byte (or unit) of the
// next, so it is not decided there: it is carried over and read again in
// front of the next window, which is why every window has a few bytes of
// room before it. UTF-16 text is read in its units, and a unit that a
// window end cuts in two is carried over the same way.
#ifndef DRAVICK_LINEWINDOW_H
#define DRAVICK_LINEWINDOW_H

#include <stddef.h>
#include <stdint.h>

// How a file's line breaks are read: as bytes, or as the 16-bit units of
// UTF-16 text in one byte order. A file that is neither is not text, and
// is left alone.
enum LineForm { LINES_BYTES, LINES_UTF16LE, LINES_UTF16BE, LINES_NOT_TEXT };

// The form of a file of `size` bytes whose first bytes (at least
// min(size, 4) of them) are `head`: UTF-16 where it starts with the mark
// FF FE (little-endian) or FE FF (big-endian) and has an even length; not
// text where it starts with a UTF-32 mark (FF FE 00 00, 00 00 FE FF) or
// with a UTF-16 mark and has an odd length; else bytes. A file of bytes
// that holds a zero byte is not text either, which only its count tells
// (LineWindow.nul).
LineForm lineform_of(const unsigned char *head, uint64_t size);

// Room the caller leaves in front of each window for what is carried: a
// break unit and the first byte of a unit cut in two.
enum { LINEWINDOW_FRONT = 3 };

struct LineWindow {
    LineForm form;  // LINES_BYTES or a UTF-16 form
    unsigned char carried[LINEWINDOW_FRONT];
    size_t carried_count;
    bool nul;  // a zero byte was counted (in bytes only)
};

void linewindow_start(LineWindow *state, LineForm form);

// The growth of one window of `size` bytes; `last` says that it ends the
// file. The windows of a file, counted in order, add up to its growth.
int64_t linewindow_growth(LineWindow *state, unsigned char *window, size_t size, bool last);

// Converts one window into `out`, which does not overlap it, and returns
// the bytes written there. `out` must have room for linewindow_out_room(size)
// bytes (every byte can turn into two, the carried ones too, and the file's
// end can gain CR LF). The outputs of a file's windows, in order, make its
// converted content.
static inline size_t linewindow_out_room(size_t size) { return 2 * (size + LINEWINDOW_FRONT) + 4; }
size_t linewindow_convert(LineWindow *state, unsigned char *window, size_t size, bool last, unsigned char *out);

#endif
