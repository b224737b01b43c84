// ExpandEnvironmentStringsA over the process environment: %NAME% is replaced
// by the variable's value, the name compared ignoring ASCII case; a reference
// to no variable, "%%" included, stays as written, and so does a '%' that no
// second '%' closes.
#include <string.h>

#include <string>

#include "internal.h"

extern char **environ;

// The value of a variable named by len characters at name, or null. A
// variable spelt exactly so is preferred to one that differs in case.
static const char *variable(const char *name, size_t len)
{
    if (len == 0 || memchr(name, '=', len))
        return nullptr;
    for (int exact = 1; exact >= 0; exact--) {
        for (char **entry = environ; entry && *entry; entry++) {
            const char *e = *entry;
            bool same = exact ? strncmp(e, name, len) == 0 : winposix_same_nocase(e, name, len);
            if (same && e[len] == '=')
                return e + len + 1;
        }
    }
    return nullptr;
}

static std::string expand(const char *src)
{
    std::string out;
    const char *at = src;
    while (*at) {
        const char *open = strchr(at, '%');
        if (!open) {
            out += at;
            break;
        }
        out.append(at, open);
        const char *close = strchr(open + 1, '%');
        if (!close) {
            out += open;
            break;
        }
        const char *value = variable(open + 1, static_cast<size_t>(close - open - 1));
        if (value)
            out += value;
        else
            out.append(open, close + 1);
        at = close + 1;
    }
    return out;
}

DWORD ExpandEnvironmentStringsA(LPCSTR src, LPSTR dst, DWORD size)
{
    if (!src) {
        winposix_fail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string out = expand(src);
    if (dst && size > 0) {
        size_t n = out.size() < size - 1 ? out.size() : size - 1;
        memcpy(dst, out.data(), n);
        dst[n] = 0;
    }
    return static_cast<DWORD>(out.size() + 1);
}
