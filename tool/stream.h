// A file's conversion through one small buffer that is used again and
// again, whatever the file's size: a counting pass reads the file window by
// window, and, where it grows, a second pass reads it again and writes the
// converted windows to another file. Memory taken never grows with the
// file.
#ifndef DRAVICK_STREAM_H
#define DRAVICK_STREAM_H

#include <stddef.h>
#include <stdint.h>

#include "fslib.h"
#include "linewindow.h"

// The buffer the passes go through: stream_buffer_size(window) bytes,
// which `window` bytes of the file are read into at a time.
struct StreamBuffer {
    unsigned char *data;
    size_t window;
};

size_t stream_buffer_size(size_t window);

// Counts the growth of the `size` bytes of the file open at `source`, read
// from where the handle stands: a handle just opened, at the file's start
// (the system call a seek takes is saved on every file of a walk). How its
// line breaks are read goes to `form` (linewindow.h); a file that is not
// text is read no further than where that shows, and its growth is 0. A
// file that ends early is reported as changed, naming `path`. The buffer's
// window is at least 4 bytes, so that the first one holds what tells the
// form.
ErrorRecord *stream_count(HANDLE source, uint32_t size, const StreamBuffer *buffer, int64_t *growth,
                          LineForm *form, const char *path);

// What makes a file's new content: the file of `size` bytes open at
// `source` (named `path`), read again from its start and converted in its
// form, which comes to `count` bytes as counted before.
struct StreamContent {
    HANDLE source;
    const char *path;
    uint32_t size;
    uint32_t count;
    StreamBuffer buffer;
    LineForm form = LINES_BYTES;  // as counted, never LINES_NOT_TEXT
};

// Writes the new content to `target` (named `target_path`), from where it
// stands. When the source is no longer what was counted (it ends early,
// goes on past its size, or converts to another length: another program
// wrote to it), the write stops and that is reported.
ErrorRecord *stream_write(const StreamContent *content, HANDLE target, const char *target_path);

#endif
