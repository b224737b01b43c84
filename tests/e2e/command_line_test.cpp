// The command line and the run's outcome, through the built tool.
#include <filesystem>

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
        EXPECT_EQ(2, status) << args.size();
    }
}

TEST_F(CommandLine, MissingPathPrintsOneErrorLine)
{
    std::string out, err;
    int status = -1;
    run_tool({path("no-such-dir")}, &out, &err, &status);
    EXPECT_EQ(2, status);
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
        EXPECT_EQ(2, status) << length;
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
    EXPECT_EQ(2, status);
    EXPECT_EQ(1, count_errors(out)) << out;
    EXPECT_NE(std::string::npos, out.find("CreateFile")) << out;
    EXPECT_EQ("a\n", read_file("a.txt"));
}

// The flags are exact words in the first argument, "--" before the path
// ends them, and every other word is a path: the runs start in the
// temporary folder, which holds files and a folder named like flags.
TEST_F(CommandLine, FlagsAndTheirTexts)
{
    write_file("--check", "a\n");
    write_file("--version", "b\n");
    make_dir("--HELP");
    const std::string usage = printed_line("Syntax: dravick [path]");
    const std::string help =
        usage +
        printed_line("  dravick PATH          convert the file, or the txt and csc files below the folder") +
        printed_line("  dravick --check PATH  print what converting PATH would print, change nothing") +
        printed_line("  dravick --help        print this text") +
        printed_line("  dravick --version     print the version");
    const struct {
        std::vector<std::string> args;
        std::string out, err;
        int status;
    } rows[] = {
        {{"--help"}, help, "", 0},
        {{"--version"}, printed_line("dravick " DRAVICK_VERSION), "", 0},
        {{"--check"}, "", usage, 2},
        {{"--check", "--help", "x"}, "", usage, 2},
        {{"--help", "--version"}, "", usage, 2},
        {{"--", "--help", "x"}, "", usage, 2},
        {{"--HELP"}, "", "", 0},
        {{"--check", "--check"}, change_line("--check", 1), "", 1},
        {{"--check", "--", "--version"}, change_line("--version", 1), "", 1},
        {{"--", "--check"}, change_line("--check", 1), "", 0},
    };
    std::filesystem::path was = std::filesystem::current_path();
    std::filesystem::current_path(test_fs_path(dir()));
    for (const auto &row : rows) {
        std::string out, err;
        int status = -1;
        run_tool(row.args, &out, &err, &status);
        EXPECT_EQ(row.out, out) << row.args[0] << " " << row.args.size();
        EXPECT_EQ(row.err, err) << row.args[0] << " " << row.args.size();
        EXPECT_EQ(row.status, status) << row.args[0] << " " << row.args.size();
    }
    std::filesystem::current_path(was);
    EXPECT_EQ("b\n", read_file("--version"));
    EXPECT_EQ("a\r\n", read_file("--check"));
}
