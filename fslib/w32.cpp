// Reporting wrappers: one system call each, its failure into err_sys_record.
#include "fslib.h"

// A null name is shown as an empty one rather than handed to the formatter.
static const char *shown(const char *name) { return name ? name : ""; }

// Reports the call that has just failed, from the thread's last-error code.
// A call that failed without setting one is still reported as failed.
static ErrorRecord *report(const char *call)
{
    ErrorRecord *reported = err_win32(call, 0);
    return reported ? reported : err_win32_code(FS_ERROR_NO_REASON, call, 0);
}

ErrorRecord *w32_GetFileAttributes(const char *path, DWORD *attributes)
{
    DWORD result = GetFileAttributesA(path);
    if (result == INVALID_FILE_ATTRIBUTES)
        return err_win32_failed("GetFileAttributes", path);
    *attributes = result;
    return 0;
}

ErrorRecord *w32_CreateFile(const char *path, DWORD access, DWORD share,
                            LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                            HANDLE templ, HANDLE *handle)
{
    *handle = CreateFileA(path, access, share, security, disposition, flags, templ);
    if (*handle == INVALID_HANDLE_VALUE)
        return err_win32_failed("CreateFile", path);
    return 0;
}

ErrorRecord *w32_FindFirstFile(const char *pattern, WIN32_FIND_DATAA *data, HANDLE *handle)
{
    *handle = FindFirstFileA(pattern, data);
    if (*handle == INVALID_HANDLE_VALUE)
        return err_win32_failed("FindFirstFile", pattern);
    return 0;
}

// The end of the listing is no failure: null, with the end flag set.
ErrorRecord *w32_FindNextFile(HANDLE handle, WIN32_FIND_DATAA *data, int *end)
{
    if (FindNextFileA(handle, data)) {
        *end = 0;
        return 0;
    }
    ErrorRecord *reported = err_win32_failed("FindNextFile", "");
    if (reported->code == ERROR_NO_MORE_FILES) {
        *end = 1;
        return 0;
    }
    return reported;
}

ErrorRecord *w32_FindClose(HANDLE handle)
{
    if (!FindClose(handle))
        return report("FindClose");
    return 0;
}

ErrorRecord *w32_ReadFile(HANDLE handle, void *buffer, DWORD count, DWORD *done,
                          LPOVERLAPPED overlapped)
{
    if (!ReadFile(handle, buffer, count, done, overlapped))
        return report("ReadFile");
    return 0;
}

ErrorRecord *w32_WriteFile(HANDLE handle, const void *buffer, DWORD count, DWORD *done,
                           LPOVERLAPPED overlapped)
{
    if (!WriteFile(handle, buffer, count, done, overlapped))
        return report("WriteFile");
    return 0;
}

ErrorRecord *w32_CloseHandle(HANDLE handle)
{
    if (!CloseHandle(handle))
        return report("CloseHandle");
    return 0;
}

ErrorRecord *w32_RegOpenKey(HKEY key, const char *subkey, DWORD options, REGSAM access,
                            HKEY *out)
{
    LONG status = RegOpenKeyExA(key, subkey, options, access, out);
    if (status != ERROR_SUCCESS)
        return err_win32_code((int)status, "RegOpenKey", "%s", shown(subkey));
    return 0;
}

ErrorRecord *w32_RegQueryValueEx(HKEY key, const char *name, LPDWORD reserved, LPDWORD type,
                                 LPBYTE data, LPDWORD size)
{
    LONG status = RegQueryValueExA(key, name, reserved, type, data, size);
    if (status != ERROR_SUCCESS)
        return err_win32_code((int)status, "RegQueryValueEx", "%s", shown(name));
    return 0;
}

ErrorRecord *w32_RegCloseKey(HKEY key)
{
    LONG status = RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return err_win32_code((int)status, "RegCloseKey", 0);
    return 0;
}

ErrorRecord *fs_close(HANDLE handle, ErrorRecord *earlier)
{
    ErrorRecord *closed = w32_CloseHandle(handle);
    return earlier ? earlier : closed;
}

ErrorRecord *fs_close_named(HANDLE handle, ErrorRecord *earlier, const char *path)
{
    if (earlier)
        return fs_close(handle, earlier);
    return err_about_file(w32_CloseHandle(handle), "CloseHandle", path);
}

ErrorRecord *reg_close(HKEY *key, ErrorRecord *earlier)
{
    if (!*key)
        return earlier;
    ErrorRecord *closed = w32_RegCloseKey(*key);
    *key = 0;
    return earlier ? earlier : closed;
}

// Calls on an open file whose failure names the file's path.

ErrorRecord *w32_GetFileInformationByHandle(HANDLE handle, BY_HANDLE_FILE_INFORMATION *info,
                                            const char *path)
{
    if (!GetFileInformationByHandle(handle, info))
        return err_win32_failed("GetFileInformationByHandle", path);
    return 0;
}

ErrorRecord *w32_SetFilePointerEx(HANDLE handle, int64_t offset, const char *path)
{
    LARGE_INTEGER position;
    position.QuadPart = offset;
    if (!SetFilePointerEx(handle, position, 0, FILE_BEGIN))
        return err_win32_failed("SetFilePointerEx", path);
    return 0;
}

ErrorRecord *w32_FlushFileBuffers(HANDLE handle, const char *path)
{
    if (!FlushFileBuffers(handle))
        return err_win32_failed("FlushFileBuffers", path);
    return 0;
}

ErrorRecord *w32_GetFinalPathNameByHandle(HANDLE handle, char *out, DWORD size, const char *path)
{
    DWORD length = GetFinalPathNameByHandleA(handle, out, size, 0);
    if (length == 0)
        return err_win32_failed("GetFinalPathNameByHandle", path);
    if (length >= size)
        return err_win32_code(ERROR_FILENAME_EXCED_RANGE, "GetFinalPathNameByHandle", "%s", shown(path));
    return 0;
}

ErrorRecord *w32_ReplaceFile(const char *replaced, const char *replacement)
{
    if (!ReplaceFileA(replaced, replacement, 0, REPLACEFILE_IGNORE_MERGE_ERRORS, 0, 0))
        return err_win32_failed("ReplaceFile", replaced);
    return 0;
}
