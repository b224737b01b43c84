// Error records and message catalogue.
//
// Two static records carry every failure: err_lib_record for the library's
// own codes, err_sys_record for the system's. Nothing here allocates.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "fslib.h"

enum {
    TEXT_SIZE = sizeof(ErrorRecord::text),  // 252
    FORMAT_SIZE = 256,
    DETAILS_SIZE = 512,
    TOKEN_NAME_MAX = 30
};

ErrorRecord err_lib_record;
ErrorRecord err_sys_record;
ErrorTableLink *err_table_chain;
const char *err_catalog;

const ErrorCodeEntry err_lib_codes[] = {
    {1, "Not enough memory, or not within *trevisk."},
    {2, "{EME}"},
    {3, "{ERD}"},
    {4, "{EWR}"},
    {5, "Memory is corrupt!"},
    {6, "{EINT}"},
    {7, "{ETEMP}"},
    {8, "{ENOTF}"},
    {9, "{ESVDG}"},
    {10, "{ENOWS}"},
    {11, "{EUXDS}"},
    {12, "{EUXRF}"},
    {13, "{EMEMAF}"},
    {14, "{EMEMBF}"},
    {15, "{EMEMAD}"},
    {16, "{EMEMFE}"},
    {17, "{EMEMCH}"},
    {18, "{EMEMBAD}"},
    {19, "{ENOTOKVAL}"},
    {20, "{ENOEVENT}"},
    {21, "{ETEMPX}"},
    {22, "{ETEMPF}"},
    {23, "{EREP}"},
    {24, "{ESCAN}"},
    {26, "{ELCAN}"},
    {27, "{EBADREG}"},
    {28, "{ENOTFOUND}"},
    {29, "{ENOPRINTER}"},
    {30, "{EMAXSTRING}"},
    {31, "{EUNKFT}"},
    {0, 0},
};

// Texts for the application's own system-record codes, which the system's
// message table does not hold.
const ErrorCodeEntry err_app_messages[] = {
    {FS_ERROR_FILE_CHANGED, "The file changed while it was being read.\r\n"},
    {FS_ERROR_UTF16, "The file holds UTF-16 text and was left unchanged.\r\n"},
    {FS_ERROR_NO_REASON, "The system call failed without giving a reason.\r\n"},
    {0, 0},
};

static const char *table_find(const ErrorCodeEntry *table, int code)
{
    for (; table->code != 0; table++) {
        if (table->code == code)
            return table->text;
    }
    return 0;
}

// Copies src into dst of `size` bytes (at least 1), cutting it to fit.
static void copy_cut(char *dst, const char *src, size_t size)
{
    size_t n = strlen(src);
    if (n > size - 1)
        n = size - 1;
    memcpy(dst, src, n);
    dst[n] = 0;
}

// vsnprintf that always terminates and reports the length it wanted, or -1.
static int format_cut(char *buffer, int size, const char *format, va_list args)
{
    if (size < 1)
        return -1;
    int wanted = vsnprintf(buffer, (size_t)size, format, args);
    buffer[size - 1] = 0;
    return wanted;
}

const char *err_text(int code)
{
    for (ErrorTableLink *link = err_table_chain; link; link = link->next) {
        const char *text = table_find(link->table, code);
        if (text)
            return text;
    }
    return "{ENOE}";
}

const char *err_catalog_find(const char *name)
{
    if (!err_catalog)
        return name;
    const char *pair = err_catalog;
    while (*pair) {
        const char *text = pair + strlen(pair) + 1;
        if (strcmp(pair, name) == 0)
            return text;
        pair = text + strlen(text) + 1;
    }
    return name;
}

// The length of the token name that starts at `name` (after its '{'), or -1
// when no '}' closes it within TOKEN_NAME_MAX characters.
static int token_name_length(const char *name)
{
    for (int i = 0; i <= TOKEN_NAME_MAX; i++) {
        if (name[i] == 0)
            return -1;
        if (name[i] == '}')
            return i;
    }
    return -1;
}

ErrorRecord *err_subst(char *text, int size)
{
    int length = (int)strlen(text);
    // A catalogue whose texts lead back to their own tokens would never end;
    // no real substitution chain needs more steps than the buffer has bytes.
    int steps_left = size;
    int i = 0;
    while (text[i] != 0) {
        if (text[i] != '{') {
            i++;
            continue;
        }
        if (text[i + 1] == 0)
            break;
        if (text[i + 1] == '{') {
            memmove(text + i + 1, text + i + 2, (size_t)(length - i - 1));
            length--;
            // The character after the remaining brace is passed over.
            if (text[i + 1] == 0)
                break;
            i += 2;
            continue;
        }
        int name_length = token_name_length(text + i + 1);
        if (name_length < 0) {
            i++;
            continue;
        }
        char name[TOKEN_NAME_MAX + 1];
        memcpy(name, text + i + 1, (size_t)name_length);
        name[name_length] = 0;
        const char *replacement = err_catalog_find(name);
        int token_length = name_length + 2;
        int replacement_length = (int)strlen(replacement);
        int growth = replacement_length - token_length;
        if (length + growth >= size || steps_left-- <= 0) {
            i += token_length;
            continue;
        }
        memmove(text + i + replacement_length, text + i + token_length,
                (size_t)(length - i - token_length + 1));
        memcpy(text + i, replacement, (size_t)replacement_length);
        length += growth;
    }
    return 0;
}

ErrorRecord *err_code(int code)
{
    if (code == 0)
        return 0;
    err_lib_record.code = code;
    copy_cut(err_lib_record.text, err_text(code), TEXT_SIZE);
    ErrorRecord *result = err_subst(err_lib_record.text, TEXT_SIZE);
    return result ? result : &err_lib_record;
}

ErrorRecord *err_codef(int code, ...)
{
    err_lib_record.code = code;
    char format[FORMAT_SIZE];
    copy_cut(format, err_text(code), FORMAT_SIZE);
    err_subst(format, FORMAT_SIZE);
    va_list args;
    va_start(args, code);
    format_cut(err_lib_record.text, TEXT_SIZE, format, args);
    va_end(args);
    ErrorRecord *result = err_subst(err_lib_record.text, TEXT_SIZE);
    return result ? result : &err_lib_record;
}

static ErrorRecord *xzvsnprintf(int size, int *count, char *buffer, const char *format,
                                va_list args)
{
    int wanted = format_cut(buffer, size, format, args);
    if (wanted < 0 || wanted > size - 1)
        return err_codef(ERR_MAXSTRING, format);
    if (count)
        *count = wanted;
    return 0;
}

ErrorRecord *xzsnprintf(int size, int *count, char *buffer, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    ErrorRecord *result = xzvsnprintf(size, count, buffer, format, args);
    va_end(args);
    return result;
}

// The system's message for the code, or our own text for our own codes;
// the record's text is terminated whatever FormatMessageA does.
static void set_system_message(int code)
{
    char *text = err_sys_record.text;
    text[0] = 0;
    DWORD stored = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, 0,
                                  (DWORD)code, 0, text, TEXT_SIZE, 0);
    text[TEXT_SIZE - 1] = 0;
    if (stored == 0) {
        const char *own = table_find(err_app_messages, code);
        copy_cut(text, own ? own : "", TEXT_SIZE);
    }
}

static ErrorRecord *fill_system_record(int code, const char *name, const char *details,
                                       va_list args)
{
    set_system_message(code);
    err_sys_record.code = code;
    int length = (int)strlen(err_sys_record.text);
    char *end = err_sys_record.text + length;
    int room = TEXT_SIZE - length;
    if (details) {
        char expanded[DETAILS_SIZE];
        format_cut(expanded, DETAILS_SIZE, details, args);
        xzsnprintf(room, 0, end, "(%s) (%d) (%s)", name, code, expanded);
    } else {
        xzsnprintf(room, 0, end, "(%s) (%d)", name, code);
    }
    return &err_sys_record;
}

ErrorRecord *err_win32_code(int code, const char *name, const char *details, ...)
{
    va_list args;
    va_start(args, details);
    ErrorRecord *result = fill_system_record(code, name, details, args);
    va_end(args);
    return result;
}

ErrorRecord *err_win32(const char *name, const char *details, ...)
{
    DWORD code = GetLastError();
    if (code == 0)
        return 0;
    va_list args;
    va_start(args, details);
    ErrorRecord *result = fill_system_record((int)code, name, details, args);
    va_end(args);
    return result;
}

ErrorRecord *err_win32_failed(const char *name, const char *path)
{
    const char *shown = path ? path : "";
    ErrorRecord *reported = err_win32(name, "%s", shown);
    return reported ? reported : err_win32_code(FS_ERROR_NO_REASON, name, "%s", shown);
}

ErrorRecord *err_about_file(ErrorRecord *error, const char *name, const char *path)
{
    return error == &err_sys_record ? err_win32_code(error->code, name, "%s", path) : error;
}
