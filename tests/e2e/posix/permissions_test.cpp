// Files the tool may not read, and a directory where it may not create its
// temporary file. Permission bits do not stop the superuser: as root the
// directory is made immutable instead, and the refused open of an
// unreadable file is made by the test build of the tool.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "faulty.h"

namespace fs = std::filesystem;

class Permissions : public ToolRunTest {
protected:
    void TearDown() override
    {
        if (immutable_)
            set_immutable(immutable_dir_, false);
        ToolRunTest::TearDown();
    }

    bool set_immutable(const std::string &directory, bool on)
    {
        std::string out, err;
        int status = -1;
        if (!run_program("/usr/bin/chattr", {on ? "+i" : "-i", directory}, &out, &err, &status))
            return false;
        return status == 0;
    }

    bool immutable_ = false;
    std::string immutable_dir_;
};

TEST_F(Permissions, UnreadableFileIsReportedAndTheWalkGoesOn)
{
    write_file("a.txt", "a\n");
    write_file("secret.txt", "not\nfor you\n");
    write_file("z.txt", "z\n");
    ASSERT_EQ(0, chmod(path("secret.txt").c_str(), 0));
    remember();
    std::string out, err;
    int status = -1;
    if (geteuid() == 0) {
        // a.txt takes four opens (to read it, to look at it, its temporary
        // file, to look again before the replace); the fifth is the one
        // that reads secret.txt.
        run_with_faults("create:5:5", dir(), &out, &err, &status);
    } else {
        run_tool({dir()}, &out, &err, &status);
    }
    EXPECT_EQ(0, status);
    EXPECT_EQ("", err);

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "z.txt"}), o.converted);
    EXPECT_EQ(std::vector<std::string>{"secret.txt"}, o.kept);
    std::vector<ErrorLine> errors = error_lines(out);
    ASSERT_EQ(1u, errors.size()) << out;
    EXPECT_EQ("CreateFile", errors[0].call);
    EXPECT_EQ(5, errors[0].code);
    EXPECT_EQ(walked("secret.txt"), errors[0].details);
    EXPECT_EQ(std::string::npos, out.find("secret.txt change")) << out;
}

TEST_F(Permissions, DirectoryWithoutRoomForTheTemporaryFile)
{
    make_dir("locked");
    write_file("locked/l.txt", "locked\nin\n");
    make_dir("open");
    write_file("open/o.txt", "o\n");
    if (geteuid() == 0) {
        immutable_dir_ = path("locked");
        immutable_ = set_immutable(immutable_dir_, true);
        if (!immutable_)
            GTEST_SKIP() << "skipped: the superuser ignores permission bits and chattr +i "
                            "does not work here";
    } else {
        ASSERT_EQ(0, chmod(path("locked").c_str(), 0555));
    }
    remember();
    std::string out = run(dir());

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(std::vector<std::string>{"open/o.txt"}, o.converted);
    EXPECT_EQ(std::vector<std::string>{"locked/l.txt"}, o.kept);
    std::vector<ErrorLine> errors = error_lines(out);
    ASSERT_EQ(1u, errors.size()) << out;
    EXPECT_EQ("CreateFile", errors[0].call);
    EXPECT_EQ(5, errors[0].code);
    EXPECT_EQ(0u, errors[0].details.find(path("locked") + "/~dvk")) << errors[0].details;
    EXPECT_EQ(std::string::npos, out.find("l.txt change")) << out;
}
