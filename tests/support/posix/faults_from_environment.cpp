// Linked only into the test build of the tool, dravick_faulty: before main
// runs, DRAVICK_TEST_FAULTS arms the POSIX layer's injected failures. Its
// value is a comma-separated list of KIND:N:CODE, for example
// "write:2:112,rename:1:5": the N-th call of that kind (1: the first) fails
// with the Windows error CODE. Kinds: read, write, create, rename, close,
// find-next, reserve (address space), flush. DRAVICK_TEST_PAUSE=KIND:N holds
// the process at the N-th call of that kind: it writes a byte to descriptor
// 3 and waits until descriptor 4 gives a byte or its end. A malformed list
// ends the process with status 2.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "winposix.h"

struct FaultKindName {
    const char *name;
    WinposixCall kind;
};

static const FaultKindName fault_kinds[] = {
    {"read", WINPOSIX_CALL_READ},     {"write", WINPOSIX_CALL_WRITE},
    {"create", WINPOSIX_CALL_CREATE}, {"rename", WINPOSIX_CALL_RENAME},
    {"close", WINPOSIX_CALL_CLOSE},   {"find-next", WINPOSIX_CALL_FIND_NEXT},
    {"reserve", WINPOSIX_CALL_RESERVE}, {"flush", WINPOSIX_CALL_FLUSH},
};

[[noreturn]] static void malformed(const char *list)
{
    fprintf(stderr, "DRAVICK_TEST_FAULTS: cannot read \"%s\"\n", list);
    exit(2);
}

// One KIND:N:CODE item of `length` characters at `item`.
static bool arm_one(const char *item, size_t length)
{
    const char *colon = static_cast<const char *>(memchr(item, ':', length));
    if (colon == NULL)
        return false;
    size_t name_length = static_cast<size_t>(colon - item);
    for (const FaultKindName &k : fault_kinds) {
        if (strlen(k.name) != name_length || strncmp(k.name, item, name_length) != 0)
            continue;
        char *end = NULL;
        long n = strtol(colon + 1, &end, 10);
        if (*end != ':' || n < 1)
            return false;
        const char *code_text = end + 1;
        unsigned long code = strtoul(code_text, &end, 10);
        if (end == code_text || end != item + length)
            return false;
        winposix_fail_nth(k.kind, static_cast<int>(n), static_cast<DWORD>(code));
        return true;
    }
    return false;
}

static bool arm_faults(void)
{
    const char *list = getenv("DRAVICK_TEST_FAULTS");
    if (list == NULL)
        return false;
    for (const char *item = list; *item != '\0';) {
        size_t length = strcspn(item, ",");
        if (!arm_one(item, length))
            malformed(list);
        item += length;
        if (*item == ',')
            item++;
    }
    return true;
}

static WinposixCall kind_named(const char *name, size_t length, bool *found)
{
    for (const FaultKindName &k : fault_kinds) {
        if (strlen(k.name) == length && strncmp(k.name, name, length) == 0) {
            *found = true;
            return k.kind;
        }
    }
    *found = false;
    return WINPOSIX_CALL_COUNT;
}

static bool arm_pause(void)
{
    const char *pause = getenv("DRAVICK_TEST_PAUSE");
    if (pause == NULL)
        return false;
    const char *colon = strchr(pause, ':');
    bool found = false;
    WinposixCall kind = colon != NULL ? kind_named(pause, static_cast<size_t>(colon - pause), &found)
                                      : WINPOSIX_CALL_COUNT;
    char *end = NULL;
    long n = found ? strtol(colon + 1, &end, 10) : 0;
    if (!found || n < 1 || *end != '\0')
        malformed(pause);
    winposix_pause_nth(kind, static_cast<int>(n), 3, 4);
    return true;
}

static const bool faults_armed = arm_faults();
static const bool pause_armed = arm_pause();
