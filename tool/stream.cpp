// The passes over a file through a fixed buffer. Each window is read in
// after the room for the carried bytes; the second pass converts it into
// the rest of the buffer, behind it, and writes it on.
#include "stream.h"

#include <string.h>

#include "dravick.h"
#include "lineends.h"
#include "linewindow.h"

// Where each window is read in: past the room for the carried bytes, on a
// 64-byte boundary of the buffer (which starts on a page), as is the
// converted window behind it when the window is a multiple of 64 bytes.
// The system copies a read into memory so placed several times faster.
static const size_t kWindowAt = 64;
static_assert(kWindowAt >= LINEWINDOW_FRONT, "the carried bytes fit in front of the window");

static unsigned char *window_of(const StreamBuffer *buffer) { return buffer->data + kWindowAt; }

size_t stream_buffer_size(size_t window)
{
    // A window and the room for its carried bytes, then room for them
    // converted.
    return kWindowAt + window + linewindow_out_room(window);
}

static ErrorRecord *changed_meanwhile(const char *path)
{
    return err_win32_code(FS_ERROR_FILE_CHANGED, "ReadFile", "%s", path);
}

static ErrorRecord *seek_start(HANDLE source, const char *path) { return w32_SetFilePointerEx(source, 0, path); }

// Reads exactly `count` bytes: a file that ends before has shrunk.
static ErrorRecord *read_exact(HANDLE source, unsigned char *at, size_t count, const char *path)
{
    ErrorRecord *error = fs_read_all(source, at, static_cast<int32_t>(count));
    if (error == &err_lib_record && error->code == ERR_READ)
        return changed_meanwhile(path);
    return err_about_file(error, "ReadFile", path);
}

// Past the bytes counted the file must end: one that goes on has grown.
static ErrorRecord *read_end(HANDLE source, const char *path)
{
    unsigned char extra;
    DWORD done = 0;
    ErrorRecord *error = w32_ReadFile(source, &extra, 1, &done, NULL);
    if (error != NULL)
        return err_about_file(error, "ReadFile", path);
    return done != 0 ? changed_meanwhile(path) : NULL;
}

static size_t next_window(uint32_t left, size_t window) { return left < window ? left : window; }

ErrorRecord *stream_count(HANDLE source, uint32_t size, const StreamBuffer *buffer, int64_t *growth,
                          LineForm *form, const char *path)
{
    ErrorRecord *error;
    unsigned char *window = window_of(buffer);
    LineWindow state;
    *growth = 0;
    uint32_t left = size;
    do {
        size_t length = next_window(left, buffer->window);
        if ((error = read_exact(source, window, length, path)) != NULL)
            return error;
        if (left == size) {
            *form = lineform_of(window, size);
            linewindow_start(&state, *form);
        }
        if (*form == LINES_NOT_TEXT)
            break;
        left -= static_cast<uint32_t>(length);
        *growth += linewindow_growth(&state, window, length, left == 0);
        if (state.nul) {
            *form = LINES_NOT_TEXT;
            break;
        }
    } while (left > 0);
    if (*form == LINES_NOT_TEXT)
        *growth = 0;
    return NULL;
}

static ErrorRecord *write_out(HANDLE target, const unsigned char *data, size_t count, const char *path)
{
    return err_about_file(fs_write_all(target, data, static_cast<int32_t>(count)), "WriteFile", path);
}

ErrorRecord *stream_write(const StreamContent *content, HANDLE target, const char *target_path)
{
    ErrorRecord *error = seek_start(content->source, content->path);
    if (error != NULL)
        return error;
    unsigned char *window = window_of(&content->buffer);
    unsigned char *out = window + content->buffer.window;
    LineWindow state;
    linewindow_start(&state, content->form);
    uint32_t left = content->size;
    uint64_t made = 0;  // converted bytes so far
    do {
        size_t length = next_window(left, content->buffer.window);
        if ((error = read_exact(content->source, window, length, content->path)) != NULL)
            return error;
        left -= static_cast<uint32_t>(length);
        size_t count = linewindow_convert(&state, window, length, left == 0, out);
        made += count;
        if (made > content->count)
            return changed_meanwhile(content->path);
        if ((error = write_out(target, out, count, target_path)) != NULL)
            return error;
    } while (left > 0);
    if (made != content->count)
        return changed_meanwhile(content->path);
    return read_end(content->source, content->path);
}
