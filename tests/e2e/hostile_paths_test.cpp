// Arguments that once led the tool to files the user did not name: an empty
// path, taken for the root's listing, and paths cut short by their
// expansion, which named another file. Each is refused with one error text
// and leaves every file as it was.
#include <filesystem>

#include "e2e.h"
#include "environment.h"

class HostilePaths : public ToolRunTest {};

TEST_F(HostilePaths, EmptyAndCutPathsAreRefusedAndTouchNothing)
{
    // The victim's path is exactly what a longer expansion used to be cut
    // to, the buffer's 259 characters; it has no extension, and its bytes
    // are as long as those of the file its directory's walk meets.
    const size_t kCut = 259;
    const std::string deep(kCut - 4 - dir().size() - 1, 'd');
    make_dir(deep);
    const std::string victim = path(deep + "/cut");
    ASSERT_EQ(kCut, victim.size());
    write_file(deep + "/cut", "v\n");
    write_file(deep + "/cut_beyond.txt", "x\n");
    write_file("a.txt", "in the current directory\n");
    test_set_env("DRAVICK_T_CUT", (victim + "XXXXXXXX.txt").c_str());
    test_set_env("DRAVICK_T_DEEP", path(deep).c_str());
    remember();

    struct Case {
        std::string argument;
        long long code;
        std::string details;
    } cases[] = {
        {"", 3, ""},
        {"\"\"", 3, "\"\""},
        {"<%DRAVICK_T_CUT%>", 206, "<%DRAVICK_T_CUT%>"},
        {"<%DRAVICK_T_DEEP%>", 206, walked_path("<%DRAVICK_T_DEEP%>", "cut_beyond.txt")},
    };
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir());
    for (const Case &c : cases) {
        SCOPED_TRACE("argument '" + c.argument + "'");
        std::string out = run(c.argument);
        std::vector<ErrorLine> errors = error_lines(out);
        EXPECT_EQ(1u, errors.size()) << out;
        if (!errors.empty()) {
            EXPECT_EQ(c.code, errors[0].code);
            EXPECT_EQ(c.details, errors[0].details);
        }
        EXPECT_EQ(std::string::npos, out.find("change in size")) << out;
    }
    std::filesystem::current_path(before);
    test_set_env("DRAVICK_T_CUT", nullptr);
    test_set_env("DRAVICK_T_DEEP", nullptr);

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(std::vector<std::string>{}, o.converted);
}
