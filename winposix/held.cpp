// Directories held open. On Windows a folder opened without delete sharing
// cannot be renamed, moved or removed while the handle is open, so a path
// through it keeps naming the folder that was opened. POSIX cannot forbid
// the rename; the layer keeps the promise instead: a path that runs through
// a held directory is resolved beneath that directory's descriptor, whatever
// its name leads to now.
//
// The table takes no memory from the heap and no lock when it is read, so
// that a console control routine may remove a temporary file from a signal
// handler. It is changed only by the thread that opens and closes handles.
#include <string.h>

#include "internal.h"

struct HeldDirectory {
    int fd;
    size_t length;  // of the path without trailing separators
    char path[PATH_MAX];
};

static HeldDirectory held[kWinposixMaxHeld];
static volatile int held_count;

static size_t without_trailing_slashes(const char *native)
{
    size_t length = strlen(native);
    while (length > 1 && native[length - 1] == '/')
        length--;
    return length;
}

bool winposix_hold(int fd, const char *native)
{
    size_t length = without_trailing_slashes(native);
    int count = held_count;
    if (count >= kWinposixMaxHeld || length >= PATH_MAX)
        return false;
    HeldDirectory &entry = held[count];
    memcpy(entry.path, native, length);
    entry.path[length] = '\0';
    entry.length = length;
    entry.fd = fd;
    held_count = count + 1;
    return true;
}

void winposix_release(int fd)
{
    int count = held_count;
    for (int i = count - 1; i >= 0; i--) {
        if (held[i].fd != fd)
            continue;
        for (int j = i; j + 1 < count; j++)
            held[j] = held[j + 1];
        held_count = count - 1;
        return;
    }
}

// Whether `native` runs through the held path `entry`; *rest is then what
// follows it, separators skipped ("." for the directory itself).
static bool runs_through(const HeldDirectory &entry, const char *native, const char **rest)
{
    size_t length = entry.length;
    if (length == 1 && entry.path[0] == '/')
        length = 0;  // the root: every absolute path runs through it
    if (strncmp(native, entry.path, length) != 0)
        return false;
    const char *after = native + length;
    if (*after != '\0' && *after != '/')
        return false;
    if (length == 0 && *after != '/')
        return false;
    while (*after == '/')
        after++;
    *rest = *after != '\0' ? after : ".";
    return true;
}

const char *winposix_beneath(const char *native, int *dirfd)
{
    const char *best = native;
    size_t best_length = 0;
    *dirfd = AT_FDCWD;
    int count = held_count;
    for (int i = 0; i < count; i++) {
        const char *rest = nullptr;
        if (runs_through(held[i], native, &rest) && (*dirfd == AT_FDCWD || held[i].length > best_length)) {
            *dirfd = held[i].fd;
            best = rest;
            best_length = held[i].length;
        }
    }
    return best;
}
