// The write-back's parts: the original as it was opened and checked, the
// temporary file beside it, and the content written into that file.
#ifndef DRAVICK_WRITEBACK_H
#define DRAVICK_WRITEBACK_H

#include <stdint.h>

#include "fslib.h"

// How the original's own name is taken: a file the user named may be a
// symbolic link, followed once so that the link stays a link; a file the
// walk listed is used as the very entry that was listed, never a link.
enum LinkRule { LINK_FOLLOWED_ONCE, LINK_REFUSED };

// The original, opened once: every look at it and every read of it go
// through this handle, and its owner, group and mode travel from it to the
// new file. `path` is where it is replaced: the path given, or for a
// followed link its target. The handle shares only reading and deletion,
// so that on Windows no other program can write to it meanwhile.
struct Original {
    char path[FS_MAX_PATH];
    BY_HANDLE_FILE_INFORMATION seen;
    // Why it could not be opened for deletion, which a replace needs (on
    // POSIX: another program has it open); 0 when it was.
    DWORD undeletable;
    HANDLE handle;
};

// Opens the original at `path` (expanded): a regular file, not a link
// under LINK_REFUSED (refused with ERROR_CANT_RESOLVE_FILENAME).
ErrorRecord *original_open(const char *path, LinkRule rule, Original *original);

// Whether the original is what the caller's look `info` saw: its size and
// last-write time (asked once it has been read, whose own checks say more).
ErrorRecord *original_as_looked(const Original *original, const FileInfo *info);

// Opens the original's path again with `access` and `share` and checks that it is still the very file
// seen, unchanged; the one look-up besides original_open.
ErrorRecord *original_reopen(const Original *original, DWORD access, DWORD share, HANDLE *handle);

// The last look before the replace: if another program wrote to the
// original, or put another file in its place, since it was read, it is
// left as that program left it (32).
ErrorRecord *original_unchanged(const Original *original);

// Lets go of the original's handle, reporting a failed close unless an
// earlier failure is reported.
ErrorRecord *original_let_go(Original *original, ErrorRecord *earlier);

// Puts the original's last-write time on `handle`: the caller's recorded
// time, or, where the record could not hold it, the original's own.
void original_put_time(const Original *original, const FileInfo *info, HANDLE handle);

// Another program wrote to the file since it was read.
ErrorRecord *original_changed(const char *path);

struct StreamContent;

// What standard error says of a file with several hard links once a new
// file has taken the name converted.
static const char kLinkBroken[] = "hard link broken, its other names keep the old content";

// The temporary files beside the originals: one slot each in the table
// the interrupt handler removes them from, as many as a batch holds.
// temp_create gives the slot of a new one, created with the original's
// handle as its template, or -1 with the error; nothing was created then.
int temp_create(const Original *original, HANDLE *handle, ErrorRecord **error);
bool temp_name_fits(const char *path);
const char *temp_name(int slot);
// Removes it and frees its slot; once only.
void temp_drop(int slot);
// Moves the finished temporary file over the original and frees its slot.
// Where it fails having taken the original away, the temporary file is
// moved into the free name or kept, and the error names it; it is removed
// only where the name holds the original still, or a file another program
// put there.
ErrorRecord *temp_replace(int slot, const Original *original);

// Writes the new content that `content` makes from the original into a
// temporary file beside it, with the original's last-write time, starts it
// on its way to the disk, and leaves both in the batch (batch.h), which
// flushes the new file and has it replace the original in one step, and
// prints the change line with `shown` and `growth`. At every moment the
// path holds the whole old or the whole new content; on failure the old
// content is left as it was and the original let go. In a check run it
// only looks at the file, returning the refusal a rewrite would meet where
// that can be known without writing; nothing is made then.
ErrorRecord *writeback_file(Original *original, const StreamContent *content, const FileInfo *info,
                            const char *shown, int64_t growth);

#endif
