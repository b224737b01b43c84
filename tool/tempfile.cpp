// The temporary file beside the original: its name, its creation with the
// original as template, its removal (also by the interrupt handler), and
// the replace that moves it over the original.
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <atomic>

#include "dravick.h"
#include "writeback.h"

// The temporary file being written, removed by the interrupt handler. The
// flag is raised before the file is created, so that an interrupt that
// comes while it is being created still removes it.
static char temp_path[FS_MAX_PATH];
static std::atomic<int> temp_active;

static BOOL WINAPI on_interrupt(DWORD event)
{
    (void)event;
    if (temp_active)
        DeleteFileA(temp_path);
    return FALSE;  // the default handling then ends the process
}

static void watch_interrupts(void)
{
    static bool installed;
    if (!installed)
        installed = SetConsoleCtrlHandler(on_interrupt, TRUE) != FALSE;
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

const char *temp_name(void) { return temp_path; }

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
ErrorRecord *temp_create(const Original *original, HANDLE *handle)
{
    watch_interrupts();
    ErrorRecord *error = NULL;
    for (int attempt = 0; attempt < 100; attempt++) {
        char name[FS_MAX_PATH];
        if (!temp_name_beside(original->path, next_serial(), name))
            return err_win32_code(ERROR_FILENAME_EXCED_RANGE, "CreateFile", "%s", original->path);
        if (GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES) {
            error = err_win32_code(ERROR_FILE_EXISTS, "CreateFile", "%s", name);
            continue;
        }
        memcpy(temp_path, name, sizeof name);
        temp_active = 1;
        error = w32_CreateFile(name, GENERIC_WRITE, FILE_SHARE_DELETE, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               original->handle, handle);
        if (error == NULL)
            return NULL;
        temp_active = 0;
        if (error->code != ERROR_FILE_EXISTS && error->code != ERROR_ALREADY_EXISTS)
            return error;
    }
    return error;
}

// Once only: the name may be another program's again after that.
void temp_drop(void)
{
    if (temp_active)
        DeleteFileA(temp_path);
    temp_active = 0;
}

ErrorRecord *temp_replace(const char *path)
{
    ErrorRecord *error = w32_ReplaceFile(path, temp_path);
    if (error == NULL) {
        temp_active = 0;
        return NULL;
    }
    // The original may already be gone with the new content still under the
    // temporary name: then that name is the only copy left, and moving it
    // into place is the way forward.
    if (error->code == ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
        GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES &&
        MoveFileExA(temp_path, path, MOVEFILE_REPLACE_EXISTING)) {
        temp_active = 0;
        return NULL;
    }
    temp_drop();
    return error;
}
