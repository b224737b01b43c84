// File information, whole-file I/O and times, checked against the file
// system through std::filesystem and the platform's own calls.
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fslib.h"
#include "testutil.h"

namespace fs = std::filesystem;

namespace {

const uint64_t kFiletime1900 = 94354848000000000ull;
// 2000-01-01 00:00:00 UTC: the Unix epoch as a FILETIME plus 946684800 s.
const uint64_t kFiletime2000 = 116444736000000000ull + 946684800ull * 10000000ull;

FILETIME make_filetime(uint64_t units)
{
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(units);
    ft.dwHighDateTime = static_cast<DWORD>(units >> 32);
    return ft;
}

uint64_t filetime_units(FILETIME ft)
{
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FileInfo filled_info(uint32_t fill)
{
    FileInfo info;
    memset(&info, 0, sizeof info);
    info.kind = 77;
    info.size = fill;
    info.stamp = fill;
    info.time = fill;
    info.attributes = fill;
    info.type = static_cast<int32_t>(fill);
    return info;
}

bool text_has(const ErrorRecord *r, const std::string &part)
{
    return r && std::string(r->text).find(part) != std::string::npos;
}

class FsFileTest : public TempDirTest {};

}  // namespace

TEST(FileTime, ConversionSamples)
{
    struct Case {
        uint64_t filetime;
        int64_t time;
    } cases[] = {
        {kFiletime1900, 0},
        {kFiletime1900 + 99999, 0},
        {kFiletime1900 + 100000, 1},
        {kFiletime2000 + 50000, 0x497947C800LL},
        {kFiletime2000 + 99999, 0x497947C800LL},
        {kFiletime1900 - 100000, -1},
        {kFiletime1900 - 150000, -1},
        {kFiletime1900 + 100000ull * 0xFFFFFFFFFFull, 0xFFFFFFFFFFLL},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.time, fs_time_from_filetime(make_filetime(c.filetime))) << c.filetime;

    struct Back {
        int64_t time;
        uint64_t filetime;
    } backs[] = {
        {0, kFiletime1900},
        {1, kFiletime1900 + 100000},
        {0x497947C800LL, kFiletime2000},
        {0xFFFFFFFFFFLL, kFiletime1900 + 100000ull * 0xFFFFFFFFFFull},
    };
    for (const Back &b : backs)
        EXPECT_EQ(b.filetime, filetime_units(fs_time_to_filetime(b.time))) << b.time;
}

TEST(FileTime, StampPacking)
{
    struct Case {
        uint32_t stamp_before;
        int64_t time;
        uint32_t stamp;
        uint32_t word;
        int64_t read_back;
    } cases[] = {
        {0xFFFFFF00u, 0x497947C800LL, 0xFFFFFF49u, 0x7947C800u, 0x497947C800LL},
        {0x000FFD00u, 0x497947C800LL, 0xFFFFFD49u, 0x7947C800u, 0x497947C800LL},
        {0x12345678u, 0x0100000002LL, 0xFFF45601u, 0x00000002u, 0x0100000002LL},
        {0, 0, 0xFFF00000u, 0, 0},
        // Times the 40 bits cannot hold keep the nearest one they can.
        {0x000ABC00u, -1, 0xFFFABC00u, 0, 0},
        {0x000ABC00u, -123456789LL, 0xFFFABC00u, 0, 0},
        {0x000ABC00u, 1LL << 40, 0xFFFABCFFu, 0xFFFFFFFFu, 0xFFFFFFFFFFLL},
        {0x000ABC00u, 1LL << 50, 0xFFFABCFFu, 0xFFFFFFFFu, 0xFFFFFFFFFFLL},
    };
    for (const Case &c : cases) {
        FileInfo info = filled_info(0);
        info.stamp = c.stamp_before;
        fs_stamp_set(&info, c.time);
        EXPECT_EQ(c.stamp, info.stamp) << c.time;
        EXPECT_EQ(c.word, info.time) << c.time;
        int64_t back = -5;
        EXPECT_EQ(1, fs_stamp_get(&info, &back));
        EXPECT_EQ(c.read_back, back);
    }

    const uint32_t unmarked[] = {0, 0xFFE00000u, 0x7FF00049u, 0xFFEFFFFFu};
    for (uint32_t stamp : unmarked) {
        FileInfo info = filled_info(0);
        info.stamp = stamp;
        int64_t out = -5;
        EXPECT_EQ(0, fs_stamp_get(&info, &out)) << stamp;
        EXPECT_EQ(-5, out);
    }
}

TEST(FileType, NamesAndPaths)
{
    const std::string sep(1, test_sep);
    struct Case {
        std::string path;
        int32_t type;
    } cases[] = {
        {"notes.txt", -1},
        {"tag,abc", -1},
        {"README", 4093},
        {"a.b" + sep + "README", 4093},
        {",abc", 4093},
        {"a,b" + sep + "README", 4093},
        {"dir" + sep + "x,y", -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.type, fs_type_of(c.path.c_str())) << c.path;
}

TEST(FileType, LookupWalksTheChain)
{
    const FileTypeEntry first[] = {{7, "txt"}, {9, nullptr}, {8, "csv"}, {-1, nullptr}};
    const FileTypeEntry second[] = {{11, nullptr}, {12, "dat"}, {13, "TXT"}, {-1, nullptr}};
    FileTypeLink link2 = {nullptr, second};
    FileTypeLink link1 = {&link2, first};
    fs_type_tables = &link1;
    struct Case {
        const char *ext;
        int32_t type;
    } cases[] = {
        {"txt", 7}, {"TxT", 7}, {"csv", 8}, {"dat", 12}, {"zip", 11}, {"", 11},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.type, fs_type_lookup(c.ext)) << c.ext;
    EXPECT_EQ(12, fs_type_of("name.DAT"));
    EXPECT_EQ(8, fs_type_of("name,csv"));

    link2.rows = first + 3;  // an empty table: the first link's fallback stands
    EXPECT_EQ(9, fs_type_lookup("zip"));
    fs_type_tables = nullptr;
    EXPECT_EQ(-1, fs_type_lookup("txt"));
}

TEST(FileAttributes, Tests)
{
    struct Case {
        uint32_t attributes, readonly, hidden, system;
    } cases[] = {
        {0x22, 0, 0x2, 0}, {0x07, 0x1, 0x2, 0x4}, {0x10, 0, 0, 0}, {0xFFFFFFFFu, 1, 2, 4},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.readonly, fs_attr_readonly(c.attributes));
        EXPECT_EQ(c.hidden, fs_attr_hidden(c.attributes));
        EXPECT_EQ(c.system, fs_attr_system(c.attributes));
    }
}

TEST_F(FsFileTest, StatGivesTimeStampAndType)
{
    struct Case {
        const char *name;
        uint32_t stamp;
        int32_t type;
    } cases[] = {
        {"notes.txt", 0xFFFFFF49u, -1},
        {"README", 0xFFFFFD49u, 4093},
    };
    for (const Case &c : cases) {
        write_file(c.name, "twelve bytes");
        test_set_mtime(path(c.name), kFiletime2000 + 50000);
        FileInfo info = filled_info(0x5A5A5A5Au);
        EXPECT_EQ(nullptr, fs_stat(path(c.name).c_str(), &info));
        EXPECT_EQ(FS_KIND_FILE, info.kind);
        EXPECT_EQ(12u, info.size);
        EXPECT_EQ(0x7947C800u, info.time);
        EXPECT_EQ(c.stamp, info.stamp);
        EXPECT_EQ(c.type, info.type);
        EXPECT_EQ(0u, info.attributes & FILE_ATTRIBUTE_DIRECTORY);

        test_set_mtime(path(c.name), kFiletime2000 + 123456789);
        EXPECT_EQ(nullptr, fs_set_time(path(c.name).c_str(), &info));
        EXPECT_EQ(kFiletime2000, test_get_mtime(path(c.name))) << c.name;
    }
}

TEST_F(FsFileTest, StatKindsOfPaths)
{
    write_file("file.txt", "abc");
    make_dir("sub");
    const std::string sep(1, test_sep);
    struct Case {
        std::string path;
        int32_t kind;
    } cases[] = {
        {path("file.txt"), FS_KIND_FILE},
        {path("sub"), FS_KIND_DIR},
        {path("sub") + sep, FS_KIND_NONE},
        {path("missing.txt"), FS_KIND_NONE},
        {path("missing/deeper.txt"), FS_KIND_NONE},
    };
    for (const Case &c : cases) {
        FileInfo info = filled_info(0x5A5A5A5Au);
        EXPECT_EQ(nullptr, fs_stat(c.path.c_str(), &info)) << c.path;
        EXPECT_EQ(c.kind, info.kind) << c.path;
        if (c.kind == FS_KIND_NONE) {
            FileInfo untouched = filled_info(0x5A5A5A5Au);
            untouched.kind = FS_KIND_NONE;
            EXPECT_EQ(0, memcmp(&untouched, &info, sizeof info)) << c.path;
        } else {
            EXPECT_EQ(c.kind == FS_KIND_DIR, (info.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
            EXPECT_EQ(0xFFF00000u, info.stamp & 0xFFF00000u);
        }

        int32_t kind = -1;
        EXPECT_EQ(nullptr, fs_kind(c.path.c_str(), &kind));
        bool trailing = c.path.back() == test_sep;
        EXPECT_EQ(trailing ? FS_KIND_DIR : c.kind, kind) << c.path;
    }
    int32_t kind = -1;
    EXPECT_EQ(nullptr, fs_kind(nullptr, &kind));
    EXPECT_EQ(FS_KIND_NONE, kind);
}

TEST_F(FsFileTest, OpenByModeLetter)
{
    struct Case {
        const char *name;
        const char *before;  // null: missing; "/": a directory
        int mode;
        bool opens;
        const char *after;   // content once closed
    } cases[] = {
        {"r.txt", "keep", 'r', true, "keep"},
        {"r-missing.txt", nullptr, 'r', false, nullptr},
        {"w.txt", "cut me", 'w', true, ""},
        {"w-missing.txt", nullptr, 'w', true, ""},
        {"w-dir", "/", 'w', false, nullptr},
        {"u.txt", "keep", 'u', true, "keep"},
        {"u-missing.txt", nullptr, 'u', true, ""},
        {"x.txt", "cut me", 'x', true, ""},
    };
    for (const Case &c : cases) {
        if (c.before && strcmp(c.before, "/") == 0)
            make_dir(c.name);
        else if (c.before)
            write_file(c.name, c.before);
        HANDLE h = INVALID_HANDLE_VALUE;
        ErrorRecord *r = fs_open(path(c.name).c_str(), c.mode, &h);
        if (!c.opens) {
            EXPECT_EQ(&err_sys_record, r) << c.name;
            EXPECT_EQ(nullptr, h) << c.name;
            EXPECT_TRUE(text_has(r, "(CreateFile)")) << c.name;
            EXPECT_TRUE(text_has(r, path(c.name))) << c.name;
            continue;
        }
        ASSERT_EQ(nullptr, r) << c.name << ": " << r->text;
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(nullptr, fs_close(h, nullptr));
        EXPECT_EQ(c.after, read_file(c.name)) << c.name;
    }
    EXPECT_FALSE(exists("r-missing.txt"));
}

TEST_F(FsFileTest, ReadAllAndWriteAllCounts)
{
    std::string sixty(60, 'q');
    for (int i = 0; i < 60; ++i)
        sixty[i] = static_cast<char>('A' + i % 26);
    write_file("sixty.bin", sixty);

    HANDLE h = nullptr;
    ASSERT_EQ(nullptr, fs_open(path("sixty.bin").c_str(), 'r', &h));
    std::vector<char> buffer(100, '#');
    EXPECT_EQ(nullptr, fs_read_all(h, buffer.data(), 0));
    EXPECT_EQ(nullptr, fs_read_all(h, buffer.data(), -4));
    EXPECT_EQ(std::string(100, '#'), std::string(buffer.begin(), buffer.end()));
    ErrorRecord *r = fs_read_all(h, buffer.data(), 100);
    EXPECT_EQ(&err_lib_record, r);
    EXPECT_EQ(ERR_READ, r ? r->code : 0);
    EXPECT_EQ(sixty + std::string(40, '#'), std::string(buffer.begin(), buffer.end()));
    EXPECT_EQ(nullptr, fs_close(h, nullptr));

    ASSERT_EQ(nullptr, fs_open(path("out.bin").c_str(), 'w', &h));
    EXPECT_EQ(nullptr, fs_write_all(h, sixty.data(), 0));
    r = fs_write_all(h, sixty.data(), -1);
    EXPECT_EQ(&err_lib_record, r);
    EXPECT_EQ(ERR_NEGSIZE, r ? r->code : 0);
    EXPECT_EQ(nullptr, fs_write_all(h, sixty.data(), 60));
    EXPECT_EQ(nullptr, fs_write_all(h, sixty.data(), 7));
    EXPECT_EQ(nullptr, fs_close(h, nullptr));
    EXPECT_EQ(sixty + sixty.substr(0, 7), read_file("out.bin"));
}

TEST_F(FsFileTest, ReadFileAndWriteFile)
{
    make_dir("sub");
    std::string bytes("line one\nline two\r\n\0tail", 24);
    write_file("data.txt", bytes);

    struct Case {
        std::string path;
        std::string expected;  // the buffer afterwards
    } cases[] = {
        {path("data.txt"), bytes + std::string(8, '#')},
        {path("sub"), std::string(32, '#')},
        {path("missing.txt"), std::string(32, '#')},
    };
    for (const Case &c : cases) {
        std::vector<char> buffer(32, '#');
        EXPECT_EQ(nullptr, fs_read_file(c.path.c_str(), buffer.data())) << c.path;
        EXPECT_EQ(c.expected, std::string(buffer.begin(), buffer.end())) << c.path;
    }

    EXPECT_EQ(nullptr, fs_write_file(path("empty.txt").c_str(), "", 0));
    ASSERT_TRUE(exists("empty.txt"));
    EXPECT_EQ(0u, fs::file_size(path("empty.txt")));

    EXPECT_EQ(nullptr, fs_write_file(path("data.txt").c_str(), "short", 5));
    EXPECT_EQ("short", read_file("data.txt"));

    ErrorRecord *r = fs_write_file(path("sub").c_str(), "x", 1);
    EXPECT_EQ(&err_sys_record, r);
    EXPECT_TRUE(text_has(r, "(CreateFile)"));
    EXPECT_TRUE(fs::is_directory(path("sub")));
}

TEST_F(FsFileTest, SetTimeCases)
{
    const uint64_t recorded = kFiletime2000 + 3 * 100000;  // 00:00:00.03
    const uint64_t other = kFiletime2000 + 86400ull * 10000000ull + 1234567;
    FileInfo marked = filled_info(0);
    marked.stamp = 0xFFFFFF49u;
    marked.time = 0x7947C803u;
    FileInfo unmarked = marked;
    unmarked.stamp = 0x000FFF49u;

    struct Case {
        const char *name;
        const FileInfo *info;
        uint64_t expected;
    } cases[] = {
        {"marked.txt", &marked, recorded},
        {"unmarked.txt", &unmarked, other},
    };
    for (const Case &c : cases) {
        write_file(c.name, "content");
        test_set_mtime(path(c.name), other);
        EXPECT_EQ(nullptr, fs_set_time(path(c.name).c_str(), c.info)) << c.name;
        EXPECT_EQ(c.expected, test_get_mtime(path(c.name))) << c.name;
        EXPECT_EQ("content", read_file(c.name));
    }
    EXPECT_EQ(nullptr, fs_set_time(path("missing.txt").c_str(), &marked));
    EXPECT_FALSE(exists("missing.txt"));
}

TEST_F(FsFileTest, TimesBeyondTheRangeAreKeptAtItsEdge)
{
    // 2300-01-01 00:00:00 UTC lies past the last time 40 bits of
    // centiseconds can hold (2248-06-03 06:57:57.75).
    const uint64_t in2300 = 116444736000000000ull + 10413792000ull * 10000000ull;
    const uint64_t last = kFiletime1900 + 100000ull * 0xFFFFFFFFFFull;
    write_file("far.txt", "x");
    test_set_mtime(path("far.txt"), in2300);
    if (test_get_mtime(path("far.txt")) != in2300)
        GTEST_SKIP() << "the file system does not keep a time in 2300";
    FileInfo info = filled_info(0);
    ASSERT_EQ(nullptr, fs_stat(path("far.txt").c_str(), &info));
    EXPECT_EQ(0xFFFFFFFFu, info.time);
    EXPECT_EQ(0xFFFFFFFFu, info.stamp);
    EXPECT_EQ(nullptr, fs_set_time(path("far.txt").c_str(), &info));
    EXPECT_EQ(last, test_get_mtime(path("far.txt")));
}

TEST_F(FsFileTest, ExactReadInsistsOnTheSize)
{
    const std::string bytes = "0123456789abcdef";  // 16 bytes
    write_file("data.bin", bytes);
    make_dir("sub");
    struct Case {
        const char *name;
        uint32_t size;
        int32_t code;  // 0: success
    } cases[] = {
        {"data.bin", 16, 0},
        {"data.bin", 10, FS_ERROR_FILE_CHANGED},  // the file grew since the look
        {"data.bin", 20, FS_ERROR_FILE_CHANGED},  // the file shrank
        {"data.bin", 0, FS_ERROR_FILE_CHANGED},
        {"missing.bin", 16, -1},                    // the open's own error
        {"sub", 16, -1},
    };
    for (const Case &c : cases) {
        std::vector<char> buffer(c.size + 8, '#');
        ErrorRecord *r = fs_read_file_exact(path(c.name).c_str(), buffer.data(), c.size);
        std::string tail(buffer.end() - 8, buffer.end());
        EXPECT_EQ(std::string(8, '#'), tail) << c.name << " " << c.size;
        if (c.code == 0) {
            ASSERT_EQ(nullptr, r) << r->text;
            EXPECT_EQ(bytes, std::string(buffer.begin(), buffer.begin() + c.size));
            continue;
        }
        ASSERT_EQ(&err_sys_record, r) << c.name << " " << c.size;
        if (c.code > 0) {
            EXPECT_EQ(c.code, r->code);
        }
        EXPECT_TRUE(text_has(r, path(c.name))) << r->text;
    }

    write_file("empty.bin", "");
    char one = '#';
    EXPECT_EQ(nullptr, fs_read_file_exact(path("empty.bin").c_str(), &one, 0));
    EXPECT_EQ('#', one);

    // The handle was closed on every path: the file can be removed and
    // written again.
    fs::remove(path("data.bin"));
    EXPECT_EQ(nullptr, fs_write_file(path("data.bin").c_str(), "new", 3));
}

TEST_F(FsFileTest, FilesOfTwoGigabytesOrMoreAreRefused)
{
    const uint64_t gib = 1ull << 30;
    struct Case {
        const char *name;
        uint64_t length;
    } cases[] = {
        {"three.bin", 3 * gib},
        {"five.bin", 5 * gib},
        {"twoexact.bin", 2 * gib},
    };
    for (const Case &c : cases) {
        write_file(c.name, "");
        std::error_code ec;
        fs::resize_file(path(c.name), c.length, ec);
        if (ec || fs::file_size(path(c.name)) != c.length)
            GTEST_SKIP() << "the file system refuses a sparse file of " << c.length;

        FileInfo info = filled_info(0);
        ASSERT_EQ(nullptr, fs_stat(path(c.name).c_str(), &info));
        EXPECT_EQ(static_cast<uint32_t>(c.length), info.size) << c.name;

        std::vector<char> buffer(64, '#');
        ErrorRecord *r = fs_read_file(path(c.name).c_str(), buffer.data());
        ASSERT_EQ(&err_sys_record, r) << c.name;
        EXPECT_EQ(ERROR_FILE_TOO_LARGE, r->code);
        EXPECT_TRUE(text_has(r, path(c.name))) << r->text;

        r = fs_read_file_exact(path(c.name).c_str(), buffer.data(), 64);
        ASSERT_EQ(&err_sys_record, r) << c.name;
        EXPECT_EQ(ERROR_FILE_TOO_LARGE, r->code);
        EXPECT_EQ(std::string(64, '#'), std::string(buffer.begin(), buffer.end()));
        fs::remove(path(c.name));
    }
}
