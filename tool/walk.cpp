// The tree walk: every "txt" and "csc" file below a directory, depth first
// in the listing's order. One path buffer serves the whole recursion: each
// level appends the platform's separator and an entry's name and cuts them
// off again.
//
// Its safety rests on the directories it holds open: on Windows a held
// folder cannot be renamed, and on POSIX the layer resolves every path
// through a held directory beneath its descriptor (winposix/held.cpp), so
// the joined paths lead where they led when the folder was listed.
#include <stdio.h>
#include <string.h>

#include "batch.h"
#include "dravick.h"
#include "native.h"

// The error for an entry whose joined path does not fit the buffer; the
// directory is shortened to its end so that the entry's name stays readable.
static ErrorRecord *too_long(const char *directory, const char *name)
{
    size_t length = strlen(directory);
    const char *join = native_join(directory);
    if (length + strlen(name) <= 120)
        return err_win32_code(ERROR_FILENAME_EXCED_RANGE, "walk_tree", "%s%s%s", directory, join, name);
    const char *tail = length > 60 ? directory + length - 60 : directory;
    return err_win32_code(ERROR_FILENAME_EXCED_RANGE, "walk_tree", "...%s%s%.60s...", tail, join, name);
}

// Why a name cannot be joined to its folder's path as it is, or null: the
// joined path would name another entry, or none. Every path the library
// takes reads a backslash as a separator, which a name on POSIX may hold;
// the path expansion drops a quote and reads angle brackets as a token
// ("<%VAR%>.txt" would lead anywhere: only the argument is expanded); '*'
// and '?' make it a search pattern, which the file calls refuse (on Windows
// the system gives '?' for a character of the name outside the code page).
// An empty name, "." and ".." (which the listing leaves out) would not name
// the entry, and ".." would lead out of the tree.
static const char *not_carried(const char *name)
{
    if (strpbrk(name, "\\/") != NULL)
        return "name holds a path separator, skipped";
    if (strpbrk(name, "\"<>") != NULL)
        return "name holds a quote or an angle bracket, skipped";
    if (strpbrk(name, "*?") != NULL)
        return "name holds a wildcard, skipped";
    if (name[0] == '\0' || strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
        return "name is not an entry's own, skipped";
    return NULL;
}

// The walk would act on this entry: a directory, or a "txt" or "csc" file.
static bool of_interest(const FileInfo *entry)
{
    return entry->kind == FS_KIND_DIR || fs_ext_cmp(entry->name, "txt") == 0 ||
           fs_ext_cmp(entry->name, "csc") == 0;
}

// The walk follows no link, opens nothing but files, and uses no name it
// cannot carry: a link may lead out of the tree or back up it, and reading
// a FIFO or a device may wait for ever. Such an entry that the walk would
// have entered or converted is named on standard error, as it is listed.
static bool passed_by(const char *directory, const FileInfo *entry)
{
    const char *why = NULL;
    if (entry->attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        why = "link not followed";
    else if (entry->attributes & FILE_ATTRIBUTE_DEVICE)
        why = "not a regular file, skipped";
    else
        why = not_carried(entry->name);
    if (why == NULL)
        return false;
    if (of_interest(entry))
        report_passed_by(directory, entry->name, why);
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
static ErrorRecord *enter(char *path, int path_size, const char *pattern, int end, const char *name)
{
    HANDLE held;
    bool link = false;
    ErrorRecord *error = hold_or_say_why(path, pattern, FILE_FLAG_OPEN_REPARSE_POINT, &held, &link);
    if (error != NULL)
        return error;
    if (!link)
        return walk_held(path, path_size, pattern, held);
    char joined = path[end];
    path[end] = '\0';
    report_passed_by(path, name, "link not followed");
    path[end] = joined;
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
        error = enter(path, path_size, pattern, end, entry->name);
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
        const char *join = native_join(path);
        int joined = end + static_cast<int>(strlen(join) + strlen(entry.name));
        if (joined >= path_size) {
            report_error(too_long(path, entry.name));
            continue;
        }
        if (passed_by(path, &entry))
            continue;
        snprintf(path + end, static_cast<size_t>(path_size - end), "%s%s", join, entry.name);
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
