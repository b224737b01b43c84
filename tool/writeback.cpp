// Writing a converted image back without ever leaving a file half written.
//
// The new content goes into a temporary file beside the original, which
// then replaces the original in one step, keeping its attributes (on POSIX
// its mode, owner and group). A symbolic link is followed first, so that the
// link stays a link. A file with several hard links is rewritten in place
// instead, so that every name keeps seeing it; the room it grows by is
// taken before the first old byte changes, so that a full disk fails early.
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <atomic>

#include "dravick.h"

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


// What the original is: the path after following symbolic links, its
// attributes, its number of hard links, and whether it could be opened for
// deletion, which a replace needs.
struct Original {
    char path[FS_MAX_PATH];
    DWORD attributes;
    DWORD links;
    bool deletable;
};

// GetFinalPathNameByHandleA gives a long-path prefix on Windows.
static void strip_long_prefix(char *path)
{
    if (strncmp(path, "\\\\?\\UNC\\", 8) == 0)
        memmove(path + 2, path + 8, strlen(path + 8) + 1);
    else if (strncmp(path, "\\\\?\\", 4) == 0)
        memmove(path, path + 4, strlen(path + 4) + 1);
}

static ErrorRecord *look_at_original(const char *path, Original *original)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle;
    ErrorRecord *error = w32_CreateFile(path, GENERIC_READ | DELETE, share, NULL, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, NULL, &handle);
    original->deletable = error == NULL;
    if (!original->deletable) {
        error = w32_CreateFile(path, GENERIC_READ, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL,
                               &handle);
        if (error != NULL)
            return error;
    }
    BY_HANDLE_FILE_INFORMATION details;
    char final_path[FS_MAX_PATH + 8];
    if (!GetFileInformationByHandle(handle, &details)) {
        error = err_win32_failed("GetFileInformationByHandle", path);
    } else {
        original->attributes = details.dwFileAttributes;
        original->links = details.nNumberOfLinks;
        DWORD length = GetFinalPathNameByHandleA(handle, final_path, sizeof final_path, 0);
        if (length == 0 || length >= sizeof final_path) {
            error = err_win32_failed("GetFinalPathNameByHandle", path);
        } else {
            strip_long_prefix(final_path);
            if (strlen(final_path) >= sizeof original->path)
                error = err_win32_code(ERROR_FILENAME_EXCED_RANGE, "GetFinalPathNameByHandle", "%s", path);
            else
                memcpy(original->path, final_path, strlen(final_path) + 1);
        }
    }
    return fs_close_named(handle, error, path);
}

static ErrorRecord *set_length(HANDLE handle, int64_t length, const char *path)
{
    LARGE_INTEGER position;
    position.QuadPart = length;
    if (!SetFilePointerEx(handle, position, NULL, FILE_BEGIN) || !SetEndOfFile(handle))
        return err_win32_failed("SetEndOfFile", path);
    return NULL;
}

static ErrorRecord *seek_to(HANDLE handle, int64_t offset, const char *path)
{
    LARGE_INTEGER position;
    position.QuadPart = offset;
    if (!SetFilePointerEx(handle, position, NULL, FILE_BEGIN))
        return err_win32_failed("SetFilePointerEx", path);
    return NULL;
}

static ErrorRecord *write_at(HANDLE handle, int64_t offset, const unsigned char *data, uint32_t count,
                             const char *path)
{
    ErrorRecord *error = seek_to(handle, offset, path);
    if (error == NULL)
        error = err_about_file(fs_write_all(handle, data, static_cast<int32_t>(count)), "WriteFile", path);
    return error;
}

// The in-place rewrite. The file only grows, so the bytes past its old end
// are written first: that is where all the new room is taken, and a full
// disk fails there while every old byte is still in place (setting the
// length alone does not take the room on every system). Only then is the
// front overwritten. A check run opens the file as the rewrite does, to
// find out whether it may, and writes nothing.
static ErrorRecord *write_in_place(const char *path, const unsigned char *data, uint32_t count,
                                   const FileInfo *info)
{
    HANDLE handle;
    ErrorRecord *error = w32_CreateFile(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, NULL, &handle);
    if (error != NULL)
        return error;
    LARGE_INTEGER old_length;
    if (!GetFileSizeEx(handle, &old_length)) {
        error = err_win32_failed("GetFileSizeEx", path);
    } else if (old_length.QuadPart != info->size || info->size > count) {
        // Changed since it was read: writing now would drop what changed.
        error = err_win32_code(FS_ERROR_FILE_CHANGED, "GetFileSizeEx", "%s", path);
    } else if (!run_state.check) {
        // A write that fails having written nothing leaves the old bytes
        // in front: cutting the new tail off gives the file back whole.
        uint32_t front = static_cast<uint32_t>(old_length.QuadPart);
        if ((error = set_length(handle, count, path)) != NULL ||
            (error = write_at(handle, front, data + front, count - front, path)) != NULL ||
            (error = write_at(handle, 0, data, front, path)) != NULL)
            set_length(handle, front, path);
        else
            fs_set_time_handle(handle, info);
    }
    return fs_close_named(handle, error, path);
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

static unsigned next_serial(void)
{
    static unsigned serial;
    if (serial == 0)
        serial = static_cast<unsigned>(time(NULL)) * 2654435761u + static_cast<unsigned>(clock());
    return ++serial;
}

// Creates a new temporary file beside `path`; its name goes to temp_path.
// Returns false, with nothing created, when no name fits. A name already
// taken is passed over before the interrupt handler is told of it, so that
// the handler never removes a file that is not ours.
static bool create_temp(const char *path, HANDLE *handle, ErrorRecord **error)
{
    for (int attempt = 0; attempt < 100; attempt++) {
        char name[FS_MAX_PATH];
        if (!temp_name_beside(path, next_serial(), name))
            return false;
        if (GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES) {
            *error = err_win32_code(ERROR_FILE_EXISTS, "CreateFile", "%s", name);
            continue;
        }
        memcpy(temp_path, name, sizeof name);
        temp_active = 1;
        *error = w32_CreateFile(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL, handle);
        if (*error == NULL)
            return true;
        temp_active = 0;
        if ((*error)->code != ERROR_FILE_EXISTS && (*error)->code != ERROR_ALREADY_EXISTS)
            return true;
    }
    return true;
}

static void drop_temp(void)
{
    DeleteFileA(temp_path);
    temp_active = 0;
}

// Moves the finished temporary file over the original.
static ErrorRecord *replace_original(const char *path)
{
    if (ReplaceFileA(path, temp_path, NULL, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL)) {
        temp_active = 0;
        return NULL;
    }
    ErrorRecord *error = err_win32_failed("ReplaceFile", path);
    // The original may already be gone with the new content still under the
    // temporary name: then that name is the only copy left, and moving it
    // into place is the way forward.
    if (error->code == ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
        GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES &&
        MoveFileExA(temp_path, path, MOVEFILE_REPLACE_EXISTING)) {
        temp_active = 0;
        return NULL;
    }
    drop_temp();
    return error;
}

// A program that holds the original open without sharing its deletion
// keeps it from being replaced. That is found out before anything is
// written: a replace that fails late costs the whole write, and some
// systems leave a stray file of their own behind when it does. Asked only
// when the first look could not open the file for deletion, to report why.
static ErrorRecord *check_replaceable(const char *path)
{
    HANDLE handle;
    ErrorRecord *error = w32_CreateFile(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL, &handle);
    if (error != NULL)
        return error;
    return fs_close_named(handle, NULL, path);
}

static ErrorRecord *write_by_replace(const char *path, const unsigned char *data, uint32_t count,
                                     const FileInfo *info, bool *no_temp)
{
    HANDLE handle;
    ErrorRecord *error = NULL;
    watch_interrupts();
    if (!create_temp(path, &handle, &error)) {
        *no_temp = true;
        return NULL;
    }
    if (error != NULL)
        return error;
    error = err_about_file(fs_write_all(handle, data, static_cast<int32_t>(count)), "WriteFile", temp_path);
    if (error == NULL)
        fs_set_time_handle(handle, info);
    error = fs_close_named(handle, error, temp_path);
    if (error != NULL) {
        drop_temp();
        return error;
    }
    return replace_original(path);
}

ErrorRecord *writeback_file(const char *path, const unsigned char *data, uint32_t count,
                            const FileInfo *info)
{
    Original original;
    ErrorRecord *error = look_at_original(path, &original);
    if (error != NULL)
        return error;
    if (original.attributes & FILE_ATTRIBUTE_READONLY)
        return err_win32_code(ERROR_ACCESS_DENIED, "CreateFile", "%s", path);
    if (original.links > 1)
        return write_in_place(original.path, data, count, info);
    if (!original.deletable && (error = check_replaceable(original.path)) != NULL)
        return error;
    // Whether the directory takes a temporary file is not known without
    // creating one, so a check run cannot tell; it knows only whether a
    // name for one fits.
    if (run_state.check) {
        char name[FS_MAX_PATH];
        if (temp_name_beside(original.path, 0, name))
            return NULL;
        return write_in_place(original.path, data, count, info);
    }
    bool no_temp = false;
    error = write_by_replace(original.path, data, count, info, &no_temp);
    if (no_temp)
        return write_in_place(original.path, data, count, info);
    return error;
}
