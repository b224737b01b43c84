// ReplaceFileA: one rename, beneath held directories. The metadata the
// callers keep travels with the replacement (its template), not from a
// look-up of the replaced path, which a link or a swapped entry could answer.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

BOOL ReplaceFileA(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID exclude,
                  LPVOID reserved)
{
    (void)flags;
    (void)exclude;
    (void)reserved;
    if (replaced == nullptr || replacement == nullptr || backup != nullptr)
        return winposix_fail(ERROR_INVALID_PARAMETER);
    if (winposix_fault_due(WINPOSIX_CALL_RENAME))
        return FALSE;
    std::string to = winposix_native_path(replaced);
    std::string from = winposix_native_path(replacement);
    int to_dir = AT_FDCWD, from_dir = AT_FDCWD;
    const char *to_name = winposix_beneath(to.c_str(), &to_dir);
    const char *from_name = winposix_beneath(from.c_str(), &from_dir);
    struct stat st;
    if (fstatat(to_dir, to_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return winposix_fail_errno();
    if (!S_ISREG(st.st_mode))
        return winposix_fail(ERROR_ACCESS_DENIED);
    if (renameat(from_dir, from_name, to_dir, to_name) != 0)
        return winposix_fail_errno();
    return TRUE;
}
