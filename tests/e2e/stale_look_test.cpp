// A listing made stale by the walk itself, which every target can make.
#include <filesystem>

#include "e2e.h"

namespace fs = std::filesystem;

class StaleLook : public ToolRunTest {};

// Two names of one file: converting the first (in place, for both) makes
// the listing's size of the second stale. The second is refused as changed,
// and holds the converted bytes all the same.
TEST_F(StaleLook, HardLinkedTwinGrewThroughTheFirstName)
{
    write_file("a.txt", "one\ntwo\n");
    fs::create_hard_link(path("a.txt"), path("b.txt"));
    remember();
    std::string out = run(dir());

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), o.converted);
    EXPECT_EQ(change_line(walked("a.txt"), 2), out.substr(0, change_line(walked("a.txt"), 2).size()));
    std::vector<ErrorLine> errors = error_lines(out);
    ASSERT_EQ(1u, errors.size()) << out;
    EXPECT_EQ(kFileChangedCode, errors[0].code);
    EXPECT_EQ(walked("b.txt"), errors[0].details);
}
