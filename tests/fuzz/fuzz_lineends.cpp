// Feeds arbitrary bytes to the passes (every build of them this processor
// can run, the SSE2 one and the plain loop, counted and copied, and the
// rewrite in place), whole and through windows of a size the first byte
// picks, and to the byte-at-a-time pair reader, and stops at the first
// difference.
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

// The input converted window by window, each window in a buffer of just
// itself and the room in front of it, into one of just the room the
// converting pass asks for.
static std::string through_windows(const uint8_t *data, size_t size, size_t window)
{
    std::string output;
    LineWindow state;
    linewindow_start(&state);
    size_t at = 0;
    do {
        size_t length = size - at < window ? size - at : window;
        std::vector<unsigned char> room(LINEWINDOW_FRONT + length);
        std::vector<unsigned char> out(linewindow_out_room(length));
        if (length > 0)
            memcpy(room.data() + LINEWINDOW_FRONT, data + at, length);
        size_t count =
            linewindow_convert(&state, room.data() + LINEWINDOW_FRONT, length, at + length == size, out.data());
        output.append(reinterpret_cast<const char *>(out.data()), count);
        at += length;
    } while (at < size);
    return output;
}

// One build of the passes, counted and copied, and the in-place rewrite,
// against the reference; the count also says whether a zero byte is there.
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

// The in-place rewrite, in exactly the final size, so that the sanitizer
// sees a write past it.
static bool rewritten_as_reference(const uint8_t *data, size_t size, const PairReaderResult &want)
{
    std::vector<unsigned char> image(data, data + size);
    image.resize(size + static_cast<size_t>(want.growth));
    lineends_rewrite(image.data(), size, static_cast<size_t>(want.growth));
    return std::string(image.begin(), image.end()) == want.output;
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
    if (!rewritten_as_reference(data, size, want))
        abort();
    size_t window = size > 0 ? 1 + data[0] % 100 : 1;
    if (through_windows(data, size, window) != want.output)
        abort();
    return 0;
}
