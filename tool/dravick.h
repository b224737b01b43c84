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
// error. report_passed_by names an entry of the directory by its name as
// listed, which is not read as a path.
void report_notice(const char *path, const char *why);
void report_passed_by(const char *directory, const char *name, const char *why);

// The usage line, without its line end, on standard error; counted as an
// error.
void report_usage(const char *usage);

// The exit status for what was printed: 2 after an error text or the usage
// line, in a check run 1 when a file would change, else 0.
int report_status(void);

// Normalises the line endings of one file to CR LF in place. `info` is the
// caller's look at the file (its size and last-write time). Prints the
// change line once the file has been written back; returns the failure, or
// null. UTF-16 text (with its mark) is converted in its 16-bit units; a
// file that is not text (it holds a zero byte, or is UTF-32) is named on
// standard error and left alone, which is no failure. In a check run the
// file is read and looked at as for a rewrite, no more.
ErrorRecord *convert_file(const char *source, const char *destination, const FileInfo *info);

// The same for a file the walk listed in a directory it holds: the entry
// itself, never a link, and only while it is what the listing saw.
ErrorRecord *convert_listed(const char *path, const FileInfo *entry);

// Converts every "txt" and "csc" file below the directory in `path`, a
// buffer of `path_size` characters that the walk writes names into and
// restores. The directory is held open while the walk is inside it, and
// nothing below it is followed: a subdirectory is entered, and a file
// converted, only as the entry the listing saw, never through a link.
// Errors of single entries are printed where they happen; the error of
// this level's listing is returned.
ErrorRecord *walk_tree(char *path, int path_size, const char *pattern);

// Prints the formatted message and a line end on standard error and ends the
// process with status 1, or 2 after an error text or in a check run (where
// 1 means "would change").
[[noreturn]] void fatal(const char *format, ...);

#endif
