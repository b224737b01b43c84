// The command line and the run's outcome, through the built tool.
#include "e2e.h"

class CommandLine : public TempDirTest {};

TEST_F(CommandLine, WrongArgumentCountGivesUsageOnly)
{
    const std::vector<std::vector<std::string>> calls = {{}, {"a", "b"}, {"a", "b", "c"}};
    for (const auto &args : calls) {
        std::string out, err;
        int status = -1;
        run_tool(args, &out, &err, &status);
        EXPECT_EQ(printed_line("Syntax: dravick [path]"), err) << args.size();
        EXPECT_EQ("", out) << args.size();
        EXPECT_EQ(0, status) << args.size();
    }
}

TEST_F(CommandLine, MissingPathPrintsOneErrorLine)
{
    std::string out, err;
    int status = -1;
    run_tool({path("no-such-dir")}, &out, &err, &status);
    EXPECT_EQ(0, status);
    EXPECT_EQ("", err);
    ASSERT_EQ(1, count_errors(out)) << out;
    EXPECT_NE(std::string::npos, out.find("FindFirstFile")) << out;
    EXPECT_EQ(std::vector<std::string>{}, list_dir(""));
}

// An argument too long for the path buffer is refused with an error text,
// whether or not it names something.
TEST_F(CommandLine, OverlongArgumentIsRefused)
{
    const size_t lengths[] = {260, 261, 1000, 5000};
    for (size_t length : lengths) {
        std::string out, err;
        int status = -1;
        run_tool({std::string(length, 'x')}, &out, &err, &status);
        EXPECT_EQ(0, status) << length;
        EXPECT_EQ("", err) << length;
        EXPECT_EQ(1, count_errors(out)) << out;
        EXPECT_LT(out.size(), 260u) << out;
        EXPECT_NE(std::string::npos, out.find("(206)")) << out;
    }
}

TEST_F(CommandLine, FileOfAnyExtensionIsConverted)
{
    const char *names[] = {"notes.md", "README", "data.csc.bak", "x.txt"};
    for (const char *name : names) {
        write_file(name, "one\ntwo\n");
        std::string out, err;
        int status = -1;
        run_tool({path(name)}, &out, &err, &status);
        EXPECT_EQ(change_line(path(name), 2), out);
        EXPECT_EQ("one\r\ntwo\r\n", read_file(name)) << name;
        EXPECT_EQ(0, status);
    }
}

// The pattern describes a file, but the conversion opens the path as typed.
TEST_F(CommandLine, WildcardArgumentFailsToOpen)
{
    write_file("a.txt", "a\n");
    std::string out, err;
    int status = -1;
    run_tool({path("*.txt")}, &out, &err, &status);
    EXPECT_EQ(0, status);
    EXPECT_EQ(1, count_errors(out)) << out;
    EXPECT_NE(std::string::npos, out.find("CreateFile")) << out;
    EXPECT_EQ("a\n", read_file("a.txt"));
}
