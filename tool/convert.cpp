// The conversion of one file: read it whole, count how much it grows,
// rewrite the image in place and hand it to the safe write-back.
#include <stdio.h>
#include <stdlib.h>

#include "dravick.h"
#include "lineends.h"

static const int64_t kSizeLimit = 0x7FFFFFFF;  // a file image must stay below 2 GiB

static bool is_utf16(const unsigned char *data, uint32_t size)
{
    return size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF));
}

static ErrorRecord *too_large(const char *path)
{
    return err_win32_code(ERROR_FILE_TOO_LARGE, "convert_file", "%s", path);
}

// Reads the file into a fresh buffer of exactly info->size bytes.
static ErrorRecord *read_image(const char *source, const FileInfo *info, unsigned char **image)
{
    if (info->size > static_cast<uint32_t>(kSizeLimit))
        return too_large(source);
    unsigned char *buffer = static_cast<unsigned char *>(malloc(info->size > 0 ? info->size : 1));
    if (buffer == NULL)
        fatal("Memory allocation error");
    ErrorRecord *error = fs_read_file_exact(source, buffer, info->size);
    if (error != NULL) {
        free(buffer);
        return error;
    }
    *image = buffer;
    return NULL;
}

ErrorRecord *convert_file(const char *source, const char *destination, const FileInfo *info)
{
    char target[FS_MAX_PATH];
    ErrorRecord *error = fs_expand_path(destination, target, sizeof target);
    if (error != NULL)
        return error;

    unsigned char *image = NULL;
    error = read_image(source, info, &image);
    if (error != NULL)
        return error;
    uint32_t size = info->size;
    if (is_utf16(image, size)) {
        free(image);
        return err_win32_code(FS_ERROR_UTF16, "convert_file", "%s", source);
    }
    int64_t growth = lineends_growth(image, size);
    if (growth == 0) {
        free(image);
        return NULL;
    }
    if (size + growth > kSizeLimit) {
        free(image);
        return too_large(source);
    }

    printf("%s change in size %d\r\n", source, static_cast<int>(growth));
    unsigned char *grown = static_cast<unsigned char *>(realloc(image, size + growth));
    if (grown == NULL)
        fatal("Memory allocation error");
    image = grown;
    lineends_rewrite(image, size, static_cast<size_t>(growth));
    error = writeback_file(target, image, static_cast<uint32_t>(size + growth), info);
    free(image);
    return error;
}
