// The tree walk: every "txt" and "csc" file below a directory, depth first
// in the listing's order. One path buffer serves the whole recursion: each
// level appends a backslash and an entry's name and cuts them off again.
#include <stdio.h>
#include <string.h>

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

// On POSIX a name may hold a backslash, which the platform takes for a
// separator; the listing keeps what follows the last one. When that is
// nothing, "." or "..", the joined path would not name the entry, and ".."
// would lead out of the tree. A name may also hold characters the path
// expansion reads: a quote would be dropped and angle brackets would open a
// token ("<%VAR%>.txt"), leading anywhere. Only the argument is expanded.
static bool names_itself(const char *name)
{
    return name[0] != '\0' && strcmp(name, ".") != 0 && strcmp(name, "..") != 0 &&
           strpbrk(name, "\"<>") == NULL;
}

// The walk follows no link and opens nothing but files: a link may lead out
// of the tree or back up it, and reading a FIFO or a device may wait for
// ever. Such an entry that the walk would have entered or converted is
// named on standard error.
static bool passed_by(const char *path, const FileInfo *entry)
{
    const char *why = NULL;
    if (entry->attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        why = "link not followed";
    else if (entry->attributes & FILE_ATTRIBUTE_DEVICE)
        why = "not a regular file, skipped";
    if (why == NULL)
        return false;
    if (entry->kind == FS_KIND_DIR || fs_ext_cmp(entry->name, "txt") == 0 ||
        fs_ext_cmp(entry->name, "csc") == 0)
        report_notice(path, why);
    return true;
}

static ErrorRecord *handle_entry(char *path, int path_size, const char *pattern,
                                 const FileInfo *entry)
{
    ErrorRecord *error = NULL;
    if (passed_by(path, entry))
        return NULL;
    if (entry->kind == FS_KIND_FILE) {
        if (fs_ext_cmp(entry->name, "txt") == 0)
            error = convert_file(path, path, entry);
        if (fs_ext_cmp(entry->name, "csc") == 0)
            error = convert_file(path, path, entry);
    } else if (entry->kind == FS_KIND_DIR) {
        error = walk_tree(path, path_size, pattern);
    }
    return error;
}

ErrorRecord *walk_tree(char *path, int path_size, const char *pattern)
{
    int end = static_cast<int>(strlen(path));
    DirListing *listing = NULL;
    ErrorRecord *error = fs_list_open(path, pattern, 0, &listing);
    if (error != NULL)
        return error;
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
        if (!names_itself(entry.name)) {
            report_error(err_win32_code(ERROR_INVALID_NAME, "walk_tree", "%s\\%s", path, entry.name));
            continue;
        }
        fs_strcat(path + end, path_size - end, entry.name);
        report_error(handle_entry(path, path_size, pattern, &entry));
        path[end] = '\0';
    }
    fs_list_close(&listing);
    return error;
}
