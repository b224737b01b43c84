// Directory listings, checked against std::filesystem.
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fslib.h"
#include "testutil.h"

namespace fs = std::filesystem;

namespace {

// The listing's order, written independently: ASCII capitals folded to
// small letters, bytes compared unsigned, a shorter name first.
bool listing_less(const std::string &a, const std::string &b)
{
    auto fold = [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u >= 'A' && u <= 'Z' ? u + 32u : static_cast<unsigned>(u);
    };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return fold(x) < fold(y); });
}

std::vector<std::string> list_names(DirListing *listing)
{
    std::vector<std::string> names;
    FileInfo info;
    int end = 0;
    while (fs_list_next(listing, &info, &end) == nullptr && !end)
        names.push_back(info.name);
    return names;
}

class FsListTest : public TempDirTest {
protected:
    // Lists a directory under the temp dir with "*.*"; empty on failure.
    std::vector<std::string> names_of(const std::string &rel, int flags)
    {
        DirListing *listing = nullptr;
        std::string where = rel.empty() ? dir() : path(rel);
        ErrorRecord *r = fs_list_open(where.c_str(), "*.*", flags, &listing);
        EXPECT_EQ(nullptr, r) << (r ? r->text : "");
        if (r)
            return {};
        std::vector<std::string> names = list_names(listing);
        EXPECT_EQ(nullptr, fs_list_close(&listing));
        EXPECT_EQ(nullptr, listing);
        return names;
    }
};

}  // namespace

TEST(ListCompare, NameOrder)
{
    struct Case {
        const char *a;
        const char *b;
        int sign;
    } cases[] = {
        {"abc", "ABC", 0},     {"a", "b", -1},        {"B", "a", 1},
        {"_x", "A", -1},       {"[", "a", -1},        {"Z", "_", 1},
        {"file10", "file9", -1}, {"ab", "a", 1},      {"", "a", -1},
        {"\xE9", "z", 1},      {"\xC9", "\xE9", -1},  {"9", "A", -1},
        {"`", "a", -1},        {"", "", 0},
    };
    for (const Case &c : cases) {
        std::string pool = std::string(c.a) + '\0' + c.b + '\0';
        DirEntry a = {}, b = {};
        a.name_offset = 0;
        b.name_offset = static_cast<int32_t>(strlen(c.a) + 1);
        fs_list_sort_pool = pool.c_str();
        EXPECT_EQ(c.sign, fs_list_cmp(&a, &b)) << c.a << " vs " << c.b;
        EXPECT_EQ(-c.sign, fs_list_cmp(&b, &a)) << c.b << " vs " << c.a;
    }
}

TEST_F(FsListTest, SortedByNameIgnoringCase)
{
    const char *made[] = {"b", "A", "_x", "file10", "file9", "Cat"};
    for (const char *name : made)
        write_file(name, name);
    std::vector<std::string> expected = {"_x", "A", "b", "Cat", "file10", "file9"};
    EXPECT_EQ(expected, names_of("", 0));
}

TEST_F(FsListTest, EntriesCarryTheFileInformation)
{
    const uint64_t filetime2000 = 116444736000000000ull + 946684800ull * 10000000ull;
    write_file("notes.txt", std::string(1234, 'n'));
    write_file("README", "r");
    make_dir("sub.d");
    test_set_mtime(path("notes.txt"), filetime2000 + 50000);

    DirListing *listing = nullptr;
    ASSERT_EQ(nullptr, fs_list_open(dir().c_str(), "*.*", 0, &listing));
    struct Expected {
        const char *name;
        int32_t kind;
        int32_t type;
    } expected[] = {
        {"notes.txt", FS_KIND_FILE, -1},
        {"README", FS_KIND_FILE, 4093},
        {"sub.d", FS_KIND_DIR, -1},
    };
    for (const Expected &e : expected) {
        FileInfo info;
        int end = 1;
        EXPECT_EQ(nullptr, fs_list_next(listing, &info, &end));
        ASSERT_EQ(0, end);
        EXPECT_STREQ(e.name, info.name);
        EXPECT_EQ(e.kind, info.kind) << e.name;
        EXPECT_EQ(e.type, info.type) << e.name;
        EXPECT_EQ(e.kind == FS_KIND_DIR, (info.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        uint64_t centiseconds = (test_get_mtime(path(e.name)) - 94354848000000000ull) / 100000;
        EXPECT_EQ(static_cast<uint32_t>(centiseconds), info.time) << e.name;
        uint32_t stamp = 0xFFF00000u | ((static_cast<uint32_t>(e.type) & 0xFFF) << 8) |
                         static_cast<uint32_t>(centiseconds >> 32);
        EXPECT_EQ(stamp, info.stamp) << e.name;
        if (e.kind == FS_KIND_FILE) {
            EXPECT_EQ(fs::file_size(path(e.name)), info.size) << e.name;
        }
    }
    EXPECT_EQ(0x7947C800u, listing->count > 0 ? listing->entries[0].time : 0);
    fs_list_close(&listing);
}

TEST_F(FsListTest, FilterFlags)
{
    make_dir("dir_a");
    make_dir("dir_ro");
    write_file("file_a.txt", "a");
    write_file("file_ro.txt", "b");
    test_set_readonly(path("dir_ro"), true);
    test_set_readonly(path("file_ro.txt"), true);

    // What the platform took as read-only: not every one keeps the
    // attribute on a directory.
    auto readonly = [&](const std::string &name) {
        fs::perms p = fs::status(path(name)).permissions();
        return (p & fs::perms::owner_write) == fs::perms::none;
    };
    ASSERT_TRUE(readonly("file_ro.txt"));
    ASSERT_FALSE(readonly("dir_a"));
    auto keep = [&](int flags) {
        std::vector<std::string> names;
        for (const char *name : {"dir_a", "dir_ro", "file_a.txt", "file_ro.txt"}) {
            bool dir = name[0] == 'd';
            if ((flags & FS_LIST_DIRS_ONLY) && !dir)
                continue;
            if ((flags & FS_LIST_NO_READONLY) && readonly(name))
                continue;
            names.push_back(name);
        }
        return names;
    };
    const int flag_sets[] = {0,
                             FS_LIST_DIRS_ONLY,
                             FS_LIST_NO_READONLY,
                             FS_LIST_DIRS_ONLY | FS_LIST_NO_READONLY,
                             FS_LIST_NO_HIDDEN | FS_LIST_NO_SYSTEM,
                             0x70};
    for (int flags : flag_sets)
        EXPECT_EQ(keep(flags), names_of("", flags)) << "flags " << flags;
    test_set_readonly(path("dir_ro"), false);
}

TEST_F(FsListTest, EmptyDirectoryAndTheEnd)
{
    make_dir("empty");
    DirListing *listing = nullptr;
    ASSERT_EQ(nullptr, fs_list_open(path("empty").c_str(), "*.*", 0, &listing));
    ASSERT_NE(nullptr, listing);
    EXPECT_EQ(0, listing->count);
    FileInfo info;
    memset(&info, 0x5A, sizeof info);
    FileInfo before = info;
    for (int i = 0; i < 3; ++i) {
        int end = 0;
        EXPECT_EQ(nullptr, fs_list_next(listing, &info, &end));
        EXPECT_EQ(1, end);
        EXPECT_EQ(0, memcmp(&before, &info, sizeof info));
        EXPECT_EQ(0, listing->cursor);
    }
    fs_list_close(&listing);
    EXPECT_EQ(nullptr, fs_enum_handle);

    write_file("empty/one.txt", "1");
    ASSERT_EQ(nullptr, fs_list_open(path("empty").c_str(), "*.*", 0, &listing));
    int end = 1;
    fs_list_next(listing, &info, &end);
    EXPECT_EQ(0, end);
    for (int i = 0; i < 2; ++i) {
        FileInfo copy = info;
        EXPECT_EQ(nullptr, fs_list_next(listing, &info, &end));
        EXPECT_EQ(1, end);
        EXPECT_EQ(0, memcmp(&copy, &info, sizeof info));
        EXPECT_EQ(1, listing->cursor);
    }
    fs_list_close(&listing);
}

TEST_F(FsListTest, TwoListingsOpenAtOnce)
{
    make_dir("one");
    make_dir("two");
    for (const char *name : {"a1", "a2", "a3"})
        write_file(std::string("one/") + name, "x");
    for (const char *name : {"b1", "b2"})
        write_file(std::string("two/") + name, "x");

    DirListing *first = nullptr;
    DirListing *second = nullptr;
    ASSERT_EQ(nullptr, fs_list_open(path("one").c_str(), "*.*", 0, &first));
    FileInfo info;
    int end = 1;
    fs_list_next(first, &info, &end);
    EXPECT_STREQ("a1", info.name);
    ASSERT_EQ(nullptr, fs_list_open(path("two").c_str(), "*.*", 0, &second));
    EXPECT_EQ((std::vector<std::string>{"a2", "a3"}), list_names(first));
    EXPECT_EQ((std::vector<std::string>{"b1", "b2"}), list_names(second));
    fs_list_close(&first);
    fs_list_close(&second);
    EXPECT_EQ(nullptr, first);
    EXPECT_EQ(nullptr, second);
}

TEST_F(FsListTest, FailuresLeaveNothingBehind)
{
    write_file("a.txt", "a");
    std::string longdir = dir() + test_sep + std::string(250 - dir().size(), 'd');
    struct Case {
        std::string path;
        const char *pattern;
        std::vector<int32_t> codes;
    } cases[] = {
        {path("missing"), "*.*", {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND}},
        {dir(), "*.zzz", {ERROR_FILE_NOT_FOUND}},
        {longdir + std::string(8, 'e'), "*.*", {ERROR_FILENAME_EXCED_RANGE}},
        {longdir, "pattern-that-is-too-long", {ERROR_FILENAME_EXCED_RANGE}},
    };
    for (const Case &c : cases) {
        DirListing *listing = reinterpret_cast<DirListing *>(0x1234);
        ErrorRecord *r = fs_list_open(c.path.c_str(), c.pattern, 0, &listing);
        ASSERT_EQ(&err_sys_record, r) << c.path;
        EXPECT_NE(c.codes.end(), std::find(c.codes.begin(), c.codes.end(), r->code))
            << c.path << ": " << r->text;
        EXPECT_NE(nullptr, strstr(r->text, "(FindFirstFile)")) << r->text;
        // A long path does not fit the record's text whole.
        if (c.path.size() < 100) {
            EXPECT_NE(nullptr, strstr(r->text, c.path.c_str())) << r->text;
        }
        EXPECT_EQ(reinterpret_cast<DirListing *>(0x1234), listing);
        EXPECT_EQ(nullptr, fs_enum_handle);

        EXPECT_EQ(std::vector<std::string>{"a.txt"}, names_of("", 0));
    }
}

TEST_F(FsListTest, PatternsAndNoPattern)
{
    for (const char *name : {"x.txt", "y.TXT", "z.csc", "w"})
        write_file(name, "x");
    struct Case {
        const char *pattern;
        std::vector<std::string> names;
    } cases[] = {
        {"*.txt", {"x.txt", "y.TXT"}},
        {"?.csc", {"z.csc"}},
        {"*", {"w", "x.txt", "y.TXT", "z.csc"}},
    };
    for (const Case &c : cases) {
        DirListing *listing = nullptr;
        ASSERT_EQ(nullptr, fs_list_open(dir().c_str(), c.pattern, 0, &listing)) << c.pattern;
        EXPECT_EQ(c.names, list_names(listing)) << c.pattern;
        fs_list_close(&listing);
    }
    // Without a pattern the path itself is the search: here one file.
    for (const char *none : {static_cast<const char *>(nullptr), ""}) {
        DirListing *listing = nullptr;
        ASSERT_EQ(nullptr, fs_list_open(path("z.csc").c_str(), none, 0, &listing));
        EXPECT_EQ(std::vector<std::string>{"z.csc"}, list_names(listing));
        fs_list_close(&listing);
    }
}

TEST_F(FsListTest, EntryArrayGrowsInSteps)
{
    struct Case {
        int entries;
        int32_t bytes;
    } cases[] = {{63, 2048}, {64, 4096}, {100, 4096}};
    for (const Case &c : cases) {
        std::string sub = "n" + std::to_string(c.entries);
        make_dir(sub);
        for (int i = 0; i < c.entries; ++i)
            write_file(sub + "/f" + std::to_string(i), "");
        DirListing *listing = nullptr;
        ASSERT_EQ(nullptr, fs_list_open(path(sub).c_str(), "*.*", 0, &listing));
        EXPECT_EQ(c.entries, listing->count);
        int32_t size = 0;
        gb_size(reinterpret_cast<void **>(&listing->entries), &size);
        EXPECT_EQ(c.bytes, size) << c.entries;
        EXPECT_EQ(static_cast<size_t>(c.entries), list_names(listing).size());
        fs_list_close(&listing);
    }
}

TEST_F(FsListTest, ThousandsOfEntriesCompleteAndOrdered)
{
    std::vector<std::string> expected;
    for (int i = 0; i < 2000; ++i) {
        std::string name = (i % 3 == 0 ? "File_" : i % 3 == 1 ? "file-" : "FILE") +
                           std::to_string(i * 7919 % 2003) + std::string(i % 40, 'x');
        write_file(name, "");
        if (i % 97 == 0)
            make_dir("D" + name);
    }
    for (const auto &e : fs::directory_iterator(dir()))
        expected.push_back(e.path().filename().string());
    std::sort(expected.begin(), expected.end(), listing_less);

    std::vector<std::string> names = names_of("", 0);
    ASSERT_EQ(expected.size(), names.size());
    // Names equal but for case may come in either order; none are made here.
    EXPECT_EQ(expected, names);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), listing_less));
    EXPECT_EQ(nullptr, fs_enum_handle);
}

TEST_F(FsListTest, SharedEnumerationDirectly)
{
    write_file("only.txt", "o");
    fs_enum_reset();
    FileInfo info;
    int end = 1;
    ASSERT_EQ(nullptr, fs_enum_next(dir().c_str(), &info, "*.*", &end));
    EXPECT_EQ(0, end);
    EXPECT_STREQ("only.txt", info.name);
    EXPECT_NE(nullptr, fs_enum_handle);
    // Later calls ignore path and pattern.
    EXPECT_EQ(nullptr, fs_enum_next("ignored", &info, "*.none", &end));
    EXPECT_EQ(1, end);
    EXPECT_EQ(nullptr, fs_enum_handle);
    EXPECT_EQ(ERROR_NO_MORE_FILES, err_sys_record.code);

    ASSERT_EQ(nullptr, fs_enum_next(dir().c_str(), &info, "*.*", &end));
    EXPECT_NE(nullptr, fs_enum_handle);
    EXPECT_EQ(nullptr, fs_enum_close());
    EXPECT_EQ(nullptr, fs_enum_handle);
    EXPECT_EQ(nullptr, fs_enum_close());
}

TEST(XzAlloc, Sizes)
{
    struct Case {
        int32_t n;
        int32_t code;
    } cases[] = {{0, 0}, {1, 0}, {4096, 0}, {-1, ERR_NEGSIZE}};
    for (const Case &c : cases) {
        void *block = reinterpret_cast<void *>(0x99);
        ErrorRecord *r = xzcalloc(&block, c.n);
        if (c.code) {
            ASSERT_EQ(&err_lib_record, r);
            EXPECT_EQ(c.code, r->code);
            EXPECT_EQ(reinterpret_cast<void *>(0x99), block);
            continue;
        }
        ASSERT_EQ(nullptr, r);
        ASSERT_NE(nullptr, block);
        const unsigned char *bytes = static_cast<const unsigned char *>(block);
        EXPECT_EQ(std::vector<unsigned char>(c.n, 0), std::vector<unsigned char>(bytes, bytes + c.n));
        EXPECT_EQ(nullptr, xzfree(&block));
        EXPECT_EQ(nullptr, block);
        EXPECT_EQ(nullptr, xzfree(&block));
    }
}
