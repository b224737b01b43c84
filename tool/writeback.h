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
    bool deletable;  // opened for deletion, which a replace needs
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

// Lets go of the original's handle, reporting a failed close unless an
// earlier failure is reported.
ErrorRecord *original_let_go(Original *original, ErrorRecord *earlier);

// Puts the original's last-write time on `handle`: the caller's recorded
// time, or, where the record could not hold it, the original's own.
void original_put_time(const Original *original, const FileInfo *info, HANDLE handle);

// Another program wrote to the file since it was read.
ErrorRecord *original_changed(const char *path);

struct StreamContent;

// The temporary file beside the original.
enum TempOutcome {
    TEMP_CREATED,  // *handle is open on it
    TEMP_NO_NAME,  // no name beside the original fits; nothing was created
    TEMP_FAILED    // the error says why; nothing was created
};
TempOutcome temp_create(const Original *original, HANDLE *handle, ErrorRecord **error);
bool temp_name_fits(const char *path);
const char *temp_name(void);
void temp_drop(void);
// Moves the finished temporary file over the original. Where it fails
// having taken the original away, the temporary file is moved into the
// free name or kept, and the error names it; it is removed only where the
// name holds the original still, or a file another program put there.
ErrorRecord *temp_replace(const Original *original);

// Replaces the original's content with the new content that `content`
// makes from it and puts its last-write time back; the original's handle
// is let go on every path. At every moment the path holds the whole old or
// the whole new content; on failure the old content is left as it was. In
// a check run it only looks at the file, returning the refusal a rewrite
// would meet where that can be known without writing; nothing is made
// then. Interrupts are held (interrupts.h) from the moment the original is
// replaced or rewritten on: the caller releases them once the file's line
// is printed.
ErrorRecord *writeback_file(Original *original, const StreamContent *content, const FileInfo *info);

#endif
