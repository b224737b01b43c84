// The conversion of one file: open it once and check it is as it was
// looked at, count how much it grows by reading it through that handle and
// a small buffer, and, where it grows, hand it to the safe write-back,
// which reads and converts it again on its way to the new file. The buffer is the same for every file
// of a run: its size does not depend on the file's.
#include "batch.h"
#include "dravick.h"
#include "stream.h"
#include "writeback.h"

static const int64_t kSizeLimit = 0x7FFFFFFF;  // the growth is printed as a signed 32-bit number

// Bytes read at a time.
static const size_t kWindow = 256u << 10;

static ErrorRecord *too_large(const char *path)
{
    return err_win32_code(ERROR_FILE_TOO_LARGE, "convert_file", "%s", path);
}

// Made at the first file and kept: fresh memory costs the system more than
// memory used again.
static const StreamBuffer *run_buffer(void)
{
    static StreamBuffer buffer;
    if (buffer.data == NULL) {
        void *data = VirtualAlloc(NULL, stream_buffer_size(kWindow), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (data == NULL)
            fatal("Memory allocation error");
        buffer.data = static_cast<unsigned char *>(data);
        buffer.window = kWindow;
    }
    return &buffer;
}

// A FIFO, socket or device is not opened at all: opening or reading one may
// wait.
static ErrorRecord *refusal(const char *path, const FileInfo *info)
{
    if (info->attributes & FILE_ATTRIBUTE_DEVICE)
        return err_win32_code(ERROR_NOT_SUPPORTED, "convert_file", "%s", path);
    if (info->size > static_cast<uint32_t>(kSizeLimit))
        return too_large(path);
    return NULL;
}

// The counting pass, through the original's handle; a result of 2 GiB or
// more is refused.
static ErrorRecord *count_growth(const char *source, const Original *original, uint32_t size,
                                 int64_t *growth, LineForm *form)
{
    if (GetFileType(original->handle) != FILE_TYPE_DISK)
        return err_win32_code(ERROR_NOT_SUPPORTED, "GetFileType", "%s", source);
    ErrorRecord *error = stream_count(original->handle, size, run_buffer(), growth, form, source);
    if (error != NULL)
        return error;
    if (size + *growth > kSizeLimit)
        return too_large(source);
    return NULL;
}

static ErrorRecord *convert_one(const char *source, const char *destination, const FileInfo *info,
                                LinkRule rule)
{
    char target[FS_MAX_PATH];
    ErrorRecord *error = fs_expand_path(destination, target, sizeof target);
    if (error != NULL || (error = refusal(source, info)) != NULL)
        return error;
    Original original;
    if ((error = original_open(target, rule, &original)) != NULL)
        return error;
    if ((error = original_as_looked(&original, info)) != NULL)
        return original_let_go(&original, error);
    uint32_t size = info->size;
    int64_t growth = 0;
    LineForm form = LINES_BYTES;
    error = count_growth(source, &original, size, &growth, &form);
    // Binary data, or text in a form the tool does not convert: named, not
    // a failure, and never rewritten, whether it would grow or not.
    if (error == NULL && form == LINES_NOT_TEXT)
        report_notice(source, "not text, left alone");
    if (error != NULL || growth == 0 || form == LINES_NOT_TEXT)
        return original_let_go(&original, error);

    StreamContent content = {original.handle, source, size, static_cast<uint32_t>(size + growth), *run_buffer(),
                             form};
    bool linked = original.seen.nNumberOfLinks > 1;
    error = writeback_file(&original, &content, info, source, growth);
    // A conversion's line comes once its file is replaced (batch.h); a check
    // run's once the file is judged.
    if (error == NULL && run_state.check) {
        report_change(source, growth);
        if (linked)
            report_notice(source, kLinkBroken);
    }
    return error;
}

// A file waiting in the batch holds two descriptors: where they run out,
// the batch is settled and the file tried once more.
static ErrorRecord *convert_or_settle(const char *source, const char *destination, const FileInfo *info,
                                      LinkRule rule)
{
    ErrorRecord *error = convert_one(source, destination, info, rule);
    if (error == NULL || error->code != ERROR_TOO_MANY_OPEN_FILES || !batch_pending())
        return error;
    batch_settle();
    return convert_one(source, destination, info, rule);
}

// A file named alone is replaced before the call returns, and its failure
// returned.
ErrorRecord *convert_file(const char *source, const char *destination, const FileInfo *info)
{
    batch_settle();
    ErrorRecord *error = convert_one(source, destination, info, LINK_FOLLOWED_ONCE);
    return error != NULL ? error : batch_settle_alone();
}

ErrorRecord *convert_listed(const char *path, const FileInfo *entry)
{
    ErrorRecord *error = convert_or_settle(path, path, entry, LINK_REFUSED);
    if (error == NULL && batch_full())
        batch_settle();
    return error;
}
