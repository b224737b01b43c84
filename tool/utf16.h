// Line breaks in UTF-16 text, which are 16-bit code units: the same steps
// as for bytes (lineends.h), read unit by unit in the byte order of the
// file's mark. Sizes and growths are in bytes; the units are read from
// the start of the bytes given, which hold a whole number of them.
#ifndef DRAVICK_UTF16_H
#define DRAVICK_UTF16_H

#include <stddef.h>
#include <stdint.h>

// The growth of the units at `data`; `last` says that they end the file,
// so that CR LF follows a last single unit other than LF.
int64_t utf16_growth(const unsigned char *data, size_t size, bool little_endian, bool last);

// Writes the units converted to `out`, which has room for 2 * size + 4
// bytes and does not overlap them; returns the bytes written.
size_t utf16_convert(const unsigned char *data, size_t size, bool little_endian, bool last, unsigned char *out);

// How many of the `size` bytes make whole steps whatever bytes follow: the
// whole units, less a last break that begins a step.
size_t utf16_part_end(const unsigned char *data, size_t size, bool little_endian);

#endif
