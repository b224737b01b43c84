// Writing a converted file back without ever leaving it half written.
//
// The new content goes into a temporary file beside the original, which
// then replaces the original in one step, keeping its attributes (on POSIX
// its mode, owner, group and ACLs, taken from the original's own handle).
// Every rewrite is such a replace, a file with several hard links too: its
// other names keep the old content, and nothing is written through them.
// The new content is flushed to the disk before the replace, so that a
// power cut after the replace finds the new content under the name, not an
// empty or zero-filled file.
#include "dravick.h"
#include "interrupts.h"
#include "stream.h"
#include "writeback.h"

// The temporary file, written whole through the system's cache, window by
// window: past the cache each write would wait for the disk, which
// measured slower than one flush at the end. Its failures name the file
// being converted, which is what is left as it was.
static ErrorRecord *write_temp(const Original *original, const StreamContent *content, const FileInfo *info)
{
    const char *path = original->path;
    HANDLE handle;
    ErrorRecord *error = temp_create(original, &handle);
    if (error != NULL)
        return err_about_file(error, "CreateFile", path);
    error = stream_write(content, handle, path);
    if (error == NULL) {
        original_put_time(original, info, handle);
        error = err_about_file(w32_FlushFileBuffers(handle, path), "FlushFileBuffers", path);
    }
    // Closing it gives it the original's owner, group, mode and ACLs.
    error = fs_close_named(handle, error, path);
    if (error != NULL)
        temp_drop();
    return error;
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

// What keeps the original from being replaced, as far as it can be known
// without writing: a read-only file, no room for a temporary name beside
// it (the tool never falls back to writing in place), or what kept it from
// being opened for deletion: a program that holds it open without sharing
// that (on POSIX: any other program that holds it open). That is found out
// before anything is written: a replace that fails late costs the whole
// write, and some systems leave a stray file of their own behind when it
// does.
static ErrorRecord *refusal(const Original *original)
{
    const char *path = original->path;
    if (original->seen.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        return err_win32_code(ERROR_ACCESS_DENIED, "CreateFile", "%s", path);
    if (!temp_name_fits(path))
        return err_win32_code(ERROR_FILENAME_EXCED_RANGE, "CreateFile", "%s", path);
    if (original->undeletable != ERROR_SUCCESS)
        return err_win32_code(original->undeletable, "CreateFile", "%s", path);
    return NULL;
}

ErrorRecord *writeback_file(Original *original, const StreamContent *content, const FileInfo *info)
{
    ErrorRecord *error = refusal(original);
    if (error != NULL || run_state.check)
        return original_let_go(original, error);
    if ((error = write_temp(original, content, info)) == NULL)
        error = check_unchanged(original);
    // Windows does not rename over a file that is open, ours included.
    error = original_let_go(original, error);
    if (error != NULL) {
        temp_drop();
        return error;
    }
    interrupts_hold();
    return temp_replace(original->path);
}
