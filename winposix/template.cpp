// A new file takes its template's metadata: owner, group, ACLs and other
// extended attributes, and mode, all read from the template's descriptor
// and set through the new file's, so that no path is looked up twice. What
// cannot be kept fails: nothing is given away or widened.
#include <errno.h>
#include <sys/stat.h>
#include <string.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "internal.h"

// Owner and group, or nothing: a file given to the user who ran the tool,
// or to its group, would change who may read and write it. Which of the
// two could not be kept is told apart by the code.
static BOOL take_owner(int to, const struct stat &st)
{
    if (fchown(to, st.st_uid, st.st_gid) == 0)
        return TRUE;
    if (errno != EPERM)
        return winposix_fail_errno();
    return winposix_fail(st.st_uid != geteuid() ? ERROR_INVALID_OWNER : ERROR_INVALID_PRIMARY_GROUP);
}

static bool listed(const char *names, ssize_t length, const char *name)
{
    for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(strlen(names + at)) + 1) {
        if (strcmp(names + at, name) == 0)
            return true;
    }
    return false;
}

// What the new file has and the template has not goes: above all the
// access ACL a new file inherits from its folder's default ACL, which would
// give rights the original did not. A label the system insists on (its
// security attributes) may stay.
static BOOL drop_others(int to, const char *kept, ssize_t kept_length)
{
    char names[4096];
    ssize_t length = flistxattr(to, names, sizeof names);
    if (length < 0)
        return errno == ENOTSUP ? TRUE : winposix_fail_errno();
    for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(strlen(names + at)) + 1) {
        const char *name = names + at;
        if (listed(kept, kept_length, name) || fremovexattr(to, name) == 0)
            continue;
        if (strncmp(name, "security.", 9) != 0)
            return winposix_fail_errno();
    }
    return TRUE;
}

// Exactly the extended attributes the template has, POSIX ACLs among them.
// One that cannot be set fails: a file without its ACL could give rights it
// denied.
static BOOL take_attributes(int to, int from)
{
    char names[4096];
    ssize_t length = flistxattr(from, names, sizeof names);
    if (length < 0) {
        if (errno != ENOTSUP)
            return winposix_fail_errno();
        length = 0;
    }
    char value[4096];
    for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(strlen(names + at)) + 1) {
        ssize_t size = fgetxattr(from, names + at, value, sizeof value);
        if (size < 0)
            return winposix_fail_errno();
        if (fsetxattr(to, names + at, value, static_cast<size_t>(size), 0) != 0)
            return winposix_fail_errno();
    }
    return drop_others(to, names, length);
}

// Owner first, as changing it clears the set-id bits and file capabilities;
// the mode last, as setting or removing an ACL sets the permission bits too.
BOOL winposix_take_template(int to, int from)
{
    struct stat st;
    if (fstat(from, &st) != 0)
        return winposix_fail_errno();
    if (!take_owner(to, st) || !take_attributes(to, from))
        return FALSE;
    if (fchmod(to, st.st_mode & 07777) != 0)
        return winposix_fail_errno();
    return TRUE;
}
