#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <algorithm>

#include "testutil.h"

namespace fs = std::filesystem;

const char test_sep = static_cast<char>(fs::path::preferred_separator);

void TempDirTest::SetUp()
{
    std::random_device rd;
    std::string name = "dravick-test-" + std::to_string(rd()) + "-" + std::to_string(rd());
    fs::path p = fs::path(base_dir()) / name;
    fs::create_directories(p);
    dir_ = p.string();
}

std::string TempDirTest::base_dir() const { return fs::temp_directory_path().string(); }

void MemoryDirTest::SetUp()
{
    if (test_memory_dir().empty())
        GTEST_SKIP() << "skipped: needs a file system in memory";
    TempDirTest::SetUp();
}

std::string MemoryDirTest::base_dir() const { return test_memory_dir(); }

static void make_writable(const fs::path &p)
{
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(p, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
}

void TempDirTest::TearDown()
{
    if (dir_.empty())
        return;
    std::error_code ec;
    fs::path root = test_fs_path(dir_);
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    make_writable(root);
    fs::remove_all(root, ec);
    if (!fs::exists(root, ec))
        return;
    // A tree deeper than std::filesystem removes on every system: children
    // go before their parents, in the reverse of the depth-first listing.
    std::vector<TestTreeEntry> entries = test_list_tree(dir_);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        fs::remove(test_fs_path(dir_ + "/" + it->name), ec);
    fs::remove(root, ec);
}

std::string TempDirTest::path(const std::string &rel) const
{
    std::string r = rel;
    std::replace(r.begin(), r.end(), '/', test_sep);
    return dir_ + test_sep + r;
}

void TempDirTest::write_file(const std::string &rel, const std::string &bytes) const
{
    std::ofstream out(path(rel), std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.good()) << path(rel);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDirTest::read_file(const std::string &rel) const
{
    std::ifstream in(path(rel), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDirTest::exists(const std::string &rel) const
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path(rel), ec));
}

void TempDirTest::make_dir(const std::string &rel) const { fs::create_directories(path(rel)); }

std::vector<std::string> TempDirTest::list_dir(const std::string &rel) const
{
    std::vector<std::string> names;
    fs::path p = rel.empty() ? fs::path(dir_) : fs::path(path(rel));
    for (const auto &e : fs::directory_iterator(p))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
