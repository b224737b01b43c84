// Shared by the POSIX layer's own sources; not part of its interface.
#ifndef WINPOSIX_INTERNAL_H
#define WINPOSIX_INTERNAL_H

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <time.h>

#include <string>

#include "winposix.h"

// The Windows error code for an errno value.
DWORD winposix_error_from_errno(int err);

// Sets the last error from errno and returns FALSE, for the common failure path.
BOOL winposix_fail_errno(void);

// Sets the last error to a code and returns FALSE.
BOOL winposix_fail(DWORD code);

// True when an injected fault is due for this call; the last error is then set.
bool winposix_fault_due(WinposixCall kind);

// A Windows path in POSIX form: '\' becomes '/'.
std::string winposix_native_path(const char *path);

// The same into a caller's buffer, without allocating; false when it does not fit.
bool winposix_native_path_buf(const char *path, char *out, size_t size);

// True for '\' and '/'.
bool winposix_is_separator(char c);

// True when the path holds '*' or '?', which no file name may hold.
bool winposix_has_wildcards(const char *path);

// True when the path ends in a separator.
bool winposix_ends_in_separator(const char *path);

// The code for a native path that a call found missing (ENOENT): 3 when a
// directory on the way is missing, else 2. Does not allocate.
DWORD winposix_missing_code(const char *native);

// Sets the last error for a failed call on a native path, telling a missing
// entry (2) from a missing directory on the way (3); returns FALSE.
BOOL winposix_fail_path(const char *native);

// The start of the last component of a native path (trailing '/' ignored).
const char *winposix_last_component(const char *native);

// True when the first n characters of a and b (or both up to an equal end)
// are the same, ASCII letters compared ignoring case.
bool winposix_same_nocase(const char *a, const char *b, size_t n);

// The attribute bits of an entry, from its status and its own name.
DWORD winposix_attributes(const struct stat &st, const char *name);

// Times: FILETIME (100-ns units since 1601) from and to a timespec.
FILETIME winposix_filetime_from(const struct timespec &ts);
struct timespec winposix_timespec_from(const FILETIME &ft);

// The time that stands in for the creation time, which POSIX status lacks.
struct timespec winposix_creation_time(const struct stat &st);

// Held directories (held.cpp): a directory opened without delete sharing
// pins its path. The deepest walk below a 260-character path fits.
enum { kWinposixMaxHeld = 160 };

// Records a held directory under its native path; false when the table is full.
bool winposix_hold(int fd, const char *native);
void winposix_release(int fd);

// Where a native path is to be resolved: the descriptor of the deepest held
// directory it runs through, and the rest of the path below it ("." for the
// directory itself); else AT_FDCWD and the whole path.
const char *winposix_beneath(const char *native, int *dirfd);

// Owner, group, mode, ACLs and extended attributes of `from` put on `to`,
// as far as they can be without widening a right (template.cpp).
BOOL winposix_take_template(int to, int from);

// Leases (leases.cpp): how a file opened for deletion learns whether any
// other descriptor is open on it, now or later.
enum WinposixLease {
    WINPOSIX_LEASE_HELD,     // nobody else has it open; an open breaks it
    WINPOSIX_LEASE_REFUSED,  // another descriptor is open on it
    WINPOSIX_LEASE_NONE      // no lease can be had here (not the owner, no support)
};
WinposixLease winposix_lease_take(int fd);
// Another descriptor of the same open file, sharing its lease.
void winposix_lease_watch(int fd);
void winposix_lease_forget(int fd);
// Someone else opened the file since the lease was taken.
bool winposix_lease_broken(int fd);

// The template a new file was made from, kept from its close until its
// replace or removal (kept.cpp): the file the replace must find under the
// name, and its lease. Taking it out hands the descriptor to the caller,
// who gives it back with winposix_release_kept; -1 when none is kept.
void winposix_keep_template(const struct stat &made, int template_fd, bool leased);
int winposix_take_kept(const struct stat &made, bool *leased);
void winposix_release_kept(int fd, bool leased);

// Open handles: file handles and find handles, each a heap record that the
// live-handle table knows, so that a stale or foreign handle fails with 6.
enum WinposixHandleKind { WINPOSIX_FILE, WINPOSIX_FIND };

struct WinposixFind;

struct WinposixHandle {
    WinposixHandleKind kind;
    int fd;              // file: the open descriptor
    bool readable;       // file: opened with GENERIC_READ
    bool writable;       // file: opened with GENERIC_WRITE
    bool regular;        // file: a regular file (reads and writes loop until done)
    bool link;           // file: a symbolic link itself, opened as a reparse point
    bool held;           // file: a directory whose path is pinned while it is open
    bool leased;         // file: holds a lease, so it learns of every other open
    int template_fd;     // file: created from a template, whose metadata it takes on close; else -1
    bool template_leased;  // file: the template's descriptor shares its lease
    std::string name;    // file: its last component, for the hidden attribute
    WinposixFind *find;  // find: the search
};

// Registers a new record and returns it as a HANDLE.
HANDLE winposix_handle_add(WinposixHandle *record);

// The live record of a handle of the given kind, or null with last error 6.
WinposixHandle *winposix_handle_get(HANDLE handle, WinposixHandleKind kind);

// Forgets a record (the caller frees it).
void winposix_handle_remove(WinposixHandle *record);

#endif
