// A walked tree that holds directory links: one out of the tree and one back
// up it. The walk enters neither and names each on standard error.
#include <filesystem>
#include <system_error>

#include "e2e.h"

namespace fs = std::filesystem;

class HostileTree : public TempDirTest {};

TEST_F(HostileTree, DirectoryLinksAreNotEntered)
{
    make_dir("outside");
    write_file("outside/x.txt", "outside\n");
    make_dir("tree");
    make_dir("tree/sub");
    write_file("tree/sub/b.txt", "b\n");
    std::error_code failed;
    fs::create_directory_symlink(test_fs_path(path("outside")), test_fs_path(path("tree/linkdir")),
                                 failed);
    if (!failed)
        fs::create_directory_symlink("..", test_fs_path(path("tree/sub/loop")), failed);
    if (failed || !fs::is_symlink(test_fs_path(path("tree/sub/loop"))))
        GTEST_SKIP() << "no directory links here (Wine 8 only pretends to make them)";

    std::string out, err;
    int status = -1;
    std::string tree = path("tree");
    run_tool({tree}, &out, &err, &status);
    EXPECT_EQ(status_for(out), status);
    EXPECT_EQ(change_line(walked_path(tree, "sub/b.txt"), 1), out);
    EXPECT_EQ(printed_line(walked_path(tree, "linkdir") + ": link not followed") +
                  printed_line(walked_path(tree, "sub/loop") + ": link not followed"),
              err);
    EXPECT_EQ("outside\n", read_file("outside/x.txt"));
    EXPECT_TRUE(fs::is_symlink(test_fs_path(path("tree/linkdir"))));
}
