// Directory search: FindFirstFileA, FindNextFileA, FindClose. The last
// component of the search path is a wildcard pattern; each entry found costs
// one status look-up relative to the open directory, a symbolic link two.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

struct WinposixFind {
    DIR *dir;             // null once a single-entry search has given its entry
    std::string pattern;  // the last component of the search path
    int dots_given;       // "." and ".." come first: 0, 1 or 2 of them given
    bool ended;
};

// The status of an entry, following a symbolic link, and whether it is one;
// a dangling link is reported as the link itself. Only a link costs a
// second look-up.
static int look_up(int dirfd, const char *name, struct stat *st, bool *is_link)
{
    if (fstatat(dirfd, name, st, AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    *is_link = S_ISLNK(st->st_mode);
    if (*is_link) {
        struct stat target;
        if (fstatat(dirfd, name, &target, 0) == 0)
            *st = target;
    }
    return 0;
}

// A link is marked as Windows marks a symbolic link: the reparse-point
// attribute, the directory attribute when it leads to a directory, and the
// link's tag; its size and times are those of what it leads to.
static void fill(WIN32_FIND_DATAA *data, const char *name, const struct stat &st, bool is_link)
{
    memset(data, 0, sizeof *data);
    data->dwFileAttributes = winposix_attributes(st, name);
    if (is_link) {
        data->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        data->dwReserved0 = IO_REPARSE_TAG_SYMLINK;
    }
    data->ftCreationTime = winposix_filetime_from(winposix_creation_time(st));
    data->ftLastAccessTime = winposix_filetime_from(st.st_atim);
    data->ftLastWriteTime = winposix_filetime_from(st.st_mtim);
    uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    size_t len = strnlen(name, sizeof data->cFileName - 1);
    memcpy(data->cFileName, name, len);
    data->cFileName[len] = 0;
}

static bool is_dot_or_dotdot(const char *name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// The next matching entry: 1 found, 0 the end, -1 a failure (errno set).
static int next_entry(WinposixFind *find, WIN32_FIND_DATAA *data)
{
    int dirfd_ = dirfd(find->dir);
    struct stat st;
    bool is_link = false;
    while (find->dots_given < 2) {
        const char *name = find->dots_given++ == 0 ? "." : "..";
        if (winposix_wildcard_match(find->pattern.c_str(), name) &&
            look_up(dirfd_, name, &st, &is_link) == 0) {
            fill(data, name, st, is_link);
            return 1;
        }
    }
    for (;;) {
        errno = 0;
        struct dirent *entry = readdir(find->dir);
        if (!entry)
            return errno ? -1 : 0;
        if (is_dot_or_dotdot(entry->d_name) ||
            !winposix_wildcard_match(find->pattern.c_str(), entry->d_name))
            continue;
        if (look_up(dirfd_, entry->d_name, &st, &is_link) == 0) {
            fill(data, entry->d_name, st, is_link);
            return 1;
        }
        if (errno != ENOENT)
            return -1;
        // Removed since the directory was read: not an entry any more.
    }
}

static HANDLE fail_handle(DWORD code)
{
    winposix_fail(code);
    return INVALID_HANDLE_VALUE;
}

static HANDLE new_find_handle(WinposixFind *find)
{
    WinposixHandle *record = new WinposixHandle();
    record->kind = WINPOSIX_FIND;
    record->fd = -1;
    record->readable = false;
    record->writable = false;
    record->regular = false;
    record->find = find;
    return winposix_handle_add(record);
}

static void close_find(WinposixFind *find)
{
    if (find->dir)
        closedir(find->dir);
    delete find;
}

// A name without wildcards is looked up directly; only when it is not there
// as written does a scan look for it with letter case ignored.
static HANDLE find_exact(int dirfd_, const std::string &name, WIN32_FIND_DATAA *data)
{
    struct stat st;
    bool is_link = false;
    if (look_up(dirfd_, name.c_str(), &st, &is_link) != 0)
        return nullptr;
    fill(data, name.c_str(), st, is_link);
    close(dirfd_);
    WinposixFind *find = new WinposixFind{nullptr, name, 2, true};
    SetLastError(ERROR_SUCCESS);
    return new_find_handle(find);
}

static HANDLE find_by_scan(int dirfd_, const std::string &pattern, WIN32_FIND_DATAA *data)
{
    DIR *dir = fdopendir(dirfd_);
    if (!dir) {
        int err = errno;
        close(dirfd_);
        return fail_handle(winposix_error_from_errno(err));
    }
    WinposixFind *find = new WinposixFind{dir, pattern, 0, false};
    int found = next_entry(find, data);
    if (found <= 0) {
        DWORD code = found == 0 ? ERROR_FILE_NOT_FOUND : winposix_error_from_errno(errno);
        close_find(find);
        return fail_handle(code);
    }
    SetLastError(ERROR_SUCCESS);
    return new_find_handle(find);
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    if (!pattern || !data)
        return fail_handle(ERROR_INVALID_PARAMETER);
    std::string native = winposix_native_path(pattern);
    if (native.empty())
        return fail_handle(ERROR_PATH_NOT_FOUND);
    size_t slash = native.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : native.substr(0, slash);
    std::string mask = slash == std::string::npos ? native : native.substr(slash + 1);
    // A path that ends in a separator names no entry to find.
    if (mask.empty())
        return fail_handle(ERROR_FILE_NOT_FOUND);
    if (winposix_has_wildcards(dir.c_str()))
        return fail_handle(ERROR_INVALID_NAME);

    int held = AT_FDCWD;
    const char *below = winposix_beneath(dir.c_str(), &held);
    int dirfd_ = openat(held, below, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd_ < 0) {
        int err = errno;
        return fail_handle(err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                           : winposix_error_from_errno(err));
    }
    if (!winposix_has_wildcards(mask.c_str())) {
        HANDLE found = find_exact(dirfd_, mask, data);
        if (found)
            return found;
        if (errno != ENOENT) {
            int err = errno;
            close(dirfd_);
            return fail_handle(winposix_error_from_errno(err));
        }
    }
    return find_by_scan(dirfd_, mask, data);
}

BOOL FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA data)
{
    if (winposix_fault_due(WINPOSIX_CALL_FIND_NEXT))
        return FALSE;
    WinposixHandle *record = winposix_handle_get(handle, WINPOSIX_FIND);
    if (!record)
        return FALSE;
    if (!data)
        return winposix_fail(ERROR_INVALID_PARAMETER);
    WinposixFind *find = record->find;
    if (find->ended)
        return winposix_fail(ERROR_NO_MORE_FILES);
    int found = next_entry(find, data);
    if (found < 0)
        return winposix_fail_errno();
    if (found == 0) {
        find->ended = true;
        return winposix_fail(ERROR_NO_MORE_FILES);
    }
    return TRUE;
}

BOOL FindClose(HANDLE handle)
{
    WinposixHandle *record = winposix_handle_get(handle, WINPOSIX_FIND);
    if (!record)
        return FALSE;
    winposix_handle_remove(record);
    close_find(record->find);
    delete record;
    return TRUE;
}
