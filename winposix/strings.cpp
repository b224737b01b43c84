// String adaptors: lstrlenA, the shell's path-part finders, and the widening
// of 8-bit text into 16-bit units (each byte taken as its Latin-1 character).
#include <string.h>

#include "internal.h"

int lstrlenA(LPCSTR s) { return s ? static_cast<int>(strlen(s)) : 0; }

// The dot that begins the extension of the last component, or the
// terminating zero: a separator or a space after a dot ends that extension.
LPSTR PathFindExtensionA(LPCSTR path)
{
    if (!path)
        return nullptr;
    const char *dot = nullptr;
    const char *at = path;
    for (; *at; at++) {
        if (winposix_is_separator(*at) || *at == ' ')
            dot = nullptr;
        else if (*at == '.')
            dot = at;
    }
    return const_cast<LPSTR>(dot ? dot : at);
}

// The start of the last component. A separator (or the ':' of a drive) starts
// a new component only when something other than a separator follows it, so
// "a\b\" gives "b\".
LPSTR PathFindFileNameA(LPCSTR path)
{
    if (!path)
        return nullptr;
    const char *start = path;
    for (const char *at = path; *at; at++) {
        bool splits = winposix_is_separator(*at) || *at == ':';
        if (splits && at[1] && !winposix_is_separator(at[1]))
            start = at + 1;
    }
    return const_cast<LPSTR>(start);
}

int MultiByteToWideChar(UINT codepage, DWORD flags, LPCSTR src, int src_len, LPWSTR dst,
                        int dst_len)
{
    (void)codepage;
    (void)flags;
    if (!src || src_len == 0 || src_len < -1 || dst_len < 0 || (dst_len > 0 && !dst)) {
        winposix_fail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // -1: the text and its terminating zero.
    size_t count = src_len == -1 ? strlen(src) + 1 : static_cast<size_t>(src_len);
    if (dst_len == 0)
        return static_cast<int>(count);
    if (count > static_cast<size_t>(dst_len)) {
        winposix_fail(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (size_t i = 0; i < count; i++)
        dst[i] = static_cast<unsigned char>(src[i]);
    return static_cast<int>(count);
}

bool winposix_same_nocase(const char *a, const char *b, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z')
            x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y)
            return false;
        if (x == 0)
            return true;
    }
    return true;
}
