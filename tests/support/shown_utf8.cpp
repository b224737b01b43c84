// What a terminal is shown of a name in UTF-8, worked out by decoding each
// character's code point (the tool checks byte ranges instead).
#include <stdint.h>

#include "run_program.h"

std::string shown_utf8(const std::string &text)
{
    static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};  // below: an overlong form
    std::string shown;
    size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t count = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        uint32_t code = count == 1 ? lead : lead & (0xFF >> (count + 1));
        bool valid = count > 0 && i + count <= text.size();
        for (size_t k = 1; valid && k < count; k++) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        valid = valid && code >= least[count] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            shown += '?';
            i++;
            continue;
        }
        bool control = code < 32 || (code >= 127 && code <= 159);
        shown += control ? std::string("?") : text.substr(i, count);
        i += count;
    }
    return shown;
}
