// GetFinalPathNameByHandleA: the path the kernel keeps for the descriptor.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "internal.h"

DWORD GetFinalPathNameByHandleA(HANDLE file, LPSTR path, DWORD size, DWORD flags)
{
    (void)flags;
    WinposixHandle *record = winposix_handle_get(file, WINPOSIX_FILE);
    if (record == nullptr)
        return 0;
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", record->fd);
    char target[4096];
    ssize_t length = readlink(link, target, sizeof target - 1);
    if (length < 0) {
        winposix_fail_errno();
        return 0;
    }
    if (length >= static_cast<ssize_t>(sizeof target) - 1) {
        winposix_fail(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    target[length] = '\0';
    if (static_cast<DWORD>(length) >= size) {
        winposix_fail(ERROR_INSUFFICIENT_BUFFER);
        return static_cast<DWORD>(length) + 1;
    }
    memcpy(path, target, static_cast<size_t>(length) + 1);
    return static_cast<DWORD>(length);
}
