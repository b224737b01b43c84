// The files waiting for their flush and replace, and the directories kept
// held for them. Fixed tables, no heap: the interrupt handler's table of
// temporary files (tempfile.cpp) has a slot for each file here.
#include "batch.h"

#include <stdio.h>

#include "dravick.h"
#include "interrupts.h"

namespace {

enum Stage { WRITTEN, FLUSHED, DONE };

struct Pending {
    Original original;
    int temp;  // its slot among the temporary files
    HANDLE temp_handle;
    char shown[FS_MAX_PATH];
    int64_t growth;
    bool linked;
    Stage stage;
    bool failed;
    ErrorRecord failure;  // a copy: the library's records are overwritten by the next failure
};

// Directories the walk was done with while files in them waited.
enum { kMaxKeptDirectories = 32 };

Pending pending[BATCH_FILES];
int pending_count;
uint64_t pending_bytes;
HANDLE kept[kMaxKeptDirectories];
int kept_count;
bool settling;

void fail(Pending *file, const ErrorRecord *error)
{
    file->failed = true;
    file->failure = *error;
}

// The new content reaches the disk; closing the temporary file then gives
// it the original's metadata.
void flush(Pending *file)
{
    const char *path = file->original.path;
    ErrorRecord *error = err_about_file(w32_FlushFileBuffers(file->temp_handle, path), "FlushFileBuffers", path);
    error = fs_close_named(file->temp_handle, error, path);
    file->stage = FLUSHED;
    if (error != NULL) {
        fail(file, error);
        temp_drop(file->temp);
    }
}

// Its replace and its line are not parted by an interrupt. The failure is
// returned, for the caller to print in its place.
ErrorRecord *replace(Pending *file)
{
    ErrorRecord *error = file->failed ? &file->failure : original_unchanged(&file->original);
    // Windows does not rename over a file that is open, ours included.
    error = original_let_go(&file->original, error);
    file->stage = DONE;
    if (error != NULL) {
        temp_drop(file->temp);
        return error;
    }
    interrupts_hold();
    error = temp_replace(file->temp, &file->original);
    if (error == NULL) {
        report_change(file->shown, file->growth);
        if (file->linked)
            report_notice(file->shown, kLinkBroken);
    }
    interrupts_release();
    return error;
}

void close_kept(void)
{
    while (kept_count > 0)
        fs_close(kept[--kept_count], NULL);
}

}  // namespace

bool batch_pending(void) { return pending_count > 0; }

void batch_add(Original *original, int temp, HANDLE temp_handle, const char *shown, int64_t growth,
               uint64_t count)
{
    Pending *file = &pending[pending_count++];
    file->original = *original;
    original->handle = NULL;
    file->temp = temp;
    file->temp_handle = temp_handle;
    snprintf(file->shown, sizeof file->shown, "%s", shown);
    file->growth = growth;
    file->linked = original->seen.nNumberOfLinks > 1;
    file->stage = WRITTEN;
    file->failed = false;
    pending_bytes += count;
}

// Another name of a file waiting would be opened as another file, and on
// POSIX that open would break the waiting file's lease: a file with other
// names waits for no other.
bool batch_full(void)
{
    return pending_count == BATCH_FILES || pending_bytes >= kBatchBytes ||
           (pending_count > 0 && pending[pending_count - 1].linked);
}

void batch_settle(void)
{
    if (settling || pending_count == 0)
        return;
    settling = true;
    for (int i = 0; i < pending_count; i++)
        flush(&pending[i]);
    for (int i = 0; i < pending_count; i++)
        report_error(replace(&pending[i]));
    pending_count = 0;
    pending_bytes = 0;
    close_kept();
    settling = false;
}

ErrorRecord *batch_settle_alone(void)
{
    if (pending_count != 1 || settling)
        return NULL;
    settling = true;
    flush(&pending[0]);
    ErrorRecord *error = replace(&pending[0]);
    pending_count = 0;
    pending_bytes = 0;
    close_kept();
    settling = false;
    return error;
}

ErrorRecord *batch_close_directory(HANDLE held, ErrorRecord *earlier, const char *path)
{
    if (pending_count == 0 || settling)
        return fs_close_named(held, earlier, path);
    if (kept_count == kMaxKeptDirectories)
        batch_settle();
    if (pending_count == 0)
        return fs_close_named(held, earlier, path);
    kept[kept_count++] = held;
    return earlier;
}

void batch_abandon(void)
{
    for (int i = 0; i < pending_count; i++) {
        Pending *file = &pending[i];
        if (file->stage == WRITTEN)
            fs_close(file->temp_handle, NULL);
        if (file->stage != DONE) {
            temp_drop(file->temp);
            original_let_go(&file->original, NULL);
        }
    }
    pending_count = 0;
    close_kept();
}
