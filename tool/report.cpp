// What the run prints: the change lines and error texts on standard output,
// the notices of entries passed by on standard error, and the exit status
// that sums them up.
//
// Each line on standard output is written out before the run goes on, so
// that the report names every file replaced, in order, however the run
// ends: redirected, the stream would otherwise hold lines back in its
// buffer, and an interrupt would drop them. A line is never cut by an
// interrupt, and a report that cannot be written ends the run: files
// replaced from then on would be named nowhere. An error or a notice
// settles the files waiting for their replace first (batch.h), so that
// every line keeps its place in the walk's order.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "batch.h"
#include "dravick.h"
#include "interrupts.h"
#include "native.h"
#include "shown.h"

RunState run_state;

static void put_name(FILE *stream, const char *name)
{
    shown_write(stream, name, strlen(name));
}

static void put_path(FILE *stream, const char *path, size_t length)
{
    shown_write_path(stream, path, length);
}

// A text of the system's, whose own line breaks are CR LF, with the
// platform's line ends.
static void put_text(FILE *stream, const char *text, size_t length)
{
    size_t start = 0;
    for (size_t i = 0; i + 1 < length; i++) {
        if (text[i] != '\r' || text[i + 1] != '\n')
            continue;
        fwrite(text + start, 1, i - start, stream);
        fputs(native_line_end, stream);
        start = i + 2;
        i++;
    }
    fwrite(text + start, 1, length - start, stream);
}

static void end_line(void)
{
    fputs(native_line_end, stdout);
    if (fflush(stdout) == 0 && !ferror(stdout))
        return;
    fprintf(stderr, "standard output: cannot be written, run stopped%s", native_line_end);
    batch_abandon();
    exit(2);
}

void report_change(const char *path, int64_t growth)
{
    interrupts_hold();
    put_path(stdout, path, strlen(path));
    printf(" change in size %d", static_cast<int>(growth));
    end_line();
    run_state.changes++;
    interrupts_release();
}

// Where the part of an error text that names things begins: at the
// "(call) (code)" that follows the system's message. The message is printed
// as it is, line break included; what follows may hold a name. Without
// that suffix the whole text is treated as naming things.
static size_t details_start(const ErrorRecord *error)
{
    char code[16];
    int code_length = snprintf(code, sizeof code, ") (%d)", static_cast<int>(error->code));
    const char *text = error->text;
    for (const char *open = strchr(text, '('); open != NULL; open = strchr(open + 1, '(')) {
        const char *name_end = open + 1 + strspn(open + 1, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_");
        if (name_end > open + 1 && strncmp(name_end, code, static_cast<size_t>(code_length)) == 0)
            return static_cast<size_t>(open - text);
    }
    return 0;
}

void report_error(const ErrorRecord *record)
{
    if (record == NULL)
        return;
    // A copy: settling may fill the library's records anew.
    ErrorRecord copy = *record;
    const ErrorRecord *error = &copy;
    batch_settle();
    interrupts_hold();
    size_t start = details_start(error);
    put_text(stdout, error->text, start);
    put_path(stdout, error->text + start, strlen(error->text + start));
    end_line();
    run_state.errors++;
    interrupts_release();
}

void report_notice(const char *path, const char *why)
{
    batch_settle();
    put_path(stderr, path, strlen(path));
    fprintf(stderr, ": %s%s", why, native_line_end);
}

// The name as it is on disk: it may hold a backslash, which is not a
// separator in it.
void report_passed_by(const char *directory, const char *name, const char *why)
{
    batch_settle();
    put_path(stderr, directory, strlen(directory));
    fputs(native_join(directory), stderr);
    put_name(stderr, name);
    fprintf(stderr, ": %s%s", why, native_line_end);
}

void report_usage(const char *usage)
{
    fprintf(stderr, "%s%s", usage, native_line_end);
    run_state.errors++;
}

int report_status(void)
{
    if (run_state.errors > 0)
        return 2;
    return run_state.check && run_state.changes > 0 ? 1 : 0;
}
