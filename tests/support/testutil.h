// Helpers shared by the tests. They check results with independent code
// (the C++ standard library and the platform's own calls), never with the
// library under test.
#ifndef TESTS_TESTUTIL_H
#define TESTS_TESTUTIL_H

#include <gtest/gtest.h>

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

// The platform's path separator, as users of each target write paths.
extern const char test_sep;

// A fresh temporary directory for each test, removed with all it holds
// afterwards (read-only entries included).
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Where the directory is made: the system's temporary directory.
    virtual std::string base_dir() const;

    // The directory itself, and a path below it (rel uses '/' and is
    // rewritten with the platform's separator).
    const std::string &dir() const { return dir_; }
    std::string path(const std::string &rel) const;

    void write_file(const std::string &rel, const std::string &bytes) const;
    std::string read_file(const std::string &rel) const;
    bool exists(const std::string &rel) const;
    void make_dir(const std::string &rel) const;
    // Names in a directory, sorted byte-wise, "." and ".." left out.
    std::vector<std::string> list_dir(const std::string &rel) const;

private:
    std::string dir_;
};

// The same in a file system held in memory (test_memory_dir); the test is
// skipped where there is none.
class MemoryDirTest : public TempDirTest {
protected:
    void SetUp() override;
    std::string base_dir() const override;
};

// Last-write time as a FILETIME count (100-ns units since 1601-01-01 UTC),
// read and set through the platform directly.
uint64_t test_get_mtime(const std::string &path);
void test_set_mtime(const std::string &path, uint64_t filetime);

// Clears or sets the owner's write permission (the read-only attribute).
void test_set_readonly(const std::string &path, bool readonly);

// A directory on a file system held in memory, where files of gibibytes
// are made and read in seconds; empty when there is none.
std::string test_memory_dir();

// Bytes the file system has given a file: less than its size while it has
// holes, and more once anything was written into them.
uint64_t test_allocated_bytes(const std::string &path);

// Between the tests' narrow paths and std::filesystem. A narrow path is in
// the encoding the tool's own calls take (the ANSI code page on Windows);
// '/' separates as well as the platform's separator. On Windows an absolute
// path gets the long-path prefix, so that trees deeper than the system's
// path limit can be made, read and listed.
std::filesystem::path test_fs_path(const std::string &narrow);

// The narrow text of a relative path, with '/' between its components.
std::string test_narrow_name(const std::filesystem::path &relative);

// Every entry below a directory, depth first, symbolic links not followed,
// also past the system's path limit: its narrow path relative to the
// directory ('/' between components), and whether it is a regular file.
struct TestTreeEntry {
    std::string name;
    bool is_file;
};
std::vector<TestTreeEntry> test_list_tree(const std::string &dir);

#endif
