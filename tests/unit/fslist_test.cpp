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
        unsigned u = static_cast<unsigned char>(c);
        return u >= 'A' && u <= 'Z' ? u + 32u : u;
    };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return fold(x) < fold(y); });
}

std::vector<std::string> rest_of(DirListing *listing)
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
    std::vector<std::string> names_of(const std::string &where, int flags)
    {
        DirListing *listing = nullptr;
        ErrorRecord *r = fs_list_open(where.c_str(), "*.*", flags, &listing);
        EXPECT_EQ(nullptr, r) << (r ? r->text : "");
        if (r)
            return {};
        std::vector<std::string> names = rest_of(listing);
        EXPECT_EQ(nullptr, fs_list_close(&listing));
        EXPECT_EQ(nullptr, listing);
        EXPECT_EQ(nullptr, fs_enum_handle);
        return names;
    }
};

}  // namespace

TEST(ListCompare, NameOrder)
{
    struct Case {
        const char *a, *b;
        int sign;
    } cases[] = {
        {"abc", "ABC", 0}, {"B", "a", 1},    {"_x", "A", -1},          {"Z", "_", 1},
        {"`", "a", -1},    {"9", "A", -1},   {"file10", "file9", -1},  {"ab", "a", 1},
        {"", "", 0},       {"\xE9", "z", 1}, {"\xC9", "\xE9", -1},
    };
    for (const Case &c : cases) {
        std::string pool = std::string(c.a) + '\0' + c.b + '\0';
        DirEntry a = {}, b = {};
        b.name_offset = static_cast<int32_t>(strlen(c.a) + 1);
        fs_list_sort_pool = pool.c_str();
        EXPECT_EQ(c.sign, fs_list_cmp(&a, &b)) << c.a << " vs " << c.b;
        EXPECT_EQ(-c.sign, fs_list_cmp(&b, &a)) << c.b << " vs " << c.a;
    }
}

TEST_F(FsListTest, OrderAndEntryInformation)
{
    const uint64_t k2000 = 116444736000000000ull + 946684800ull * 10000000ull;
    for (const char *name : {"b", "A", "_x", "file10", "file9", "Cat"})
        write_file(name, std::string(strlen(name), 'n'));
    make_dir("sub.d");
    test_set_mtime(path("file9"), k2000 + 50000);
    // Files without an extension are of type 4093 (0xFFD), directories -1
    // (0xFFF); the stamp holds the marker, those twelve bits and the
    // centiseconds' bits 32 to 39.
    struct Entry {
        const char *name;
        bool is_dir;
        uint32_t type_bits;  // the stamp's bits 8 to 19
    } order[] = {
        {"_x", false, 0xFFD00u},   {"A", false, 0xFFD00u},     {"b", false, 0xFFD00u},
        {"Cat", false, 0xFFD00u},  {"file10", false, 0xFFD00u}, {"file9", false, 0xFFD00u},
        {"sub.d", true, 0xFFF00u},
    };

    DirListing *listing = nullptr;
    ASSERT_EQ(nullptr, fs_list_open(dir().c_str(), "*.*", 0, &listing));
    for (const Entry &e : order) {
        FileInfo info;
        int end = 1;
        fs_list_next(listing, &info, &end);
        ASSERT_EQ(0, end);
        EXPECT_EQ(std::string(e.name), info.name);
        EXPECT_EQ(e.is_dir ? FS_KIND_DIR : FS_KIND_FILE, info.kind);
        EXPECT_EQ(e.is_dir, (info.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        EXPECT_EQ(e.is_dir ? -1 : 4093, info.type);  // the entry's own name decides
        if (!e.is_dir) {
            EXPECT_EQ(strlen(e.name), info.size);
        }
        uint64_t centiseconds = (test_get_mtime(path(e.name)) - 94354848000000000ull) / 100000;
        EXPECT_EQ(static_cast<uint32_t>(centiseconds), info.time) << e.name;
        EXPECT_EQ(0xFFF00000u | e.type_bits | static_cast<uint32_t>(centiseconds >> 32),
                  info.stamp) << e.name;
    }
    EXPECT_EQ(0xFFFFFD49u, listing->entries[5].stamp);  // file9, set to 2000-01-01
    EXPECT_EQ(0x7947C800u, listing->entries[5].time);
    // After the end: the end again, info and cursor as they were.
    for (int i = 0; i < 2; ++i) {
        FileInfo info, before;
        memset(&info, 0x5A, sizeof info);
        before = info;
        int end = 0;
        EXPECT_EQ(nullptr, fs_list_next(listing, &info, &end));
        EXPECT_EQ(1, end);
        EXPECT_EQ(0, memcmp(&before, &info, sizeof info));
        EXPECT_EQ(7, listing->cursor);
    }
    fs_list_close(&listing);
    EXPECT_EQ(nullptr, listing);
}

TEST_F(FsListTest, FilterFlags)
{
    for (const char *name : {"dir_a", "dir_ro"})
        make_dir(name);
    for (const char *name : {"file_a.txt", "file_ro.txt"})
        write_file(name, "x");
    test_set_readonly(path("dir_ro"), true);
    test_set_readonly(path("file_ro.txt"), true);
    // What the platform took as read-only: not every one marks a directory.
    auto readonly = [&](const char *name) {
        return (fs::status(path(name)).permissions() & fs::perms::owner_write) == fs::perms::none;
    };
    ASSERT_TRUE(readonly("file_ro.txt"));
    // "dir_ro?": listed unless the platform marked the directory read-only.
    const struct {
        int flags;
        std::vector<std::string> names;
    } cases[] = {
        {0, {"dir_a", "dir_ro", "file_a.txt", "file_ro.txt"}},
        {FS_LIST_DIRS_ONLY, {"dir_a", "dir_ro"}},
        {FS_LIST_NO_READONLY, {"dir_a", "dir_ro?", "file_a.txt"}},
        {FS_LIST_DIRS_ONLY | FS_LIST_NO_READONLY, {"dir_a", "dir_ro?"}},
        {FS_LIST_NO_HIDDEN | FS_LIST_NO_SYSTEM, {"dir_a", "dir_ro", "file_a.txt", "file_ro.txt"}},
        {0x70, {"dir_a", "dir_ro", "file_a.txt", "file_ro.txt"}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> expected;
        for (const std::string &name : c.names) {
            if (name != "dir_ro?")
                expected.push_back(name);
            else if (!readonly("dir_ro"))
                expected.push_back("dir_ro");
        }
        EXPECT_EQ(expected, names_of(dir(), c.flags)) << "flags " << c.flags;
    }
    test_set_readonly(path("dir_ro"), false);
}

TEST_F(FsListTest, EmptyAndConcurrentListings)
{
    make_dir("empty");
    make_dir("one");
    make_dir("two");
    for (const char *name : {"one/a1", "one/a2", "one/a3", "two/b1", "two/b2"})
        write_file(name, "x");
    EXPECT_EQ(std::vector<std::string>{}, names_of(path("empty"), 0));

    DirListing *first = nullptr, *second = nullptr;
    ASSERT_EQ(nullptr, fs_list_open(path("one").c_str(), "*.*", 0, &first));
    FileInfo info;
    int end = 1;
    fs_list_next(first, &info, &end);
    EXPECT_STREQ("a1", info.name);
    ASSERT_EQ(nullptr, fs_list_open(path("two").c_str(), "*.*", 0, &second));
    EXPECT_EQ((std::vector<std::string>{"a2", "a3"}), rest_of(first));
    EXPECT_EQ((std::vector<std::string>{"b1", "b2"}), rest_of(second));
    fs_list_close(&first);
    fs_list_close(&second);

    // Other patterns, and none: the path itself is then the search.
    EXPECT_EQ(nullptr, fs_list_open(path("one").c_str(), "*2", 0, &first));
    EXPECT_EQ(std::vector<std::string>{"a2"}, rest_of(first));
    fs_list_close(&first);
    EXPECT_EQ(nullptr, fs_list_open(path("one/a3").c_str(), nullptr, 0, &first));
    EXPECT_EQ(std::vector<std::string>{"a3"}, rest_of(first));
    fs_list_close(&first);
}

TEST_F(FsListTest, FailuresLeaveNothingBehind)
{
    write_file("a.txt", "a");
    std::string longdir = dir() + test_sep + std::string(250 - dir().size(), 'd');
    struct Case {
        std::string path;
        const char *pattern;
        int32_t code;  // 2 stands for a missing file or path
    } cases[] = {
        {path("missing"), "*.*", ERROR_FILE_NOT_FOUND},
        {dir(), "*.zzz", ERROR_FILE_NOT_FOUND},
        // No room for the pattern: refused, not searched cut.
        {longdir + std::string(8, 'e'), "*.*", ERROR_FILENAME_EXCED_RANGE},
        {longdir, "a-pattern-that-is-too-long", ERROR_FILENAME_EXCED_RANGE},
        // An empty directory joined with the pattern would be the root's.
        {"", "*.*", ERROR_FILE_NOT_FOUND},
        {"\"\"", "*.*", ERROR_FILE_NOT_FOUND},
    };
    for (const Case &c : cases) {
        DirListing *listing = reinterpret_cast<DirListing *>(0x1234);
        ErrorRecord *r = fs_list_open(c.path.c_str(), c.pattern, 0, &listing);
        ASSERT_EQ(&err_sys_record, r) << c.path;
        int32_t code = r->code == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : r->code;
        EXPECT_EQ(c.code, code) << r->text;
        EXPECT_TRUE(strstr(r->text, "(FindFirstFile)")) << r->text;
        if (c.path.size() < 100) {  // a long one does not fit the text whole
            EXPECT_TRUE(strstr(r->text, c.path.c_str())) << r->text;
        }
        EXPECT_EQ(reinterpret_cast<DirListing *>(0x1234), listing);
        EXPECT_EQ(nullptr, fs_enum_handle);
        EXPECT_EQ(std::vector<std::string>{"a.txt"}, names_of(dir(), 0));
    }
}

TEST_F(FsListTest, ManyEntriesCompleteOrderedAndGrownInSteps)
{
    struct Case {
        int files;
        int32_t array_bytes;
    } cases[] = {{63, 2048}, {64, 4096}, {2000, 65536}};
    for (const Case &c : cases) {
        std::string sub = "n" + std::to_string(c.files);
        make_dir(sub);
        for (int i = 0; i < c.files; ++i) {
            const char *stem = i % 3 == 0 ? "File_" : i % 3 == 1 ? "file-" : "FILE";
            write_file(sub + "/" + stem + std::to_string(i * 7919 % 2003) + std::string(i % 40, 'x'), "");
        }
        std::vector<std::string> expected = list_dir(sub);
        std::sort(expected.begin(), expected.end(), listing_less);

        DirListing *listing = nullptr;
        ASSERT_EQ(nullptr, fs_list_open(path(sub).c_str(), "*.*", 0, &listing));
        int32_t bytes = 0;
        gb_size(reinterpret_cast<void **>(&listing->entries), &bytes);
        EXPECT_EQ(c.array_bytes, bytes) << c.files;
        EXPECT_EQ(expected, rest_of(listing));
        fs_list_close(&listing);
    }
}
