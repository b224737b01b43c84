// Listings and times against the Win32 calls themselves: hidden and system
// entries, read-only files.
#include <windows.h>
#include <string.h>

#include <string>
#include <vector>

#include "fslib.h"
#include "testutil.h"

namespace {

class FsWinTest : public TempDirTest {
protected:
    void set_attributes(const std::string &rel, DWORD add)
    {
        DWORD a = GetFileAttributesA(path(rel).c_str());
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, a);
        ASSERT_TRUE(SetFileAttributesA(path(rel).c_str(), a | add));
    }

    std::vector<std::string> names_of(int flags)
    {
        DirListing *listing = nullptr;
        ErrorRecord *r = fs_list_open(dir().c_str(), "*.*", flags, &listing);
        EXPECT_EQ(nullptr, r);
        std::vector<std::string> names;
        if (r)
            return names;
        FileInfo info;
        int end = 0;
        while (!fs_list_next(listing, &info, &end) && !end)
            names.push_back(info.name);
        fs_list_close(&listing);
        return names;
    }
};

}  // namespace

TEST_F(FsWinTest, HiddenAndSystemFlags)
{
    make_dir("dir_hidden");
    make_dir("dir_plain");
    write_file("file_hidden", "");
    write_file("file_system", "");
    write_file("file_plain", "");
    set_attributes("dir_hidden", FILE_ATTRIBUTE_HIDDEN);
    set_attributes("file_hidden", FILE_ATTRIBUTE_HIDDEN);
    set_attributes("file_system", FILE_ATTRIBUTE_SYSTEM);
    if (!(GetFileAttributesA(path("file_system").c_str()) & FILE_ATTRIBUTE_SYSTEM) ||
        !(GetFileAttributesA(path("dir_hidden").c_str()) & FILE_ATTRIBUTE_HIDDEN))
        GTEST_SKIP() << "the file system does not keep hidden and system attributes";
    struct Case {
        int flags;
        std::vector<std::string> names;
    } cases[] = {
        {0, {"dir_hidden", "dir_plain", "file_hidden", "file_plain", "file_system"}},
        {FS_LIST_NO_HIDDEN, {"dir_plain", "file_plain", "file_system"}},
        {FS_LIST_NO_SYSTEM, {"dir_hidden", "dir_plain", "file_hidden", "file_plain"}},
        {FS_LIST_NO_HIDDEN | FS_LIST_NO_SYSTEM, {"dir_plain", "file_plain"}},
        {FS_LIST_DIRS_ONLY | FS_LIST_NO_HIDDEN, {"dir_plain"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.names, names_of(c.flags)) << "flags " << c.flags;
}

TEST_F(FsWinTest, SetTimeLeavesReadOnlyFileAlone)
{
    const uint64_t before = 125911584000000000ull;
    write_file("ro.txt", "r");
    test_set_mtime(path("ro.txt"), before);
    test_set_readonly(path("ro.txt"), true);
    HANDLE probe = CreateFileA(path("ro.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        GTEST_SKIP() << "this system lets a writer open a read-only file";
    }
    FileInfo info;
    memset(&info, 0, sizeof info);
    info.stamp = 0xFFFFFF4Au;
    EXPECT_EQ(nullptr, fs_set_time(path("ro.txt").c_str(), &info));
    EXPECT_EQ(before, test_get_mtime(path("ro.txt")));
}
