// Path expansion: double quotes, "<<", environment and registry tokens in
// angle brackets, and shell shortcuts; with the registry reads, environment
// expansion and shortcut resolution it rests on.
#include <stdlib.h>
#include <string.h>

#include "fslib.h"

int fs_resolve_shortcuts = 1;

// ---------------------------------------------------------------------------
// Registry

struct RegRoot {
    const char *full;
    const char *abbreviation;
    HKEY key;
};

static const RegRoot reg_roots[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
};

int reg_root_match(const char *text, int length, const char *full, const char *abbreviation)
{
    if (length == static_cast<int>(strlen(full)) && xzstrnicmp(text, full, length) == 0)
        return 0;
    if (length == static_cast<int>(strlen(abbreviation)))
        return xzstrnicmp(text, abbreviation, length);
    return 1;
}

HKEY reg_root_from_name(const char *text, int length)
{
    for (const RegRoot &root : reg_roots)
        if (reg_root_match(text, length, root.full, root.abbreviation) == 0)
            return root.key;
    return nullptr;
}

static REGSAM reg_access_for(int mode)
{
    if (mode == 'r')
        return KEY_READ;
    if (mode == 'w')
        return KEY_WRITE;
    return KEY_ALL_ACCESS;
}

ErrorRecord *reg_open_key(const char *text, HKEY *key, int mode)
{
    *key = nullptr;
    const char *backslash = strchr(text, '\\');
    if (!backslash)
        return nullptr;
    HKEY root = reg_root_from_name(text, static_cast<int>(backslash - text));
    return w32_RegOpenKey(root, backslash + 1, 0, reg_access_for(mode), key);
}

ErrorRecord *reg_query_value(HKEY key, const char *name, char *out, DWORD *count)
{
    DWORD type = 0;
    return w32_RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(out), count);
}

// A failed read leaves an empty string and a count of 0; room is the count
// the caller gave, since a refused query may have replaced it by the size
// the value would need.
static void reg_clear_output(char *out, DWORD room, DWORD *count)
{
    if (room > 0)
        out[0] = '\0';
    *count = 0;
}

ErrorRecord *reg_read_value(const char *name, char *out, DWORD *count)
{
    const DWORD room = *count;
    char work[FS_MAX_PATH];
    if (strlen(name) >= sizeof work) {
        reg_clear_output(out, room, count);
        return err_code(ERR_MAXSTRING);
    }
    strcpy(work, name);

    const char *value_name = "";
    char *last = strrchr(work, '\\');
    if (last) {
        *last = '\0';
        value_name = last + 1;
    }

    HKEY key = nullptr;
    ErrorRecord *r = reg_open_key(work, &key, 'r');
    if (r || !key) {
        reg_clear_output(out, room, count);
        return r;
    }
    r = reg_query_value(key, value_name, out, count);
    if (r)
        reg_clear_output(out, room, count);
    return reg_close(&key, r);
}

// ---------------------------------------------------------------------------
// Environment

enum { ENV_COPY_SIZE = 1024 };

// The platform's expansion, cut to size characters with its zero; false
// when it had to be cut. The expansion goes to a buffer of our own first:
// where it does not fit, the platform leaves its destination undefined.
static bool env_expand_bounded(const char *source, char *dst, int size)
{
    char local[ENV_COPY_SIZE];
    DWORD need = ExpandEnvironmentStringsA(source, local, sizeof local);
    const char *whole = source;
    char *large = nullptr;
    if (need != 0 && need <= sizeof local) {
        local[sizeof local - 1] = '\0';
        whole = local;
    } else if (need != 0) {
        large = static_cast<char *>(malloc(need + 1));
        if (large) {
            DWORD got = ExpandEnvironmentStringsA(source, large, need + 1);
            large[got != 0 && got <= need ? got : need] = '\0';
            whole = large;
        }
    }
    bool fits = strlen(whole) < static_cast<size_t>(size);
    xzstrncpy(dst, whole, size);
    free(large);
    return fits;
}

// env_expand, saying whether the whole expansion fitted.
static bool env_expand_fits(const char *src, char *dst, int size)
{
    char copy[ENV_COPY_SIZE];
    const char *source = src;
    if (src == dst) {
        xzstrncpyc(copy, src, sizeof copy);
        source = copy;
    }
    return env_expand_bounded(source, dst, size);
}

ErrorRecord *env_expand(const char *src, char *dst, int size)
{
    if (size > 0)
        env_expand_fits(src, dst, size);
    return nullptr;
}

// ---------------------------------------------------------------------------
// Shell shortcuts

ErrorRecord *fs_resolve_shortcut(const char *path, char *out, int size)
{
    if (size <= 0)
        return nullptr;
    out[0] = '\0';
    IShellLinkA *link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void **>(&link))))
        return nullptr;
    IPersistFile *file = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)))) {
        link->Release();
        return nullptr;
    }
    // A path that does not fit the wide buffer is not converted at all.
    WCHAR wide[FS_MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path, -1, wide, FS_MAX_PATH) != 0 &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
        if (FAILED(link->GetPath(out, size, nullptr, SLGP_UNCPRIORITY)))
            out[0] = '\0';
        out[size - 1] = '\0';
    }
    file->Release();
    link->Release();
    return nullptr;
}

// ---------------------------------------------------------------------------
// Path expansion

enum { TOKEN_STAGE_SIZE = 1024, LOOKUP_FAILED = -1, LOOKUP_TOO_LONG = -2 };

// Looks up a token's name and puts its value at dst + at. The name is staged
// at the output position, which is the lookup's work area; a name that does
// not fit the room left there is staged in a buffer of our own instead, so
// that a value that fits is still found. Returns the number of characters
// the value occupies from dst + at on (its zero not counted), LOOKUP_FAILED
// when the lookup fails, or LOOKUP_TOO_LONG when an environment token's
// value does not fit the room left.
static int expand_lookup(const char *name, int name_length, char *dst, int at, int dst_size)
{
    char *out = dst + at;
    int room = dst_size - at;
    char local[TOKEN_STAGE_SIZE];
    char *stage = out;
    if (name_length + 1 > room) {
        if (name_length + 1 > static_cast<int>(sizeof local))
            return LOOKUP_FAILED;
        stage = local;
    }
    memcpy(stage, name, static_cast<size_t>(name_length));
    stage[name_length] = '\0';

    if (stage[0] == '%')
        return env_expand_fits(stage, out, room) ? static_cast<int>(strlen(out)) : LOOKUP_TOO_LONG;
    DWORD length = static_cast<DWORD>(room);
    if (reg_read_value(stage, out, &length) != nullptr || length == 0 ||
        length > static_cast<DWORD>(room))
        return LOOKUP_FAILED;
    return static_cast<int>(length) - 1;
}

// A token search for the "<" at src. Each ">" that follows ends a candidate
// name; the first whose lookup succeeds wins. Returns the source position
// after that ">" and advances *at; returns null when no lookup succeeds,
// setting *too_long when a value did not fit.
static const char *expand_token(const char *src, char *dst, int *at, int dst_size, bool *too_long)
{
    const char *name = src + 1;
    for (const char *close = strchr(name, '>'); close; close = strchr(close + 1, '>')) {
        int used = expand_lookup(name, static_cast<int>(close - name), dst, *at, dst_size);
        if (used == LOOKUP_TOO_LONG) {
            *too_long = true;
            return nullptr;
        }
        if (used >= 0) {
            *at += used;
            return close + 1;
        }
    }
    return nullptr;
}

// A path that does not fit is refused whole: a cut one would name another
// file. The source is shown by its ends when it is long.
static ErrorRecord *expand_too_long(const char *src, char *dst, int dst_size)
{
    size_t length = strlen(src);
    ErrorRecord *r =
        length <= 120
            ? err_win32_code(ERROR_FILENAME_EXCED_RANGE, "fs_expand_path", "%s", src)
            : err_win32_code(ERROR_FILENAME_EXCED_RANGE, "fs_expand_path", "%.56s...%s", src,
                             src + length - 56);
    if (dst_size > 0)
        dst[0] = '\0';
    return r;
}

// Expands src into dst. A path whose expansion does not fit dst_size
// characters with its zero leaves dst empty and fails with
// ERROR_FILENAME_EXCED_RANGE.
ErrorRecord *fs_expand_path(const char *src, char *dst, int dst_size)
{
    if (dst_size <= 0)
        return expand_too_long(src, dst, dst_size);
    const char *const whole = src;
    int at = 0;
    while (*src) {
        if (*src == '"') {
            src++;
            continue;
        }
        if (*src == '<' && src[1] != '<') {
            bool too_long = false;
            const char *after = expand_token(src, dst, &at, dst_size, &too_long);
            if (too_long)
                return expand_too_long(whole, dst, dst_size);
            if (after) {
                src = after;
                continue;
            }
        }
        if (at >= dst_size - 1)
            return expand_too_long(whole, dst, dst_size);
        char c = *src;
        src += (c == '<' && src[1] == '<') ? 2 : 1;
        dst[at++] = c;
    }
    dst[at] = '\0';

    if (fs_resolve_shortcuts && fs_ext_cmp(dst, "lnk") == 0) {
        char target[FS_MAX_PATH];
        fs_resolve_shortcut(dst, target, sizeof target);
        if (strlen(target) >= static_cast<size_t>(dst_size))
            return expand_too_long(whole, dst, dst_size);
        if (target[0])
            strcpy(dst, target);
    }
    return nullptr;
}
