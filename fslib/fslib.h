// The file-system and string library: the one header its users include.
//
// Every operation that can fail returns a pointer to an ErrorRecord, null on
// success; results travel through out-parameters. The pointer names one of
// two static records (err_lib_record, err_sys_record) that the next failure
// of the same kind overwrites.
#ifndef FSLIB_FSLIB_H
#define FSLIB_FSLIB_H

#include <stdint.h>

#include "platform.h"

enum { FS_MAX_PATH = 260 };

// ---------------------------------------------------------------------------
// Error records and message catalogue (errors.cpp)

struct ErrorRecord {
    int32_t code;
    char text[252];
};

struct ErrorCodeEntry {
    int32_t code;  // 0 ends a table
    const char *text;
};

struct ErrorTableLink {
    ErrorTableLink *next;
    const ErrorCodeEntry *table;
};

// Internal error codes the library raises.
enum {
    ERR_NOMEM = 2,      // a memory allocation failed
    ERR_READ = 3,       // a read moved no bytes
    ERR_WRITE = 4,      // a write moved no bytes
    ERR_NEGSIZE = 5,    // a negative size was requested
    ERR_MAXSTRING = 30  // a string does not fit its buffer
};

// System-record codes of our own, for failures the system has no code for.
// Bit 29 marks a code as the application's; FormatMessageA knows none of
// them, so err_win32_code takes their text from err_app_messages.
enum {
    FS_ERROR_FILE_CHANGED = 0x20000001,  // size differs from the earlier look
    FS_ERROR_UTF16 = 0x20000002,         // UTF-16 text, left untouched
    FS_ERROR_NO_REASON = 0x20000003      // a call failed but left no last-error code
};

extern ErrorRecord err_lib_record;
extern ErrorRecord err_sys_record;
extern ErrorTableLink *err_table_chain;
extern const char *err_catalog;
extern const ErrorCodeEntry err_lib_codes[];
extern const ErrorCodeEntry err_app_messages[];

ErrorRecord *err_code(int code);
ErrorRecord *err_codef(int code, ...);
const char *err_text(int code);
ErrorRecord *err_subst(char *text, int size);
const char *err_catalog_find(const char *name);
ErrorRecord *xzsnprintf(int size, int *count, char *buffer, const char *format, ...);
ErrorRecord *err_win32_code(int code, const char *name, const char *details, ...);
ErrorRecord *err_win32(const char *name, const char *details, ...);

// The report of a call that has just failed, naming `path` (null shows as
// empty); a call that failed without a last-error code is reported all the
// same, with FS_ERROR_NO_REASON. Never null.
ErrorRecord *err_win32_failed(const char *name, const char *path);

// A system record about a call on a handle names no file; this reports it
// again naming `path`, keeping the code. Other records pass unchanged.
ErrorRecord *err_about_file(ErrorRecord *error, const char *name, const char *path);

// ---------------------------------------------------------------------------
// System-call wrappers (w32.cpp): one call each, failure into err_sys_record.

ErrorRecord *w32_GetFileAttributes(const char *path, DWORD *attributes);
ErrorRecord *w32_CreateFile(const char *path, DWORD access, DWORD share,
                            LPSECURITY_ATTRIBUTES security, DWORD disposition,
                            DWORD flags, HANDLE templ, HANDLE *handle);
ErrorRecord *w32_FindFirstFile(const char *pattern, WIN32_FIND_DATAA *data, HANDLE *handle);
ErrorRecord *w32_FindNextFile(HANDLE handle, WIN32_FIND_DATAA *data, int *end);
ErrorRecord *w32_FindClose(HANDLE handle);
ErrorRecord *w32_ReadFile(HANDLE handle, void *buffer, DWORD count, DWORD *done,
                          LPOVERLAPPED overlapped);
ErrorRecord *w32_WriteFile(HANDLE handle, const void *buffer, DWORD count, DWORD *done,
                           LPOVERLAPPED overlapped);
ErrorRecord *w32_CloseHandle(HANDLE handle);
ErrorRecord *w32_RegOpenKey(HKEY key, const char *subkey, DWORD options, REGSAM access,
                            HKEY *out);
ErrorRecord *w32_RegQueryValueEx(HKEY key, const char *name, LPDWORD reserved, LPDWORD type,
                                 LPBYTE data, LPDWORD size);
ErrorRecord *w32_RegCloseKey(HKEY key);

// Calls on an open file (and the replace), their failure naming `path`.
ErrorRecord *w32_GetFileInformationByHandle(HANDLE handle, BY_HANDLE_FILE_INFORMATION *info,
                                            const char *path);
ErrorRecord *w32_SetFilePointerEx(HANDLE handle, int64_t offset, const char *path);
ErrorRecord *w32_FlushFileBuffers(HANDLE handle, const char *path);
// A path that does not fit `size` fails with ERROR_FILENAME_EXCED_RANGE.
ErrorRecord *w32_GetFinalPathNameByHandle(HANDLE handle, char *out, DWORD size, const char *path);
ErrorRecord *w32_ReplaceFile(const char *replaced, const char *replacement);

// Clean-up steps: they always close, and keep an earlier error over their own.
ErrorRecord *fs_close(HANDLE handle, ErrorRecord *earlier);
// The same, where a failed close is reported naming `path`.
ErrorRecord *fs_close_named(HANDLE handle, ErrorRecord *earlier, const char *path);
ErrorRecord *reg_close(HKEY *key, ErrorRecord *earlier);

// ---------------------------------------------------------------------------
// Path expansion, registry values and shortcuts (pathexp.cpp)

extern int fs_resolve_shortcuts;

ErrorRecord *fs_expand_path(const char *src, char *dst, int dst_size);
ErrorRecord *env_expand(const char *src, char *dst, int size);
ErrorRecord *reg_read_value(const char *name, char *out, DWORD *count);
ErrorRecord *reg_open_key(const char *text, HKEY *key, int mode);
HKEY reg_root_from_name(const char *text, int length);
int reg_root_match(const char *text, int length, const char *full, const char *abbreviation);
ErrorRecord *reg_query_value(HKEY key, const char *name, char *out, DWORD *count);
ErrorRecord *fs_resolve_shortcut(const char *path, char *out, int size);

// ---------------------------------------------------------------------------
// Path and string helpers (xzstr.cpp)

ErrorRecord *fs_strcat(char *path, int size, const char *component);
const char *fs_filename(const char *path);
int fs_ext_cmp(const char *path, const char *ext);
int xzstrnicmp(const char *a, const char *b, int n);
int xzstricmp(const char *a, const char *b);
char *xzstrncpyc(char *dst, const char *src, int n);
char *xzstrncpy(char *dst, const char *src, int n);
ErrorRecord *xzstrncpyu(char *dst, const char *src, int n);
int xzstrlen(const char *s);
int xzstrcmp(const char *a, const char *b);

// ---------------------------------------------------------------------------
// File information and whole-file I/O (fsfile.cpp)

enum { FS_KIND_NONE = 0, FS_KIND_FILE = 1, FS_KIND_DIR = 2 };

struct FileInfo {
    int32_t kind;
    uint32_t size;  // low 32 bits of the length
    uint32_t stamp; // 0xFFF marker, 12 type bits, time bits 32..39
    uint32_t time;  // time bits 0..31
    uint32_t attributes;
    int32_t type;
    char name[256];  // filled by the directory listing only
};

struct FileTypeEntry {
    int32_t type;      // -1 ends a table
    const char *ext;   // null: a fallback row
};

struct FileTypeLink {
    FileTypeLink *next;
    const FileTypeEntry *rows;
};

extern FileTypeLink *fs_type_tables;

ErrorRecord *fs_stat(const char *path, FileInfo *info);
ErrorRecord *fs_stat_raw(const char *path, FileInfo *info);
ErrorRecord *fs_kind(const char *path, int32_t *kind);
ErrorRecord *fs_open(const char *path, int mode, HANDLE *handle);
ErrorRecord *fs_read_all(HANDLE handle, void *buffer, int32_t count);
ErrorRecord *fs_write_all(HANDLE handle, const void *buffer, int32_t count);
ErrorRecord *fs_read_file(const char *path, void *buffer);
ErrorRecord *fs_write_file(const char *path, const void *buffer, int32_t count);
ErrorRecord *fs_set_time(const char *path, const FileInfo *info);
void fs_set_time_handle(HANDLE handle, const FileInfo *info);
// Fills `info` from a directory search's record; its type comes from `typed_name`.
void fs_info_from_find(const WIN32_FIND_DATAA *found, const char *typed_name, FileInfo *info);
int32_t fs_type_of(const char *path);
int32_t fs_type_lookup(const char *ext);
int64_t fs_time_from_filetime(FILETIME filetime);
FILETIME fs_time_to_filetime(int64_t time);
void fs_stamp_set(FileInfo *info, int64_t time);
int fs_stamp_get(const FileInfo *info, int64_t *time);
uint32_t fs_attr_readonly(uint32_t attributes);
uint32_t fs_attr_hidden(uint32_t attributes);
uint32_t fs_attr_system(uint32_t attributes);

// Reads a whole file into a buffer of exactly `size` bytes. Fails, naming the
// path, when the file is 2 GiB or more or its length is not `size` (it
// changed since the caller looked); the buffer is never overrun, and on
// failure its content is not the file's.
ErrorRecord *fs_read_file_exact(const char *path, void *buffer, uint32_t size);

// The same through a handle the caller opened (from its start), so that
// what is read is the very file the caller looked at; `name` names it in
// errors.
ErrorRecord *fs_read_handle_exact(HANDLE handle, const char *name, void *buffer, uint32_t size);

// ---------------------------------------------------------------------------
// Directory listing (fslist.cpp)

enum {
    FS_LIST_DIRS_ONLY = 1,
    FS_LIST_NO_HIDDEN = 2,
    FS_LIST_NO_SYSTEM = 4,
    FS_LIST_NO_READONLY = 8
};

struct DirEntry {
    int32_t kind;
    uint32_t size;
    uint32_t stamp;
    uint32_t time;
    uint32_t attributes;
    int32_t type;
    int32_t name_offset;
    uint32_t reserved;
};

struct DirListing {
    int32_t count;
    char *names;        // GrowBlock payload
    DirEntry *entries;  // GrowBlock payload
    int32_t cursor;
};

extern HANDLE fs_enum_handle;
extern const char *fs_list_sort_pool;

ErrorRecord *fs_list_open(const char *path, const char *pattern, int flags, DirListing **listing);
ErrorRecord *fs_list_next(DirListing *listing, FileInfo *info, int *end);
ErrorRecord *fs_list_close(DirListing **listing);

void fs_enum_reset(void);
ErrorRecord *fs_enum_next(const char *path, FileInfo *info, const char *pattern, int *end);
ErrorRecord *fs_enum_close(void);
ErrorRecord *fs_list_build(int32_t *count, char **names, DirEntry **entries, const char *path,
                           const char *pattern, int flags);
ErrorRecord *fs_list_sort(int32_t count, const char *names, DirEntry *entries);
int fs_list_cmp(const void *a, const void *b);
ErrorRecord *xzcalloc(void **block, int32_t n);
ErrorRecord *xzfree(void **block);

// ---------------------------------------------------------------------------
// Growable memory blocks (growblk.cpp)

typedef void (*GbMoveFn)(void *data, intptr_t distance);
typedef ErrorRecord *(*GbOomFn)(int arg);

// Header in front of every payload: three 32-bit words on a 32-bit build;
// where pointers are wider the callback fields widen with them.
struct GbHeader {
    int32_t total_size;  // header and payload together
    GbMoveFn on_move;
    void *on_move_data;
};

struct GbContext {
    int unused;
};

extern GbOomFn gb_oom_hook;
extern GbContext gb_default_context;

ErrorRecord *gb_create(void **block, int32_t size, GbContext *ctx);
ErrorRecord *gb_alloc_ctx(void **block, int32_t size, GbContext *ctx);
ErrorRecord *gb_destroy(void **block, GbContext *ctx);
ErrorRecord *gb_resize(void **block, int32_t size, GbContext *ctx);
ErrorRecord *gb_reserve_ctx(void **block, int32_t need, int32_t step, GbContext *ctx);
ErrorRecord *gb_size(void **block, int32_t *size);
ErrorRecord *gb_alloc(void **block, int32_t size);
ErrorRecord *gb_free(void **block);
ErrorRecord *gb_reserve(void **block, int32_t need, int32_t step);
ErrorRecord *gb_free_pair(void **a, void **b);

// The header of a block; how users install the move callback.
GbHeader *gb_header(void *payload);

#endif
