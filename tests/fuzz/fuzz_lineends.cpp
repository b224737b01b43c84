// Feeds arbitrary bytes to the fast passes and to the byte-at-a-time pair
// reader and stops at the first difference.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "lineends.h"
#include "pair_reader.h"

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
    return 0;
}
