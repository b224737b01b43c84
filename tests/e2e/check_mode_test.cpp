// A check run takes the conversion's decisions and changes nothing.
#include <map>

#include "check_run.h"
#include "e2e.h"

class CheckRun : public ToolRunTest {
protected:
    // The looks of the folder and of everything below it: a temporary file
    // made and removed again shows in its folder's times.
    std::map<std::string, std::string> looks() const
    {
        std::map<std::string, std::string> all = {{".", file_look(dir())}};
        for (const TestTreeEntry &entry : test_list_tree(dir()))
            all[entry.name] = file_look(path(entry.name));
        return all;
    }
};

TEST_F(CheckRun, PredictsTheConversionAndChangesNothing)
{
    const char *files[][2] = {
        {"bad/a-unreadable.txt", "held\n"},  // the first file a walk opens
        {"bad/readonly.txt", "locked\n"},
        {"good/change.txt", "one\ntwo"},
        {"good/done.txt", "done\r\n"},
    };
    make_dir("bad");
    make_dir("good");
    for (const auto &f : files) {
        write_file(f[0], f[1]);
        test_set_mtime(path(f[0]), kSampleTime);  // a time put back would lose its last digits
    }
    test_set_readonly(path("bad/readonly.txt"), true);
    make_unreadable(path("bad/a-unreadable.txt"));
    std::map<std::string, std::string> looks_before = looks();
    remember();

    std::string out, err, check_out;
    int status = -1;
    run_tool({"--check", walked("good")}, &out, &err, &status);
    EXPECT_EQ(1, status);
    EXPECT_EQ(change_line(walked("good/change.txt"), 3), out);
    run_tool_unreadable({"--check", dir()}, &check_out, &err, &status);
    EXPECT_EQ(2, status);
    EXPECT_EQ("", err);
    std::vector<ErrorLine> errors = error_lines(check_out);
    ASSERT_EQ(2u, errors.size()) << check_out;
    EXPECT_EQ(walked("bad/a-unreadable.txt"), errors[0].details);
    EXPECT_EQ(walked("bad/readonly.txt"), errors[1].details);
    EXPECT_NE(std::string::npos, check_out.find(change_line(walked("good/change.txt"), 3))) << check_out;
    EXPECT_EQ(check_out.find(" change in size "), check_out.rfind(" change in size ")) << check_out;

    EXPECT_EQ(looks_before, looks());
    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(4u, o.kept.size());

    run_tool_unreadable({dir()}, &out, &err, &status);
    EXPECT_EQ(2, status);
    EXPECT_EQ(check_out, out);
    EXPECT_EQ(std::vector<std::string>{"good/change.txt"}, outcome().converted);
    run_tool({"--check", walked("good")}, &out, &err, &status);
    EXPECT_EQ(0, status);
    EXPECT_EQ("", out + err);
}
