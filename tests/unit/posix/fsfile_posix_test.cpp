// Whole-file I/O and listings on the POSIX layer: failures injected into the
// system calls, open descriptors counted through /proc.
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

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
    for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it)
        ++n;
    return n;
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

TEST_F(FsPosixTest, InjectedFailures)
{
    struct Case {
        char op;  // r: fs_read_file, e: fs_read_file_exact, w: fs_write_file
        WinposixCall call;
        int nth;
        DWORD code;
        const char *reported;
        bool closes;  // an injected close failure leaves the descriptor open
    } cases[] = {
        {'r', WINPOSIX_CALL_READ, 1, ERROR_IO_DEVICE, "(ReadFile)", true},
        {'r', WINPOSIX_CALL_READ, 2, ERROR_LOCK_VIOLATION, "(ReadFile)", true},
        {'e', WINPOSIX_CALL_READ, 2, ERROR_IO_DEVICE, "(ReadFile)", true},
        {'w', WINPOSIX_CALL_WRITE, 1, ERROR_DISK_FULL, "(WriteFile)", true},
        {'w', WINPOSIX_CALL_CREATE, 1, ERROR_SHARING_VIOLATION, "(CreateFile)", true},
        {'r', WINPOSIX_CALL_CLOSE, 1, ERROR_IO_DEVICE, "(CloseHandle)", false},
        {'w', WINPOSIX_CALL_CLOSE, 1, ERROR_DISK_FULL, "(CloseHandle)", false},
    };
    for (const Case &c : cases) {
        write_file("data.txt", "some bytes here");
        int before = open_descriptors();
        std::vector<char> buffer(64, '#');
        winposix_fail_nth(c.call, c.nth, c.code);
        ErrorRecord *r = c.op == 'r'   ? fs_read_file(path("data.txt").c_str(), buffer.data())
                         : c.op == 'e' ? fs_read_file_exact(path("data.txt").c_str(), buffer.data(), 15)
                                       : fs_write_file(path("data.txt").c_str(), "new", 3);
        winposix_fail_reset();
        ASSERT_EQ(&err_sys_record, r) << c.op << " " << c.call;
        EXPECT_EQ(static_cast<int32_t>(c.code), r->code);
        EXPECT_TRUE(strstr(r->text, c.reported)) << r->text;
        if (c.op != 'w') {
            EXPECT_TRUE(strstr(r->text, (") (" + path("data.txt") + ")").c_str())) << r->text;
        }
        if (c.closes) {
            EXPECT_EQ(before, open_descriptors()) << c.op << " " << c.call;
        }
    }

    // A failed read followed by a failed close: the record holds the close.
    winposix_fail_nth(WINPOSIX_CALL_READ, 1, ERROR_LOCK_VIOLATION);
    winposix_fail_nth(WINPOSIX_CALL_CLOSE, 1, ERROR_IO_DEVICE);
    std::vector<char> buffer(64);
    ErrorRecord *r = fs_read_file(path("data.txt").c_str(), buffer.data());
    EXPECT_TRUE(r == &err_sys_record && strstr(r->text, "(CloseHandle)"));
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
    EXPECT_EQ(nullptr, fs_set_time(path("ro.txt").c_str(), &info));
    EXPECT_EQ(125911584000000000ull, test_get_mtime(path("ro.txt")));
}

TEST_F(FsPosixTest, ListingSearchFailures)
{
    for (int i = 0; i < 10; ++i)
        write_file("f" + std::to_string(i), "");
    // The last case fails without a reason: the search must still end.
    const struct {
        int nth;
        DWORD code;
    } cases[] = {{1, ERROR_IO_DEVICE}, {3, ERROR_IO_DEVICE}, {9, ERROR_IO_DEVICE}, {2, 0}};
    for (const auto &c : cases) {
        int before = open_descriptors();
        winposix_fail_nth(WINPOSIX_CALL_FIND_NEXT, c.nth, c.code);
        DirListing *listing = reinterpret_cast<DirListing *>(0x42);
        ErrorRecord *r = fs_list_open(dir().c_str(), "*.*", 0, &listing);
        winposix_fail_reset();
        ASSERT_EQ(&err_sys_record, r) << c.nth;
        EXPECT_TRUE(c.code == 0 || r->code == static_cast<int32_t>(c.code)) << r->text;
        EXPECT_TRUE(strstr(r->text, "(FindNextFile)"));
        EXPECT_TRUE(strstr(r->text, (") (" + dir() + "\\*.*)").c_str())) << r->text;
        EXPECT_EQ(reinterpret_cast<DirListing *>(0x42), listing);
        EXPECT_EQ(nullptr, fs_enum_handle);
        EXPECT_EQ(before, open_descriptors()) << c.nth;
    }
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

// A FIFO that a writer holds open is refused before any read: the byte in it
// would otherwise be taken for growth, and with none the read would wait.
TEST_F(FsPosixTest, FifoIsNotRead)
{
    ASSERT_EQ(0, mkfifo(path("f.txt").c_str(), 0600));
    int writer = open(path("f.txt").c_str(), O_RDWR);
    ASSERT_LE(0, writer);
    ASSERT_EQ(1, write(writer, "x", 1));
    char buffer[1];
    ErrorRecord *error = fs_read_file_exact(path("f.txt").c_str(), buffer, 0);
    close(writer);
    ASSERT_NE(nullptr, error);
    EXPECT_EQ(ERROR_NOT_SUPPORTED, error->code);
    EXPECT_NE(nullptr, strstr(error->text, "(GetFileType) (50)")) << error->text;
}
