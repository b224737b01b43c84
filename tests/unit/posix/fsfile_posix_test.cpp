// Whole-file I/O and listings on the POSIX layer: failures injected into the
// system calls, and handles counted through /proc.
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fslib.h"
#include "testutil.h"

namespace fs = std::filesystem;

namespace {

int open_descriptors()
{
    int n = 0;
    for (const auto &e : fs::directory_iterator("/proc/self/fd")) {
        (void)e;
        ++n;
    }
    return n;
}

bool text_has(const ErrorRecord *r, const char *part)
{
    return r && strstr(r->text, part) != nullptr;
}

class FsPosixTest : public TempDirTest {
protected:
    void TearDown() override
    {
        winposix_fail_reset();
        TempDirTest::TearDown();
    }
};

}  // namespace

TEST_F(FsPosixTest, TransferFailuresCloseTheFile)
{
    write_file("data.txt", "some bytes here");
    struct Case {
        const char *what;
        WinposixCall call;
        int nth;
        DWORD code;
        const char *name;  // the call the returned record names
    } cases[] = {
        {"read", WINPOSIX_CALL_READ, 1, ERROR_IO_DEVICE, "(ReadFile)"},
        {"read", WINPOSIX_CALL_READ, 2, ERROR_LOCK_VIOLATION, "(ReadFile)"},
        {"write", WINPOSIX_CALL_WRITE, 1, ERROR_DISK_FULL, "(WriteFile)"},
        {"exact", WINPOSIX_CALL_READ, 1, ERROR_IO_DEVICE, "(ReadFile)"},
        {"exact", WINPOSIX_CALL_READ, 2, ERROR_IO_DEVICE, "(ReadFile)"},
        {"open", WINPOSIX_CALL_CREATE, 1, ERROR_SHARING_VIOLATION, "(CreateFile)"},
    };
    for (const Case &c : cases) {
        int before = open_descriptors();
        std::vector<char> buffer(64, '#');
        winposix_fail_nth(c.call, c.nth, c.code);
        ErrorRecord *r;
        if (strcmp(c.what, "read") == 0)
            r = fs_read_file(path("data.txt").c_str(), buffer.data());
        else if (strcmp(c.what, "exact") == 0)
            r = fs_read_file_exact(path("data.txt").c_str(), buffer.data(), 15);
        else
            r = fs_write_file(path("data.txt").c_str(), "new", 3);
        winposix_fail_reset();
        ASSERT_EQ(&err_sys_record, r) << c.what << " " << c.nth;
        EXPECT_EQ(static_cast<int32_t>(c.code), r->code) << c.what;
        EXPECT_TRUE(text_has(r, c.name)) << r->text;
        EXPECT_EQ(before, open_descriptors()) << c.what << " " << c.nth;
        if (strcmp(c.what, "write") == 0) {
            EXPECT_EQ("", read_file("data.txt"));  // cut before the write failed
            write_file("data.txt", "some bytes here");
        }
    }
}

TEST_F(FsPosixTest, CloseFailures)
{
    write_file("data.txt", "abc");
    std::vector<char> buffer(8, '#');

    winposix_fail_nth(WINPOSIX_CALL_CLOSE, 1, ERROR_IO_DEVICE);
    ErrorRecord *r = fs_read_file(path("data.txt").c_str(), buffer.data());
    ASSERT_EQ(&err_sys_record, r);
    EXPECT_EQ(ERROR_IO_DEVICE, r->code);
    EXPECT_TRUE(text_has(r, "(CloseHandle)"));
    EXPECT_EQ("abc", std::string(buffer.data(), 3));

    // A failed read followed by a failed close: the record holds the close.
    winposix_fail_nth(WINPOSIX_CALL_READ, 1, ERROR_LOCK_VIOLATION);
    winposix_fail_nth(WINPOSIX_CALL_CLOSE, 1, ERROR_IO_DEVICE);
    r = fs_read_file(path("data.txt").c_str(), buffer.data());
    ASSERT_EQ(&err_sys_record, r);
    EXPECT_TRUE(text_has(r, "(CloseHandle)")) << r->text;

    winposix_fail_nth(WINPOSIX_CALL_CLOSE, 1, ERROR_DISK_FULL);
    r = fs_write_file(path("data.txt").c_str(), "xyz", 3);
    ASSERT_EQ(&err_sys_record, r);
    EXPECT_EQ(ERROR_DISK_FULL, r->code);
    EXPECT_EQ("xyz", read_file("data.txt"));
}

TEST_F(FsPosixTest, SetTimeLeavesReadOnlyFileAlone)
{
    // The layer refuses writers on a file without write permission, as the
    // system does with the read-only attribute, whoever runs the test.
    write_file("ro.txt", "r");
    test_set_mtime(path("ro.txt"), 125911584000000000ull);
    test_set_readonly(path("ro.txt"), true);
    FileInfo info;
    memset(&info, 0, sizeof info);
    info.stamp = 0xFFFFFF4Au;
    info.time = 0;
    EXPECT_EQ(nullptr, fs_set_time(path("ro.txt").c_str(), &info));
    EXPECT_EQ(125911584000000000ull, test_get_mtime(path("ro.txt")));
    EXPECT_EQ(ERROR_ACCESS_DENIED, err_sys_record.code);
}

TEST_F(FsPosixTest, ListingSearchFailures)
{
    for (int i = 0; i < 10; ++i)
        write_file("f" + std::to_string(i), "");
    const int nths[] = {1, 3, 9};
    for (int nth : nths) {
        int before = open_descriptors();
        winposix_fail_nth(WINPOSIX_CALL_FIND_NEXT, nth, ERROR_IO_DEVICE);
        DirListing *listing = reinterpret_cast<DirListing *>(0x42);
        ErrorRecord *r = fs_list_open(dir().c_str(), "*.*", 0, &listing);
        winposix_fail_reset();
        ASSERT_EQ(&err_sys_record, r) << nth;
        EXPECT_EQ(ERROR_IO_DEVICE, r->code);
        EXPECT_TRUE(text_has(r, "(FindNextFile)"));
        EXPECT_EQ(reinterpret_cast<DirListing *>(0x42), listing);
        EXPECT_EQ(nullptr, fs_enum_handle);
        EXPECT_EQ(before, open_descriptors()) << nth;
    }
    // A step that fails without a reason still ends the search.
    int before = open_descriptors();
    winposix_fail_nth(WINPOSIX_CALL_FIND_NEXT, 2, 0);
    DirListing *listing = nullptr;
    ErrorRecord *r = fs_list_open(dir().c_str(), "*.*", 0, &listing);
    winposix_fail_reset();
    if (!r)
        fs_list_close(&listing);
    EXPECT_EQ(nullptr, fs_enum_handle);
    EXPECT_EQ(before, open_descriptors());
}

TEST_F(FsPosixTest, HiddenEntriesBeginWithADot)
{
    make_dir(".hidden_dir");
    make_dir("shown_dir");
    write_file(".hidden_file", "");
    write_file("shown_file", "");
    struct Case {
        int flags;
        std::vector<std::string> names;
    } cases[] = {
        {0, {".hidden_dir", ".hidden_file", "shown_dir", "shown_file"}},
        {FS_LIST_NO_HIDDEN, {"shown_dir", "shown_file"}},
        {FS_LIST_DIRS_ONLY | FS_LIST_NO_HIDDEN, {"shown_dir"}},
        {FS_LIST_DIRS_ONLY, {".hidden_dir", "shown_dir"}},
    };
    for (const Case &c : cases) {
        DirListing *listing = nullptr;
        ASSERT_EQ(nullptr, fs_list_open(dir().c_str(), "*.*", c.flags, &listing));
        std::vector<std::string> names;
        FileInfo info;
        int end = 0;
        while (!fs_list_next(listing, &info, &end) && !end)
            names.push_back(info.name);
        fs_list_close(&listing);
        EXPECT_EQ(c.names, names) << "flags " << c.flags;
    }
}
