// String adaptors and environment expansion of the POSIX layer.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "testutil.h"
#include "winposix.h"

namespace {

TEST(WinposixPaths, ExtensionAndFileName)
{
    struct {
        const char *path;
        const char *extension;
        const char *file;
    } cases[] = {
        {"a.txt", ".txt", "a.txt"},
        {"a\\b.c\\d", "", "d"},
        {"a/b.c/d", "", "d"},
        {"a\\b.c\\d.e", ".e", "d.e"},
        {"file. txt", "", "file. txt"},
        {"file.txt ", "", "file.txt "},
        {"a.b c.d", ".d", "a.b c.d"},
        {"a.b.", ".", "a.b."},
        {"C:\\x\\.hidden", ".hidden", ".hidden"},
        {"noext", "", "noext"},
        {"a\\b\\", "", "b\\"},
        {"a/b//", "", "b//"},
        {"C:foo", "", "foo"},
        {"\\", "", "\\"},
        {"x\\..", ".", ".."},
        {"a\\b/c", "", "c"},
        {"", "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        const char *ext = PathFindExtensionA(c.path);
        const char *file = PathFindFileNameA(c.path);
        // Both point into the argument.
        ASSERT_GE(ext, c.path);
        ASSERT_LE(ext, c.path + strlen(c.path));
        ASSERT_GE(file, c.path);
        ASSERT_LE(file, c.path + strlen(c.path));
        EXPECT_STREQ(c.extension, ext);
        EXPECT_STREQ(c.file, file);
    }
    EXPECT_EQ(nullptr, PathFindExtensionA(nullptr));
    EXPECT_EQ(0, lstrlenA(nullptr));
    EXPECT_EQ(3, lstrlenA("abc"));
}

TEST(WinposixStrings, MultiByteToWideChar)
{
    struct {
        const char *src;
        int src_len;
        int dst_len;
        int result;
        DWORD code;  // when the result is 0
    } cases[] = {
        {"abc", -1, 10, 4, 0},  {"abc", 3, 10, 3, 0},
        {"abc", -1, 0, 4, 0},   {"abcdef", -1, 4, 0, ERROR_INSUFFICIENT_BUFFER},
        {"abc", 0, 10, 0, ERROR_INVALID_PARAMETER},
        {"\xe9\xff", -1, 10, 3, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.src);
        std::vector<WCHAR> dst(12, 0x7777);
        SetLastError(0);
        int r = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, c.src, c.src_len,
                                    c.dst_len ? dst.data() : nullptr, c.dst_len);
        EXPECT_EQ(c.result, r);
        if (r == 0) {
            EXPECT_EQ(c.code, GetLastError());
        }
        for (int i = 0; i < r && c.dst_len; i++)
            EXPECT_EQ(static_cast<unsigned char>(c.src[i]), dst[i]) << i;
        // Nothing is written past the given length.
        for (int i = c.dst_len; i < 12; i++)
            EXPECT_EQ(0x7777, dst[i]) << i;
    }
}

TEST(WinposixEnvironment, Expansion)
{
    setenv("WinposixVar", "val", 1);
    setenv("WINPOSIX_EMPTY", "", 1);
    setenv("WinposixLong", std::string(300, 'v').c_str(), 1);
    unsetenv("WINPOSIX_NOPE");
    struct {
        const char *src;
        const char *out;
    } cases[] = {
        {"%WinposixVar%", "val"},
        {"%WINPOSIXVAR%\\sub", "val\\sub"},
        {"x%winposixvar%y%WinposixVar%", "xvalyval"},
        {"%WINPOSIX_EMPTY%|", "|"},
        {"%%", "%%"},
        {"a%b", "a%b"},
        {"%", "%"},
        {"%WINPOSIX_NOPE%x", "%WINPOSIX_NOPE%x"},
        {"%WINPOSIX_NOPE%WinposixVar%", "%WINPOSIX_NOPE%WinposixVar%"},
        {"%%WinposixVar%", "%%WinposixVar%"},
        {"%Winposix Var%", "%Winposix Var%"},
        {"%=%", "%=%"},
        {"", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.src);
        char dst[64];
        memset(dst, '#', sizeof dst);
        DWORD r = ExpandEnvironmentStringsA(c.src, dst, sizeof dst);
        EXPECT_STREQ(c.out, dst);
        EXPECT_EQ(strlen(c.out) + 1, r);
    }
    // Too small: cut and terminated within the size; the result is the need.
    struct {
        const char *src;
        DWORD size;
        const char *out;
        DWORD need;
    } small[] = {
        {"x%WinposixVar%y", 4, "xva", 6},
        {"abcdef", 3, "ab", 7},
        {"abc", 1, "", 4},
        {"<%WinposixLong%>", 10, "<vvvvvvvv", 303},
    };
    for (const auto &c : small) {
        SCOPED_TRACE(c.src);
        char dst[16];
        memset(dst, '#', sizeof dst);
        EXPECT_EQ(c.need, ExpandEnvironmentStringsA(c.src, dst, c.size));
        EXPECT_STREQ(c.out, dst);
        for (size_t i = c.size; i < sizeof dst; i++)
            EXPECT_EQ('#', dst[i]) << i;
    }
    char untouched = '#';
    EXPECT_EQ(4u, ExpandEnvironmentStringsA("abc", &untouched, 0));
    EXPECT_EQ('#', untouched);
}

}  // namespace
