// POSIX conventions: LF line ends and '/' for every separator. The library
// reads a backslash as a separator here, so a printed path shows it as one.
#include <string.h>

#include "native.h"

const char native_line_end[] = "\n";

const char *native_join(const char *directory)
{
    size_t length = strlen(directory);
    if (length > 0 && (directory[length - 1] == '/' || directory[length - 1] == '\\'))
        return "";
    return "/";
}

char native_path_byte(char byte)
{
    return byte == '\\' ? '/' : byte;
}

bool native_utf8_names(void)
{
    return true;
}
