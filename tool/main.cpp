// dravick PATH: normalises the line endings of one file, or of every "txt"
// and "csc" file in a tree, to CR LF. dravick --check PATH says what that
// would do and does nothing.
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

    // Looked at as expanded already: fs_stat would expand it once more.
    FileInfo info;
    memset(&info, 0, sizeof info);
    fs_stat_raw(expanded, &info);
    if (info.kind == FS_KIND_FILE)
        return convert_file(path, path, &info);
    return walk_tree(path, FS_MAX_PATH, "*.*");
}

static const char kUsage[] = "Syntax: dravick [path]\r\n";

static void print_help(void)
{
    printf("%s", kUsage);
    printf("  dravick PATH          convert the file, or the txt and csc files below the folder\r\n");
    printf("  dravick --check PATH  print what converting PATH would print, change nothing\r\n");
    printf("  dravick --help        print this text\r\n");
    printf("  dravick --version     print the version\r\n");
}

// The flags are these exact words, and only in the first argument; "--"
// right before the path ends them, so that any name can be given.
int main(int argc, char **argv)
{
    int first = 1;
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        print_help();
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        printf("dravick %s\r\n", DRAVICK_VERSION);
        return 0;
    }
    if (argc > first && strcmp(argv[first], "--check") == 0) {
        run_state.check = true;
        first++;
    }
    if (argc == first + 2 && strcmp(argv[first], "--") == 0)
        first++;
    if (argc != first + 1) {
        report_usage(kUsage);
        return report_status();
    }
    report_error(run(argv[first]));
    return report_status();
}
