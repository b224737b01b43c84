// The conversion of one file: read it whole through the one handle that
// was checked, count how much it grows, rewrite the image in place and
// hand it to the safe write-back.
#include <stdlib.h>

#include "dravick.h"
#include "image.h"
#include "lineends.h"
#include "writeback.h"

static const int64_t kSizeLimit = 0x7FFFFFFF;  // a file image must stay below 2 GiB

static bool is_utf16(const unsigned char *data, uint32_t size)
{
    return size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF));
}

static ErrorRecord *too_large(const char *path)
{
    return err_win32_code(ERROR_FILE_TOO_LARGE, "convert_file", "%s", path);
}

// Reads the original into a fresh image of exactly info->size bytes. A
// FIFO, socket or device is not opened at all: opening or reading one may
// wait.
static ErrorRecord *read_image(const char *source, const Original *original, const FileInfo *info,
                               Image *image)
{
    if (info->size > static_cast<uint32_t>(kSizeLimit))
        return too_large(source);
    if (!image_alloc(image, info->size))
        fatal("Memory allocation error");
    ErrorRecord *error = fs_read_handle_exact(original->handle, source, image->data, info->size);
    if (error != NULL)
        image_free(image);
    return error;
}

// The growth of the file, or 0 with the reason it is left alone.
static int64_t growth_of(const char *source, const Image *image, uint32_t size, ErrorRecord **error)
{
    *error = NULL;
    if (is_utf16(image->data, size)) {
        *error = err_win32_code(FS_ERROR_UTF16, "convert_file", "%s", source);
        return 0;
    }
    int64_t growth = lineends_growth(image->data, size);
    if (growth != 0 && size + growth > kSizeLimit) {
        *error = too_large(source);
        return 0;
    }
    return growth;
}

static ErrorRecord *convert_one(const char *source, const char *destination, const FileInfo *info,
                                LinkRule rule)
{
    if (info->attributes & FILE_ATTRIBUTE_DEVICE)
        return err_win32_code(ERROR_NOT_SUPPORTED, "convert_file", "%s", source);
    char target[FS_MAX_PATH];
    ErrorRecord *error = fs_expand_path(destination, target, sizeof target);
    if (error != NULL)
        return error;
    Original original;
    if ((error = original_open(target, rule, &original)) != NULL)
        return error;
    Image image = {NULL, 0, 0};
    if ((error = read_image(source, &original, info, &image)) != NULL)
        return original_let_go(&original, error);
    if ((error = original_as_looked(&original, info)) != NULL) {
        image_free(&image);
        return original_let_go(&original, error);
    }
    uint32_t size = info->size;
    int64_t growth = growth_of(source, &image, size, &error);
    if (growth == 0) {
        image_free(&image);
        return original_let_go(&original, error);
    }

    // A check run needs the decision, not the new content.
    if (!run_state.check) {
        if (!image_grow(&image, static_cast<size_t>(size + growth)))
            fatal("Memory allocation error");
        lineends_rewrite(image.data, size, static_cast<size_t>(growth));
    }
    error = writeback_file(&original, image.data, static_cast<uint32_t>(size + growth), info);
    image_free(&image);
    // Announced only once it is true: a file left as it was is not counted.
    if (error == NULL)
        report_change(source, growth);
    return error;
}

ErrorRecord *convert_file(const char *source, const char *destination, const FileInfo *info)
{
    return convert_one(source, destination, info, LINK_FOLLOWED_ONCE);
}

ErrorRecord *convert_listed(const char *path, const FileInfo *entry)
{
    return convert_one(path, path, entry, LINK_REFUSED);
}
