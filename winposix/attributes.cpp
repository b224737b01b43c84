// File attributes derived from POSIX status: directory, read-only (no owner
// write permission), hidden (a name that begins with '.'), archive (a file),
// device (a FIFO, socket or device node: Windows keeps none of these on disk,
// and its callers must not take them for files).
#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include "internal.h"

static bool is_dot_or_dotdot(const char *name)
{
    size_t len = strcspn(name, "/");
    return (len == 1 && name[0] == '.') || (len == 2 && name[0] == '.' && name[1] == '.');
}

DWORD winposix_attributes(const struct stat &st, const char *name)
{
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    if (S_ISDIR(st.st_mode))
        attributes = FILE_ATTRIBUTE_DIRECTORY;
    else if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || S_ISCHR(st.st_mode) ||
             S_ISBLK(st.st_mode))
        attributes = FILE_ATTRIBUTE_DEVICE;
    if (!(st.st_mode & S_IWUSR))
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (name[0] == '.' && !is_dot_or_dotdot(name))
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes;
}

// Checks a path argument and looks it up; false with the last error set.
static bool stat_path(LPCSTR path, const std::string &native, struct stat *st)
{
    if (!path)
        return winposix_fail(ERROR_INVALID_PARAMETER);
    if (winposix_has_wildcards(path))
        return winposix_fail(ERROR_INVALID_NAME);
    int dirfd = AT_FDCWD;
    const char *name = winposix_beneath(native.c_str(), &dirfd);
    if (fstatat(dirfd, name, st, 0) != 0)
        return winposix_fail_path(native.c_str());
    return true;
}

DWORD GetFileAttributesA(LPCSTR path)
{
    std::string native = winposix_native_path(path);
    struct stat st;
    if (!stat_path(path, native, &st))
        return INVALID_FILE_ATTRIBUTES;
    return winposix_attributes(st, winposix_last_component(native.c_str()));
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes)
{
    std::string native = winposix_native_path(path);
    struct stat st;
    if (!stat_path(path, native, &st))
        return FALSE;
    mode_t mode = st.st_mode & 07777;
    mode_t wanted = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~static_cast<mode_t>(0222))
                                                             : (mode | S_IWUSR);
    if (wanted != mode && chmod(native.c_str(), wanted) != 0)
        return winposix_fail_path(native.c_str());
    return TRUE;
}
