#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "dravick.h"

void fatal(const char *format, ...)
{
    char message[512];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    fprintf(stderr, "%s\r\n", message);
    exit(run_state.check ? 2 : 1);
}
