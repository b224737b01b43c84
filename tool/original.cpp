// The original file: opened once, checked against the caller's look, and
// then the one source of what is read and of the metadata the new file
// takes. Every further look opens it again and compares its identity.
#include <stdio.h>
#include <string.h>

#include "dravick.h"
#include "writeback.h"

static const DWORD kShare = FILE_SHARE_READ | FILE_SHARE_DELETE;
static const int64_t kMaxRecordTime = (1LL << 40) - 1;

ErrorRecord *original_changed(const char *path)
{
    return err_win32_code(ERROR_SHARING_VIOLATION, "GetFileInformationByHandle", "%s", path);
}

static bool same_file(const BY_HANDLE_FILE_INFORMATION &a, const BY_HANDLE_FILE_INFORMATION &b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow && a.nFileSizeHigh == b.nFileSizeHigh &&
           a.nFileSizeLow == b.nFileSizeLow &&
           a.ftLastWriteTime.dwLowDateTime == b.ftLastWriteTime.dwLowDateTime &&
           a.ftLastWriteTime.dwHighDateTime == b.ftLastWriteTime.dwHighDateTime;
}

// The time as the record keeps it: one past its 40 bits is held as the
// latest it can hold, which must not be taken for a change.
static int64_t recorded(FILETIME time)
{
    int64_t value = fs_time_from_filetime(time);
    return value < 0 ? 0 : value > kMaxRecordTime ? kMaxRecordTime : value;
}

// Whether the file opened is the one the caller looked at: the size and,
// to the 10 ms the record keeps, the last-write time.
static bool as_looked(const BY_HANDLE_FILE_INFORMATION &seen, const FileInfo *info)
{
    int64_t time = 0;
    if (seen.nFileSizeHigh != 0 || seen.nFileSizeLow != info->size)
        return false;
    return !fs_stamp_get(info, &time) || recorded(seen.ftLastWriteTime) == time;
}

// What an open must find: the caller's look, or the very file seen before.
struct Expected {
    const FileInfo *info;
    const BY_HANDLE_FILE_INFORMATION *seen;
};

// What an opened file must be: a link is told (*link) for the caller to
// refuse or follow; else a regular file as expected.
static ErrorRecord *judge(const BY_HANDLE_FILE_INFORMATION &now, const Expected &expected, const char *path,
                          bool *link)
{
    *link = (now.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (*link)
        return NULL;
    if (now.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return err_win32_code(ERROR_ACCESS_DENIED, "CreateFile", "%s", path);
    if (expected.info != NULL && !as_looked(now, expected.info))
        return original_changed(path);
    if (expected.seen != NULL && !same_file(*expected.seen, now))
        return original_changed(path);
    return NULL;
}

// The one open-and-compare: opens `path` without following a link in its
// last component and checks what it finds. A link comes back as such
// (*link set, the handle open) for the caller to refuse or follow.
static ErrorRecord *open_checked(const char *path, DWORD access, DWORD share, const Expected &expected,
                                 HANDLE *handle, BY_HANDLE_FILE_INFORMATION *now, bool *link)
{
    ErrorRecord *error = w32_CreateFile(path, access, share, NULL, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL, handle);
    if (error != NULL)
        return error;
    error = w32_GetFileInformationByHandle(*handle, now, path);
    if (error == NULL)
        error = judge(*now, expected, path, link);
    if (error != NULL)
        return fs_close_named(*handle, error, path);
    return NULL;
}

// Opened for deletion where that is allowed, else for reading alone: a
// file that needs no change is not refused for what only its replace needs.
static ErrorRecord *open_original(const char *path, const Expected &expected, Original *original, bool *link)
{
    HANDLE handle;
    ErrorRecord *error = open_checked(path, GENERIC_READ | DELETE, kShare, expected, &handle,
                                      &original->seen, link);
    original->undeletable = error != NULL ? static_cast<DWORD>(error->code) : ERROR_SUCCESS;
    if (error != NULL)
        error = open_checked(path, GENERIC_READ, kShare, expected, &handle, &original->seen, link);
    if (error == NULL)
        original->handle = handle;
    return error;
}

// GetFinalPathNameByHandleA gives a long-path prefix on Windows.
static void strip_long_prefix(char *path)
{
    if (strncmp(path, "\\\\?\\UNC\\", 8) == 0)
        memmove(path + 2, path + 8, strlen(path + 8) + 1);
    else if (strncmp(path, "\\\\?\\", 4) == 0)
        memmove(path, path + 4, strlen(path + 4) + 1);
}

// Where a link the user named leads: the file there is the original, and
// it is replaced there, so that the link stays a link.
static ErrorRecord *target_of(const char *path, char *target)
{
    HANDLE handle;
    ErrorRecord *error = w32_CreateFile(path, FILE_READ_ATTRIBUTES, kShare | FILE_SHARE_WRITE, NULL,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL, &handle);
    if (error != NULL)
        return error;
    char final_path[FS_MAX_PATH + 8];
    if ((error = w32_GetFinalPathNameByHandle(handle, final_path, sizeof final_path, path)) == NULL) {
        strip_long_prefix(final_path);
        if (strlen(final_path) >= FS_MAX_PATH)
            error = err_win32_code(ERROR_FILENAME_EXCED_RANGE, "GetFinalPathNameByHandle", "%s", path);
        else
            memcpy(target, final_path, strlen(final_path) + 1);
    }
    return fs_close_named(handle, error, path);
}

// Room for a final path: longer than the paths the tool uses, so that a
// deep file reached by a short relative path is still placed.
static const DWORD kFinalRoom = 4 * FS_MAX_PATH;

// The path the system keeps for an open handle, without the long-path
// prefix; false where the system cannot tell (POSIX without /proc) or it
// does not fit.
static bool final_path_of(HANDLE handle, char *out)
{
    DWORD length = GetFinalPathNameByHandleA(handle, out, kFinalRoom, 0);
    if (length == 0 || length >= kFinalRoom)
        return false;
    strip_long_prefix(out);
    return true;
}

static bool is_separator(char c) { return c == '\\' || c == '/'; }

// Where the last name of `path` begins.
static const char *last_name(const char *path)
{
    const char *name = path;
    for (const char *c = path; *c != 0; c++)
        if (is_separator(*c))
            name = c + 1;
    return name;
}

// The same path, byte for byte, either separator standing for the other.
static bool same_path(const char *a, const char *b)
{
    for (; *a != 0 && *b != 0; a++, b++)
        if (*a != *b && !(is_separator(*a) && is_separator(*b)))
            return false;
    return *a == *b;
}

// Whether the file at `final_file` lies in the folder the user's `path`
// names, under the name it gives: the folder's own final path joined with
// that name. A link in the last name leads elsewhere; links in the folders
// above lead both alike. Where the folder's final path cannot be had, yes.
static bool lies_at(const char *path, const char *final_file)
{
    const char *name = last_name(path);
    char folder[FS_MAX_PATH];
    int length = static_cast<int>(name - path);
    if (length == 0) {
        const char *colon = strchr(path, ':');
        length = colon != NULL ? static_cast<int>(colon - path + 1) : 0;
        name = path + length;
    } else if (length > 1 && path[length - 2] != ':' && !is_separator(path[length - 2])) {
        length--;  // the separator, kept only after a drive or the root
    }
    snprintf(folder, sizeof folder, "%.*s", length, path);
    if (folder[0] == 0)
        snprintf(folder, sizeof folder, ".");
    HANDLE handle;
    if (w32_CreateFile(folder, FILE_READ_ATTRIBUTES, kShare | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, NULL, &handle) != NULL)
        return true;
    char joined[kFinalRoom + FS_MAX_PATH];
    bool known = final_path_of(handle, joined);
    CloseHandle(handle);
    if (!known)
        return true;
    size_t end = strlen(joined);
    snprintf(joined + end, sizeof joined - end, "%s%s", end > 0 && is_separator(joined[end - 1]) ? "" : "\\", name);
    return same_path(joined, final_file);
}

// A link the system does not mark as one (Wine shows a symbolic link to a
// file as a plain file) is told by where the file opened lies. A file the
// user named is then replaced where it lies, so that the link stays a link;
// a listed entry that lies elsewhere is refused as a link. Where the system
// cannot tell, the path is used as given.
static ErrorRecord *check_place(const char *path, LinkRule rule, Original *original)
{
    char final_file[kFinalRoom];
    if (!final_path_of(original->handle, final_file) || lies_at(original->path, final_file))
        return NULL;
    if (rule == LINK_REFUSED)
        return original_let_go(original, err_win32_code(ERROR_CANT_RESOLVE_FILENAME, "CreateFile", "%s", path));
    if (strlen(final_file) >= FS_MAX_PATH)
        return original_let_go(original, err_win32_code(ERROR_FILENAME_EXCED_RANGE, "GetFinalPathNameByHandle",
                                                        "%s", path));
    memcpy(original->path, final_file, strlen(final_file) + 1);
    return NULL;
}

// A bare name is given its folder, the current one: the replace and the
// temporary file beside it are then in the same, named folder (Wine's
// replace refuses a bare name).
static bool keep_path(const char *path, char *kept)
{
    const char *folder = strpbrk(path, "\\/:") == NULL ? ".\\" : "";
    int written = snprintf(kept, FS_MAX_PATH, "%s%s", folder, path);
    return written > 0 && written < FS_MAX_PATH;
}

ErrorRecord *original_open(const char *path, LinkRule rule, Original *original)
{
    original->handle = NULL;
    if (!keep_path(path, original->path))
        return err_win32_code(ERROR_FILENAME_EXCED_RANGE, "CreateFile", "%s", path);
    Expected expected = {NULL, NULL};
    bool link = false;
    ErrorRecord *error = open_original(path, expected, original, &link);
    if (error == NULL && !link)
        return check_place(path, rule, original);
    if (error != NULL)
        return error;
    error = original_let_go(original, NULL);
    if (error == NULL && rule == LINK_REFUSED)
        error = err_win32_code(ERROR_CANT_RESOLVE_FILENAME, "CreateFile", "%s", path);
    if (error == NULL)
        error = target_of(path, original->path);
    if (error == NULL)
        error = open_original(original->path, expected, original, &link);
    // A link to a link: the target named itself is a link again, swapped in.
    if (error == NULL && link)
        error = original_let_go(original, original_changed(original->path));
    return error;
}

ErrorRecord *original_reopen(const Original *original, DWORD access, DWORD share, HANDLE *handle)
{
    Expected expected = {NULL, &original->seen};
    BY_HANDLE_FILE_INFORMATION now;
    bool link = false;
    ErrorRecord *error = open_checked(original->path, access, share, expected, handle, &now, &link);
    if (error == NULL && link)
        error = fs_close_named(*handle, original_changed(original->path), original->path);
    return error;
}

ErrorRecord *original_unchanged(const Original *original)
{
    HANDLE handle;
    ErrorRecord *error = original_reopen(original, FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &handle);
    return error != NULL ? error : fs_close_named(handle, NULL, original->path);
}

// A length of 2 GiB or more, which the look's 32-bit size cannot hold and
// the conversion does not take, is refused as too large; another length
// than the look's as a changed file; another time as a sharing violation.
ErrorRecord *original_as_looked(const Original *original, const FileInfo *info)
{
    const BY_HANDLE_FILE_INFORMATION &seen = original->seen;
    if (seen.nFileSizeHigh != 0 || seen.nFileSizeLow > 0x7FFFFFFFu)
        return err_win32_code(ERROR_FILE_TOO_LARGE, "GetFileSize", "%s", original->path);
    if (seen.nFileSizeLow != info->size)
        return err_win32_code(FS_ERROR_FILE_CHANGED, "GetFileSize", "%s", original->path);
    if (!as_looked(seen, info))
        return original_changed(original->path);
    return NULL;
}

ErrorRecord *original_let_go(Original *original, ErrorRecord *earlier)
{
    if (original->handle == NULL)
        return earlier;
    HANDLE handle = original->handle;
    original->handle = NULL;
    return fs_close_named(handle, earlier, original->path);
}

void original_put_time(const Original *original, const FileInfo *info, HANDLE handle)
{
    if (fs_time_from_filetime(original->seen.ftLastWriteTime) > kMaxRecordTime)
        SetFileTime(handle, NULL, NULL, &original->seen.ftLastWriteTime);
    else
        fs_set_time_handle(handle, info);
}
