// Names as the tool shows them. A name on POSIX may hold any byte but '/'
// and zero: a line break in it would forge a line of the report, an escape
// sequence would act on the terminal. Control bytes (below 32, and 127)
// are shown as '?', as terminal listings do. Where names are UTF-8, a C1
// control (U+0080 to U+009F; U+009B is read as an escape sequence's start)
// and each byte that is not part of valid UTF-8 are shown as '?' too.
#ifndef DRAVICK_SHOWN_H
#define DRAVICK_SHOWN_H

#include <stddef.h>
#include <stdio.h>

// Writes `length` bytes of `text` to `stream`, each character that could
// act on the terminal as '?'.
void shown_write(FILE *stream, const char *text, size_t length);

// The same for a path the library takes: each separator is shown as the
// platform's own (on POSIX a backslash as '/').
void shown_write_path(FILE *stream, const char *text, size_t length);

#endif
