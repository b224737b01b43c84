// The POSIX layer's wildcard matcher against a small reference matcher:
// the input is a pattern and a name separated by a zero byte.
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "fslib.h"
#include "fuzz_input.h"

static unsigned char fold(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

struct Matcher {
    const std::string &pattern;
    const std::string &name;
    std::vector<signed char> memo;  // -1 not known yet, else the answer
};

static bool only_dots_and_stars(const std::string &s, size_t from)
{
    return s.find_first_not_of(".*", from) == std::string::npos;
}

// Whether pattern[p..] matches name[i..]: '*' takes any run, '?' any one
// character, letters match either case; once the name is used up, the rest
// of the pattern may be dots and stars alone.
static bool matches(Matcher *m, size_t p, size_t i)
{
    signed char &known = m->memo[p * (m->name.size() + 1) + i];
    if (known >= 0)
        return known != 0;
    bool result;
    if (i == m->name.size() && only_dots_and_stars(m->pattern, p))
        result = true;
    else if (p == m->pattern.size())
        result = false;
    else if (m->pattern[p] == '*')
        result = matches(m, p + 1, i) || (i < m->name.size() && matches(m, p, i + 1));
    else if (i == m->name.size())
        result = false;
    else if (m->pattern[p] == '?' || fold(m->pattern[p]) == fold(m->name[i]))
        result = matches(m, p + 1, i + 1);
    else
        result = false;
    known = result ? 1 : 0;
    return result;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in = fuzz_input(data, size);
    std::string pattern = fuzz_text(&in);
    std::string name = fuzz_text(&in);
    Matcher m{pattern, name, std::vector<signed char>((pattern.size() + 1) * (name.size() + 1), -1)};
    bool want = matches(&m, 0, 0);
    bool got = winposix_wildcard_match(pattern.c_str(), name.c_str()) != FALSE;
    if (want != got) {
        fprintf(stderr, "fuzz_wildcard: \"%s\" against \"%s\": %d, the reference says %d\n",
                pattern.c_str(), name.c_str(), got, want);
        abort();
    }
    return 0;
}
