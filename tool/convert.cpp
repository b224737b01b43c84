// The conversion of one file: read it whole, count how much it grows,
// rewrite the image in place and hand it to the safe write-back.
#include <stdlib.h>

#include "dravick.h"
#include "image.h"
#include "interrupts.h"
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

// Reads the file into a fresh image of exactly info->size bytes. A FIFO,
// socket or device is not opened at all: opening or reading one may wait.
static ErrorRecord *read_image(const char *source, const FileInfo *info, Image *image)
{
    if (info->attributes & FILE_ATTRIBUTE_DEVICE)
        return err_win32_code(ERROR_NOT_SUPPORTED, "convert_file", "%s", source);
    if (info->size > static_cast<uint32_t>(kSizeLimit))
        return too_large(source);
    if (!image_alloc(image, info->size))
        fatal("Memory allocation error");
    ErrorRecord *error = fs_read_file_exact(source, image->data, info->size);
    if (error != NULL)
        image_free(image);
    return error;
}

ErrorRecord *convert_file(const char *source, const char *destination, const FileInfo *info)
{
    char target[FS_MAX_PATH];
    ErrorRecord *error = fs_expand_path(destination, target, sizeof target);
    if (error != NULL)
        return error;

    Image image = {NULL, 0, 0};
    error = read_image(source, info, &image);
    if (error != NULL)
        return error;
    uint32_t size = info->size;
    if (is_utf16(image.data, size)) {
        image_free(&image);
        return err_win32_code(FS_ERROR_UTF16, "convert_file", "%s", source);
    }
    int64_t growth = lineends_growth(image.data, size);
    if (growth == 0) {
        image_free(&image);
        return NULL;
    }
    if (size + growth > kSizeLimit) {
        image_free(&image);
        return too_large(source);
    }

    // A check run needs the decision, not the new content.
    if (!run_state.check) {
        if (!image_grow(&image, static_cast<size_t>(size + growth)))
            fatal("Memory allocation error");
        lineends_rewrite(image.data, size, static_cast<size_t>(growth));
    }
    error = writeback_file(target, image.data, static_cast<uint32_t>(size + growth), info);
    image_free(&image);
    // Announced only once it is true: a file left as it was is not counted.
    if (error == NULL)
        report_change(source, growth);
    interrupts_release();
    return error;
}
