// One name against a wildcard pattern, by the system's rules: '*' matches any
// run of characters, '?' any one character, ASCII letters match either case,
// and once the name is used up, what is left of the pattern may be dots and
// stars alone ("*.*" and "*." match every name, "abc.*" matches "abc").
#include <string.h>

#include <vector>

#include "internal.h"

static unsigned char fold(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

static bool dots_and_stars_only(const char *s)
{
    return s[strspn(s, ".*")] == 0;
}

BOOL winposix_wildcard_match(const char *pattern, const char *name)
{
    if (!pattern || !name)
        return FALSE;
    // The usual listing patterns match everything: no work per name.
    if (pattern[0] == '*' && dots_and_stars_only(pattern))
        return TRUE;

    size_t n = strlen(name);
    size_t tail = strlen(pattern);
    while (tail > 0 && (pattern[tail - 1] == '.' || pattern[tail - 1] == '*'))
        tail--;

    // reach[i]: the pattern read so far can match the first i characters.
    std::vector<unsigned char> reach(n + 1, 0);
    reach[0] = 1;
    for (size_t p = 0;; p++) {
        if (p >= tail && reach[n])
            return TRUE;
        char c = pattern[p];
        if (!c)
            return FALSE;
        bool any = false;
        if (c == '*') {
            for (size_t i = 1; i <= n; i++)
                reach[i] |= reach[i - 1];
            any = true;
        } else {
            for (size_t i = n; i > 0; i--) {
                reach[i] = reach[i - 1] && (c == '?' || fold(c) == fold(name[i - 1]));
                any = any || reach[i];
            }
            reach[0] = 0;
        }
        if (!any && !reach[0])
            return FALSE;
    }
}
