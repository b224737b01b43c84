// The tool: command line, conversion of one file, tree walk.
#ifndef DRAVICK_DRAVICK_H
#define DRAVICK_DRAVICK_H

#include <stdint.h>

#include "fslib.h"

// What the run was asked to do and what it has printed; main sets it up.
// A check run takes every decision a conversion takes, prints the same
// lines, and writes, creates, renames and re-times nothing.
struct RunState {
    bool check;   // --check
    int changes;  // change lines printed
    int errors;   // error texts and usage lines printed
};
extern RunState run_state;

// Prints the change line for a file, or the text of an error (nothing for
// null), on standard output, and counts it. The line is written out at
// once; control bytes in names show as '?'.
void report_change(const char *path, int64_t growth);
void report_error(const ErrorRecord *error);

// "PATH: why" on standard error, for an entry the walk passes by; not an
// error.
void report_notice(const char *path, const char *why);

// The usage line on standard error; counted as an error.
void report_usage(const char *usage);

// The exit status for what was printed: 2 after an error text or the usage
// line, in a check run 1 when a file would change, else 0.
int report_status(void);

// Normalises the line endings of one file to CR LF in place. `info` is the
// caller's look at the file (its size and last-write time). Prints the
// change line once the file has been written back; returns the failure, or a
// record saying why the file was left alone (UTF-16 text), or null. In a
// check run the file is read and looked at as for a rewrite, no more.
ErrorRecord *convert_file(const char *source, const char *destination, const FileInfo *info);

// What the original of a file being written back is: the path after
// following symbolic links, its attributes, its number of hard links,
// whether it could be opened for deletion, which a replace needs, and what
// it was when it was looked at (size, last-write time, identity), to tell
// whether another program changed it meanwhile. The handle is open for
// reading, stays open until just before the replace and shares only
// reading and deletion, so that on Windows no other program can write to
// it meanwhile.
struct Original {
    char path[FS_MAX_PATH];
    BY_HANDLE_FILE_INFORMATION seen;
    bool deletable;
    HANDLE handle;
};

struct StreamContent;

// Opens the file at `path` (already expanded) and checks that it is still
// as the caller's look `info` found it (size and last-write time).
ErrorRecord *writeback_open(const char *path, const FileInfo *info, Original *original);

// Lets go of the original, reporting a failed close unless `earlier` is
// reported.
ErrorRecord *writeback_close(Original *original, ErrorRecord *earlier);

// Replaces the content of the original opened at `path` with the new
// content that `content` makes from it and puts the last-write time
// recorded in `info` back; lets go of the original. At every moment the path holds the whole old or the
// whole new content; on failure the old content is left as it was. In a
// check run it only looks at the file, returning the refusal a rewrite
// would meet where that can be known without writing; nothing is made then.
// Interrupts are held (interrupts.h) from the moment the original is
// replaced or rewritten on: the caller releases them once the file's line
// is printed.
ErrorRecord *writeback_file(const char *path, Original *original, const StreamContent *content,
                            const FileInfo *info);

// Converts every "txt" and "csc" file below the directory in `path`, a
// buffer of `path_size` characters that the walk writes names into and
// restores. Errors of single entries are printed where they happen; the
// error of this level's listing is returned.
ErrorRecord *walk_tree(char *path, int path_size, const char *pattern);

// Prints the formatted message and CR LF on standard error and ends the
// process with status 1 (2 in a check run, where 1 means "would change").
[[noreturn]] void fatal(const char *format, ...);

#endif
