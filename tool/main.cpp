// dravick PATH: normalises the line endings of one file, or of every "txt"
// and "csc" file in a tree, to CR LF.
#include <stdio.h>
#include <string.h>

#include "dravick.h"

static ErrorRecord *run(const char *argument)
{
    char path[FS_MAX_PATH];
    if (strlen(argument) >= sizeof path)
        return err_win32_code(ERROR_FILENAME_EXCED_RANGE, "dravick", "%.48s...", argument);
    memcpy(path, argument, strlen(argument) + 1);

    // The path as the library will use it: one that does not fit is not
    // cut, and an empty one (from "" or a variable that is not set) would
    // be taken for the root's listing.
    char expanded[FS_MAX_PATH];
    ErrorRecord *error = fs_expand_path(path, expanded, sizeof expanded);
    if (error != NULL)
        return error;
    if (expanded[0] == '\0')
        return err_win32_code(ERROR_PATH_NOT_FOUND, "dravick", "%s", argument);

    FileInfo info;
    memset(&info, 0, sizeof info);
    fs_stat(path, &info);
    if (info.kind == FS_KIND_FILE)
        return convert_file(path, path, &info);
    return walk_tree(path, FS_MAX_PATH, "*.*");
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "Syntax: dravick [path]\r\n");
        return 0;
    }
    ErrorRecord *error = run(argv[1]);
    if (error != NULL)
        printf("%s\r\n", error->text);
    return 0;
}
