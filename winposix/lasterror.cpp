// The thread's last-error code and its translation from errno: the one
// table through which every failure of the layer passes.
#include <errno.h>

#include "internal.h"

static thread_local DWORD last_error;

DWORD GetLastError(void) { return last_error; }

void SetLastError(DWORD code) { last_error = code; }

DWORD winposix_error_from_errno(int err)
{
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EBUSY: return ERROR_BUSY;
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EFBIG: return ERROR_FILE_TOO_LARGE;
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case EIO: return ERROR_IO_DEVICE;
    case ENOTSUP: return ERROR_NOT_SUPPORTED;
    default: return ERROR_INVALID_FUNCTION;
    }
}

BOOL winposix_fail_errno(void)
{
    last_error = winposix_error_from_errno(errno);
    return FALSE;
}

BOOL winposix_fail(DWORD code)
{
    last_error = code;
    return FALSE;
}
