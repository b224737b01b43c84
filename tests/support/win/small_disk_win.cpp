#include <windows.h>

#include <filesystem>

#include "small_disk.h"
#include "testutil.h"

std::string test_small_disk_open(const std::string &, std::string *why)
{
    char disk[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("DRAVICK_TEST_SMALL_DISK", disk, sizeof disk);
    if (length == 0 || length >= sizeof disk) {
        *why = "DRAVICK_TEST_SMALL_DISK names no directory";
        return "";
    }
    ULARGE_INTEGER available, total, free_total;
    if (!GetDiskFreeSpaceExA(disk, &available, &total, &free_total) || total.QuadPart > (2u << 20)) {
        *why = std::string(disk) + " is not a small disk (it is mounted only for the superuser)";
        return "";
    }
    test_small_disk_close(disk);
    return disk;
}

void test_small_disk_close(const std::string &disk)
{
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(test_fs_path(disk), ec))
        std::filesystem::remove_all(entry.path(), ec);
}
