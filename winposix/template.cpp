// A new file takes its template's metadata: owner, group, ACLs and other
// extended attributes, and mode, all read from the template's descriptor
// and set through the new file's, so that no path is looked up twice.
#include <errno.h>
#include <sys/stat.h>
#include <string.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "internal.h"

// Owner and group where the process may set them; the group alone when only
// the owner cannot be given away (a group-writable folder whose user is in
// the file's group).
static BOOL take_owner(int to, const struct stat &st, bool *owner_kept, bool *group_kept)
{
    *owner_kept = *group_kept = true;
    if (fchown(to, st.st_uid, st.st_gid) == 0)
        return TRUE;
    if (errno != EPERM)
        return winposix_fail_errno();
    *owner_kept = false;
    if (fchown(to, static_cast<uid_t>(-1), st.st_gid) == 0)
        return TRUE;
    if (errno != EPERM)
        return winposix_fail_errno();
    *group_kept = false;
    return TRUE;
}

// Every extended attribute the template has, POSIX ACLs among them. One that
// cannot be set fails: a file without its ACL could give rights it denied.
static BOOL take_attributes(int to, int from)
{
    char names[4096];
    ssize_t length = flistxattr(from, names, sizeof names);
    if (length < 0)
        return errno == ENOTSUP ? TRUE : winposix_fail_errno();
    char value[4096];
    for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(strlen(names + at)) + 1) {
        ssize_t size = fgetxattr(from, names + at, value, sizeof value);
        if (size < 0)
            return winposix_fail_errno();
        if (fsetxattr(to, names + at, value, static_cast<size_t>(size), 0) != 0)
            return winposix_fail_errno();
    }
    return TRUE;
}

// The template's mode, less what would now go to someone else: the set-user
// bit of an owner not kept, the set-group bit and any group right beyond the
// others' of a group not kept.
static mode_t mode_to_take(const struct stat &st, bool owner_kept, bool group_kept)
{
    mode_t mode = st.st_mode & 07777;
    if (!owner_kept)
        mode &= ~static_cast<mode_t>(S_ISUID);
    if (!group_kept)
        mode &= ~static_cast<mode_t>(S_ISGID | (070 & ~((mode & 07) << 3)));
    return mode;
}

// Owner first, as changing it clears the set-id bits and file capabilities;
// the mode last, as setting an ACL sets the permission bits too.
BOOL winposix_take_template(int to, int from)
{
    struct stat st;
    if (fstat(from, &st) != 0)
        return winposix_fail_errno();
    bool owner_kept = false, group_kept = false;
    if (!take_owner(to, st, &owner_kept, &group_kept) || !take_attributes(to, from))
        return FALSE;
    if (fchmod(to, mode_to_take(st, owner_kept, group_kept)) != 0)
        return winposix_fail_errno();
    return TRUE;
}
