// A file system of 1 MiB for full-disk tests.
#ifndef TESTS_SMALL_DISK_H
#define TESTS_SMALL_DISK_H

#include <string>

// An empty directory at the root of a 1 MiB file system, or "" with the
// reason in *why. On POSIX a tmpfs is mounted on `mount_point`, an empty
// directory of the caller's (only the superuser may). On Windows the
// directory named by DRAVICK_TEST_SMALL_DISK is used, which the test run
// mounts beforehand where it can (tests/support/small-disk, under Wine).
std::string test_small_disk_open(const std::string &mount_point, std::string *why);

// Unmounts it, or empties it for the next test.
void test_small_disk_close(const std::string &disk);

#endif
