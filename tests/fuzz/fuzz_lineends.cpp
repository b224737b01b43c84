// Feeds arbitrary bytes to the fast passes, whole and through windows of a
// size the first byte picks, and to the byte-at-a-time pair reader, and
// stops at the first difference.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "lineends.h"
#include "linewindow.h"
#include "pair_reader.h"

// The input converted window by window, each window in a buffer of just the
// room the converting pass asks for.
static std::string through_windows(const uint8_t *data, size_t size, size_t window)
{
    std::string output;
    LineWindow state;
    linewindow_start(&state);
    size_t at = 0;
    do {
        size_t length = size - at < window ? size - at : window;
        std::vector<unsigned char> room(LINEWINDOW_FRONT + 2 * (length + LINEWINDOW_FRONT) + 2);
        if (length > 0)
            memcpy(room.data() + LINEWINDOW_FRONT, data + at, length);
        size_t count = 0;
        unsigned char *out =
            linewindow_convert(&state, room.data() + LINEWINDOW_FRONT, length, at + length == size, &count);
        output.append(reinterpret_cast<const char *>(out), count);
        at += length;
    } while (at < size);
    return output;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    PairReaderResult want = pair_reader_convert(input);
    int64_t growth = lineends_growth(data, size);
    if (growth != want.growth)
        abort();
    // Exactly the final size, so that the sanitizer sees a write past it.
    size_t total = size + static_cast<size_t>(growth);
    unsigned char *buffer = static_cast<unsigned char *>(malloc(total > 0 ? total : 1));
    if (size > 0)
        memcpy(buffer, data, size);
    lineends_rewrite(buffer, size, static_cast<size_t>(growth));
    bool same = want.output.size() == total && memcmp(want.output.data(), buffer, total) == 0;
    free(buffer);
    if (!same)
        abort();
    size_t window = size > 0 ? 1 + data[0] % 100 : 1;
    if (through_windows(data, size, window) != want.output)
        abort();
    return 0;
}
