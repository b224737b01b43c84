// Directory listing: a sorted, filtered snapshot of one directory.
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "fslib.h"

// An entry holds the six fields of a FileInfo before its name, laid out the
// same way, so they travel as one run of bytes.
static const size_t kInfoHead = offsetof(FileInfo, name);
static_assert(offsetof(FileInfo, name) == offsetof(DirEntry, name_offset),
              "DirEntry must begin with FileInfo's fields");

HANDLE fs_enum_handle = nullptr;
const char *fs_list_sort_pool = nullptr;

static const int32_t kBlockStep = 2048;
// Growth steps stop doubling here, far below where sizes could overflow.
static const int32_t kMaxGrowthStep = 1 << 24;
static const int32_t kMaxBlock = 0x7FFFFFFF - 2 * kMaxGrowthStep;

// ---------------------------------------------------------------------------
// Heap records

ErrorRecord *xzcalloc(void **block, int32_t n)
{
    if (n < 0)
        return err_code(ERR_NEGSIZE);
    if (n == 0)
        n = 1;
    *block = calloc(1, static_cast<size_t>(n));
    return *block ? nullptr : err_code(ERR_NOMEM);
}

ErrorRecord *xzfree(void **block)
{
    if (*block)
        free(*block);
    *block = nullptr;
    return nullptr;
}

// ---------------------------------------------------------------------------
// The shared enumeration

void fs_enum_reset(void) { fs_enum_handle = nullptr; }

ErrorRecord *fs_enum_close(void)
{
    ErrorRecord *r = nullptr;
    if (fs_enum_handle && fs_enum_handle != INVALID_HANDLE_VALUE)
        r = w32_FindClose(fs_enum_handle);
    fs_enum_handle = nullptr;
    return r;
}

// The directory and the pattern joined; a directory too long to take the
// pattern fails rather than searching a cut path. An empty directory names
// none: joined with the pattern it would be the root's search.
static ErrorRecord *search_path(const char *path, const char *pattern, char *joined)
{
    ErrorRecord *r = fs_expand_path(path, joined, FS_MAX_PATH);
    if (r)
        return r;
    if (!joined[0])
        return err_win32_code(ERROR_PATH_NOT_FOUND, "FindFirstFile", "%s", path);
    if (!pattern || !*pattern)
        return nullptr;
    int32_t length = xzstrlen(joined);
    if (fs_strcat(joined, FS_MAX_PATH, pattern)) {
        joined[length] = 0;
        return err_win32_code(ERROR_FILENAME_EXCED_RANGE, "FindFirstFile", "%s", joined);
    }
    return nullptr;
}

// The search in progress, for naming it when a later step fails: the
// system's report of that step names no directory.
static char enum_pattern[FS_MAX_PATH];

static ErrorRecord *start_search(const char *path, const char *pattern, WIN32_FIND_DATAA *found)
{
    char *joined = enum_pattern;
    ErrorRecord *r = search_path(path, pattern, joined);
    if (r)
        return r;
    HANDLE h = INVALID_HANDLE_VALUE;
    r = w32_FindFirstFile(joined, found, &h);
    if (r)
        return r;
    fs_enum_handle = h;
    return nullptr;
}

// A failed step that the wrapper does not report still ends the search.
static ErrorRecord *continue_search(WIN32_FIND_DATAA *found, int *end)
{
    *end = 1;
    ErrorRecord *r = w32_FindNextFile(fs_enum_handle, found, end);
    int32_t code = r ? r->code : 0;
    if (r || *end) {
        w32_FindClose(fs_enum_handle);
        fs_enum_handle = nullptr;
    }
    return r ? err_win32_code(code, "FindNextFile", "%s", enum_pattern) : nullptr;
}

static int is_dot_entry(const char *name)
{
    return xzstrcmp(name, ".") == 0 || xzstrcmp(name, "..") == 0;
}

// The name as found, whole: where the system lets a name hold a backslash
// or a colon (POSIX), the part after it would be another entry's name.
static void fill_entry(const WIN32_FIND_DATAA *found, FileInfo *info)
{
    xzstrncpy(info->name, found->cFileName, sizeof info->name);
    fs_info_from_find(found, info->name, info);
}

ErrorRecord *fs_enum_next(const char *path, FileInfo *info, const char *pattern, int *end)
{
    WIN32_FIND_DATAA found;
    *end = 1;
    do {
        ErrorRecord *r;
        if (!fs_enum_handle) {
            r = start_search(path, pattern, &found);
        } else {
            r = continue_search(&found, end);
            if (!r && *end)
                return nullptr;
        }
        if (r) {
            *end = 1;
            return r;
        }
    } while (is_dot_entry(found.cFileName));
    fill_entry(&found, info);
    *end = 0;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Building and sorting

static int left_out(const FileInfo *info, int flags)
{
    if ((flags & FS_LIST_NO_HIDDEN) && fs_attr_hidden(info->attributes))
        return 1;
    if ((flags & FS_LIST_NO_SYSTEM) && fs_attr_system(info->attributes))
        return 1;
    if ((flags & FS_LIST_NO_READONLY) && fs_attr_readonly(info->attributes))
        return 1;
    if ((flags & FS_LIST_DIRS_ONLY) && info->kind != FS_KIND_DIR)
        return 1;
    return 0;
}

// Makes room for `need` bytes. The step grows with the block, so a listing
// of n entries moves its blocks O(log n) times and costs linear time.
static ErrorRecord *reserve(void **block, int32_t need)
{
    if (need > kMaxBlock)
        return err_code(ERR_NOMEM);
    int32_t capacity = 0;
    gb_size(block, &capacity);
    int32_t step = capacity;
    if (step < kBlockStep)
        step = kBlockStep;
    if (step > kMaxGrowthStep)
        step = kMaxGrowthStep;
    return gb_reserve(block, need, step);
}

static ErrorRecord *add_entry(const FileInfo *info, int32_t n, int32_t *used, char **names,
                              DirEntry **entries)
{
    if (n >= kMaxBlock / static_cast<int32_t>(sizeof(DirEntry)))
        return err_code(ERR_NOMEM);
    ErrorRecord *r = reserve(reinterpret_cast<void **>(entries),
                             (n + 1) * static_cast<int32_t>(sizeof(DirEntry)));
    if (r)
        return r;
    int32_t length = xzstrlen(info->name) + 1;
    r = reserve(reinterpret_cast<void **>(names), *used + length);
    if (r)
        return r;
    DirEntry *entry = *entries + n;
    memcpy(entry, info, kInfoHead);
    entry->name_offset = *used;
    entry->reserved = 0;
    memcpy(*names + *used, info->name, static_cast<size_t>(length));
    *used += length;
    return nullptr;
}

ErrorRecord *fs_list_build(int32_t *count, char **names, DirEntry **entries, const char *path,
                           const char *pattern, int flags)
{
    ErrorRecord *r = gb_alloc(reinterpret_cast<void **>(entries), kBlockStep);
    if (r)
        return r;
    r = gb_alloc(reinterpret_cast<void **>(names), kBlockStep);
    if (r) {
        gb_free(reinterpret_cast<void **>(entries));
        return r;
    }
    int32_t n = 0;
    int32_t used = 0;
    fs_enum_reset();
    for (;;) {
        FileInfo info;
        int end = 1;
        r = fs_enum_next(path, &info, pattern, &end);
        if (r || end)
            break;
        if (left_out(&info, flags))
            continue;
        r = add_entry(&info, n, &used, names, entries);
        if (r)
            break;
        ++n;
    }
    *count = n;
    fs_enum_close();
    return r;
}

int fs_list_cmp(const void *a, const void *b)
{
    const DirEntry *ea = static_cast<const DirEntry *>(a);
    const DirEntry *eb = static_cast<const DirEntry *>(b);
    const unsigned char *p = reinterpret_cast<const unsigned char *>(fs_list_sort_pool + ea->name_offset);
    const unsigned char *q = reinterpret_cast<const unsigned char *>(fs_list_sort_pool + eb->name_offset);
    for (;; ++p, ++q) {
        unsigned x = (*p >= 'A' && *p <= 'Z') ? *p + ('a' - 'A') : *p;
        unsigned y = (*q >= 'A' && *q <= 'Z') ? *q + ('a' - 'A') : *q;
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

ErrorRecord *fs_list_sort(int32_t count, const char *names, DirEntry *entries)
{
    fs_list_sort_pool = names;
    if (count > 1)
        qsort(entries, static_cast<size_t>(count), sizeof(DirEntry), fs_list_cmp);
    return nullptr;
}

// ---------------------------------------------------------------------------
// The public listing

ErrorRecord *fs_list_open(const char *path, const char *pattern, int flags, DirListing **listing)
{
    void *block = nullptr;
    ErrorRecord *r = xzcalloc(&block, sizeof(DirListing));
    if (r)
        return r;
    DirListing *made = static_cast<DirListing *>(block);
    r = fs_list_build(&made->count, &made->names, &made->entries, path, pattern, flags);
    if (r) {
        gb_free(reinterpret_cast<void **>(&made->names));
        gb_free(reinterpret_cast<void **>(&made->entries));
        xzfree(&block);
        return r;
    }
    fs_list_sort(made->count, made->names, made->entries);
    made->cursor = 0;
    *listing = made;
    return nullptr;
}

ErrorRecord *fs_list_next(DirListing *listing, FileInfo *info, int *end)
{
    if (!listing || listing->cursor >= listing->count) {
        *end = 1;
        return nullptr;
    }
    const DirEntry *entry = listing->entries + listing->cursor;
    memcpy(info, entry, kInfoHead);
    xzstrncpy(info->name, listing->names + entry->name_offset, sizeof info->name);
    listing->cursor += 1;
    *end = 0;
    return nullptr;
}

ErrorRecord *fs_list_close(DirListing **listing)
{
    if (!listing || !*listing)
        return nullptr;
    gb_free_pair(reinterpret_cast<void **>(&(*listing)->names),
                 reinterpret_cast<void **>(&(*listing)->entries));
    void *block = *listing;
    xzfree(&block);
    *listing = nullptr;
    return nullptr;
}
