// Replaces in batches. A walk's files are written into their temporary
// files one after another, each started on its way to the disk at once;
// only then is each flushed, which the first flush's journal commit has
// mostly done for the others, and then each replaces its original in walk
// order and gets its change line. Every file is still flushed before it
// takes its name, and the report keeps the walk's order: anything else the
// run prints first settles what is pending.
#ifndef DRAVICK_BATCH_H
#define DRAVICK_BATCH_H

#include <stdint.h>

#include "fslib.h"
#include "writeback.h"

// Most files waiting at once, and most bytes of new content: past a few
// dozen files a batch gains little, and the bytes bound what the cache
// holds unflushed.
enum { BATCH_FILES = 64 };
static const uint64_t kBatchBytes = 32u << 20;

// Takes the original (held, as its lease or share mode must be until its
// replace) and its temporary file, written and open, of `count` bytes;
// `shown` is the name its change line prints.
void batch_add(Original *original, int temp, HANDLE temp_handle, const char *shown, int64_t growth,
               uint64_t count);

// Whether the batch must be settled before another file joins it.
bool batch_full(void);

// Flushes and replaces every file waiting, in order, and prints each one's
// change line or error; then closes the directories kept for them. Does
// nothing when nothing waits, or when called while it settles.
void batch_settle(void);

// The same for a file named alone, the only one waiting, whose failure is
// returned instead of printed (it stays valid until the next file waits).
ErrorRecord *batch_settle_alone(void);

// Whether files are waiting.
bool batch_pending(void);

// The walk is done with a directory it held: closed now, or once the files
// waiting in it have been replaced, so that their paths lead where they led
// when the directory was listed. `earlier` is passed on, as by
// fs_close_named.
ErrorRecord *batch_close_directory(HANDLE held, ErrorRecord *earlier, const char *path);

// Drops every file waiting, leaving each original as it was: the run ends.
void batch_abandon(void);

#endif
