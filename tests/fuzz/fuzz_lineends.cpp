// Feeds arbitrary bytes to the passes (every build of them this processor
// can run, the SSE2 one and the plain loop, counted and copied), whole and
// through windows of a size the first byte
// picks, and to the byte-at-a-time pair reader; and the same bytes as
// UTF-16 in either byte order through windows, against the reader's
// conversion in units. Stops at the first difference.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "lineends.h"
#include "lineends_variants.h"
#include "linewindow.h"
#include "pair_reader.h"

// The input counted and converted window by window in a form, each window
// in a buffer of just itself and the room in front of it, into one of just
// the room the converting pass asks for.
struct Windowed {
    PairReaderResult result;
    bool nul;  // the count found a zero byte
};

static Windowed through_windows(const uint8_t *data, size_t size, size_t window, LineForm form)
{
    Windowed got = {{std::string(), 0}, false};
    LineWindow counting, converting;
    linewindow_start(&counting, form);
    linewindow_start(&converting, form);
    size_t at = 0;
    do {
        size_t length = size - at < window ? size - at : window;
        bool last = at + length == size;
        std::vector<unsigned char> room(LINEWINDOW_FRONT + length);
        std::vector<unsigned char> out(linewindow_out_room(length));
        if (length > 0)
            memcpy(room.data() + LINEWINDOW_FRONT, data + at, length);
        got.result.growth += linewindow_growth(&counting, room.data() + LINEWINDOW_FRONT, length, last);
        if (length > 0)
            memcpy(room.data() + LINEWINDOW_FRONT, data + at, length);
        size_t count = linewindow_convert(&converting, room.data() + LINEWINDOW_FRONT, length, last, out.data());
        got.result.output.append(reinterpret_cast<const char *>(out.data()), count);
        at += length;
    } while (at < size);
    got.nul = counting.nul;
    return got;
}

static bool same_result(const PairReaderResult &got, const PairReaderResult &want)
{
    return got.growth == want.growth && got.output == want.output;
}

// One build of the passes, counted and copied, against the reference; the count also says whether a zero byte is there.
static bool same_as_reference(const LineendsVariant *variant, const uint8_t *data, size_t size,
                              const PairReaderResult &want)
{
    bool nul = false;
    int64_t growth = lineends_count_with(variant, data, size, true, &nul);
    if (growth != want.growth || nul != (memchr(data, 0, size) != NULL))
        return false;
    std::vector<unsigned char> out(2 * size + 2);
    size_t count = lineends_convert_with(variant, data, size, true, out.data());
    return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(count)) == want.output;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    PairReaderResult want = pair_reader_convert(input);
    int count = 0;
    const LineendsVariant *const *variants = lineends_variants(&count);
    for (int i = 0; i < count; i++) {
        if (!same_as_reference(variants[i], data, size, want))
            abort();
    }
    size_t window = size > 0 ? 1 + data[0] % 100 : 1;
    Windowed bytes = through_windows(data, size, window, LINES_BYTES);
    if (!same_result(bytes.result, want) || bytes.nul != (memchr(data, 0, size) != NULL))
        abort();
    // The same bytes, less an odd last one, as UTF-16 in either order.
    size_t even = size - size % 2;
    std::string units = input.substr(0, even);
    for (bool little : {true, false}) {
        Windowed got = through_windows(data, even, window, little ? LINES_UTF16LE : LINES_UTF16BE);
        if (!same_result(got.result, pair_reader_convert_utf16(units, little)))
            abort();
    }
    return 0;
}
