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

const uint64_t k1900 = 94354848000000000ull;
// 2000-01-01 00:00:00 UTC: the Unix epoch as a FILETIME plus 946684800 s.
const uint64_t k2000 = 116444736000000000ull + 946684800ull * 10000000ull;
const uint64_t kLast = k1900 + 100000ull * 0xFFFFFFFFFFull;

FileInfo filled_info(uint32_t fill)
{
    FileInfo info;
    memset(&info, 0, sizeof info);
    info.kind = 77;
    info.size = info.stamp = info.time = info.attributes = fill;
    info.type = static_cast<int32_t>(fill);
    return info;
}

bool text_has(const ErrorRecord *r, const std::string &part)
{
    return r && std::string(r->text).find(part) != std::string::npos;
}

class FsFileTest : public TempDirTest {};

}  // namespace

TEST(FileTime, ConversionAndStamp)
{
    struct Case {
        uint64_t filetime;
        int64_t time;      // from the FILETIME
        uint32_t stamp;    // after fs_stamp_set on 0x000ABC00
        int64_t kept;      // what fs_stamp_get then gives
    } cases[] = {
        {k1900, 0, 0xFFFABC00u, 0},
        {k1900 + 99999, 0, 0xFFFABC00u, 0},
        {k1900 + 100000, 1, 0xFFFABC00u, 1},
        {k2000 + 50000, 0x497947C800LL, 0xFFFABC49u, 0x497947C800LL},
        {kLast, 0xFFFFFFFFFFLL, 0xFFFABCFFu, 0xFFFFFFFFFFLL},
        // Outside the 40 bits a time is kept at the nearest edge, not wrapped.
        {k1900 - 150000, -1, 0xFFFABC00u, 0},
        {kLast + 100000, 0x10000000000LL, 0xFFFABCFFu, 0xFFFFFFFFFFLL},
    };
    for (const Case &c : cases) {
        FILETIME ft = {static_cast<DWORD>(c.filetime), static_cast<DWORD>(c.filetime >> 32)};
        EXPECT_EQ(c.time, fs_time_from_filetime(ft)) << c.filetime;
        FileInfo info = filled_info(0);
        info.stamp = 0x000ABC00u;
        fs_stamp_set(&info, c.time);
        EXPECT_EQ(c.stamp, info.stamp) << c.time;
        int64_t kept = -5;
        EXPECT_EQ(1, fs_stamp_get(&info, &kept));
        EXPECT_EQ(c.kept, kept);
        FILETIME back = fs_time_to_filetime(kept);
        EXPECT_EQ(k1900 + 100000ull * static_cast<uint64_t>(kept),
                  (static_cast<uint64_t>(back.dwHighDateTime) << 32) | back.dwLowDateTime);
    }
    FileInfo unmarked = filled_info(0);
    unmarked.stamp = 0xFFEFFF49u;
    int64_t out = -5;
    EXPECT_EQ(0, fs_stamp_get(&unmarked, &out));
    EXPECT_EQ(-5, out);
}

TEST(FileType, NamesPathsAndTables)
{
    const std::string sep(1, test_sep);
    struct Case {
        std::string path;
        int32_t type;
    } cases[] = {
        {"notes.txt", -1}, {"tag,abc", -1},  {"README", 4093},  {"a.b" + sep + "README", 4093},
        {",abc", 4093},    {"a,b" + sep + "README", 4093},       {"d" + sep + "x,y", -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.type, fs_type_of(c.path.c_str())) << c.path;

    // First match in chain order wins; otherwise the last fallback row met.
    const FileTypeEntry first[] = {{7, "txt"}, {9, nullptr}, {8, "csv"}, {-1, nullptr}};
    const FileTypeEntry second[] = {{11, nullptr}, {12, "dat"}, {13, "TXT"}, {-1, nullptr}};
    FileTypeLink link2 = {nullptr, second};
    FileTypeLink link1 = {&link2, first};
    fs_type_tables = &link1;
    EXPECT_EQ(7, fs_type_of("a.TxT"));
    EXPECT_EQ(12, fs_type_of("a,dat"));
    EXPECT_EQ(11, fs_type_lookup("zip"));
    link2.next = nullptr;
    link2.rows = first + 3;
    EXPECT_EQ(9, fs_type_lookup("zip"));
    fs_type_tables = nullptr;
}

TEST_F(FsFileTest, StatAndSetTime)
{
    struct Case {
        const char *name;
        uint32_t stamp;
        int32_t type;
    } cases[] = {{"notes.txt", 0xFFFFFF49u, -1}, {"README", 0xFFFFFD49u, 4093}};
    for (const Case &c : cases) {
        write_file(c.name, "twelve bytes");
        test_set_mtime(path(c.name), k2000 + 50000);
        FileInfo info = filled_info(0x5A5A5A5Au);
        EXPECT_EQ(nullptr, fs_stat(path(c.name).c_str(), &info));
        EXPECT_EQ(FS_KIND_FILE, info.kind);
        EXPECT_EQ(12u, info.size);
        EXPECT_EQ(0x7947C800u, info.time);
        EXPECT_EQ(c.stamp, info.stamp);
        EXPECT_EQ(c.type, info.type);

        // Put back to the centisecond; a record without the marker changes nothing.
        test_set_mtime(path(c.name), k2000 + 123456789);
        FileInfo unmarked = info;
        unmarked.stamp &= 0x000FFFFFu;
        EXPECT_EQ(nullptr, fs_set_time(path(c.name).c_str(), &unmarked));
        EXPECT_EQ(k2000 + 123456789, test_get_mtime(path(c.name)));
        EXPECT_EQ(nullptr, fs_set_time(path(c.name).c_str(), &info));
        EXPECT_EQ(k2000, test_get_mtime(path(c.name))) << c.name;
    }
    // A marked record for a path that is not there: no error, and no file.
    write_file("model.txt", "");
    FileInfo marked = filled_info(0);
    ASSERT_EQ(nullptr, fs_stat(path("model.txt").c_str(), &marked));
    ASSERT_EQ(0xFFF00000u, marked.stamp & 0xFFF00000u);
    EXPECT_EQ(nullptr, fs_set_time(path("missing.txt").c_str(), &marked));
    EXPECT_FALSE(exists("missing.txt"));
}

TEST_F(FsFileTest, KindsOfPaths)
{
    write_file("file.txt", "abc");
    make_dir("sub");
    const std::string sep(1, test_sep);
    struct Case {
        std::string path;
        int32_t stat_kind, kind;
    } cases[] = {
        {path("file.txt"), FS_KIND_FILE, FS_KIND_FILE},
        {path("sub"), FS_KIND_DIR, FS_KIND_DIR},
        {path("sub") + sep, FS_KIND_NONE, FS_KIND_DIR},  // a search finds no entry
        {path("missing.txt"), FS_KIND_NONE, FS_KIND_NONE},
        {path("missing/deeper.txt"), FS_KIND_NONE, FS_KIND_NONE},
    };
    for (const Case &c : cases) {
        FileInfo info = filled_info(0x5A5A5A5Au);
        EXPECT_EQ(nullptr, fs_stat(c.path.c_str(), &info)) << c.path;
        EXPECT_EQ(c.stat_kind, info.kind) << c.path;
        if (c.stat_kind == FS_KIND_NONE) {
            FileInfo untouched = filled_info(0x5A5A5A5Au);
            untouched.kind = FS_KIND_NONE;
            EXPECT_EQ(0, memcmp(&untouched, &info, sizeof info)) << c.path;
        } else {
            EXPECT_EQ(c.stat_kind == FS_KIND_DIR, (info.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        }
        int32_t kind = -1;
        EXPECT_EQ(nullptr, fs_kind(c.path.c_str(), &kind));
        EXPECT_EQ(c.kind, kind) << c.path;
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
        const char *after;   // null: the open fails
    } cases[] = {
        {"r.txt", "keep", 'r', "keep"},      {"r-missing.txt", nullptr, 'r', nullptr},
        {"w.txt", "cut me", 'w', ""},        {"w-missing.txt", nullptr, 'w', ""},
        {"w-dir", "/", 'w', nullptr},        {"u.txt", "keep", 'u', "keep"},
        {"u-missing.txt", nullptr, 'u', ""}, {"x.txt", "cut me", 'x', ""},
    };
    for (const Case &c : cases) {
        if (c.before && strcmp(c.before, "/") == 0)
            make_dir(c.name);
        else if (c.before)
            write_file(c.name, c.before);
        HANDLE h = INVALID_HANDLE_VALUE;
        ErrorRecord *r = fs_open(path(c.name).c_str(), c.mode, &h);
        if (!c.after) {
            EXPECT_EQ(nullptr, h) << c.name;
            EXPECT_TRUE(text_has(r, "(CreateFile)") && text_has(r, path(c.name))) << c.name;
            EXPECT_EQ(c.before != nullptr, exists(c.name));
            continue;
        }
        ASSERT_EQ(nullptr, r) << c.name << ": " << r->text;
        EXPECT_EQ(nullptr, fs_close(h, nullptr));
        EXPECT_EQ(c.after, read_file(c.name)) << c.name;
    }
}

TEST_F(FsFileTest, TransfersMoveExactCounts)
{
    const std::string sixty = std::string(26, 'a') + std::string(26, 'B') + "01234567";
    write_file("sixty.bin", sixty);
    make_dir("sub");
    HANDLE h = nullptr;
    ASSERT_EQ(nullptr, fs_open(path("sixty.bin").c_str(), 'r', &h));
    std::vector<char> buffer(100, '#');
    EXPECT_EQ(nullptr, fs_read_all(h, buffer.data(), 0));
    EXPECT_EQ(nullptr, fs_read_all(h, buffer.data(), -4));
    ErrorRecord *r = fs_read_all(h, buffer.data(), 100);
    EXPECT_TRUE(r == &err_lib_record && r->code == ERR_READ);
    EXPECT_EQ(sixty + std::string(40, '#'), std::string(buffer.begin(), buffer.end()));
    EXPECT_EQ(nullptr, fs_close(h, nullptr));

    ASSERT_EQ(nullptr, fs_open(path("out.bin").c_str(), 'w', &h));
    r = fs_write_all(h, sixty.data(), -1);  // refused, nothing written
    EXPECT_TRUE(r == &err_lib_record && r->code == ERR_NEGSIZE);
    EXPECT_EQ(nullptr, fs_write_all(h, sixty.data(), 0));
    EXPECT_EQ(nullptr, fs_write_all(h, sixty.data(), 60));
    EXPECT_EQ(nullptr, fs_close(h, nullptr));
    EXPECT_EQ(sixty, read_file("out.bin"));

    for (const char *untouched : {"sub", "missing.txt"}) {
        std::vector<char> b(8, '#');
        EXPECT_EQ(nullptr, fs_read_file(path(untouched).c_str(), b.data()));
        EXPECT_EQ(std::string(8, '#'), std::string(b.begin(), b.end())) << untouched;
    }
    std::vector<char> whole(64, '#');
    EXPECT_EQ(nullptr, fs_read_file(path("sixty.bin").c_str(), whole.data()));
    EXPECT_EQ(sixty + "####", std::string(whole.begin(), whole.end()));

    EXPECT_EQ(nullptr, fs_write_file(path("sixty.bin").c_str(), "", 0));
    EXPECT_TRUE(exists("sixty.bin"));
    EXPECT_EQ(0u, fs::file_size(path("sixty.bin")));
}

TEST_F(FsFileTest, ExactReadInsistsOnTheSize)
{
    write_file("data.bin", "0123456789abcdef");
    write_file("empty.bin", "");
    make_dir("sub");
    struct Case {
        const char *name;
        uint32_t size;
        int32_t code;  // 0: read; -1: the open's own error
    } cases[] = {
        {"data.bin", 16, 0},
        {"empty.bin", 0, 0},
        {"data.bin", 10, FS_ERROR_FILE_CHANGED},  // the file grew since the look
        {"data.bin", 20, FS_ERROR_FILE_CHANGED},  // it shrank
        {"missing.bin", 16, -1},
        {"sub", 16, -1},
    };
    for (const Case &c : cases) {
        std::vector<char> buffer(c.size + 8, '#');
        ErrorRecord *r = fs_read_file_exact(path(c.name).c_str(), buffer.data(), c.size);
        EXPECT_EQ(std::string(8, '#'), std::string(buffer.end() - 8, buffer.end())) << c.name;
        if (c.code == 0) {
            EXPECT_EQ(nullptr, r) << r->text;
            EXPECT_EQ(read_file(c.name), std::string(buffer.begin(), buffer.begin() + c.size));
            continue;
        }
        ASSERT_EQ(&err_sys_record, r) << c.name << " " << c.size;
        EXPECT_TRUE(c.code < 0 || c.code == r->code) << r->text;
        EXPECT_TRUE(text_has(r, path(c.name))) << r->text;
    }
    // Every handle was closed: the file can be replaced.
    fs::remove(path("data.bin"));
    EXPECT_EQ(nullptr, fs_write_file(path("data.bin").c_str(), "new", 3));
}

TEST_F(FsFileTest, FilesOfTwoGigabytesOrMoreAreRefused)
{
    const uint64_t gib = 1ull << 30;
    for (uint64_t length : {2 * gib, 3 * gib, 5 * gib}) {
        write_file("big.bin", "");
        std::error_code ec;
        fs::resize_file(path("big.bin"), length, ec);
        if (ec || fs::file_size(path("big.bin")) != length)
            GTEST_SKIP() << "the file system refuses a sparse file of " << length;
        FileInfo info = filled_info(0);
        ASSERT_EQ(nullptr, fs_stat(path("big.bin").c_str(), &info));
        EXPECT_EQ(static_cast<uint32_t>(length), info.size);

        std::vector<char> buffer(64, '#');
        ErrorRecord *r = fs_read_file(path("big.bin").c_str(), buffer.data());
        EXPECT_TRUE(r == &err_sys_record && r->code == ERROR_FILE_TOO_LARGE) << length;
        EXPECT_TRUE(text_has(r, path("big.bin")));
        r = fs_read_file_exact(path("big.bin").c_str(), buffer.data(), 64);
        EXPECT_TRUE(r == &err_sys_record && r->code == ERROR_FILE_TOO_LARGE) << length;
        EXPECT_EQ(std::string(64, '#'), std::string(buffer.begin(), buffer.end()));
        fs::remove(path("big.bin"));
    }
}
