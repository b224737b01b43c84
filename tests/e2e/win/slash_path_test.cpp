// Paths written with '/', as the README's first run writes them: the file
// is replaced like one named with backslashes, and its change line names
// it as the user wrote it.
#include <windows.h>

#include "e2e.h"

class SlashPath : public ToolRunTest {};

TEST_F(SlashPath, FileNamedWithSlashesIsConverted)
{
    make_dir("notes");
    make_dir("notes/sub");
    const char *const names[] = {"notes/readme.md", "./notes/todo.txt", "notes/sub/../sub/log.csc", "readme.md"};
    for (const char *name : names)
        write_file(std::string(name).substr(0, 2) == "./" ? name + 2 : name, "# Notes\n");
    remember();
    char before[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, before));
    ASSERT_TRUE(SetCurrentDirectoryA(dir().c_str()));
    for (const char *name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(change_line(name, 1), run_tool_ok(name));
    }
    ASSERT_TRUE(SetCurrentDirectoryA(before));
    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(due(), o.converted);
}
