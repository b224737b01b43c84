// Path joins, file names, extensions, comparisons and bounded copies.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "fslib.h"

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

}  // namespace

TEST(PathJoin, Samples)
{
    struct {
        const char *path;
        int size;
        const char *component;
        const char *result;
        bool error;
    } cases[] = {
        {"C:\\dir", 260, "a.txt", "C:\\dir\\a.txt", false},
        {"C:\\dir\\", 260, "a.txt", "C:\\dir\\a.txt", false},
        {"", 260, "a.txt", "\\a.txt", false},
        {"C:\\dir", 260, "", "C:\\dir\\", false},
        {"C:/dir/", 260, "a", "C:/dir/\\a", false},  // only a backslash counts
        {"abcdef", 8, "x", "abcdef\\", true},
        {"abcdefg", 8, "x", "abcdefg", true},
        {"abcde", 8, "x", "abcde\\x", false},
        {"abc\\", 8, "wxyz", "abc\\wxy", true},
        {"", 1, "a", "", true},
    };
    for (const auto &c : cases) {
        char buffer[300];
        memset(buffer, 'Z', sizeof buffer);
        strcpy(buffer, c.path);
        err_lib_record.code = 0;
        ErrorRecord *result = fs_strcat(buffer, c.size, c.component);
        EXPECT_STREQ(c.result, buffer) << c.path << " + " << c.component;
        EXPECT_EQ('Z', buffer[c.size]);
        EXPECT_EQ(c.error ? &err_lib_record : nullptr, result) << c.path << " + " << c.component;
        EXPECT_EQ(c.error ? 30 : 0, err_lib_record.code);
    }
}

TEST(FileName, Samples)
{
    struct {
        const char *path;
        const char *name;
    } cases[] = {
        {"C:\\dir\\a.txt", "a.txt"}, {"dir/a.txt", "a.txt"}, {"a\\b/c", "b/c"},
        {"C:a.txt", "a.txt"}, {"a.txt", "a.txt"}, {"C:\\dir\\", ""}, {"", ""}, {"x:y/z", "z"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.path + strlen(c.path) - strlen(c.name), fs_filename(c.path)) << c.path;
}

TEST(ExtensionCompare, Samples)
{
    struct {
        const char *path;
        const char *ext;
        bool equal;
    } cases[] = {
        {"x.TXT", "txt", true},  {"x.txt", "tx", false},      {"x", "txt", false},
        {"x.", "txt", false},    {"a.b.Csc", "CSC", true},    {"dir.txt\\x", "txt", false},
        {"x.txt", "txt2", false}, {"C:\\d\\f.tXt", "TxT", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.equal, fs_ext_cmp(c.path, c.ext) == 0) << c.path << " " << c.ext;
    EXPECT_EQ(1, fs_ext_cmp("x", "txt"));
}

// Signs worked out by hand: ASCII letters compare as upper case, every other
// byte as its unsigned value. Upper-casing puts "[", "_" and "`" after the
// letters, where the C library's strcasecmp, which lowers, puts them before.
TEST(Compare, Samples)
{
    struct {
        const char *a;
        const char *b;
        int n;  // -1: whole strings
        int sign;
    } cases[] = {
        {"abc", "ABC", -1, 0},  {"a", "B", -1, -1},       {"ab", "a", -1, 1},
        {"a", "ab", -1, -1},    {"", "", -1, 0},          {"[", "a", -1, 1},
        {"_", "a", -1, 1},      {"`", "Z", -1, 1},        {"a_", "A[", -1, 1},
        {"\xe9", "\xc9", -1, 1}, {"\xe9", "a", -1, 1},    {"abcX", "ABCy", 3, 0},
        {"abcX", "ABCy", 4, -1}, {"xyz", "abc", 0, 0},    {"Z", "z", -1, 0},
        {".", "..", -1, -1},    {"\x7f", "\x80", -1, -1}, {"A", "a", -1, 0},
        {"abc", "abd", 2, 0},   {"ab", "abc", 2, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.sign, sign(xzstrnicmp(c.a, c.b, c.n))) << c.a << " " << c.b << " " << c.n;
        if (c.n < 0) {
            EXPECT_EQ(c.sign, sign(xzstricmp(c.a, c.b))) << c.a << " " << c.b;
            int exact = std::string(c.a).compare(c.b);  // bytes compare unsigned
            EXPECT_EQ(sign(exact), xzstrcmp(c.a, c.b)) << c.a << " " << c.b;
        }
    }
}

TEST(BoundedCopy, Samples)
{
    enum Kind { PLAIN, CONTROL, REPORTING };
    struct {
        Kind kind;
        const char *src;
        int n;
        const char *stored;
        int end;  // the returned position; for the reporting copy 1 means an error
    } cases[] = {
        {PLAIN, "abcdef", 4, "abc", 3},  {PLAIN, "ab", 4, "ab", 3},  // past the source's zero
        {PLAIN, "abcdef", 1, "", 0},     {PLAIN, "a\tb", 5, "a\tb", 4},
        {PLAIN, "abc", 0, nullptr, 0},   {PLAIN, "abc", -1, nullptr, 0},
        {CONTROL, "ab\tcd", 1024, "ab", 3}, {CONTROL, "abcd", 3, "ab", 2},
        {CONTROL, " \xe9~\x1f", 10, " \xe9~", 4}, {CONTROL, "abc", 0, nullptr, 0},
        {REPORTING, "abc", 4, "abc", 0},  {REPORTING, "abcd", 4, "abc", 1},
        {REPORTING, "", 4, "", 0},        {REPORTING, "a", 1, "", 1},
        {REPORTING, "", 0, nullptr, 1},   {REPORTING, "abc", -2, nullptr, 1},
    };
    for (const auto &c : cases) {
        char buffer[1100];
        memset(buffer, 'Z', sizeof buffer);
        err_lib_record.code = 0;
        if (c.kind == PLAIN) {
            EXPECT_EQ(buffer + c.end, xzstrncpy(buffer, c.src, c.n)) << c.src;
        }
        if (c.kind == CONTROL) {
            EXPECT_EQ(buffer + c.end, xzstrncpyc(buffer, c.src, c.n)) << c.src;
        }
        if (c.kind == REPORTING) {
            EXPECT_EQ(c.end ? &err_lib_record : nullptr, xzstrncpyu(buffer, c.src, c.n));
            EXPECT_EQ(c.end ? 30 : 0, err_lib_record.code) << c.src;
        }
        if (c.stored) {
            EXPECT_STREQ(c.stored, buffer) << c.src;
        }
        for (int i = c.n > 0 ? c.n : 0; i < (int)sizeof buffer; i++)
            ASSERT_EQ('Z', buffer[i]) << c.src << " written past " << c.n;
    }
}
