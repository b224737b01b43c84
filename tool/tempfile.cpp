// The temporary file beside the original: its name, its creation with the
// original as template, its removal (also by the interrupt handler), and
// the replace that moves it over the original.
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <atomic>

#include "batch.h"
#include "dravick.h"
#include "writeback.h"

// The temporary files not yet in place, removed by the interrupt handler:
// one slot for each a batch can hold. A slot's flag is raised before its
// file is created, so that an interrupt that comes while it is being
// created still removes it.
enum { kSlots = BATCH_FILES };
static char temp_paths[kSlots][FS_MAX_PATH];
static std::atomic<int> temp_active[kSlots];

static BOOL WINAPI on_interrupt(DWORD event)
{
    (void)event;
    for (int slot = 0; slot < kSlots; slot++) {
        if (temp_active[slot])
            DeleteFileA(temp_paths[slot]);
    }
    return FALSE;  // the default handling then ends the process
}

static void watch_interrupts(void)
{
    static bool installed;
    if (!installed)
        installed = SetConsoleCtrlHandler(on_interrupt, TRUE) != FALSE;
}

// `path` with every '/' made a backslash, the separator every Windows call
// takes: Wine's replace fails a relative name whose last separator is '/'
// (267). The POSIX layer reads both alike.
static void with_backslashes(const char *path, char *out)
{
    size_t i = 0;
    for (; path[i] != 0 && i < FS_MAX_PATH - 1; i++)
        out[i] = path[i] == '/' ? '\\' : path[i];
    out[i] = 0;
}

// A name beside `path` for the temporary file: the directory part of the
// path and a short name of our own. Fails when it does not fit.
static bool temp_name_beside(const char *path, unsigned serial, char *out)
{
    const char *slash = strrchr(path, '\\');
    const char *other = strrchr(path, '/');
    if (other != NULL && (slash == NULL || other > slash))
        slash = other;
    int directory = slash != NULL ? static_cast<int>(slash - path + 1) : 0;
    int written = snprintf(out, FS_MAX_PATH, "%.*s~dvk%08x.tmp", directory, path, serial);
    return written > 0 && written < FS_MAX_PATH;
}

bool temp_name_fits(const char *path)
{
    char name[FS_MAX_PATH];
    return temp_name_beside(path, 0, name);
}

const char *temp_name(int slot) { return temp_paths[slot]; }

static int free_slot(void)
{
    for (int slot = 0; slot < kSlots; slot++) {
        if (!temp_active[slot])
            return slot;
    }
    return -1;
}

static unsigned next_serial(void)
{
    static unsigned serial;
    if (serial == 0)
        serial = static_cast<unsigned>(time(NULL)) * 2654435761u + static_cast<unsigned>(clock());
    return ++serial;
}

// A new file that only we may read until it takes the original's place:
// created sharing no reading, which on POSIX also leaves it without
// permission for others. The original's handle is its template: its owner,
// group, mode and ACLs come from the file that was read, not from whatever
// the name leads to later. A name already taken is passed over before the
// interrupt handler is told of it, so that the handler never removes a file
// that is not ours.
int temp_create(const Original *original, HANDLE *handle, ErrorRecord **error)
{
    watch_interrupts();
    int slot = free_slot();
    *error = err_win32_code(ERROR_TOO_MANY_OPEN_FILES, "CreateFile", "%s", original->path);
    for (int attempt = 0; attempt < 100 && slot >= 0; attempt++) {
        char name[FS_MAX_PATH];
        if (!temp_name_beside(original->path, next_serial(), name)) {
            *error = err_win32_code(ERROR_FILENAME_EXCED_RANGE, "CreateFile", "%s", original->path);
            return -1;
        }
        if (GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES) {
            *error = err_win32_code(ERROR_FILE_EXISTS, "CreateFile", "%s", name);
            continue;
        }
        memcpy(temp_paths[slot], name, sizeof name);
        temp_active[slot] = 1;
        *error = w32_CreateFile(name, GENERIC_WRITE, FILE_SHARE_DELETE, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                original->handle, handle);
        if (*error == NULL)
            return slot;
        temp_active[slot] = 0;
        if ((*error)->code != ERROR_FILE_EXISTS && (*error)->code != ERROR_ALREADY_EXISTS)
            return -1;
    }
    return -1;
}

// Once only: the name may be another program's again after that.
void temp_drop(int slot)
{
    if (temp_active[slot])
        DeleteFileA(temp_paths[slot]);
    temp_active[slot] = 0;
}

// The temporary file is left where it is, no longer ours to remove (the
// interrupt handler included): it holds the only copy of the file.
static ErrorRecord *temp_keep(int slot, int code, const char *path)
{
    temp_active[slot] = 0;
    const char *name = temp_paths[slot];
    for (const char *c = temp_paths[slot]; *c != 0; c++)
        if (*c == '\\' || *c == '/')
            name = c + 1;
    return err_win32_code(code, "ReplaceFile", "%s holds the only copy of %s", name, path);
}

// A failed replace may have taken the original away: with 1176 it is gone
// and the new content is under the temporary name alone; with 1177 it
// lives on under a name of the system's choice. Some systems report 1176
// and leave another file under the name, one the name also reads as (a
// case twin on a case-sensitive folder, or a file named like the short
// name of another). So the temporary file is removed only while the name
// still holds the original, or where the system left both names as they
// were and another program put a file of its own there; where the name is
// free it is moved there, without replacing whatever may come meanwhile;
// otherwise it is kept, and the error names it.
ErrorRecord *temp_replace(int slot, const Original *original)
{
    char path[FS_MAX_PATH], temp[FS_MAX_PATH];
    with_backslashes(original->path, path);
    with_backslashes(temp_paths[slot], temp);
    ErrorRecord *error = w32_ReplaceFile(path, temp);
    if (error == NULL) {
        temp_active[slot] = 0;
        return NULL;
    }
    int code = error->code;
    // The name still holds the original, as it was seen.
    if (original_unchanged(original) == NULL) {
        temp_drop(slot);
        return err_win32_code(code, "ReplaceFile", "%s", original->path);
    }
    if (MoveFileExA(temp, path, 0)) {
        temp_active[slot] = 0;
        return NULL;
    }
    bool taken_away = code == ERROR_UNABLE_TO_MOVE_REPLACEMENT || code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 ||
                      GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
    if (taken_away)
        return temp_keep(slot, code, original->path);
    temp_drop(slot);
    return err_win32_code(code, "ReplaceFile", "%s", original->path);
}
