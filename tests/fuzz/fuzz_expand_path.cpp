// Path expansion of arbitrary paths into destinations of arbitrary size,
// with environment variables and registry values of every length at hand.
// The first two bytes give the destination's size (a few below zero
// included), the rest is the path. The destination is a heap block of
// exactly that size: the sanitizers see a byte written past it, and the
// result must be terminated inside it. The only failure is the system's
// "too long" error, which leaves the destination empty. A path without
// angle brackets must come out as itself without its quotes where that
// fits, and be refused where it does not.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

#include "fslib.h"
#include "fuzz_input.h"

static void require(bool ok, const char *what)
{
    if (!ok) {
        fprintf(stderr, "fuzz_expand_path: %s\n", what);
        abort();
    }
}

static void set_value(const char *name, DWORD type, const std::string &data)
{
    winposix_registry_set(HKEY_CURRENT_USER, "Software\\Fuzz", name, type, data.data(),
                          static_cast<DWORD>(data.size()));
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    (void)argc;
    (void)argv;
    setenv("FZ", "ab", 1);
    setenv("FZ_EMPTY", "", 1);
    setenv("FZ_SEP", "C:\\dir\\", 1);
    setenv("FZ_LONG", std::string(300, 'l').c_str(), 1);
    setenv("FZ_HUGE", std::string(3000, 'h').c_str(), 1);
    setenv("FZ_BRACKETS", "<FZ>\"<<%FZ%", 1);
    set_value("short", REG_SZ, std::string("reg\0", 4));
    set_value("", REG_SZ, std::string("default\0", 8));
    set_value("empty", REG_SZ, std::string("\0", 1));
    set_value("long", REG_SZ, std::string(400, 'r'));
    set_value("expand", REG_EXPAND_SZ, "%FZ%\\x");
    set_value("binary", REG_BINARY, "abc");
    set_value("zeros", REG_BINARY, std::string("a\0b\0", 4));
    set_value("dword", REG_DWORD, std::string("\x01\x00\x00\x00", 4));
    set_value("nothing", REG_BINARY, "");
    winposix_registry_set(HKEY_LOCAL_MACHINE, "S\\K", "v", REG_SZ, "m", 2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in = fuzz_input(data, size);
    int dst_size = static_cast<int>(fuzz_u16(&in) % 708) - 8;
    std::string src = fuzz_text(&in);

    char *dst = fuzz_block(dst_size);
    ErrorRecord *result = fs_expand_path(src.c_str(), dst, dst_size);
    require(result == nullptr ||
                (result == &err_sys_record && result->code == ERROR_FILENAME_EXCED_RANGE),
            "fs_expand_path failed otherwise than for length");
    require(dst_size > 0 || result != nullptr, "no room, yet no error");
    if (dst_size > 0) {
        require(fuzz_terminated(dst, dst_size), "destination not terminated");
        require(result == nullptr || dst[0] == '\0', "a refused path left text behind");
        if (src.find('<') == std::string::npos) {
            std::string want = src;
            want.erase(std::remove(want.begin(), want.end(), '"'), want.end());
            bool fits = want.size() < static_cast<size_t>(dst_size);
            require(fits == (result == nullptr), "a path without tokens refused or cut wrongly");
            require(!fits || want == dst, "a path without tokens changed");
        }
    }
    free(dst);
    return 0;
}
