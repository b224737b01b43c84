// ReplaceFileA beneath held directories, as a compare-and-swap. The
// replacement was made from the replaced file as its template (its
// metadata travels with it, not from a look-up of the replaced path), so
// the layer knows which file must be under the name: the names are
// exchanged in one step, and what comes out must be that very file, not
// one another program saved over it meanwhile, and nobody may have opened
// it since it was read (its lease). Otherwise the names are exchanged back
// and the other program's file stays, with a sharing violation.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

namespace {

struct Side {
    int dir;
    const char *name;
};

bool same_file(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool exchange(const Side &a, const Side &b)
{
    return renameat2(a.dir, a.name, b.dir, b.name, RENAME_EXCHANGE) == 0;
}

// Whether the file that came out of the name is the one read, untouched by
// any other open since.
bool came_out_as_read(const Side &replacement, const struct stat &expected, int kept, bool leased)
{
    struct stat out;
    if (fstatat(replacement.dir, replacement.name, &out, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    return same_file(out, expected) && !(leased && winposix_lease_broken(kept));
}

// Where the file system has no exchange: one rename, after a last look.
// Between the two, another program's save can still be replaced.
BOOL rename_over(const Side &replacement, const Side &replaced, const struct stat *expected)
{
    struct stat now;
    if (expected != nullptr &&
        (fstatat(replaced.dir, replaced.name, &now, AT_SYMLINK_NOFOLLOW) != 0 || !same_file(now, *expected)))
        return winposix_fail(ERROR_SHARING_VIOLATION);
    if (renameat(replacement.dir, replacement.name, replaced.dir, replaced.name) != 0)
        return winposix_fail_errno();
    return TRUE;
}

// `now` is the look at the replaced name just taken.
BOOL swap_in(const Side &replacement, const Side &replaced, const struct stat &now, int kept, bool leased)
{
    struct stat expected;
    if (kept < 0)
        return rename_over(replacement, replaced, nullptr);
    if (fstat(kept, &expected) != 0)
        return winposix_fail_errno();
    if ((leased && winposix_lease_broken(kept)) || !same_file(now, expected))
        return winposix_fail(ERROR_SHARING_VIOLATION);
    if (!exchange(replacement, replaced)) {
        if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)
            return rename_over(replacement, replaced, &expected);
        return winposix_fail_errno();
    }
    if (!came_out_as_read(replacement, expected, kept, leased)) {
        exchange(replacement, replaced);
        return winposix_fail(ERROR_SHARING_VIOLATION);
    }
    // The old file, now under the replacement's name, goes; should that
    // fail, the name still holds the new content, which is what was asked.
    unlinkat(replacement.dir, replacement.name, 0);
    return TRUE;
}

}  // namespace

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
    Side target = {AT_FDCWD, nullptr}, source = {AT_FDCWD, nullptr};
    target.name = winposix_beneath(to.c_str(), &target.dir);
    source.name = winposix_beneath(from.c_str(), &source.dir);
    struct stat st, made;
    if (fstatat(source.dir, source.name, &made, AT_SYMLINK_NOFOLLOW) != 0)
        return winposix_fail_path(from.c_str());
    if (fstatat(target.dir, target.name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return winposix_fail_path(to.c_str());
    if (!S_ISREG(st.st_mode))
        return winposix_fail(ERROR_ACCESS_DENIED);
    bool leased = false;
    int kept = winposix_take_kept(made, &leased);
    BOOL done = swap_in(source, target, st, kept, leased);
    DWORD code = GetLastError();
    winposix_release_kept(kept, leased);
    if (!done)
        return winposix_fail(code);
    return TRUE;
}
