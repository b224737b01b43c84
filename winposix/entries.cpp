// Deleting, moving, creating and removing directory entries.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

static bool is_read_only_file(const struct stat &st)
{
    return S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR);
}

// Takes no memory from the heap: a console control routine may call it from
// a signal handler to remove a temporary file.
BOOL DeleteFileA(LPCSTR path)
{
    if (!path)
        return winposix_fail(ERROR_INVALID_PARAMETER);
    if (winposix_has_wildcards(path))
        return winposix_fail(ERROR_INVALID_NAME);
    char native[PATH_MAX];
    if (!winposix_native_path_buf(path, native, sizeof native))
        return winposix_fail(ERROR_FILENAME_EXCED_RANGE);
    int dirfd = AT_FDCWD;
    const char *name = winposix_beneath(native, &dirfd);
    struct stat st;
    if (fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return winposix_fail_path(native);
    if (S_ISDIR(st.st_mode) || is_read_only_file(st))
        return winposix_fail(ERROR_ACCESS_DENIED);
    // A file made from a template that will now replace nothing lets go of it.
    bool leased = false;
    winposix_release_kept(winposix_take_kept(st, &leased), leased);
    if (unlinkat(dirfd, name, 0) != 0)
        return winposix_fail_path(native);
    return TRUE;
}

// Renames unless the target exists; file systems without the no-replace
// rename get a look first.
static BOOL rename_no_replace(const char *from, const char *to)
{
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return TRUE;
    if (errno == EEXIST)
        return winposix_fail(ERROR_ALREADY_EXISTS);
    if (errno != EINVAL && errno != ENOSYS)
        return winposix_fail_path(to);
    struct stat st;
    if (lstat(to, &st) == 0)
        return winposix_fail(ERROR_ALREADY_EXISTS);
    if (rename(from, to) != 0)
        return winposix_fail_path(to);
    return TRUE;
}

// Replaces a file; the system never replaces a directory, a read-only file,
// or anything with a directory.
static BOOL rename_replace(const char *from, const struct stat &source, const char *to)
{
    struct stat target;
    if (lstat(to, &target) == 0 &&
        (S_ISDIR(target.st_mode) || S_ISDIR(source.st_mode) || is_read_only_file(target)))
        return winposix_fail(ERROR_ACCESS_DENIED);
    if (rename(from, to) != 0)
        return winposix_fail_path(to);
    return TRUE;
}

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags)
{
    if (winposix_fault_due(WINPOSIX_CALL_RENAME))
        return FALSE;
    if (!from || !to)
        return winposix_fail(ERROR_INVALID_PARAMETER);
    if (winposix_has_wildcards(from) || winposix_has_wildcards(to))
        return winposix_fail(ERROR_INVALID_NAME);
    std::string native_from = winposix_native_path(from);
    std::string native_to = winposix_native_path(to);
    struct stat source;
    if (lstat(native_from.c_str(), &source) != 0)
        return winposix_fail_path(native_from.c_str());
    if (native_from == native_to)
        return TRUE;
    if (flags & MOVEFILE_REPLACE_EXISTING)
        return rename_replace(native_from.c_str(), source, native_to.c_str());
    return rename_no_replace(native_from.c_str(), native_to.c_str());
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security)
{
    (void)security;
    if (!path)
        return winposix_fail(ERROR_INVALID_PARAMETER);
    if (winposix_has_wildcards(path))
        return winposix_fail(ERROR_INVALID_NAME);
    std::string native = winposix_native_path(path);
    if (mkdir(native.c_str(), 0777) == 0)
        return TRUE;
    if (errno == EEXIST)
        return winposix_fail(ERROR_ALREADY_EXISTS);
    if (errno == ENOENT || errno == ENOTDIR)
        return winposix_fail(ERROR_PATH_NOT_FOUND);
    return winposix_fail_errno();
}

BOOL RemoveDirectoryA(LPCSTR path)
{
    if (!path)
        return winposix_fail(ERROR_INVALID_PARAMETER);
    if (winposix_has_wildcards(path))
        return winposix_fail(ERROR_INVALID_NAME);
    std::string native = winposix_native_path(path);
    struct stat st;
    if (lstat(native.c_str(), &st) != 0)
        return winposix_fail_path(native.c_str());
    if (!S_ISDIR(st.st_mode))
        return winposix_fail(ERROR_DIRECTORY);
    if (!(st.st_mode & S_IWUSR))
        return winposix_fail(ERROR_ACCESS_DENIED);
    if (rmdir(native.c_str()) == 0)
        return TRUE;
    if (errno == ENOTEMPTY || errno == EEXIST)
        return winposix_fail(ERROR_DIR_NOT_EMPTY);
    return winposix_fail_path(native.c_str());
}
