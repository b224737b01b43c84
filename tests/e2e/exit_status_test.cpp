// The exit status says whether the run worked: 0 when nothing failed, 2
// once an error text or the usage line was printed (a walk still goes on to
// its end), and for a check run 1 when a file would change.
#include "e2e.h"

class ExitStatus : public TempDirTest {};

TEST_F(ExitStatus, SaysWhetherAnythingFailed)
{
    // A tree per row: "-" before a name makes the file read-only.
    const struct {
        std::vector<std::string> args;  // "@" stands for the row's tree
        std::vector<std::string> files;
        int status;
    } rows[] = {
        {{"@"}, {"a.txt", "b.txt"}, 0},
        {{"@"}, {}, 0},
        {{"@"}, {"-a.txt", "b.txt"}, 2},
        {{"@/b.txt"}, {"b.txt"}, 0},
        {{"@/b.txt"}, {"-b.txt"}, 2},
        {{"@/missing"}, {}, 2},
        {{"@/missing.txt"}, {}, 2},
        {{""}, {}, 2},
        {{}, {}, 2},
        {{"@", "@"}, {"a.txt"}, 0},
        {{"@", "@/missing", "@"}, {"a.txt"}, 2},
        {{"--check", "@", "@/missing"}, {"a.txt"}, 2},
        {{"--check", "@", "@"}, {"a.txt"}, 1},
        {{"-h"}, {}, 0},
        {{"-V"}, {}, 0},
        {{"--help"}, {}, 0},
        {{"--version"}, {}, 0},
        {{"--check", "@"}, {"a.txt"}, 1},
        {{"--check", "@"}, {}, 0},
        {{"--check", "@"}, {"-a.txt", "b.txt"}, 2},
        {{"--check"}, {}, 2},
    };
    int number = 0;
    for (const auto &row : rows) {
        std::string tree = "t" + std::to_string(number++);
        make_dir(tree);
        std::vector<std::string> convertible;
        for (std::string name : row.files) {
            bool readonly = name[0] == '-';
            if (readonly)
                name.erase(0, 1);
            write_file(tree + "/" + name, "line\n");
            if (readonly)
                test_set_readonly(path(tree + "/" + name), true);
            else
                convertible.push_back(tree + "/" + name);
        }
        std::vector<std::string> args;
        for (std::string arg : row.args) {
            if (!arg.empty() && arg[0] == '@')
                arg = path(tree) + (arg.size() > 1 ? test_sep + arg.substr(2) : "");
            args.push_back(arg);
        }
        std::string out, err;
        int status = -1;
        run_tool(args, &out, &err, &status);
        EXPECT_EQ(row.status, status) << tree << "\n" << out << err;
        // The walk went on past the failure.
        if (args.size() == 1 && args[0] == path(tree)) {
            for (const std::string &file : convertible)
                EXPECT_EQ("line\r\n", read_file(file)) << file;
        }
    }
}
