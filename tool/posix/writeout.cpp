// On Linux the page cache holds written data back for up to half a minute;
// the layer asks for the write-out at once (sync_file_range).
#include "writeout.h"

void writeout_start(HANDLE file) { winposix_start_writeout(file); }
