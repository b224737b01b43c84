// Windows conventions: CR LF line ends, and paths printed as they were
// joined and typed. The walk always inserts a backslash, so that a folder
// given as C:\data\ gives C:\data\\notes.txt, which the system accepts.
#include "fslib.h"
#include "native.h"

const char native_line_end[] = "\r\n";

const char *native_join(const char *directory)
{
    (void)directory;
    return "\\";
}

char native_path_byte(char byte)
{
    return byte;
}

// With the program's manifest the code page is UTF-8 from Windows 10 1903
// on; an older system gives names in its own ANSI code page, where every
// byte above 127 may be a character.
bool native_utf8_names(void)
{
    return GetACP() == CP_UTF8;
}
