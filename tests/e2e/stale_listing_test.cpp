// Entries that change between the walk's listing and their turn. The walk
// is held by its own output: the directory that sorts first holds so many
// files that their change lines fill the pipe, and the tool waits until the
// test, having grown, shrunk and removed later entries, reads them.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "e2e.h"

namespace fs = std::filesystem;

namespace {

// Long enough that 1,000 change lines hold several times what a pipe does,
// short enough that the paths stay within the tool's 260 characters.
const std::string kFirst = std::string(150, 'a');
const int kFirstFiles = 1000;

std::string first_file(int i)
{
    char name[16];
    snprintf(name, sizeof name, "f%04d.txt", i);
    return kFirst + "/" + name;
}

}  // namespace

class StaleListing : public ToolRunTest {
protected:
    // Waits until the file has `size` bytes, for at most a minute. Only its
    // size is looked at: on Windows an open handle would keep the tool from
    // replacing it.
    bool wait_for_size(const std::string &rel, uintmax_t size) const
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            std::error_code ec;
            if (fs::file_size(test_fs_path(path(rel)), ec) == size)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    const ErrorLine *error_naming(const std::vector<ErrorLine> &errors, const std::string &details) const
    {
        for (const ErrorLine &e : errors) {
            if (e.details == details)
                return &e;
        }
        return nullptr;
    }
};

TEST_F(StaleListing, EntriesChangedOrRemovedAfterTheListing)
{
    make_dir(kFirst);
    for (int i = 0; i < kFirstFiles; i++)
        write_file(first_file(i), "x\n");
    write_file("q.txt", "grows\n");
    write_file("r.txt", "removed\n");
    write_file("s.txt", "shrinks a lot\n");
    make_dir("sub");
    write_file("sub/x.txt", "x\n");
    write_file("t.txt", "t\n");
    make_dir("u");
    write_file("u/y.txt", "y\n");

    bool held = false;
    auto change_the_rest = [&] {
        // The first file converted: the top directory has been listed.
        held = wait_for_size(first_file(0), 3);
        if (!held)
            return;
        std::ofstream(path("q.txt"), std::ios::app | std::ios::binary) << "and grows\n";
        fs::remove(test_fs_path(path("r.txt")));
        write_file("s.txt", "s\n");
        fs::remove_all(test_fs_path(path("sub")));
        remember();
    };
    std::string out, err;
    int status = -1;
    ASSERT_TRUE(run_program(DRAVICK_EXE, {dir()}, &out, &err, &status, change_the_rest));
    ASSERT_TRUE(held) << "the walk never converted " << first_file(0) << "\n" << out;
    EXPECT_EQ(status_for(out), status);
    EXPECT_EQ("", err);

    // The tool was still at work in the first directory when the rest was
    // remembered, so that directory is checked on its own.
    TreeOutcome o = outcome();
    TreeOutcome rest;
    for (auto part : {&TreeOutcome::converted, &TreeOutcome::kept, &TreeOutcome::damaged,
                      &TreeOutcome::missing, &TreeOutcome::added}) {
        for (const std::string &name : o.*part) {
            if (name.compare(0, kFirst.size(), kFirst) != 0)
                (rest.*part).push_back(name);
        }
    }
    expect_nothing_lost_or_left(rest);
    EXPECT_EQ((std::vector<std::string>{"t.txt", "u/y.txt"}), rest.converted);
    EXPECT_EQ((std::vector<std::string>{"q.txt", "s.txt"}), rest.kept);
    EXPECT_EQ("grows\nand grows\n", read_file("q.txt"));
    // Reading the tree to remember it opened the first directory's files
    // then being converted, waiting for their replace: on POSIX another
    // program's open keeps such a file from being replaced (32; its long
    // path is cut in the error).
    std::vector<ErrorLine> errors = error_lines(out);
    std::vector<std::string> first_names = list_dir(kFirst);
    ASSERT_EQ(static_cast<size_t>(kFirstFiles), first_names.size());
    long long opened = 0;
    for (int i = 0; i < kFirstFiles; i++) {
        if (read_file(first_file(i)) == "x\r\n")
            continue;
        opened++;
        EXPECT_EQ("x\n", read_file(first_file(i))) << first_file(i);
    }
    EXPECT_LE(opened, 64);
    EXPECT_EQ(opened, std::count_if(errors.begin(), errors.end(), [](const ErrorLine &e) { return e.code == 32; }));
    EXPECT_EQ(4u + opened, errors.size()) << out;
    const ErrorLine *grown = error_naming(errors, walked("q.txt"));
    const ErrorLine *gone = error_naming(errors, walked("r.txt"));
    const ErrorLine *shrunk = error_naming(errors, walked("s.txt"));
    const ErrorLine *folder = error_naming(errors, walked_path(walked("sub"), "*.*"));
    ASSERT_TRUE(grown && gone && shrunk && folder) << out;
    EXPECT_EQ(kFileChangedCode, grown->code);
    EXPECT_EQ(2, gone->code);
    EXPECT_EQ(kFileChangedCode, shrunk->code);
    EXPECT_EQ(3, folder->code);
}
