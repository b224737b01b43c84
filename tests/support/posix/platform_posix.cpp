// Test support on POSIX, through the system calls themselves.
#include <sys/stat.h>
#include <fcntl.h>

#include "testutil.h"

static const uint64_t kUnixEpochAsFiletime = 116444736000000000ull;

uint64_t test_get_mtime(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return 0;
    return kUnixEpochAsFiletime + static_cast<uint64_t>(st.st_mtim.tv_sec) * 10000000ull +
           static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
}

void test_set_mtime(const std::string &path, uint64_t filetime)
{
    uint64_t units = filetime - kUnixEpochAsFiletime;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(units / 10000000ull);
    times[1].tv_nsec = static_cast<long>(units % 10000000ull) * 100;
    ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0)) << path;
}

void test_set_readonly(const std::string &path, bool readonly)
{
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st)) << path;
    mode_t mode = st.st_mode & 07777;
    mode = readonly ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
    ASSERT_EQ(0, chmod(path.c_str(), mode)) << path;
}

std::string test_memory_dir()
{
    struct stat st;
    return stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "";
}

uint64_t test_allocated_bytes(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_blocks) * 512 : 0;
}

std::filesystem::path test_fs_path(const std::string &narrow) { return std::filesystem::path(narrow); }

std::string test_narrow_name(const std::filesystem::path &relative) { return relative.generic_string(); }

std::vector<TestTreeEntry> test_list_tree(const std::string &dir)
{
    namespace fs = std::filesystem;
    std::vector<TestTreeEntry> entries;
    fs::path root(dir);
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        std::string name = entry.path().lexically_relative(root).generic_string();
        entries.push_back(TestTreeEntry{name, entry.is_regular_file() && !entry.is_symlink()});
    }
    return entries;
}
