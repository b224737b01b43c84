// Shared by the POSIX layer's own sources; not part of its interface.
#ifndef WINPOSIX_INTERNAL_H
#define WINPOSIX_INTERNAL_H

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

#endif
