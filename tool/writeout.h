// Starting a written file on its way to the disk without waiting for it, so
// that the flushes of a batch of files that follow find their data already
// written and one journal commit carries them all.
#ifndef DRAVICK_WRITEOUT_H
#define DRAVICK_WRITEOUT_H

#include "fslib.h"

void writeout_start(HANDLE file);

#endif
