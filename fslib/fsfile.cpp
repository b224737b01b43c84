// File information and whole-file I/O.
#include "fslib.h"

FileTypeLink *fs_type_tables = nullptr;

// 1900-01-01 00:00:00 UTC as a FILETIME, and 100-ns units in a centisecond.
static const int64_t kFiletime1900 = 94354848000000000LL;
static const int64_t kUnitsPerCentisecond = 100000;
static const int64_t kMaxTime = (1LL << 40) - 1;

static const uint32_t kStampMarker = 0xFFF00000u;
static const int32_t kTypeNone = 4093;
static const int64_t kMaxWholeFile = 0x7FFFFFFF;

// ---------------------------------------------------------------------------
// Times and stamps

int64_t fs_time_from_filetime(FILETIME filetime)
{
    uint64_t units = (static_cast<uint64_t>(filetime.dwHighDateTime) << 32) | filetime.dwLowDateTime;
    int64_t since1900 = static_cast<int64_t>(units - static_cast<uint64_t>(kFiletime1900));
    return since1900 / kUnitsPerCentisecond;
}

FILETIME fs_time_to_filetime(int64_t time)
{
    uint64_t units = static_cast<uint64_t>(time) * static_cast<uint64_t>(kUnitsPerCentisecond) +
                     static_cast<uint64_t>(kFiletime1900);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(units);
    ft.dwHighDateTime = static_cast<DWORD>(units >> 32);
    return ft;
}

// A time outside the 40 bits is kept as the nearest one inside, so that a
// time put back later is the closest the record can hold, never a wrapped one.
void fs_stamp_set(FileInfo *info, int64_t time)
{
    if (time < 0)
        time = 0;
    if (time > kMaxTime)
        time = kMaxTime;
    uint32_t high = static_cast<uint32_t>(time >> 32) & 0xFFu;
    info->stamp = (info->stamp & 0x000FFF00u) | kStampMarker | high;
    info->time = static_cast<uint32_t>(time);
}

int fs_stamp_get(const FileInfo *info, int64_t *time)
{
    if ((info->stamp & kStampMarker) != kStampMarker)
        return 0;
    *time = (static_cast<int64_t>(info->stamp & 0xFFu) << 32) | info->time;
    return 1;
}

// ---------------------------------------------------------------------------
// Types and attributes

int32_t fs_type_lookup(const char *ext)
{
    int32_t result = -1;
    for (FileTypeLink *link = fs_type_tables; link; link = link->next) {
        for (const FileTypeEntry *row = link->rows; row->type != -1; ++row) {
            if (!row->ext)
                result = row->type;
            else if (xzstricmp(row->ext, ext) == 0)
                return row->type;
        }
    }
    return result;
}

static const char *last_comma(const char *text)
{
    const char *found = nullptr;
    for (; *text; ++text)
        if (*text == ',')
            found = text;
    return found;
}

int32_t fs_type_of(const char *path)
{
    const char *ext = PathFindExtensionA(path);
    if (*ext)
        return fs_type_lookup(ext + 1);
    const char *name = PathFindFileNameA(path);
    const char *comma = last_comma(path);
    if (comma && comma > name)
        return fs_type_lookup(comma + 1);
    return kTypeNone;
}

uint32_t fs_attr_readonly(uint32_t attributes) { return attributes & FILE_ATTRIBUTE_READONLY; }
uint32_t fs_attr_hidden(uint32_t attributes) { return attributes & FILE_ATTRIBUTE_HIDDEN; }
uint32_t fs_attr_system(uint32_t attributes) { return attributes & FILE_ATTRIBUTE_SYSTEM; }

// ---------------------------------------------------------------------------
// Looking at a path

ErrorRecord *fs_stat_raw(const char *path, FileInfo *info)
{
    WIN32_FIND_DATAA found;
    HANDLE search = INVALID_HANDLE_VALUE;
    if (w32_FindFirstFile(path, &found, &search)) {
        info->kind = FS_KIND_NONE;
        return nullptr;
    }
    w32_FindClose(search);
    fs_info_from_find(&found, path, info);
    return nullptr;
}

void fs_info_from_find(const WIN32_FIND_DATAA *found, const char *typed_name, FileInfo *info)
{
    info->type = fs_type_of(typed_name);
    info->stamp = static_cast<uint32_t>(info->type) << 8;
    fs_stamp_set(info, fs_time_from_filetime(found->ftLastWriteTime));
    info->size = found->nFileSizeLow;
    info->attributes = found->dwFileAttributes;
    info->kind = (info->attributes & FILE_ATTRIBUTE_DIRECTORY) ? FS_KIND_DIR : FS_KIND_FILE;
}

ErrorRecord *fs_stat(const char *path, FileInfo *info)
{
    char expanded[FS_MAX_PATH];
    ErrorRecord *r = fs_expand_path(path, expanded, FS_MAX_PATH);
    if (r) {
        info->kind = FS_KIND_NONE;
        return r;
    }
    return fs_stat_raw(expanded, info);
}

ErrorRecord *fs_kind(const char *path, int32_t *kind)
{
    DWORD attributes = 0;
    if (!path || w32_GetFileAttributes(path, &attributes)) {
        *kind = FS_KIND_NONE;
        return nullptr;
    }
    *kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FS_KIND_DIR : FS_KIND_FILE;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Opening, reading and writing

static ErrorRecord *open_expanded(const char *expanded, int mode, HANDLE *handle)
{
    DWORD access = GENERIC_READ | GENERIC_WRITE;
    DWORD disposition;
    if (mode == 'r') {
        access = GENERIC_READ;
        disposition = OPEN_EXISTING;
    } else if (mode == 'u') {
        disposition = OPEN_ALWAYS;
    } else {
        int32_t kind = FS_KIND_NONE;
        fs_kind(expanded, &kind);
        disposition = kind == FS_KIND_FILE ? TRUNCATE_EXISTING : CREATE_NEW;
    }
    HANDLE h = INVALID_HANDLE_VALUE;
    ErrorRecord *r = w32_CreateFile(expanded, access, FILE_SHARE_READ, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr, &h);
    *handle = r ? nullptr : h;
    return r;
}

ErrorRecord *fs_open(const char *path, int mode, HANDLE *handle)
{
    char expanded[FS_MAX_PATH];
    ErrorRecord *r = fs_expand_path(path, expanded, FS_MAX_PATH);
    if (r) {
        *handle = nullptr;
        return r;
    }
    return open_expanded(expanded, mode, handle);
}

ErrorRecord *fs_read_all(HANDLE handle, void *buffer, int32_t count)
{
    char *at = static_cast<char *>(buffer);
    while (count > 0) {
        DWORD done = 0;
        ErrorRecord *r = w32_ReadFile(handle, at, static_cast<DWORD>(count), &done, nullptr);
        if (r)
            return r;
        if (done == 0)
            return err_code(ERR_READ);
        at += done;
        count -= static_cast<int32_t>(done);
    }
    return nullptr;
}

ErrorRecord *fs_write_all(HANDLE handle, const void *buffer, int32_t count)
{
    if (count < 0)
        return err_code(ERR_NEGSIZE);
    const char *at = static_cast<const char *>(buffer);
    while (count != 0) {
        DWORD done = 0;
        ErrorRecord *r = w32_WriteFile(handle, at, static_cast<DWORD>(count), &done, nullptr);
        if (r)
            return r;
        at += done;
        count -= static_cast<int32_t>(done);
        if (done == 0)
            return err_code(ERR_WRITE);
    }
    return nullptr;
}

ErrorRecord *fs_write_file(const char *path, const void *buffer, int32_t count)
{
    HANDLE h = nullptr;
    ErrorRecord *r = fs_open(path, 'w', &h);
    if (r)
        return r;
    return fs_close(h, fs_write_all(h, buffer, count));
}

// The length of an open file as the system reports it, all 64 bits.
static ErrorRecord *open_file_size(HANDLE handle, const char *name, int64_t *size)
{
    LARGE_INTEGER length;
    if (GetFileSizeEx(handle, &length)) {
        *size = length.QuadPart;
        return nullptr;
    }
    return err_win32_failed("GetFileSize", name);
}

// Reads exactly `size` bytes of an open file that must be that long: the
// length is checked before, and a further read must find the end. Only a
// disk file is read: a pipe or a device could block that read for ever.
ErrorRecord *fs_read_handle_exact(HANDLE handle, const char *name, void *buffer, uint32_t size)
{
    if (GetFileType(handle) != FILE_TYPE_DISK)
        return err_win32_code(ERROR_NOT_SUPPORTED, "GetFileType", "%s", name);
    int64_t length = 0;
    ErrorRecord *r = open_file_size(handle, name, &length);
    if (r)
        return r;
    if (length > kMaxWholeFile)
        return err_win32_code(ERROR_FILE_TOO_LARGE, "GetFileSize", "%s", name);
    if (length != static_cast<int64_t>(size))
        return err_win32_code(FS_ERROR_FILE_CHANGED, "GetFileSize", "%s", name);

    r = fs_read_all(handle, buffer, static_cast<int32_t>(size));
    if (r == &err_lib_record && r->code == ERR_READ)
        return err_win32_code(FS_ERROR_FILE_CHANGED, "ReadFile", "%s", name);
    if (r)
        return err_about_file(r, "ReadFile", name);

    char extra;
    DWORD done = 0;
    r = w32_ReadFile(handle, &extra, 1, &done, nullptr);
    if (r)
        return err_about_file(r, "ReadFile", name);
    if (done != 0)
        return err_win32_code(FS_ERROR_FILE_CHANGED, "ReadFile", "%s", name);
    return nullptr;
}

static ErrorRecord *read_whole_expanded(const char *expanded, void *buffer, uint32_t size)
{
    HANDLE h = nullptr;
    ErrorRecord *r = open_expanded(expanded, 'r', &h);
    if (r)
        return r;
    r = fs_read_handle_exact(h, expanded, buffer, size);
    return fs_close_named(h, r, expanded);
}

ErrorRecord *fs_read_file_exact(const char *path, void *buffer, uint32_t size)
{
    char expanded[FS_MAX_PATH];
    ErrorRecord *r = fs_expand_path(path, expanded, FS_MAX_PATH);
    if (r)
        return r;
    return read_whole_expanded(expanded, buffer, size);
}

// The size comes from a fresh look at the path; the read then insists on it,
// so a file that changes in between is reported, not read in part.
ErrorRecord *fs_read_file(const char *path, void *buffer)
{
    char expanded[FS_MAX_PATH];
    ErrorRecord *r = fs_expand_path(path, expanded, FS_MAX_PATH);
    if (r)
        return r;
    FileInfo info;
    fs_stat_raw(expanded, &info);
    if (info.kind != FS_KIND_FILE)
        return nullptr;
    return read_whole_expanded(expanded, buffer, info.size);
}

// ---------------------------------------------------------------------------
// Putting a time back

ErrorRecord *fs_set_time(const char *path, const FileInfo *info)
{
    HANDLE h = INVALID_HANDLE_VALUE;
    if (w32_CreateFile(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr, &h))
        return nullptr;
    fs_set_time_handle(h, info);
    w32_CloseHandle(h);
    return nullptr;
}

void fs_set_time_handle(HANDLE handle, const FileInfo *info)
{
    int64_t time = 0;
    if (!fs_stamp_get(info, &time))
        return;
    FILETIME ft = fs_time_to_filetime(time);
    SetFileTime(handle, nullptr, nullptr, &ft);
}
