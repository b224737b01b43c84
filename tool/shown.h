// Names as the tool shows them. A name on POSIX may hold any byte but '/'
// and zero: a line break in it would forge a line of the report, an escape
// sequence would act on the terminal. Control bytes (below 32, and 127)
// are shown as '?', as terminal listings do.
#ifndef DRAVICK_SHOWN_H
#define DRAVICK_SHOWN_H

#include <stddef.h>
#include <stdio.h>

// Writes `length` bytes of `text` to `stream`, each control byte as '?'.
void shown_write(FILE *stream, const char *text, size_t length);

#endif
