#include <errno.h>
#include <string.h>
#include <sys/mount.h>
#include <unistd.h>

#include "small_disk.h"

std::string test_small_disk_open(const std::string &mount_point, std::string *why)
{
    if (geteuid() != 0) {
        *why = "mounting a 1 MiB tmpfs needs the superuser";
        return "";
    }
    if (mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=1m") != 0) {
        *why = std::string("cannot mount a tmpfs here: ") + strerror(errno);
        return "";
    }
    return mount_point;
}

void test_small_disk_close(const std::string &disk) { umount2(disk.c_str(), MNT_DETACH); }
