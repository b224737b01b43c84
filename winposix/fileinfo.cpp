// What an open file's handle tells about it, and setting its times.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>

#include "internal.h"

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info)
{
    WinposixHandle *record = winposix_handle_get(file, WINPOSIX_FILE);
    if (!record)
        return FALSE;
    if (!info)
        return winposix_fail(ERROR_INVALID_PARAMETER);
    struct stat st;
    if (fstat(record->fd, &st) != 0)
        return winposix_fail_errno();
    memset(info, 0, sizeof *info);
    info->dwFileAttributes = winposix_attributes(st, record->name.c_str());
    if (record->link)
        info->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    info->ftCreationTime = winposix_filetime_from(winposix_creation_time(st));
    info->ftLastAccessTime = winposix_filetime_from(st.st_atim);
    info->ftLastWriteTime = winposix_filetime_from(st.st_mtim);
    info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
    uint64_t size = static_cast<uint64_t>(st.st_size);
    info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info->nFileSizeLow = static_cast<DWORD>(size);
    info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    uint64_t index = static_cast<uint64_t>(st.st_ino);
    info->nFileIndexHigh = static_cast<DWORD>(index >> 32);
    info->nFileIndexLow = static_cast<DWORD>(index);
    return TRUE;
}

// Regular files and directories are disk files; a FIFO or socket is a pipe,
// a device node a character device.
DWORD GetFileType(HANDLE file)
{
    WinposixHandle *record = winposix_handle_get(file, WINPOSIX_FILE);
    if (!record)
        return FILE_TYPE_UNKNOWN;
    struct stat st;
    if (fstat(record->fd, &st) != 0) {
        winposix_fail_errno();
        return FILE_TYPE_UNKNOWN;
    }
    SetLastError(ERROR_SUCCESS);
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))
        return FILE_TYPE_DISK;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
        return FILE_TYPE_PIPE;
    return FILE_TYPE_CHAR;
}

// A time to set, or UTIME_OMIT for none: a null pointer, and the values 0
// and 0xFFFFFFFF:0xFFFFFFFF, which the system takes as "leave it".
static struct timespec time_to_set(const FILETIME *ft)
{
    bool leave = !ft || (ft->dwLowDateTime == 0 && ft->dwHighDateTime == 0) ||
                 (ft->dwLowDateTime == 0xFFFFFFFFu && ft->dwHighDateTime == 0xFFFFFFFFu);
    if (!leave)
        return winposix_timespec_from(*ft);
    struct timespec omit;
    omit.tv_sec = 0;
    omit.tv_nsec = UTIME_OMIT;
    return omit;
}

BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *access,
                 const FILETIME *write)
{
    // POSIX keeps no creation time to set.
    (void)creation;
    WinposixHandle *record = winposix_handle_get(file, WINPOSIX_FILE);
    if (!record)
        return FALSE;
    if (!record->writable)
        return winposix_fail(ERROR_ACCESS_DENIED);
    struct timespec times[2] = {time_to_set(access), time_to_set(write)};
    if (times[0].tv_nsec == UTIME_OMIT && times[1].tv_nsec == UTIME_OMIT)
        return TRUE;
    if (futimens(record->fd, times) != 0)
        return winposix_fail_errno();
    return TRUE;
}
