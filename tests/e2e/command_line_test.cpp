// The command line and the run's outcome, through the built tool.
#include <algorithm>
#include <filesystem>

#include "e2e.h"

class CommandLine : public TempDirTest {};

const char kUsage[] = "Syntax: dravick [--check] [--] PATH...";

// No path, or a path after --help or --version, which stand alone.
TEST_F(CommandLine, NoPathGivesUsageOnly)
{
    const std::vector<std::vector<std::string>> calls = {
        {}, {"--check"}, {"--"}, {"--check", "--"}, {"--help", "x"}, {"-V", "x"}, {"-h", "-V"},
    };
    for (const auto &args : calls) {
        std::string out, err;
        int status = -1;
        run_tool(args, &out, &err, &status);
        EXPECT_EQ(printed_line(kUsage), err) << args.size();
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

// The flags are exact words at the start, "--" after them ends them, and
// every other word is a path: the runs start in the temporary folder, which
// holds files and a folder named like flags.
TEST_F(CommandLine, FlagsAndTheirTexts)
{
    write_file("--check", "a\n");
    write_file("--version", "b\n");
    write_file("-h", "c\n");
    make_dir("--HELP");
    const std::string usage = printed_line(kUsage);
    const std::string help =
        usage +
        printed_line("  dravick PATH...          convert each file, or the txt and csc files below each folder") +
        printed_line("  dravick --check PATH...  print what converting them would print, change nothing") +
        printed_line("  dravick --help, -h       print this text") +
        printed_line("  dravick --version, -V    print the version");
    const std::string version = printed_line("dravick " DRAVICK_VERSION);
    const struct {
        std::vector<std::string> args;
        std::string out, err;
        int status;
    } rows[] = {
        {{"--help"}, help, "", 0},
        {{"-h"}, help, "", 0},
        {{"--version"}, version, "", 0},
        {{"-V"}, version, "", 0},
        {{"--help", "--version"}, "", usage, 2},
        {{"--HELP"}, "", "", 0},
        {{"--check", "--check"}, change_line("--check", 1), "", 1},
        {{"--check", "--", "--version"}, change_line("--version", 1), "", 1},
        {{"--check", "-h", "--HELP"}, change_line("-h", 1), "", 1},
        {{"--", "-h"}, change_line("-h", 1), "", 0},
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
    EXPECT_EQ("c\r\n", read_file("-h"));
}

// Several paths: each is taken in turn as a run with it alone takes it,
// into one report, and the status is the worst of theirs. Each row starts
// from a fresh tree: a/one.txt and b/two.txt need converting, c/done.txt
// does not, f.md is a file named on its own; "missing" names nothing.
TEST_F(CommandLine, SeveralPathsInOneRun)
{
    // What a path that names nothing prints alone (the system's message
    // differs under Wine): its listing's error, with the pattern searched.
    std::filesystem::path was = std::filesystem::current_path();
    std::filesystem::current_path(test_fs_path(dir()));
    auto alone = [](const std::string &path) {
        std::string out, err;
        int status = -1;
        run_tool({"--", path}, &out, &err, &status);
        EXPECT_EQ(1, count_errors(out)) << out;
        EXPECT_NE(std::string::npos, out.find("(FindFirstFile) (3) (" + walked_path(path, "*.*") + ")")) << out;
        return out;
    };
    const std::string missing = alone("missing"), dashes = alone("--");
    std::filesystem::current_path(was);
    const struct {
        std::vector<std::string> args;  // relative to the tree, which is the current folder
        std::string out;
        int status;
    } rows[] = {
        {{"a", "b"}, change_line(walked_path("a", "one.txt"), 1) + change_line(walked_path("b", "two.txt"), 1), 0},
        {{"b", "a"}, change_line(walked_path("b", "two.txt"), 1) + change_line(walked_path("a", "one.txt"), 1), 0},
        {{"c", "f.md", "a"}, change_line("f.md", 1) + change_line(walked_path("a", "one.txt"), 1), 0},
        {{"a", "missing", "b"},
         change_line(walked_path("a", "one.txt"), 1) + missing + change_line(walked_path("b", "two.txt"), 1),
         2},
        {{"a", "a"}, change_line(walked_path("a", "one.txt"), 1), 0},
        {{"--check", "a", "c"}, change_line(walked_path("a", "one.txt"), 1), 1},
        {{"--check", "c", "c"}, "", 0},
        {{"--check", "c", "missing"}, missing, 2},
        {{"--check", "a", "missing"}, change_line(walked_path("a", "one.txt"), 1) + missing, 2},
        {{"--", "c", "--"}, dashes, 2},
    };
    int number = 0;
    for (const auto &row : rows) {
        std::string tree = "t" + std::to_string(number++);
        for (const char *folder : {"", "/a", "/b", "/c"})
            make_dir(tree + folder);
        write_file(tree + "/a/one.txt", "1\n");
        write_file(tree + "/b/two.txt", "2\n");
        write_file(tree + "/c/done.txt", "3\r\n");
        write_file(tree + "/f.md", "4\n");
        std::filesystem::current_path(test_fs_path(path(tree)));
        std::string out, err;
        int status = -1;
        run_tool(row.args, &out, &err, &status);
        std::filesystem::current_path(was);
        EXPECT_EQ(row.out, out) << tree;
        EXPECT_EQ("", err) << tree;
        EXPECT_EQ(row.status, status) << tree;
        bool converted = row.args[0] != "--check" && std::count(row.args.begin(), row.args.end(), "a") > 0;
        EXPECT_EQ(converted ? "1\r\n" : "1\n", read_file(tree + "/a/one.txt")) << tree;
        EXPECT_EQ("3\r\n", read_file(tree + "/c/done.txt")) << tree;
    }
}
