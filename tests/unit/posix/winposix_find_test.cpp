// Directory search and wildcards of the POSIX layer, checked against the
// directory as std::filesystem and stat see it.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "testutil.h"
#include "winposix.h"

namespace {

namespace fs = std::filesystem;

TEST(WinposixWildcard, Samples)
{
    struct {
        const char *pattern;
        const char *name;
        bool match;
    } cases[] = {
        {"*", "abc", true},         {"*", ".", true},           {"*.*", "noext", true},
        {"*.*", "a.b.c", true},     {"*.*", ".hidden", true},   {"*.*", "..", true},
        {"*.", "a.b", true},        {"*.txt", "a.txt", true},   {"*.txt", "A.TXT", true},
        {"*.txt", "a.txt.bak", false}, {"*.txt", "a.txtx", false}, {"*.txt", "txt", false},
        {"*.TXT", "b.c.txt", true}, {"a?c", "abc", true},       {"a?c", "a.c", true},
        {"a?c", "ac", false},       {"a??", "ab", false},       {"?", ".", true},
        {"??", "..", true},         {"abc.*", "abc", true},     {"abc.*", "abc.def", true},
        {"abc.*", "abcd", false},   {"abc.", "abc", true},      {".*", ".hid", true},
        {".*", "hid", false},       {"a*c", "a.b.c", true},     {"a*c", "abcd", false},
        {"*c", "abc", true},        {"file?.txt", "file1.txt", true},
        {"file?.txt", "file.txt", false}, {"*a*a*a*", "aaa", true}, {"*a*a*a*", "aa", false},
        {"ABC", "abc", true},       {"\xe9", "\xc9", false},    {"", "", true},
        {"", "a", false},           {"a", "", false},           {"*x*", "", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.match, winposix_wildcard_match(c.pattern, c.name) != FALSE)
            << c.pattern << " / " << c.name;
}

uint64_t filetime_of(const FILETIME &ft)
{
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// Every entry a search gives, by name, with the last error at its end.
std::map<std::string, WIN32_FIND_DATAA> search(const std::string &pattern, DWORD *code,
                                                std::vector<std::string> *order = nullptr)
{
    std::map<std::string, WIN32_FIND_DATAA> found;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) {
        *code = GetLastError();
        return found;
    }
    do {
        EXPECT_EQ(0u, found.count(data.cFileName)) << "given twice: " << data.cFileName;
        found[data.cFileName] = data;
        if (order)
            order->push_back(data.cFileName);
    } while (FindNextFileA(h, &data));
    *code = GetLastError();
    EXPECT_FALSE(FindNextFileA(h, &data));  // the end stays the end
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
    EXPECT_TRUE(FindClose(h));
    return found;
}

class WinposixFind : public TempDirTest {};

TEST_F(WinposixFind, ListingMatchesTheDirectory)
{
    write_file("a.txt", "12345");
    write_file("B.TXT", "");
    write_file("noext", "1");
    write_file(".hidden", "22");
    make_dir("sub");
    write_file("sub/inner", "x");
    write_file("ro", "r");
    test_set_readonly(path("ro"), true);
    ASSERT_EQ(0, symlink("nowhere", path("dangling").c_str()));
    ASSERT_EQ(0, symlink("a.txt", path("link").c_str()));
    ASSERT_EQ(0, symlink("sub", path("dirlink").c_str()));
    ASSERT_EQ(0, mkfifo(path("fifo").c_str(), 0600));
    test_set_mtime(path("a.txt"), 132537600001234567ull);

    DWORD code = 0;
    std::vector<std::string> order;
    auto found = search(path("*.*"), &code, &order);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), code);
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(".", order[0]);
    EXPECT_EQ("..", order[1]);
    std::set<std::string> expected{".", ".."};
    for (const auto &name : list_dir(""))
        expected.insert(name);
    std::set<std::string> names;
    for (const auto &e : found)
        names.insert(e.first);
    EXPECT_EQ(expected, names);

    for (const auto &e : found) {
        SCOPED_TRACE(e.first);
        const WIN32_FIND_DATAA &d = e.second;
        struct stat st;
        std::string p = e.first == ".." ? dir() + "/.." : path(e.first);
        if (stat(p.c_str(), &st) != 0) {
            ASSERT_EQ(0, lstat(p.c_str(), &st));
        }
        bool is_dir = S_ISDIR(st.st_mode);
        DWORD attributes = is_dir ? FILE_ATTRIBUTE_DIRECTORY
                           : S_ISFIFO(st.st_mode) ? FILE_ATTRIBUTE_DEVICE
                                                  : FILE_ATTRIBUTE_ARCHIVE;
        if (!(st.st_mode & S_IWUSR))
            attributes |= FILE_ATTRIBUTE_READONLY;
        if (e.first == ".hidden")
            attributes |= FILE_ATTRIBUTE_HIDDEN;
        // A link is marked as Windows marks a symbolic link, whatever it leads to.
        struct stat own;
        ASSERT_EQ(0, lstat(p.c_str(), &own));
        if (S_ISLNK(own.st_mode))
            attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        EXPECT_EQ(attributes, d.dwFileAttributes);
        EXPECT_EQ(S_ISLNK(own.st_mode) ? 0xA000000Cu : 0u, d.dwReserved0);
        EXPECT_EQ(is_dir ? 0u : static_cast<DWORD>(st.st_size), d.nFileSizeLow);
        EXPECT_EQ(0u, d.nFileSizeHigh);
        // ".." is the shared temporary directory, which other tests running
        // at the same time change.
        if (e.first != "..") {
            EXPECT_EQ(116444736000000000ull + static_cast<uint64_t>(st.st_mtim.tv_sec) * 10000000ull +
                          static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100,
                      filetime_of(d.ftLastWriteTime));
        }
    }
    EXPECT_EQ(132537600001234567ull, filetime_of(found["a.txt"].ftLastWriteTime));
    EXPECT_EQ(5u, found["link"].nFileSizeLow);  // a link shows its target
    EXPECT_EQ(0x410u, found["dirlink"].dwFileAttributes);
    EXPECT_EQ(0x40u, found["fifo"].dwFileAttributes);
}

TEST_F(WinposixFind, PatternsAndSingleNames)
{
    write_file("a.txt", "");
    write_file("B.TXT", "");
    write_file("abc", "");
    make_dir("sub");
    std::string backslashed = dir() + "\\";
    struct {
        std::string pattern;
        std::set<std::string> names;
    } cases[] = {
        {path("*.txt"), {"a.txt", "B.TXT"}},
        {backslashed + "*.TXT", {"a.txt", "B.TXT"}},
        {path("?.*"), {"a.txt", "B.TXT", ".", ".."}},
        {path("abc"), {"abc"}},
        {path("ABC"), {"abc"}},
        {path("abc."), {"abc"}},
        {backslashed + "sub", {"sub"}},
        {path("sub/*"), {".", ".."}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pattern);
        DWORD code = 0;
        auto found = search(c.pattern, &code);
        std::set<std::string> names;
        for (const auto &e : found)
            names.insert(e.first);
        EXPECT_EQ(c.names, names);
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), code);
    }
}

TEST_F(WinposixFind, Failures)
{
    write_file("file.txt", "");
    make_dir("sub");
    struct {
        std::string pattern;
        DWORD code;
    } cases[] = {
        {path("missing/*.*"), ERROR_PATH_NOT_FOUND},
        {path("file.txt/*"), ERROR_PATH_NOT_FOUND},
        {path("nomatch*"), ERROR_FILE_NOT_FOUND},
        {path("nofile"), ERROR_FILE_NOT_FOUND},
        {path("sub/"), ERROR_FILE_NOT_FOUND},
        {dir() + "\\sub\\", ERROR_FILE_NOT_FOUND},
        {path("s*b/x"), ERROR_INVALID_NAME},
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto &c : cases) {
        WIN32_FIND_DATAA data;
        SetLastError(0);
        EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA(c.pattern.c_str(), &data)) << c.pattern;
        EXPECT_EQ(c.code, GetLastError()) << c.pattern;
    }
}

TEST_F(WinposixFind, SizeWordsOfALargeSparseFile)
{
    const int64_t sizes[] = {0, 4294967295LL, 4294967296LL, 5LL * 1024 * 1024 * 1024 + 123};
    for (int64_t size : sizes) {
        write_file("sparse", "");
        ASSERT_EQ(0, truncate(path("sparse").c_str(), size));
        DWORD code = 0;
        auto found = search(path("sparse"), &code);
        ASSERT_EQ(1u, found.count("sparse"));
        EXPECT_EQ(static_cast<DWORD>(static_cast<uint64_t>(size) >> 32),
                  found["sparse"].nFileSizeHigh);
        EXPECT_EQ(static_cast<DWORD>(size), found["sparse"].nFileSizeLow);
    }
}

TEST_F(WinposixFind, ManyEntriesAndLongNames)
{
    std::set<std::string> expected{".", ".."};
    for (int i = 0; i < 300; i++) {
        std::string name = "entry" + std::to_string(i);
        write_file(name, "");
        expected.insert(name);
    }
    std::string longest(255, 'L');
    write_file(longest, "");
    expected.insert(longest);
    DWORD code = 0;
    auto found = search(path("*"), &code);
    std::set<std::string> names;
    for (const auto &e : found)
        names.insert(e.first);
    EXPECT_EQ(expected, names);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), code);
}

}  // namespace
