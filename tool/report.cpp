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
#include "shown.h"

RunState run_state;

static void put_name(FILE *stream, const char *name)
{
    shown_write(stream, name, strlen(name));
}

static void end_line(void)
{
    fputs("\r\n", stdout);
    if (fflush(stdout) == 0 && !ferror(stdout))
        return;
    fputs("standard output: cannot be written, run stopped\r\n", stderr);
    batch_abandon();
    exit(2);
}

void report_change(const char *path, int64_t growth)
{
    interrupts_hold();
    put_name(stdout, path);
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
    fwrite(error->text, 1, start, stdout);
    put_name(stdout, error->text + start);
    end_line();
    run_state.errors++;
    interrupts_release();
}

void report_notice(const char *path, const char *why)
{
    batch_settle();
    put_name(stderr, path);
    fprintf(stderr, ": %s\r\n", why);
}

void report_usage(const char *usage)
{
    fputs(usage, stderr);
    run_state.errors++;
}

int report_status(void)
{
    if (run_state.errors > 0)
        return 2;
    return run_state.check && run_state.changes > 0 ? 1 : 0;
}
