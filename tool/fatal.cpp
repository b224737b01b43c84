#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "dravick.h"
#include "native.h"

void fatal(const char *format, ...)
{
    char message[512];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    fprintf(stderr, "%s%s", message, native_line_end);
    // 1 says only this; an error text printed before, or a check run (where
    // 1 means "would change"), ends with 2.
    exit(run_state.check || run_state.errors > 0 ? 2 : 1);
}
