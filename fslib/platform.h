// The one place where the platform is chosen. The library is written against
// the Win32 API; on POSIX systems CMake defines FSLIB_WINPOSIX and the
// library is built over our own layer that provides the calls it uses.
#ifndef FSLIB_PLATFORM_H
#define FSLIB_PLATFORM_H

#if defined(FSLIB_WINPOSIX)
#include "winposix.h"
#else
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>
#endif

#endif
