#include "shown.h"

static bool is_control(unsigned char byte)
{
    return byte < 32 || byte == 127;
}

void shown_write(FILE *stream, const char *text, size_t length)
{
    size_t start = 0;
    for (size_t i = 0; i < length; i++) {
        if (!is_control(static_cast<unsigned char>(text[i])))
            continue;
        fwrite(text + start, 1, i - start, stream);
        fputc('?', stream);
        start = i + 1;
    }
    fwrite(text + start, 1, length - start, stream);
}
