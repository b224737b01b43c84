// Writing a converted file back without ever leaving it half written.
//
// The new content goes into a temporary file beside the original, which
// then replaces the original in one step, keeping its attributes (on POSIX
// its mode, owner, group and ACLs, taken from the original's own handle).
// Every rewrite is such a replace, a file with several hard links too: its
// other names keep the old content, and nothing is written through them.
// The new content is flushed to the disk before the replace, so that a
// power cut after the replace finds the new content under the name, not an
// empty or zero-filled file; the flushes and replaces of a walk's files
// are made in batches (batch.h).
#include "batch.h"
#include "dravick.h"
#include "stream.h"
#include "writeback.h"
#include "writeout.h"

// The temporary file, written whole through the system's cache, window by
// window, and started on its way to the disk: past the cache each write
// would wait for the disk, which measured slower than one flush at the end.
// Its failures name the file being converted, which is what is left as it
// was. The handle stays open for the flush.
static ErrorRecord *write_temp(const Original *original, const StreamContent *content, const FileInfo *info,
                               int *temp, HANDLE *handle)
{
    const char *path = original->path;
    ErrorRecord *error = NULL;
    if ((*temp = temp_create(original, handle, &error)) < 0)
        return err_about_file(error, "CreateFile", path);
    error = stream_write(content, *handle, path);
    if (error == NULL) {
        original_put_time(original, info, *handle);
        writeout_start(*handle);
        return NULL;
    }
    fs_close(*handle, NULL);
    temp_drop(*temp);
    return error;
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

ErrorRecord *writeback_file(Original *original, const StreamContent *content, const FileInfo *info,
                            const char *shown, int64_t growth)
{
    ErrorRecord *error = refusal(original);
    if (error != NULL || run_state.check)
        return original_let_go(original, error);
    int temp = -1;
    HANDLE handle = NULL;
    if ((error = write_temp(original, content, info, &temp, &handle)) != NULL)
        return original_let_go(original, error);
    batch_add(original, temp, handle, shown, growth, content->count);
    return NULL;
}
