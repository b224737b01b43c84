// ReplaceFileA: the metadata the callers keep, then one rename.
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <errno.h>

#include "internal.h"

// Owner and group first: changing them clears setuid and setgid, which the
// mode set afterwards puts back.
static BOOL take_metadata(const char *from, const struct stat &st)
{
    if (chown(from, st.st_uid, st.st_gid) != 0 && errno != EPERM)
        return winposix_fail_errno();
    if (chmod(from, st.st_mode & 07777) != 0)
        return winposix_fail_errno();
    return TRUE;
}

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
    struct stat st;
    if (stat(to.c_str(), &st) != 0)
        return winposix_fail_errno();
    if (!S_ISREG(st.st_mode))
        return winposix_fail(ERROR_ACCESS_DENIED);
    if (!take_metadata(from.c_str(), st))
        return FALSE;
    if (rename(from.c_str(), to.c_str()) != 0)
        return winposix_fail_errno();
    return TRUE;
}
