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

// What an unbuffered transfer's buffer, count and file position must be a
// multiple of: the largest sector size in common use, so that what passes
// here passes on any disk Windows writes to.
static const size_t kSector = 4096;

static bool aligned(const WinposixHandle *record, const void *buffer, DWORD count)
{
    if (reinterpret_cast<uintptr_t>(buffer) % kSector != 0 || count % kSector != 0)
        return false;
    off_t at = lseek(record->fd, 0, SEEK_CUR);
    return at >= 0 && at % static_cast<off_t>(kSector) == 0;
}

// An aligned transfer that O_DIRECT still refuses (a file system with
// larger blocks, or one that takes the flag but not the transfer) is made
// through the cache instead.
static bool stop_bypassing(WinposixHandle *record)
{
    if (!record->direct)
        return false;
    int flags = fcntl(record->fd, F_GETFL);
    if (flags < 0 || fcntl(record->fd, F_SETFL, flags & ~O_DIRECT) != 0)
        return false;
    record->direct = false;
    return true;
}

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
    if (record->unbuffered && !aligned(record, buffer, count)) {
        winposix_fail(ERROR_INVALID_PARAMETER);
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
        if (n < 0 && (errno == EINTR || (errno == EINVAL && stop_bypassing(record))))
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
        if (n < 0 && (errno == EINTR || (errno == EINVAL && stop_bypassing(record))))
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
    off_t was = record->unbuffered ? lseek(record->fd, 0, SEEK_CUR) : 0;
    off_t at = lseek(record->fd, static_cast<off_t>(distance.QuadPart), whence);
    if (at < 0)
        return winposix_fail(errno == EINVAL ? ERROR_NEGATIVE_SEEK
                                             : winposix_error_from_errno(errno));
    if (record->unbuffered && at % static_cast<off_t>(kSector) != 0) {
        lseek(record->fd, was, SEEK_SET);
        return winposix_fail(ERROR_INVALID_PARAMETER);
    }
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

// Grows the file to a new end with its space reserved, as NTFS allocates it,
// so that a full disk fails here and not at a later write.
static BOOL grow_to(int fd, off_t old_end, off_t new_end)
{
    int rc = posix_fallocate(fd, old_end, new_end - old_end);
    if (rc == 0)
        return TRUE;
    if (rc != EOPNOTSUPP && rc != EINVAL)
        return winposix_fail(winposix_error_from_errno(rc));
    // A file system without reservation: the file grows with a hole.
    if (ftruncate(fd, new_end) != 0)
        return winposix_fail_errno();
    return TRUE;
}

// Moves the end of a file open for writing to `end`.
static BOOL set_end(HANDLE file, off_t end, bool from_position)
{
    WinposixHandle *record = winposix_handle_get(file, WINPOSIX_FILE);
    if (!record)
        return FALSE;
    if (!record->writable)
        return winposix_fail(ERROR_ACCESS_DENIED);
    fail_past_size_limit();
    if (from_position)
        end = lseek(record->fd, 0, SEEK_CUR);
    struct stat st;
    if (end < 0 || fstat(record->fd, &st) != 0)
        return winposix_fail_errno();
    if (end > st.st_size)
        return grow_to(record->fd, st.st_size, end);
    if (end < st.st_size && ftruncate(record->fd, end) != 0)
        return winposix_fail_errno();
    return TRUE;
}

BOOL SetEndOfFile(HANDLE file) { return set_end(file, 0, true); }

// Sets the end without moving the file position, which on a handle opened
// unbuffered may only stand at a sector boundary.
BOOL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info, DWORD size)
{
    if (kind != FileEndOfFileInfo || !info || size < sizeof(FILE_END_OF_FILE_INFO))
        return winposix_fail(ERROR_INVALID_PARAMETER);
    int64_t end = static_cast<FILE_END_OF_FILE_INFO *>(info)->EndOfFile.QuadPart;
    if (end < 0)
        return winposix_fail(ERROR_INVALID_PARAMETER);
    return set_end(file, static_cast<off_t>(end), false);
}
