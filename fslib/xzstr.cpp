// Path and string helpers: joins, file names, extensions, comparisons and
// bounded copies that always terminate their destination.
#include "fslib.h"

static int upper_ascii(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

ErrorRecord *fs_strcat(char *path, int size, const char *component)
{
    int length = xzstrlen(path);
    if (length == 0 || path[length - 1] != '\\') {
        if (length >= size - 1)
            return err_codef(ERR_MAXSTRING, "fs_strcat");
        path[length++] = '\\';
    }
    return xzstrncpyu(path + length, component, size - length);
}

static const char *after_last(const char *path, char separator)
{
    const char *found = 0;
    for (const char *p = path; *p; p++) {
        if (*p == separator)
            found = p + 1;
    }
    return found;
}

const char *fs_filename(const char *path)
{
    const char *name = after_last(path, '\\');
    if (!name)
        name = after_last(path, '/');
    if (!name)
        name = after_last(path, ':');
    return name ? name : path;
}

int fs_ext_cmp(const char *path, const char *ext)
{
    const char *dot = PathFindExtensionA(path);
    if (*dot == 0)
        return 1;
    return xzstricmp(ext, dot + 1);
}

int xzstrnicmp(const char *a, const char *b, int n)
{
    const unsigned char *x = (const unsigned char *)a;
    const unsigned char *y = (const unsigned char *)b;
    for (; n != 0; n--, x++, y++) {
        int difference = upper_ascii(*x) - upper_ascii(*y);
        if (difference != 0)
            return difference;
        if (*x == 0)
            return 0;
    }
    return 0;
}

int xzstricmp(const char *a, const char *b) { return xzstrnicmp(a, b, -1); }

// Stores characters of src into dst until one below `stop` (a zero always
// stops) has been stored as a zero, or n - 1 characters have been stored;
// then stores a zero just past the last stored character and returns its
// position. With n below 1 nothing is written and dst comes back.
static char *copy_until(char *dst, const char *src, int n, unsigned char stop)
{
    if (n < 1)
        return dst;
    int i = 0;
    while (i < n - 1) {
        unsigned char c = (unsigned char)src[i];
        dst[i++] = c < stop ? 0 : (char)c;
        if (c < stop)
            break;
    }
    dst[i] = 0;
    return dst + i;
}

char *xzstrncpy(char *dst, const char *src, int n) { return copy_until(dst, src, n, 1); }

char *xzstrncpyc(char *dst, const char *src, int n) { return copy_until(dst, src, n, 32); }

ErrorRecord *xzstrncpyu(char *dst, const char *src, int n)
{
    if (n < 1)
        return err_codef(ERR_MAXSTRING, "xzstrncpyu");
    int i = 0;
    for (; i < n - 1; i++) {
        dst[i] = src[i];
        if (src[i] == 0)
            return 0;
    }
    dst[i] = 0;
    return src[i] == 0 ? 0 : err_codef(ERR_MAXSTRING, "xzstrncpyu");
}

int xzstrlen(const char *s) { return lstrlenA(s); }

int xzstrcmp(const char *a, const char *b)
{
    const unsigned char *x = (const unsigned char *)a;
    const unsigned char *y = (const unsigned char *)b;
    while (*x == *y && *x != 0) {
        x++;
        y++;
    }
    if (*x == *y)
        return 0;
    return *x < *y ? -1 : 1;
}
