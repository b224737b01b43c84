// The POSIX layer's file calls, checked with the system's own calls.
#include <fcntl.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "testutil.h"
#include "winposix.h"

namespace {

// The same path written with Windows separators.
std::string win(std::string p)
{
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

struct stat stat_of(const std::string &p)
{
    struct stat st = {};
    EXPECT_EQ(0, stat(p.c_str(), &st)) << p;
    return st;
}

class WinposixFiles : public TempDirTest {
protected:
    HANDLE open(const std::string &rel, DWORD access, DWORD disposition)
    {
        return CreateFileA(win(path(rel)).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
};

const DWORD kRW = GENERIC_READ | GENERIC_WRITE;

TEST_F(WinposixFiles, Dispositions)
{
    struct Case {
        DWORD disposition;
        bool existed;
        bool opens;
        DWORD code;
        const char *after;  // content afterwards; null: no file
    } cases[] = {
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "abc"},
        {CREATE_NEW, false, true, ERROR_SUCCESS, ""},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {OPEN_EXISTING, true, true, ERROR_SUCCESS, "abc"},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "abc"},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string name = "f" + std::to_string(n++);
        if (c.existed)
            write_file(name, "abc");
        SetLastError(12345);
        HANDLE h = open(name, kRW, c.disposition);
        DWORD code = GetLastError();
        SCOPED_TRACE(name + " disposition " + std::to_string(c.disposition));
        EXPECT_EQ(c.opens, h != INVALID_HANDLE_VALUE);
        EXPECT_EQ(c.code, code);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(h));
        }
        EXPECT_EQ(c.after != nullptr, exists(name));
        if (c.after) {
            EXPECT_EQ(c.after, read_file(name));
        }
    }
}

TEST_F(WinposixFiles, OpenFailures)
{
    write_file("file.txt", "x");
    write_file("ro.txt", "keep");
    test_set_readonly(path("ro.txt"), true);
    make_dir("sub");
    struct Case {
        std::string path;
        DWORD access;
        DWORD disposition;
        DWORD code;
    } cases[] = {
        {path("missing/x.txt"), GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {path("nofile.txt"), GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {path("file.txt/x"), GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {path("missing/x.txt"), kRW, CREATE_NEW, ERROR_PATH_NOT_FOUND},
        {path("f*.txt"), GENERIC_READ, OPEN_EXISTING, ERROR_INVALID_NAME},
        {path("f?le.txt"), kRW, CREATE_ALWAYS, ERROR_INVALID_NAME},
        {"", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {path("sub"), GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {path("sub"), kRW, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
        {path("sub/"), GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {path("file.txt/"), GENERIC_READ, OPEN_EXISTING, ERROR_INVALID_NAME},
        {path(std::string(300, 'n')), GENERIC_READ, OPEN_EXISTING, ERROR_FILENAME_EXCED_RANGE},
        {path("ro.txt"), GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {path("ro.txt"), kRW, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
        {path("ro.txt"), GENERIC_READ, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {path("ro.txt"), kRW, TRUNCATE_EXISTING, ERROR_ACCESS_DENIED},
        {path("file.txt"), GENERIC_READ, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER},
        {path("file.txt"), GENERIC_READ, 0, ERROR_INVALID_PARAMETER},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path + " disposition " + std::to_string(c.disposition));
        SetLastError(0);
        HANDLE h = CreateFileA(c.path.c_str(), c.access, 0, nullptr, c.disposition, 0, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, h);
        EXPECT_EQ(c.code, GetLastError());
    }
    // The refusals change nothing; reading a read-only file is allowed.
    EXPECT_EQ("keep", read_file("ro.txt"));
    EXPECT_EQ("x", read_file("file.txt"));
    HANDLE h = open("ro.txt", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
}

TEST_F(WinposixFiles, ReadAndWriteWholeCounts)
{
    std::string data(1024 * 1024 + 17, 0);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<char>(i * 131 + i / 977);
    HANDLE h = open("big", GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &done, nullptr));
    EXPECT_EQ(data.size(), done);
    char byte = 0;
    EXPECT_FALSE(ReadFile(h, &byte, 1, &done, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(data, read_file("big"));

    h = open("big", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::string back(data.size() + 100, 0);
    EXPECT_TRUE(ReadFile(h, &back[0], static_cast<DWORD>(back.size()), &done, nullptr));
    EXPECT_EQ(data.size(), done);
    back.resize(done);
    EXPECT_EQ(data, back);
    done = 99;
    EXPECT_TRUE(ReadFile(h, &byte, 1, &done, nullptr));  // at the end: success, no bytes
    EXPECT_EQ(0u, done);
    EXPECT_FALSE(WriteFile(h, "x", 1, &done, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(CloseHandle(h));
}

TEST_F(WinposixFiles, HandlesOfTheWrongKindOrClosed)
{
    write_file("a", "1");
    HANDLE file = open("a", GENERIC_READ, OPEN_EXISTING);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path("*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_FALSE(FindClose(file));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(CloseHandle(find));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_TRUE(FindClose(find));
    EXPECT_TRUE(CloseHandle(file));
    HANDLE gone[] = {file, INVALID_HANDLE_VALUE, nullptr};
    for (HANDLE h : gone) {
        DWORD done;
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        EXPECT_FALSE(ReadFile(h, &done, 1, &done, nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    }
}

TEST_F(WinposixFiles, InformationByHandle)
{
    write_file(".hidden", "12345");
    ASSERT_EQ(0, link(path(".hidden").c_str(), path("second").c_str()));
    test_set_mtime(path(".hidden"), 125911584000050001ull);
    struct {
        const char *name;
        bool read_only;
        DWORD attributes;
    } cases[] = {
        {".hidden", false, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN},
        {"second", true, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        test_set_readonly(path(c.name), c.read_only);
        HANDLE h = open(c.name, GENERIC_READ, OPEN_EXISTING);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        BY_HANDLE_FILE_INFORMATION info;
        ASSERT_TRUE(GetFileInformationByHandle(h, &info));
        struct stat st = stat_of(path(c.name));
        EXPECT_EQ(c.attributes, info.dwFileAttributes);
        EXPECT_EQ(2u, info.nNumberOfLinks);
        EXPECT_EQ(5u, info.nFileSizeLow);
        EXPECT_EQ(0u, info.nFileSizeHigh);
        EXPECT_EQ(static_cast<uint64_t>(st.st_ino),
                  (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
        EXPECT_EQ(125911584000050001ull,
                  (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                      info.ftLastWriteTime.dwLowDateTime);
        LARGE_INTEGER size;
        ASSERT_TRUE(GetFileSizeEx(h, &size));
        EXPECT_EQ(5, size.QuadPart);
        CloseHandle(h);
    }
}

FILETIME filetime(uint64_t v)
{
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(v);
    ft.dwHighDateTime = static_cast<DWORD>(v >> 32);
    return ft;
}

TEST_F(WinposixFiles, SetFileTimeSetsOnlyWhatItIsGiven)
{
    write_file("t", "x");
    // 2000-01-01 00:00:00.0050001, 2100-01-01 00:00:00.0000009 and
    // 1969-12-31 23:59:59.9999999 UTC, to the 100 ns.
    const uint64_t times[] = {125911584000050001ull, 157469184000000009ull,
                              116444735999999999ull};
    for (uint64_t t : times) {
        SCOPED_TRACE(t);
        struct stat before = stat_of(path("t"));
        HANDLE h = open("t", GENERIC_WRITE, OPEN_EXISTING);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        FILETIME ft = filetime(t);
        EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
        CloseHandle(h);
        EXPECT_EQ(t, test_get_mtime(path("t")));
        struct stat after = stat_of(path("t"));
        EXPECT_EQ(before.st_atim.tv_sec, after.st_atim.tv_sec);
        EXPECT_EQ(before.st_atim.tv_nsec, after.st_atim.tv_nsec);
    }
    // Zero means "leave it"; a read-only handle may not set times.
    uint64_t kept = test_get_mtime(path("t"));
    HANDLE h = open("t", GENERIC_WRITE, OPEN_EXISTING);
    FILETIME zero = filetime(0);
    EXPECT_TRUE(SetFileTime(h, &zero, &zero, &zero));
    CloseHandle(h);
    EXPECT_EQ(kept, test_get_mtime(path("t")));
    h = open("t", GENERIC_READ, OPEN_EXISTING);
    FILETIME ft = filetime(125911584000000000ull);
    EXPECT_FALSE(SetFileTime(h, nullptr, nullptr, &ft));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    CloseHandle(h);
    EXPECT_EQ(kept, test_get_mtime(path("t")));
}

TEST_F(WinposixFiles, PointerAndEndOfFile)
{
    write_file("e", "0123456789");
    HANDLE h = open("e", kRW, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    struct {
        int64_t distance;
        DWORD method;
        bool ok;
        int64_t position;
    } moves[] = {
        {4, FILE_BEGIN, true, 4},   {3, FILE_CURRENT, true, 7}, {-2, FILE_END, true, 8},
        {-9, FILE_CURRENT, false, 8}, {0, 7, false, 8},         {20, FILE_BEGIN, true, 20},
    };
    for (const auto &m : moves) {
        LARGE_INTEGER d, at;
        d.QuadPart = m.distance;
        at.QuadPart = -1;
        EXPECT_EQ(m.ok, SetFilePointerEx(h, d, &at, m.method) != FALSE) << m.distance;
        if (m.ok) {
            EXPECT_EQ(m.position, at.QuadPart);
        } else {
            EXPECT_EQ(static_cast<DWORD>(m.method == 7 ? ERROR_INVALID_PARAMETER
                                                       : ERROR_NEGATIVE_SEEK),
                      GetLastError());
        }
    }
    CloseHandle(h);
}

TEST_F(WinposixFiles, EntryOperations)
{
    write_file("a", "A");
    write_file("b", "B");
    write_file("ro", "R");
    test_set_readonly(path("ro"), true);
    make_dir("d/inner");
    // Each row makes its call and reads the last error at once, in order.
    struct Case {
        const char *what;
        BOOL ok;
        DWORD got;
        DWORD code;
    };
    std::string a = win(path("a")), b = win(path("b")), ro = path("ro"), d = path("d");
    const Case cases[] = {
        {"move onto existing", MoveFileExA(a.c_str(), b.c_str(), 0),
         GetLastError(), ERROR_ALREADY_EXISTS},
        {"move onto read-only", MoveFileExA(a.c_str(), ro.c_str(), MOVEFILE_REPLACE_EXISTING),
         GetLastError(), ERROR_ACCESS_DENIED},
        {"move onto directory", MoveFileExA(a.c_str(), d.c_str(), MOVEFILE_REPLACE_EXISTING),
         GetLastError(), ERROR_ACCESS_DENIED},
        {"move missing", MoveFileExA(path("zz").c_str(), path("z2").c_str(), 0),
         GetLastError(), ERROR_FILE_NOT_FOUND},
        {"move into missing dir", MoveFileExA(a.c_str(), path("no/a").c_str(), 0),
         GetLastError(), ERROR_PATH_NOT_FOUND},
        {"move onto itself", MoveFileExA(a.c_str(), a.c_str(), 0), GetLastError(), ERROR_SUCCESS},
        {"delete read-only", DeleteFileA(ro.c_str()), GetLastError(), ERROR_ACCESS_DENIED},
        {"delete directory", DeleteFileA(d.c_str()), GetLastError(), ERROR_ACCESS_DENIED},
        {"delete missing", DeleteFileA(path("zz").c_str()), GetLastError(), ERROR_FILE_NOT_FOUND},
        {"delete in missing dir", DeleteFileA(path("no/zz").c_str()),
         GetLastError(), ERROR_PATH_NOT_FOUND},
        {"delete wildcard", DeleteFileA(path("*").c_str()), GetLastError(), ERROR_INVALID_NAME},
        {"mkdir existing", CreateDirectoryA(d.c_str(), nullptr),
         GetLastError(), ERROR_ALREADY_EXISTS},
        {"mkdir over file", CreateDirectoryA(a.c_str(), nullptr),
         GetLastError(), ERROR_ALREADY_EXISTS},
        {"mkdir missing parent", CreateDirectoryA(path("no/x").c_str(), nullptr),
         GetLastError(), ERROR_PATH_NOT_FOUND},
        {"rmdir not empty", RemoveDirectoryA(d.c_str()), GetLastError(), ERROR_DIR_NOT_EMPTY},
        {"rmdir file", RemoveDirectoryA(a.c_str()), GetLastError(), ERROR_DIRECTORY},
        {"rmdir missing", RemoveDirectoryA(path("zz").c_str()),
         GetLastError(), ERROR_FILE_NOT_FOUND},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.code == ERROR_SUCCESS, c.ok != FALSE);
        if (!c.ok) {
            EXPECT_EQ(c.code, c.got);
        }
    }
    EXPECT_EQ((std::vector<std::string>{"a", "b", "d", "ro"}), list_dir(""));
    EXPECT_EQ("B", read_file("b"));
    EXPECT_EQ("R", read_file("ro"));

    EXPECT_TRUE(MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(MoveFileExA(b.c_str(), win(path("d/moved")).c_str(), 0));
    EXPECT_TRUE(DeleteFileA(win(path("d/moved")).c_str()));
    EXPECT_TRUE(RemoveDirectoryA(win(path("d/inner")).c_str()));
    EXPECT_TRUE(RemoveDirectoryA((d + "/").c_str()));
    EXPECT_TRUE(CreateDirectoryA(win(path("new")).c_str(), nullptr));
    EXPECT_EQ((std::vector<std::string>{"new", "ro"}), list_dir(""));
}

TEST_F(WinposixFiles, Attributes)
{
    write_file("file.txt", "x");
    write_file("ro.txt", "x");
    test_set_readonly(path("ro.txt"), true);
    write_file(".hidden", "x");
    make_dir("dir");
    make_dir(".hdir");
    const DWORD bad = INVALID_FILE_ATTRIBUTES;
    struct {
        std::string path;
        DWORD attributes;
        DWORD code;
    } cases[] = {
        {path("file.txt"), FILE_ATTRIBUTE_ARCHIVE, 0},
        {path("ro.txt"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, 0},
        {path(".hidden"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN, 0},
        {path("dir"), FILE_ATTRIBUTE_DIRECTORY, 0},
        {win(path("dir/")), FILE_ATTRIBUTE_DIRECTORY, 0},
        {path(".hdir"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, 0},
        {path("dir/."), FILE_ATTRIBUTE_DIRECTORY, 0},
        {path("dir/.."), FILE_ATTRIBUTE_DIRECTORY, 0},
        {path("file.txt/"), bad, ERROR_PATH_NOT_FOUND},
        {path("missing"), bad, ERROR_FILE_NOT_FOUND},
        {path("missing/x"), bad, ERROR_PATH_NOT_FOUND},
        {path("f*.txt"), bad, ERROR_INVALID_NAME},
        {"", bad, ERROR_PATH_NOT_FOUND},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        SetLastError(0);
        EXPECT_EQ(c.attributes, GetFileAttributesA(c.path.c_str()));
        EXPECT_EQ(c.code, GetLastError());
    }
    EXPECT_TRUE(SetFileAttributesA(path("file.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(0u, stat_of(path("file.txt")).st_mode & 0222);
    EXPECT_TRUE(SetFileAttributesA(path("ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_NE(0u, stat_of(path("ro.txt")).st_mode & S_IWUSR);
    EXPECT_FALSE(SetFileAttributesA(path("missing").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

}  // namespace

// A new file made from a template whose descriptor cannot be had (no
// descriptor left) fails, and the file it had made is not left behind.
TEST_F(WinposixFiles, FailedCreateFromTemplateLeavesNoFile)
{
    write_file("t.txt", "template\n");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        HANDLE templ = open("t.txt", GENERIC_READ, OPEN_EXISTING);
        struct rlimit limit = {64, 64};
        setrlimit(RLIMIT_NOFILE, &limit);
        int last = -1;
        for (int fd; (fd = dup(0)) >= 0;)
            last = fd;
        close(last);  // room for the new file's descriptor, none for the template's
        HANDLE made = CreateFileA(win(path("made.txt")).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, templ);
        bool failed = made == INVALID_HANDLE_VALUE && GetLastError() == ERROR_TOO_MANY_OPEN_FILES;
        _exit(templ != INVALID_HANDLE_VALUE && failed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(std::vector<std::string>{"t.txt"}, list_dir(""));
}
