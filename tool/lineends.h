// Line-ending normalisation of a file image held in memory, or of a file
// read part by part (see linewindow.h).
//
// The image is read as a sequence of steps: CR LF and LF CR pairs become
// CR LF, a lone LF becomes CR LF, a lone CR and every other byte stay, and
// when the last step is a single byte other than LF, CR LF follows it.
#ifndef DRAVICK_LINEENDS_H
#define DRAVICK_LINEENDS_H

#include <stddef.h>
#include <stdint.h>

// How many bytes the image grows by when it is rewritten, and whether a
// zero byte is among the bytes: *nul is set then, and left as it was
// otherwise (a file that holds one is not 8-bit text). With `last` false
// the bytes are a part of a file that more bytes follow: no CR LF is added
// after a last single byte. Such a part must end where a step ends whatever
// follows it, as lineends_part_end finds.
int64_t lineends_count(const unsigned char *data, size_t size, bool last, bool *nul);

// The rewrite, made into another buffer with no count first: writes the
// rewritten image of the `size` bytes at `data` to `out`, which has room
// for 2 * size + 2 bytes and does not overlap them, and returns its length.
// The _part form is for a part that more bytes follow, as above.
size_t lineends_convert(const unsigned char *data, size_t size, unsigned char *out);
size_t lineends_convert_part(const unsigned char *data, size_t size, unsigned char *out);

// How many of the `size` bytes at `data` make whole steps whatever bytes
// follow: all of them, or all but a last line break that begins a step,
// since the byte after it may be its partner.
size_t lineends_part_end(const unsigned char *data, size_t size);

#endif
