// Windows paths in POSIX form, and the path-related error codes.
#include <errno.h>
#include <limits.h>
#include <string.h>
#include <sys/stat.h>

#include "internal.h"

bool winposix_is_separator(char c) { return c == '\\' || c == '/'; }

std::string winposix_native_path(const char *path)
{
    std::string native = path ? path : "";
    for (char &c : native)
        if (c == '\\')
            c = '/';
    return native;
}

bool winposix_native_path_buf(const char *path, char *out, size_t size)
{
    size_t len = path ? strlen(path) : 0;
    if (len >= size)
        return false;
    for (size_t i = 0; i < len; i++)
        out[i] = path[i] == '\\' ? '/' : path[i];
    out[len] = 0;
    return true;
}

bool winposix_has_wildcards(const char *path)
{
    return path && strpbrk(path, "*?") != nullptr;
}

bool winposix_ends_in_separator(const char *path)
{
    size_t len = path ? strlen(path) : 0;
    return len > 0 && winposix_is_separator(path[len - 1]);
}

static size_t length_without_trailing_slashes(const char *native)
{
    size_t len = strlen(native);
    while (len > 1 && native[len - 1] == '/')
        len--;
    return len;
}

const char *winposix_last_component(const char *native)
{
    size_t len = length_without_trailing_slashes(native);
    while (len > 0 && native[len - 1] != '/')
        len--;
    return native + len;
}

DWORD winposix_missing_code(const char *native)
{
    size_t len = length_without_trailing_slashes(native);
    if (len == 0)
        return ERROR_PATH_NOT_FOUND;
    while (len > 0 && native[len - 1] != '/')
        len--;
    if (len == 0)
        return ERROR_FILE_NOT_FOUND;  // a bare name: its directory is the current one
    char parent[PATH_MAX];
    if (len >= sizeof parent)
        return ERROR_PATH_NOT_FOUND;
    memcpy(parent, native, len);
    parent[len] = 0;
    struct stat st;
    if (stat(parent, &st) != 0 || !S_ISDIR(st.st_mode))
        return ERROR_PATH_NOT_FOUND;
    return ERROR_FILE_NOT_FOUND;
}

BOOL winposix_fail_path(const char *native)
{
    if (errno == ENOENT)
        return winposix_fail(winposix_missing_code(native));
    return winposix_fail_errno();
}
