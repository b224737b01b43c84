// The tree walk: every "txt" and "csc" file below a directory, depth first
// in the listing's order. One path buffer serves the whole recursion: each
// level appends a backslash and an entry's name and cuts them off again.
#include <stdio.h>
#include <string.h>

#include "batch.h"
#include "dravick.h"

// The error for an entry whose joined path does not fit the buffer; the
// directory is shortened to its end so that the entry's name stays readable.
static ErrorRecord *too_long(const char *directory, const char *name)
{
    size_t length = strlen(directory);
    if (length + strlen(name) <= 120)
        return err_win32_code(ERROR_FILENAME_EXCED_RANGE, "walk_tree", "%s\\%s", directory, name);
    const char *tail = length > 60 ? directory + length - 60 : directory;
    return err_win32_code(ERROR_FILENAME_EXCED_RANGE, "walk_tree", "...%s\\%.60s...", tail, name);
}

// A name may hold characters the path expansion reads: a quote would be
// dropped and angle brackets would open a token ("<%VAR%>.txt"), leading
// anywhere. Only the argument is expanded. An empty name, "." and ".."
// would not name the entry, and ".." would lead out of the tree.
static bool names_itself(const char *name)
{
    return name[0] != '\0' && strcmp(name, ".") != 0 && strcmp(name, "..") != 0 &&
           strpbrk(name, "\"<>") == NULL;
}

// The walk would act on this entry: a directory, or a "txt" or "csc" file.
static bool of_interest(const FileInfo *entry)
{
    return entry->kind == FS_KIND_DIR || fs_ext_cmp(entry->name, "txt") == 0 ||
           fs_ext_cmp(entry->name, "csc") == 0;
}

// Such an entry passed by is named on standard error, as it is on disk.
static void pass_by(const char *directory, const char *name, const char *why)
{
    char path[2 * FS_MAX_PATH];
    snprintf(path, sizeof path, "%s\\%s", directory, name);
    report_notice(path, why);
}

// On POSIX a name may hold a backslash, which every path the library takes
// reads as a separator: joined, the name would lead to another entry.
static bool carried_intact(const char *name)
{
    return strpbrk(name, "\\/") == NULL;
}

// The walk follows no link and opens nothing but files: a link may lead out
// of the tree or back up it, and reading a FIFO or a device may wait for
// ever. Such an entry that the walk would have entered or converted is
// named on standard error.
static bool passed_by(const char *directory, const FileInfo *entry)
{
    const char *why = NULL;
    if (entry->attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        why = "link not followed";
    else if (entry->attributes & FILE_ATTRIBUTE_DEVICE)
        why = "not a regular file, skipped";
    else if (!carried_intact(entry->name))
        why = "name holds a path separator, skipped";
    if (why == NULL)
        return false;
    if (of_interest(entry))
        pass_by(directory, entry->name, why);
    return true;
}

// Opens the directory at `path` and holds it while the walk is inside it,
// sharing reading and writing but not deletion: on Windows it can then be
// neither renamed nor removed, and the POSIX layer resolves every path
// through it beneath the directory opened. With FILE_FLAG_OPEN_REPARSE_POINT
// a link is opened itself, and *link set.
static ErrorRecord *hold_directory(const char *path, DWORD flags, HANDLE *handle, bool *link)
{
    char expanded[FS_MAX_PATH];
    ErrorRecord *error = fs_expand_path(path, expanded, sizeof expanded);
    if (error != NULL)
        return error;
    error = w32_CreateFile(expanded, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, NULL, handle);
    if (error != NULL)
        return error;
    BY_HANDLE_FILE_INFORMATION seen;
    error = w32_GetFileInformationByHandle(*handle, &seen, path);
    *link = error == NULL && (seen.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (error == NULL && !*link && !(seen.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        error = err_win32_code(ERROR_DIRECTORY, "CreateFile", "%s", path);
    if (error != NULL)
        return fs_close_named(*handle, error, path);
    return NULL;
}

// A directory that cannot be held is reported as its listing reports it,
// which says best why (a missing directory, a search the system refuses);
// should it list after all, it is held again.
static ErrorRecord *hold_or_say_why(const char *path, const char *pattern, DWORD flags, HANDLE *held,
                                    bool *link)
{
    if (hold_directory(path, flags, held, link) == NULL)
        return NULL;
    DirListing *listing = NULL;
    ErrorRecord *error = fs_list_open(path, pattern, 0, &listing);
    if (error != NULL)
        return error;
    fs_list_close(&listing);
    return hold_directory(path, flags, held, link);
}

static ErrorRecord *walk_held(char *path, int path_size, const char *pattern, HANDLE held);

// A listed subdirectory is entered only as what was listed: a directory,
// not a link put in its place since.
static ErrorRecord *enter(char *path, int path_size, const char *pattern, int end)
{
    HANDLE held;
    bool link = false;
    ErrorRecord *error = hold_or_say_why(path, pattern, FILE_FLAG_OPEN_REPARSE_POINT, &held, &link);
    if (error != NULL)
        return error;
    if (!link)
        return walk_held(path, path_size, pattern, held);
    path[end] = '\0';
    pass_by(path, path + end + 1, "link not followed");
    return fs_close_named(held, NULL, path);
}

static ErrorRecord *handle_entry(char *path, int path_size, const char *pattern, int end,
                                 const FileInfo *entry)
{
    ErrorRecord *error = NULL;
    if (entry->kind == FS_KIND_FILE) {
        if (fs_ext_cmp(entry->name, "txt") == 0)
            error = convert_listed(path, entry);
        if (fs_ext_cmp(entry->name, "csc") == 0)
            error = convert_listed(path, entry);
    } else if (entry->kind == FS_KIND_DIR) {
        error = enter(path, path_size, pattern, end);
    }
    return error;
}

static ErrorRecord *walk_held(char *path, int path_size, const char *pattern, HANDLE held)
{
    int end = static_cast<int>(strlen(path));
    DirListing *listing = NULL;
    ErrorRecord *error = fs_list_open(path, pattern, 0, &listing);
    if (error != NULL)
        return fs_close_named(held, error, path);
    FileInfo entry;
    for (;;) {
        int at_end = 0;
        error = fs_list_next(listing, &entry, &at_end);
        if (error != NULL || at_end)
            break;
        if (end + 1 + static_cast<int>(strlen(entry.name)) >= path_size) {
            report_error(too_long(path, entry.name));
            continue;
        }
        if (passed_by(path, &entry))
            continue;
        if (!names_itself(entry.name)) {
            report_error(err_win32_code(ERROR_INVALID_NAME, "walk_tree", "%s\\%s", path, entry.name));
            continue;
        }
        fs_strcat(path + end, path_size - end, entry.name);
        report_error(handle_entry(path, path_size, pattern, end, &entry));
        path[end] = '\0';
    }
    fs_list_close(&listing);
    return batch_close_directory(held, error, path);
}

// The argument's own links are followed, once.
ErrorRecord *walk_tree(char *path, int path_size, const char *pattern)
{
    HANDLE held;
    bool link = false;
    ErrorRecord *error = hold_or_say_why(path, pattern, 0, &held, &link);
    if (error == NULL)
        error = walk_held(path, path_size, pattern, held);
    // The walk's last files are replaced before it returns; an error to
    // print settles them itself, before it is printed.
    if (error == NULL)
        batch_settle();
    return error;
}
