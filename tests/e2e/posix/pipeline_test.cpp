// The report in a pipeline on Linux: every path it prints is one the shell
// and xargs take back as it is, lines ending in LF, so the files a check
// names go on to another command, and find can hand over many paths at once.
#include "e2e.h"

class Pipeline : public ToolRunTest {
protected:
    std::string shell(const std::string &script, int *status)
    {
        std::string tool = DRAVICK_EXE;
        std::string out, err;
        EXPECT_TRUE(run_program("/usr/bin/env",
                                {"PATH=" + tool.substr(0, tool.rfind('/')) + ":/usr/bin:/bin", "/bin/sh", "-c",
                                 "cd \"$0\" && " + script, dir()},
                                &out, &err, status));
        EXPECT_EQ("", err);
        return out;
    }
};

// Names with blanks and quotes, a folder given with a trailing '/', and a
// path typed with the backslash the library reads as a separator.
TEST_F(Pipeline, CheckedNamesGoBackThroughXargs)
{
    make_dir("t");
    make_dir("t/sub dir");
    write_file("t/a b.txt", "a\n");
    write_file("t/it's.txt", "b\n");
    write_file("t/sub dir/c.csc", "c");
    write_file("t/done.txt", "done\r\n");
    write_file("u.txt", "u\n");
    int status = -1;
    std::string out = shell("dravick --check t/ 't\\sub dir' 'u.txt' | sed -n 's/ change in size [0-9]*$//p' | "
                            "xargs -d '\\n' ls -d --",
                            &status);
    EXPECT_EQ(0, status);
    EXPECT_EQ("t/a b.txt\nt/it's.txt\nt/sub dir/c.csc\nt/sub dir/c.csc\nu.txt\n", out);
}

TEST_F(Pipeline, FindHandsOverManyPaths)
{
    make_dir("t");
    make_dir("t/s");
    write_file("t/a.txt", "a\n");
    write_file("t/s/b.txt", "b\n");
    write_file("t/s/c.txt", "c\r\n");
    remember();
    int status = -1;
    std::string out = shell("find t -name '*.txt' -exec dravick {} + >report; s=$?; sort report; exit $s", &status);
    EXPECT_EQ(0, status);
    EXPECT_EQ("t/a.txt change in size 1\nt/s/b.txt change in size 1\n", out);
    EXPECT_EQ((std::vector<std::string>{"t/a.txt", "t/s/b.txt"}), outcome().converted);
}
