// The system's English message texts for the error codes the layer sets.
#include <string.h>

#include "internal.h"

namespace {

const DWORD message_not_found = 317;  // ERROR_MR_MID_NOT_FOUND

struct SystemMessage {
    DWORD code;
    const char *text;
};

const SystemMessage system_messages[] = {
    {ERROR_SUCCESS, "The operation completed successfully.\r\n"},
    {ERROR_INVALID_FUNCTION, "Incorrect function.\r\n"},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n"},
    {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file.\r\n"},
    {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, "The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY,
     "Not enough memory resources are available to process this command.\r\n"},
    {ERROR_INVALID_DATA, "The data is invalid.\r\n"},
    {ERROR_OUTOFMEMORY,
     "Not enough memory resources are available to complete this operation.\r\n"},
    {ERROR_NOT_SAME_DEVICE, "The system cannot move the file to a different disk drive.\r\n"},
    {ERROR_NO_MORE_FILES, "There are no more files.\r\n"},
    {ERROR_WRITE_PROTECT, "The media is write protected.\r\n"},
    {ERROR_SHARING_VIOLATION,
     "The process cannot access the file because it is being used by another process.\r\n"},
    {ERROR_LOCK_VIOLATION, "The process cannot access the file because another process has "
                           "locked a portion of the file.\r\n"},
    {ERROR_HANDLE_EOF, "Reached the end of the file.\r\n"},
    {ERROR_NOT_SUPPORTED, "The request is not supported.\r\n"},
    {ERROR_FILE_EXISTS, "The file exists.\r\n"},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect.\r\n"},
    {ERROR_BROKEN_PIPE, "The pipe has been ended.\r\n"},
    {ERROR_DISK_FULL, "There is not enough space on the disk.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small.\r\n"},
    {ERROR_INVALID_NAME,
     "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {ERROR_DIR_NOT_EMPTY, "The directory is not empty.\r\n"},
    {ERROR_BUSY, "The requested resource is in use.\r\n"},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists.\r\n"},
    {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long.\r\n"},
    {ERROR_FILE_TOO_LARGE, "The file size exceeds the limit allowed and cannot be saved.\r\n"},
    {ERROR_MORE_DATA, "More data is available.\r\n"},
    {ERROR_DIRECTORY, "The directory name is invalid.\r\n"},
    {ERROR_IO_DEVICE,
     "The request could not be performed because of an I/O device error.\r\n"},
    {ERROR_INVALID_OWNER, "This security ID may not be assigned as the owner of this object.\r\n"},
    {ERROR_INVALID_PRIMARY_GROUP,
     "This security ID may not be assigned as the primary group of an object.\r\n"},
    {ERROR_CANT_RESOLVE_FILENAME, "The name of the file cannot be resolved by the system.\r\n"},
    {ERROR_NOT_A_REPARSE_POINT, "The file or directory is not a reparse point.\r\n"},
};

const char *system_message(DWORD code)
{
    for (const SystemMessage &m : system_messages) {
        if (m.code == code)
            return m.text;
    }
    return 0;
}

}  // namespace

// Only messages from the system table, copied whole or not at all; the
// texts hold no inserts, so FORMAT_MESSAGE_IGNORE_INSERTS changes nothing.
DWORD FormatMessageA(DWORD flags, const void *, DWORD code, DWORD, LPSTR buffer, DWORD size,
                     void *)
{
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer) {
        winposix_fail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char *text = system_message(code);
    if (!text) {
        winposix_fail(message_not_found);
        return 0;
    }
    size_t length = strlen(text);
    if (length >= size) {
        winposix_fail(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(buffer, text, length + 1);
    return (DWORD)length;
}
