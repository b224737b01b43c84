// dravick PATH...: normalises the line endings of each file, or of every
// "txt" and "csc" file in each tree, to CR LF. dravick --check PATH... says
// what that would do and does nothing.
#include <stdio.h>
#include <string.h>

#include "dravick.h"
#include "native.h"

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

// The first line of --help, and what a command line without a path gets.
static const char kUsage[] = "Syntax: dravick [--check] [--] PATH...";

static void print_help(void)
{
    const char *lines[] = {
        kUsage,
        "  dravick PATH...          convert each file, or the txt and csc files below each folder",
        "  dravick --check PATH...  print what converting them would print, change nothing",
        "  dravick --help, -h       print this text",
        "  dravick --version, -V    print the version",
    };
    for (const char *line : lines)
        printf("%s%s", line, native_line_end);
}

static bool is_flag(const char *argument, const char *word, const char *letter)
{
    return strcmp(argument, word) == 0 || strcmp(argument, letter) == 0;
}

static int usage(void)
{
    report_usage(kUsage);
    return report_status();
}

// The flags are these exact words, and only at the start: --help and
// --version stand alone, --check comes before the paths, and "--" right
// after them ends them, so that any name can be given. Every other word is
// a path. Each path is taken in turn, as a run with it alone would take
// it, and the status is the worst of them.
int main(int argc, char **argv)
{
    bool help = argc > 1 && is_flag(argv[1], "--help", "-h");
    bool version = argc > 1 && is_flag(argv[1], "--version", "-V");
    if ((help || version) && argc > 2)
        return usage();
    if (help) {
        print_help();
        return 0;
    }
    if (version) {
        printf("dravick %s%s", DRAVICK_VERSION, native_line_end);
        return 0;
    }
    int first = 1;
    if (argc > first && strcmp(argv[first], "--check") == 0) {
        run_state.check = true;
        first++;
    }
    if (argc > first && strcmp(argv[first], "--") == 0)
        first++;
    if (argc == first)
        return usage();
    for (int i = first; i < argc; i++)
        report_error(run(argv[i]));
    return report_status();
}
