// Writing the new content into the temporary file: through the cache, or,
// for a large image, past it in whole sectors.
#include <string.h>

#include "dravick.h"
#include "writeback.h"

// A large image is written past the system's cache: through the cache it
// would take as much memory again, fresh memory that is slow to come by,
// and be written out later all the same. Small files gain nothing by it.
static const uint32_t kUnbufferedFrom = 4u << 20;

// What an unbuffered write's buffer, length and position are multiples of:
// the largest sector size in common use.
static const uint32_t kSector = 4096;

ErrorRecord *wb_write_all(HANDLE handle, const unsigned char *data, uint32_t count, const char *path)
{
    return err_about_file(fs_write_all(handle, data, static_cast<int32_t>(count)), "WriteFile", path);
}

DWORD content_flags(const unsigned char *data, uint32_t count)
{
    bool unbuffered = count >= kUnbufferedFrom && reinterpret_cast<uintptr_t>(data) % kSector == 0;
    return unbuffered ? FILE_FLAG_NO_BUFFERING : 0;
}

// Unbuffered, only whole sectors move: the bulk straight from the image,
// the rest through one sector padded with zeros, and then the file is cut
// back to its length (without moving the file position, which may only
// stand at a sector boundary).
static ErrorRecord *write_unbuffered(HANDLE handle, const unsigned char *data, uint32_t count,
                                     const char *path)
{
    alignas(4096) unsigned char last[kSector];
    uint32_t bulk = count - count % kSector;
    ErrorRecord *error = wb_write_all(handle, data, bulk, path);
    if (error != NULL || bulk == count)
        return error;
    memset(last, 0, sizeof last);
    memcpy(last, data + bulk, count - bulk);
    error = wb_write_all(handle, last, kSector, path);
    return error != NULL ? error : w32_SetFileInformationByHandle(handle, count, path);
}

ErrorRecord *content_write(HANDLE handle, DWORD flags, const unsigned char *data, uint32_t count)
{
    if (flags & FILE_FLAG_NO_BUFFERING)
        return write_unbuffered(handle, data, count, temp_name());
    return wb_write_all(handle, data, count, temp_name());
}
