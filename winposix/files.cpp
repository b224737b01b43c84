// Opening and closing files: CreateFileA with its five dispositions, CloseHandle.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

static bool truncates(DWORD disposition)
{
    return disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
}

// A handle that may only look at the file's attributes reads and writes
// nothing: its descriptor opens no file (O_PATH), so that it counts as no
// open for a lease, which a look of our own must not break.
static bool looks_only(DWORD access, DWORD disposition)
{
    return (access & ~FILE_READ_ATTRIBUTES) == 0 && disposition == OPEN_EXISTING;
}

// Flags of the descriptor: it may write when the caller asked for write
// access or the disposition truncates, and it never blocks on a FIFO.
static int open_flags(DWORD access, DWORD disposition)
{
    if (looks_only(access, disposition))
        return O_PATH | O_CLOEXEC;
    bool reads = access & GENERIC_READ;
    bool writes = (access & GENERIC_WRITE) || truncates(disposition);
    int flags = reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    return flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
}

// Opens as the disposition says, beneath `dirfd`; *existed tells whether
// the file was there.
static int open_by_disposition(int dirfd, const char *name, int flags, DWORD disposition,
                               mode_t mode, bool *existed)
{
    if (disposition == CREATE_NEW) {
        *existed = false;
        return openat(dirfd, name, flags | O_CREAT | O_EXCL, mode);
    }
    *existed = true;
    if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
        return openat(dirfd, name, flags);
    // CREATE_ALWAYS, OPEN_ALWAYS: create, or open what another creator made.
    for (int attempt = 0; attempt < 16; attempt++) {
        int fd = openat(dirfd, name, flags | O_CREAT | O_EXCL, mode);
        if (fd >= 0 || errno != EEXIST) {
            *existed = false;
            return fd;
        }
        fd = openat(dirfd, name, flags);
        if (fd >= 0 || errno != ENOENT)
            return fd;
    }
    return -1;
}

// A symbolic link asked for as a reparse point: opened itself, for what
// the handle tells about it, never for its content.
static int open_link_itself(int dirfd, const char *name, DWORD disposition, bool *link)
{
    if (errno != ELOOP || disposition != OPEN_EXISTING)
        return -1;
    int fd = openat(dirfd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    *link = fd >= 0;
    return fd;
}

static HANDLE fail_handle(DWORD code)
{
    winposix_fail(code);
    return INVALID_HANDLE_VALUE;
}

// A path that ends in a separator names a directory or nothing a file can be.
static HANDLE fail_trailing_separator(const char *native)
{
    struct stat st;
    bool is_dir = stat(native, &st) == 0 && S_ISDIR(st.st_mode);
    return fail_handle(is_dir ? ERROR_ACCESS_DENIED : ERROR_INVALID_NAME);
}

// What the system refuses once the file is open: a directory (but for
// reading, with backup semantics), and write access or truncation of a
// read-only file (whoever the caller is).
static DWORD refusal(const struct stat &st, bool existed, DWORD access, DWORD disposition,
                     DWORD flags)
{
    if (S_ISDIR(st.st_mode) &&
        (!(flags & FILE_FLAG_BACKUP_SEMANTICS) || (access & GENERIC_WRITE) || truncates(disposition)))
        return ERROR_ACCESS_DENIED;
    bool read_only = !(st.st_mode & S_IWUSR);
    if (existed && read_only && ((access & GENERIC_WRITE) || truncates(disposition)))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

static DWORD finish_open(int fd, const struct stat &st, bool existed, DWORD disposition)
{
    if (!S_ISREG(st.st_mode) && !(fcntl(fd, F_GETFL) & O_PATH) && fcntl(fd, F_SETFL, 0) != 0)
        return winposix_error_from_errno(errno);
    if (existed && truncates(disposition) && st.st_size > 0 && ftruncate(fd, 0) != 0)
        return winposix_error_from_errno(errno);
    return ERROR_SUCCESS;
}

// A file this call made is not left behind by its failure: the one it made,
// should another have taken the name meanwhile.
static void remove_made(int dirfd, const char *name, const struct stat &made)
{
    struct stat now;
    if (fstatat(dirfd, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == made.st_dev &&
        now.st_ino == made.st_ino)
        unlinkat(dirfd, name, 0);
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templ)
{
    (void)security;
    if (winposix_fault_due(WINPOSIX_CALL_CREATE))
        return INVALID_HANDLE_VALUE;
    if (!path || disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
        return fail_handle(ERROR_INVALID_PARAMETER);
    if (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))
        return fail_handle(ERROR_INVALID_PARAMETER);
    if (!*path)
        return fail_handle(ERROR_PATH_NOT_FOUND);
    if (winposix_has_wildcards(path))
        return fail_handle(ERROR_INVALID_NAME);
    std::string native = winposix_native_path(path);
    if (winposix_ends_in_separator(path) && !(flags & FILE_FLAG_BACKUP_SEMANTICS))
        return fail_trailing_separator(native.c_str());

    // POSIX keeps no share modes. A new file created without read sharing
    // is kept from others by its permission bits instead: owner only, until
    // its owner gives it more.
    mode_t mode = (flags & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    if (!(share & FILE_SHARE_READ))
        mode &= 0700;
    WinposixHandle *from = nullptr;
    if (templ != nullptr && !(from = winposix_handle_get(templ, WINPOSIX_FILE)))
        return INVALID_HANDLE_VALUE;
    int dirfd = AT_FDCWD;
    const char *name = winposix_beneath(native.c_str(), &dirfd);
    int open_mode = open_flags(access, disposition);
    if (flags & FILE_FLAG_OPEN_REPARSE_POINT)
        open_mode |= O_NOFOLLOW;
    bool existed = false, link = false;
    int fd = open_by_disposition(dirfd, name, open_mode, disposition, mode, &existed);
    if (fd < 0 && (flags & FILE_FLAG_OPEN_REPARSE_POINT))
        fd = open_link_itself(dirfd, name, disposition, &link);
    if (fd < 0) {
        winposix_fail_path(native.c_str());
        return INVALID_HANDLE_VALUE;
    }
    struct stat st = {};
    DWORD code = fstat(fd, &st) != 0 ? winposix_error_from_errno(errno)
                 : link              ? ERROR_SUCCESS
                                     : refusal(st, existed, access, disposition, flags);
    if (code == ERROR_SUCCESS && !link && S_ISLNK(st.st_mode))
        link = true;  // a look at the link itself (O_PATH)
    if (code == ERROR_SUCCESS && !link)
        code = finish_open(fd, st, existed, disposition);
    WinposixLease lease = WINPOSIX_LEASE_NONE;
    if (code == ERROR_SUCCESS && !link && existed && S_ISREG(st.st_mode) && (access & DELETE) &&
        (lease = winposix_lease_take(fd)) == WINPOSIX_LEASE_REFUSED)
        code = ERROR_SHARING_VIOLATION;
    bool leased = lease == WINPOSIX_LEASE_HELD;
    bool held = code == ERROR_SUCCESS && S_ISDIR(st.st_mode) && !(share & FILE_SHARE_DELETE);
    if (held && !winposix_hold(fd, native.c_str()))
        code = ERROR_TOO_MANY_OPEN_FILES;
    int template_fd = -1;
    if (code == ERROR_SUCCESS && from != nullptr && !existed &&
        (template_fd = fcntl(from->fd, F_DUPFD_CLOEXEC, 0)) < 0)
        code = winposix_error_from_errno(errno);
    if (code != ERROR_SUCCESS) {
        if (held)
            winposix_release(fd);
        if (leased)
            winposix_lease_forget(fd);
        close(fd);
        if (!existed)
            remove_made(dirfd, name, st);
        return fail_handle(code);
    }
    if (template_fd >= 0 && from->leased)
        winposix_lease_watch(template_fd);

    WinposixHandle *record = new WinposixHandle();
    record->kind = WINPOSIX_FILE;
    record->fd = fd;
    record->readable = (access & GENERIC_READ) && !link;
    record->writable = (access & GENERIC_WRITE) && !link;
    record->regular = S_ISREG(st.st_mode) && !link;
    record->link = link;
    record->held = held;
    record->leased = leased;
    record->template_fd = template_fd;
    record->template_leased = template_fd >= 0 && from->leased;
    record->name = winposix_last_component(native.c_str());
    record->find = nullptr;
    bool told_exists = existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(told_exists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return winposix_handle_add(record);
}

// A file made from a template takes its metadata now, once its content
// is written; a failure to take it is the close's failure. The template
// is kept for the file's replace.
static bool take_template(WinposixHandle *record, DWORD *code)
{
    if (record->template_fd < 0)
        return true;
    bool taken = winposix_take_template(record->fd, record->template_fd);
    struct stat made;
    if (!taken)
        *code = GetLastError();
    if (taken && fstat(record->fd, &made) == 0)
        winposix_keep_template(made, record->template_fd, record->template_leased);
    else
        winposix_release_kept(record->template_fd, record->template_leased);
    return taken;
}

BOOL CloseHandle(HANDLE handle)
{
    bool injected = winposix_fault_due(WINPOSIX_CALL_CLOSE);
    DWORD injected_code = GetLastError();
    WinposixHandle *record = winposix_handle_get(handle, WINPOSIX_FILE);
    if (!record)
        return injected ? winposix_fail(injected_code) : FALSE;
    winposix_handle_remove(record);
    DWORD template_code = ERROR_SUCCESS;
    bool taken = take_template(record, &template_code);
    if (record->held)
        winposix_release(record->fd);
    if (record->leased)
        winposix_lease_forget(record->fd);
    int rc = close(record->fd);
    int err = errno;
    delete record;
    if (injected)
        return winposix_fail(injected_code);
    if (!taken)
        return winposix_fail(template_code);
    if (rc != 0 && err != EINTR)
        return winposix_fail(winposix_error_from_errno(err));
    return TRUE;
}
