// Writing a converted image back without ever leaving a file half written.
//
// The new content goes into a temporary file beside the original, which
// then replaces the original in one step, keeping its attributes (on POSIX
// its mode, owner and group). A symbolic link is followed first, so that the
// link stays a link. A file with several hard links is rewritten in place
// instead, so that every name keeps seeing it; the room it grows by is
// taken before the first old byte changes, so that a full disk fails early.
// Either way the new content is flushed to the disk before the replace or
// before success is reported, so that a power cut after the replace finds
// the new content under the name, not an empty or zero-filled file.
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <atomic>

#include "dravick.h"
#include "interrupts.h"
#include "stream.h"

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


// GetFinalPathNameByHandleA gives a long-path prefix on Windows.
static void strip_long_prefix(char *path)
{
    if (strncmp(path, "\\\\?\\UNC\\", 8) == 0)
        memmove(path + 2, path + 8, strlen(path + 8) + 1);
    else if (strncmp(path, "\\\\?\\", 4) == 0)
        memmove(path, path + 4, strlen(path + 4) + 1);
}

static bool same_file(const BY_HANDLE_FILE_INFORMATION &a, const BY_HANDLE_FILE_INFORMATION &b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow && a.nFileSizeHigh == b.nFileSizeHigh &&
           a.nFileSizeLow == b.nFileSizeLow &&
           a.ftLastWriteTime.dwLowDateTime == b.ftLastWriteTime.dwLowDateTime &&
           a.ftLastWriteTime.dwHighDateTime == b.ftLastWriteTime.dwHighDateTime;
}

// Another program wrote to the file since it was read: replacing it now
// would drop what that program wrote.
static ErrorRecord *changed_meanwhile(const char *path)
{
    return err_win32_code(ERROR_SHARING_VIOLATION, "GetFileInformationByHandle", "%s", path);
}

// Whether the file looked at is still the one that was read: the size and,
// to the 10 ms the record keeps, the last-write time of the caller's look.
static bool as_read(const BY_HANDLE_FILE_INFORMATION &seen, const FileInfo *info)
{
    int64_t time = 0;
    if (seen.nFileSizeHigh != 0 || seen.nFileSizeLow != info->size)
        return false;
    return !fs_stamp_get(info, &time) || fs_time_from_filetime(seen.ftLastWriteTime) == time;
}

// A length other than the look's, or one of 2 GiB or more, which the
// look's 32-bit size cannot hold and the conversion does not take.
static ErrorRecord *check_length(const BY_HANDLE_FILE_INFORMATION &seen, const FileInfo *info,
                                 const char *path)
{
    if (seen.nFileSizeHigh != 0 || seen.nFileSizeLow > 0x7FFFFFFFu)
        return err_win32_code(ERROR_FILE_TOO_LARGE, "GetFileSize", "%s", path);
    if (seen.nFileSizeLow != info->size)
        return err_win32_code(FS_ERROR_FILE_CHANGED, "GetFileSize", "%s", path);
    return NULL;
}

static ErrorRecord *look_at_original(const char *path, const FileInfo *info, Original *original)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;
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
    char final_path[FS_MAX_PATH + 8];
    if (!GetFileInformationByHandle(handle, &original->seen)) {
        error = err_win32_failed("GetFileInformationByHandle", path);
    } else if ((error = check_length(original->seen, info, path)) != NULL) {
    } else if (!as_read(original->seen, info)) {
        error = changed_meanwhile(path);
    } else {
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
    if (error != NULL)
        return fs_close_named(handle, error, path);
    original->handle = handle;
    return NULL;
}

// Lets go of the original, reporting a failed close unless an earlier
// failure is reported.
static ErrorRecord *let_go(Original *original, ErrorRecord *earlier)
{
    if (original->handle == NULL)
        return earlier;
    HANDLE handle = original->handle;
    original->handle = NULL;
    return fs_close_named(handle, earlier, original->path);
}

// The second look, just before the original is replaced: through a fresh
// open of its path, so that a file renamed over it is noticed as well as
// one written to.
static ErrorRecord *check_unchanged(const Original *original)
{
    HANDLE handle;
    ErrorRecord *error = w32_CreateFile(original->path, FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL, &handle);
    if (error != NULL)
        return error;
    BY_HANDLE_FILE_INFORMATION now;
    if (!GetFileInformationByHandle(handle, &now))
        error = err_win32_failed("GetFileInformationByHandle", original->path);
    else if (!same_file(original->seen, now))
        error = changed_meanwhile(original->path);
    return fs_close_named(handle, error, original->path);
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

static ErrorRecord *flush(HANDLE handle, const char *path)
{
    if (!FlushFileBuffers(handle))
        return err_win32_failed("FlushFileBuffers", path);
    return NULL;
}

static ErrorRecord *write_all(HANDLE handle, const unsigned char *data, uint32_t count, const char *path)
{
    return err_about_file(fs_write_all(handle, data, static_cast<int32_t>(count)), "WriteFile", path);
}

static ErrorRecord *write_at(HANDLE handle, int64_t offset, const unsigned char *data, uint32_t count,
                             const char *path)
{
    ErrorRecord *error = seek_to(handle, offset, path);
    return error != NULL ? error : write_all(handle, data, count, path);
}

// The in-place rewrite. The file only grows, so the bytes past its old end
// are written first: that is where all the new room is taken, and a full
// disk fails there while every old byte is still in place (setting the
// length alone does not take the room on every system). Only then is the
// front overwritten. The original was let go before, as writing needs a
// handle of its own: what this handle sees must be what was looked at. A
// check run opens the file as the rewrite does, to find out whether it may,
// and writes nothing.
static ErrorRecord *write_in_place(const Original *original, const unsigned char *data, uint32_t count,
                                   const FileInfo *info)
{
    const char *path = original->path;
    HANDLE handle;
    ErrorRecord *error = w32_CreateFile(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, NULL, &handle);
    if (error != NULL)
        return error;
    BY_HANDLE_FILE_INFORMATION now;
    if (!GetFileInformationByHandle(handle, &now)) {
        error = err_win32_failed("GetFileInformationByHandle", path);
    } else if (!same_file(original->seen, now)) {
        // Written to since it was read: writing now would drop that.
        error = changed_meanwhile(path);
    } else if (info->size > count) {
        error = err_win32_code(FS_ERROR_FILE_CHANGED, "GetFileInformationByHandle", "%s", path);
    } else if (!run_state.check) {
        // A write that fails having written nothing leaves the old bytes
        // in front: cutting the new tail off gives the file back whole.
        uint32_t front = info->size;
        if ((error = set_length(handle, count, path)) != NULL ||
            (error = write_at(handle, front, data + front, count - front, path)) != NULL ||
            (error = write_at(handle, 0, data, front, path)) != NULL) {
            set_length(handle, front, path);
        } else {
            // Past the rewrite there is no old copy to go back to: a failed
            // flush is reported, and the file holds what the cache holds.
            fs_set_time_handle(handle, info);
            error = flush(handle, path);
        }
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
        *error = w32_CreateFile(name, GENERIC_WRITE, FILE_SHARE_DELETE, NULL, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, NULL, handle);
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

// The new content goes to a temporary file that only we may read until it
// takes the original's place: created sharing no reading, which on POSIX
// also leaves it without permission for others. It goes through the
// system's cache: written window by window, past the cache each write
// would wait for the disk, which measured slower than one flush at the
// end. Just before the replace the original is looked at again; if another
// program wrote to it meanwhile, it is left as that program left it.
static ErrorRecord *write_by_replace(Original *original, const StreamContent *content,
                                     const FileInfo *info, bool *no_temp)
{
    HANDLE handle;
    ErrorRecord *error = NULL;
    watch_interrupts();
    if (!create_temp(original->path, &handle, &error)) {
        *no_temp = true;
        return NULL;
    }
    if (error != NULL)
        return error;
    error = stream_write(content, handle, temp_path);
    if (error == NULL) {
        fs_set_time_handle(handle, info);
        error = flush(handle, temp_path);
    }
    error = fs_close_named(handle, error, temp_path);
    if (error == NULL)
        error = check_unchanged(original);
    // Windows does not rename over a file that is open, ours included.
    error = let_go(original, error);
    if (error != NULL) {
        drop_temp();
        return error;
    }
    interrupts_hold();
    return replace_original(original->path);
}

ErrorRecord *writeback_open(const char *path, const FileInfo *info, Original *original)
{
    return look_at_original(path, info, original);
}

ErrorRecord *writeback_close(Original *original, ErrorRecord *earlier) { return let_go(original, earlier); }

ErrorRecord *writeback_file(const char *path, Original *original, const StreamContent *content,
                            const FileInfo *info)
{
    ErrorRecord *error;
    if (original->seen.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        return let_go(original, err_win32_code(ERROR_ACCESS_DENIED, "CreateFile", "%s", path));
    bool in_place = original->seen.nNumberOfLinks > 1;
    if (!in_place && !original->deletable && (error = check_replaceable(original->path)) != NULL)
        return let_go(original, error);
    // Whether the directory takes a temporary file is not known without
    // creating one, so a check run cannot tell; it knows only whether a
    // name for one fits.
    if (run_state.check && !in_place) {
        char name[FS_MAX_PATH];
        if (temp_name_beside(original->path, 0, name))
            return let_go(original, NULL);
        in_place = true;
    }
    if (!in_place) {
        error = write_by_replace(original, content, info, &in_place);
        if (!in_place)
            return let_go(original, error);
    }
    // The rewrite in place overwrites the very bytes its new content is
    // made from, each new byte up to the growth ahead of its old one, and
    // it takes all its new room before it changes the first old byte: so
    // the whole new content is made in memory first, while the original is
    // still held as it was looked at.
    Image image = {NULL, 0, 0};
    if (!run_state.check && (error = stream_image(content, &image)) != NULL)
        return let_go(original, error);
    if ((error = let_go(original, NULL)) == NULL) {
        interrupts_hold();
        error = write_in_place(original, image.data, content->count, info);
    }
    image_free(&image);
    return error;
}
