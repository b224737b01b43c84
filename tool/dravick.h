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

// Replaces the content of the file at `path` (already expanded) with
// `count` bytes and puts the last-write time recorded in `info` back. At
// every moment the path holds the whole old or the whole new content; on
// failure the old content is left as it was. In a check run it only looks
// at the file, returning the refusal a rewrite would meet where that can
// be known without writing; `data` is not read then. Interrupts are held
// (interrupts.h) from the moment the original is replaced or rewritten on:
// the caller releases them once the file's line is printed.
ErrorRecord *writeback_file(const char *path, const unsigned char *data, uint32_t count,
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
