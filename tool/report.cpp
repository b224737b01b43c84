// What the run prints on standard output, counted for a check run's exit
// status.
#include <stdio.h>

#include "dravick.h"

RunState run_state;

void report_change(const char *path, int64_t growth)
{
    printf("%s change in size %d\r\n", path, static_cast<int>(growth));
    run_state.changes++;
}

void report_error(const ErrorRecord *error)
{
    if (error == NULL)
        return;
    printf("%s\r\n", error->text);
    run_state.errors++;
}
