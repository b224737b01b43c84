// The path join and the three bounded copies with arbitrary texts and sizes,
// against references written from their rules. The first byte picks the
// operation ('0' fs_strcat, '1' xzstrncpy, '2' xzstrncpyc, '3' xzstrncpyu),
// the next two the size; the destination is a heap block of exactly that
// size, so the sanitizers see a byte written past it.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

#include "fslib.h"
#include "fuzz_input.h"

static void require(bool ok, const char *what)
{
    if (!ok) {
        fprintf(stderr, "fuzz_strings: %s\n", what);
        abort();
    }
}

static bool is_size_error(const ErrorRecord *result)
{
    return result == &err_lib_record && result->code == ERR_MAXSTRING;
}

static void check_join(FuzzInput *in)
{
    int size = 1 + static_cast<int>(fuzz_u16(in) % 300);
    std::string path = fuzz_text(in).substr(0, static_cast<size_t>(size - 1));
    std::string component = fuzz_text(in);

    // A backslash goes in unless the path already ends with one, and only
    // when it leaves room for the zero; the component is then cut to fit.
    std::string want = path;
    bool fails = false;
    if (path.empty() || path.back() != '\\') {
        if (static_cast<int>(path.size()) >= size - 1)
            fails = true;
        else
            want += '\\';
    }
    if (!fails) {
        size_t room = static_cast<size_t>(size) - want.size() - 1;
        fails = component.size() > room;
        want += component.substr(0, room);
    }

    char *buffer = fuzz_block(size);
    memcpy(buffer, path.c_str(), path.size() + 1);
    ErrorRecord *result = fs_strcat(buffer, size, component.c_str());
    require(fuzz_terminated(buffer, size), "fs_strcat left no zero within the size");
    require(want == buffer, "fs_strcat result differs");
    require(fails ? is_size_error(result) : result == nullptr, "fs_strcat outcome differs");
    free(buffer);
}

// The copies: n is the destination's size; a size below 1 writes nothing.
static void check_copy(unsigned which, FuzzInput *in)
{
    int n = static_cast<int>(fuzz_u16(in) % 305) - 4;
    std::string source = fuzz_text(in);
    char *buffer = fuzz_block(n);
    size_t limit = n >= 1 ? static_cast<size_t>(n - 1) : 0;

    if (which == 3) {
        ErrorRecord *result = xzstrncpyu(buffer, source.c_str(), n);
        bool fits = n >= 1 && source.size() <= limit;
        require(fits ? result == nullptr : is_size_error(result), "xzstrncpyu outcome differs");
        if (n >= 1) {
            require(fuzz_terminated(buffer, n), "xzstrncpyu left no zero within the size");
            require(source.substr(0, limit) == buffer, "xzstrncpyu result differs");
        }
        free(buffer);
        return;
    }

    // The copy ends at the source's zero, or for xzstrncpyc at its first
    // character below 32; the result points past the last stored character,
    // the stored zero counted.
    size_t stop = source.size();
    if (which == 2) {
        auto control = std::find_if(source.begin(), source.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 32; });
        stop = static_cast<size_t>(control - source.begin());
    }
    char *end = which == 2 ? xzstrncpyc(buffer, source.c_str(), n)
                           : xzstrncpy(buffer, source.c_str(), n);
    if (n < 1) {
        require(end == buffer, "a copy with no room moved its result");
    } else {
        require(fuzz_terminated(buffer, n), "copy left no zero within the size");
        require(source.substr(0, std::min(stop, limit)) == buffer, "copy result differs");
        require(end == buffer + std::min(stop + 1, limit), "copy returned another position");
    }
    free(buffer);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in = fuzz_input(data, size);
    unsigned which = fuzz_byte(&in) & 3;
    if (which == 0)
        check_join(&in);
    else
        check_copy(which, &in);
    return 0;
}
