#include "shown.h"
#include "native.h"

static bool is_control(unsigned char byte)
{
    return byte < 32 || byte == 127;
}

// How many bytes of valid UTF-8 start at `text` (1 to 4), or 0 where no
// valid sequence starts: a stray continuation byte, a lead byte that no
// sequence has, an overlong form, a surrogate, a code point past U+10FFFF
// or a sequence cut short.
static size_t utf8_length(const unsigned char *text, size_t length)
{
    unsigned char lead = text[0];
    if (lead < 0x80)
        return 1;
    size_t count;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        count = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (length < count || text[1] < low || text[1] > high)
        return 0;
    for (size_t i = 2; i < count; i++) {
        if (text[i] < 0x80 || text[i] > 0xBF)
            return 0;
    }
    return count;
}

// The length of the character at `text`, and whether it is shown as it is.
static size_t next_character(const unsigned char *text, size_t length, bool *as_is)
{
    if (!native_utf8_names()) {
        *as_is = !is_control(text[0]);
        return 1;
    }
    size_t count = utf8_length(text, length);
    if (count == 0) {
        *as_is = false;
        return 1;
    }
    bool c1 = count == 2 && text[0] == 0xC2 && text[1] <= 0x9F;
    *as_is = !c1 && !is_control(text[0]);
    return count;
}

static void write_shown(FILE *stream, const char *text, size_t length, bool path)
{
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
    size_t start = 0;
    for (size_t i = 0; i < length;) {
        bool as_is = true;
        size_t count = next_character(bytes + i, length - i, &as_is);
        char separator = path && count == 1 ? native_path_byte(text[i]) : text[i];
        if (as_is && separator == text[i]) {
            i += count;
            continue;
        }
        fwrite(text + start, 1, i - start, stream);
        fputc(as_is ? separator : '?', stream);
        i += count;
        start = i;
    }
    fwrite(text + start, 1, length - start, stream);
}

void shown_write(FILE *stream, const char *text, size_t length)
{
    write_shown(stream, text, length, false);
}

void shown_write_path(FILE *stream, const char *text, size_t length)
{
    write_shown(stream, text, length, true);
}
