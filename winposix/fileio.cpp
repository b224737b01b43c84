// Reading, writing, flushing, seeking and sizing an open file.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

// The most one system call is asked to move; larger counts loop.
static const size_t kChunk = 1u << 30;

static size_t chunk(size_t left) { return left < kChunk ? left : kChunk; }

// Past the process's file size limit a write fails on Windows; here the
// system would end the process with SIGXFSZ instead, in the middle of a
// file. Ignored, the write fails with EFBIG.
static void fail_past_size_limit(void)
{
    static bool ignored;
    if (!ignored)
        signal(SIGXFSZ, SIG_IGN);
    ignored = true;
}

static WinposixHandle *file_for_transfer(HANDLE file, const void *buffer, DWORD count,
                                         LPOVERLAPPED overlapped, bool writing)
{
    WinposixHandle *record = winposix_handle_get(file, WINPOSIX_FILE);
    if (!record)
        return nullptr;
    if (overlapped || (!buffer && count > 0)) {
        winposix_fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!(writing ? record->writable : record->readable)) {
        winposix_fail(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (writing)
        fail_past_size_limit();
    return record;
}

BOOL ReadFile(HANDLE file, void *buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped)
{
    if (done)
        *done = 0;
    if (winposix_fault_due(WINPOSIX_CALL_READ))
        return FALSE;
    WinposixHandle *record = file_for_transfer(file, buffer, count, overlapped, false);
    if (!record)
        return FALSE;
    char *at = static_cast<char *>(buffer);
    size_t got = 0;
    while (got < count) {
        ssize_t n = read(record->fd, at + got, chunk(count - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = errno;
            if (done)
                *done = static_cast<DWORD>(got);
            return winposix_fail(winposix_error_from_errno(err));
        }
        got += static_cast<size_t>(n);
        // End of file, or a pipe or terminal that gave what it had.
        if (n == 0 || !record->regular)
            break;
    }
    if (done)
        *done = static_cast<DWORD>(got);
    return TRUE;
}

BOOL WriteFile(HANDLE file, const void *buffer, DWORD count, LPDWORD done,
               LPOVERLAPPED overlapped)
{
    if (done)
        *done = 0;
    if (winposix_fault_due(WINPOSIX_CALL_WRITE))
        return FALSE;
    WinposixHandle *record = file_for_transfer(file, buffer, count, overlapped, true);
    if (!record)
        return FALSE;
    const char *at = static_cast<const char *>(buffer);
    size_t put = 0;
    while (put < count) {
        ssize_t n = write(record->fd, at + put, chunk(count - put));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = errno;
            if (done)
                *done = static_cast<DWORD>(put);
            return winposix_fail(winposix_error_from_errno(err));
        }
        if (n == 0)
            break;
        put += static_cast<size_t>(n);
    }
    if (done)
        *done = static_cast<DWORD>(put);
    return TRUE;
}

// The file's data, and what reading it back needs (its size), reach the
// disk before this returns. Windows asks for write access, as here.
BOOL FlushFileBuffers(HANDLE file)
{
    if (winposix_fault_due(WINPOSIX_CALL_FLUSH))
        return FALSE;
    WinposixHandle *record = winposix_handle_get(file, WINPOSIX_FILE);
    if (!record)
        return FALSE;
    if (!record->writable)
        return winposix_fail(ERROR_ACCESS_DENIED);
    while (fdatasync(record->fd) != 0) {
        if (errno != EINTR)
            return winposix_fail_errno();
    }
    return TRUE;
}

void winposix_start_writeout(HANDLE file)
{
    WinposixHandle *record = winposix_handle_get(file, WINPOSIX_FILE);
    if (record != nullptr && record->writable && record->regular)
        sync_file_range(record->fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER position,
                      DWORD method)
{
    WinposixHandle *record = winposix_handle_get(file, WINPOSIX_FILE);
    if (!record)
        return FALSE;
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR
               : method == FILE_END   ? SEEK_END : -1;
    if (whence < 0)
        return winposix_fail(ERROR_INVALID_PARAMETER);
    off_t at = lseek(record->fd, static_cast<off_t>(distance.QuadPart), whence);
    if (at < 0)
        return winposix_fail(errno == EINVAL ? ERROR_NEGATIVE_SEEK
                                             : winposix_error_from_errno(errno));
    if (position)
        position->QuadPart = at;
    return TRUE;
}

BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size)
{
    WinposixHandle *record = winposix_handle_get(file, WINPOSIX_FILE);
    if (!record)
        return FALSE;
    if (!size)
        return winposix_fail(ERROR_INVALID_PARAMETER);
    struct stat st;
    if (fstat(record->fd, &st) != 0)
        return winposix_fail_errno();
    size->QuadPart = st.st_size;
    return TRUE;
}
