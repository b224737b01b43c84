// A listing made stale by the walk itself, which every target can make.
#include <filesystem>

#include "e2e.h"

namespace fs = std::filesystem;

class StaleLook : public ToolRunTest {};

// Two names of one file: converting the first replaces it with a new file,
// and the second keeps the old content, which the walk then converts in its
// turn. Each gets its notice.
TEST_F(StaleLook, HardLinkedTwinIsConvertedInItsTurn)
{
    write_file("a.txt", "one\ntwo\n");
    fs::create_hard_link(path("a.txt"), path("b.txt"));
    remember();
    std::string out, err;
    int status = -1;
    ASSERT_TRUE(run_program(DRAVICK_EXE, {dir()}, &out, &err, &status));

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), o.converted);
    EXPECT_EQ(change_line(walked("a.txt"), 2) + change_line(walked("b.txt"), 2), out);
    EXPECT_EQ(0, status);
    EXPECT_NE(std::string::npos, err.find("a.txt: hard link broken")) << err;
    EXPECT_EQ(std::string::npos, err.find("b.txt: hard link broken")) << err;
}
