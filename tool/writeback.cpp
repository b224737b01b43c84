// Writing a converted file back without ever leaving it half written.
//
// The new content goes into a temporary file beside the original, which
// then replaces the original in one step, keeping its attributes (on POSIX
// its mode, owner, group and ACLs, taken from the original's own handle). A
// file with several hard links is rewritten in place instead, so that every
// name keeps seeing it; the room it grows by is taken before the first old
// byte changes, so that a full disk fails early. Either way the new content
// is flushed to the disk before the replace or before success is reported,
// so that a power cut after the replace finds the new content under the
// name, not an empty or zero-filled file.
#include "dravick.h"
#include "interrupts.h"
#include "stream.h"
#include "writeback.h"

static ErrorRecord *write_all(HANDLE handle, const unsigned char *data, uint32_t count, const char *path)
{
    return err_about_file(fs_write_all(handle, data, static_cast<int32_t>(count)), "WriteFile", path);
}

static ErrorRecord *set_length(HANDLE handle, int64_t length, const char *path)
{
    ErrorRecord *error = w32_SetFilePointerEx(handle, length, path);
    return error != NULL ? error : w32_SetEndOfFile(handle, path);
}

static ErrorRecord *write_at(HANDLE handle, int64_t offset, const unsigned char *data, uint32_t count,
                             const char *path)
{
    ErrorRecord *error = w32_SetFilePointerEx(handle, offset, path);
    return error != NULL ? error : write_all(handle, data, count, path);
}

// The in-place rewrite. The file only grows, so the bytes past its old end
// are written first: that is where all the new room is taken, and a full
// disk fails there while every old byte is still in place (setting the
// length alone does not take the room on every system). Only then is the
// front overwritten. The original was let go before, as writing needs a
// handle of its own: what this handle sees must be what was read. A check
// run opens the file as the rewrite does, to find out whether it may, and
// writes nothing.
static ErrorRecord *write_in_place(const Original *original, const unsigned char *data, uint32_t count,
                                   const FileInfo *info)
{
    const char *path = original->path;
    HANDLE handle;
    ErrorRecord *error = original_reopen(original, GENERIC_WRITE, FILE_SHARE_READ, &handle);
    if (error != NULL)
        return error;
    if (info->size > count) {
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
            original_put_time(original, info, handle);
            error = w32_FlushFileBuffers(handle, path);
        }
    }
    return fs_close_named(handle, error, path);
}

// The temporary file, written whole through the system's cache, window by
// window: past the cache each write would wait for the disk, which
// measured slower than one flush at the end.
static TempOutcome write_temp(const Original *original, const StreamContent *content, const FileInfo *info,
                              ErrorRecord **error)
{
    HANDLE handle;
    TempOutcome outcome = temp_create(original, &handle, error);
    if (outcome != TEMP_CREATED)
        return outcome;
    *error = stream_write(content, handle, temp_name());
    if (*error == NULL) {
        original_put_time(original, info, handle);
        *error = w32_FlushFileBuffers(handle, temp_name());
    }
    // Closing it gives it the original's owner, group, mode and ACLs.
    *error = fs_close_named(handle, *error, temp_name());
    if (*error != NULL)
        temp_drop();
    return TEMP_CREATED;
}

// Just before the replace the original is looked at again; if another
// program wrote to it meanwhile, it is left as that program left it.
static ErrorRecord *check_unchanged(const Original *original)
{
    HANDLE handle;
    ErrorRecord *error = original_reopen(original, FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &handle);
    return error != NULL ? error : fs_close_named(handle, NULL, original->path);
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
                                        NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                        NULL, &handle);
    if (error != NULL)
        return error;
    return fs_close_named(handle, NULL, path);
}

// How the new content reaches the name.
enum WriteWay { BY_REPLACE, IN_PLACE, CHECKED_ONLY };

static WriteWay way_for(const Original *original)
{
    if (original->seen.nNumberOfLinks > 1)
        return IN_PLACE;
    // Whether the directory takes a temporary file is not known without
    // creating one, so a check run cannot tell; it knows only whether a
    // name for one fits.
    if (run_state.check)
        return temp_name_fits(original->path) ? CHECKED_ONLY : IN_PLACE;
    return BY_REPLACE;
}

ErrorRecord *writeback_file(Original *original, const StreamContent *content, const FileInfo *info)
{
    const char *path = original->path;
    ErrorRecord *error = NULL;
    if (original->seen.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        return original_let_go(original, err_win32_code(ERROR_ACCESS_DENIED, "CreateFile", "%s", path));
    WriteWay way = way_for(original);
    if (way != IN_PLACE && !original->deletable && (error = check_replaceable(path)) != NULL)
        return original_let_go(original, error);
    if (way == CHECKED_ONLY)
        return original_let_go(original, NULL);
    if (way == BY_REPLACE) {
        TempOutcome outcome = write_temp(original, content, info, &error);
        if (outcome == TEMP_CREATED) {
            if (error == NULL && (error = check_unchanged(original)) != NULL)
                temp_drop();
            // Windows does not rename over a file that is open, ours included.
            error = original_let_go(original, error);
            if (error != NULL) {
                temp_drop();
                return error;
            }
            interrupts_hold();
            return temp_replace(original);
        }
        if (outcome == TEMP_FAILED)
            return original_let_go(original, error);
        // No name for a temporary file fits beside the original: in place.
    }
    // The rewrite in place overwrites the very bytes its new content is
    // made from, each new byte up to the growth ahead of its old one, and
    // it takes all its new room before it changes the first old byte: so
    // the whole new content is made in memory first, while the original is
    // still held as it was looked at.
    Image image = {NULL, 0, 0};
    if (!run_state.check && (error = stream_image(content, &image)) != NULL)
        return original_let_go(original, error);
    if ((error = original_let_go(original, NULL)) == NULL) {
        interrupts_hold();
        error = write_in_place(original, image.data, content->count, info);
    }
    image_free(&image);
    return error;
}
