// Files the tool may not read, and a directory where it may not create its
// temporary file. Permission bits do not stop the superuser: as root the tree
// is given to an unprivileged user and the tool runs as that user.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "e2e.h"

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

    // Whether the tool runs with permission bits in force: as any user but
    // root, or as root where the tree can be given to the unprivileged user
    // and the tool started as that user. Sets why_not_ otherwise.
    bool bits_in_force()
    {
        if (geteuid() != 0)
            return true;
        std::string out, err;
        int status = -1;
        if (!run_program(kSetpriv, {kUser, kGroup, "--clear-groups", DRAVICK_EXE}, &out, &err,
                         &status) ||
            err.find("Syntax") == std::string::npos) {
            why_not_ = "as root, the tool could not be started as user 65534 with " +
                       std::string(kSetpriv) + ": " + err;
            return false;
        }
        std::vector<std::string> paths = {dir()};
        std::error_code ec;
        for (const auto &entry : fs::recursive_directory_iterator(dir(), ec))
            paths.push_back(entry.path().string());
        for (const std::string &p : paths) {
            if (lchown(p.c_str(), 65534, 65534) != 0) {
                why_not_ = "as root, the tree could not be given to user 65534";
                return false;
            }
        }
        drop_ = true;
        return true;
    }

    void run_as_user(const std::string &argument, std::string *out, std::string *err, int *status)
    {
        if (drop_)
            ASSERT_TRUE(run_program(kSetpriv, {kUser, kGroup, "--clear-groups", DRAVICK_EXE, argument},
                                    out, err, status));
        else
            run_tool({argument}, out, err, status);
    }

    static constexpr const char *kSetpriv = "/usr/bin/setpriv";
    static constexpr const char *kUser = "--reuid=65534";
    static constexpr const char *kGroup = "--regid=65534";
    bool drop_ = false;
    std::string why_not_;
    bool immutable_ = false;
    std::string immutable_dir_;
};

TEST_F(Permissions, UnreadableFileIsReportedAndTheWalkGoesOn)
{
    write_file("a.txt", "a\n");
    write_file("secret.txt", "not\nfor you\n");
    write_file("z.txt", "z\n");
    ASSERT_EQ(0, chmod(path("secret.txt").c_str(), 0));
    if (!bits_in_force())
        GTEST_SKIP() << "skipped: the superuser ignores permission bits, and " << why_not_;
    remember();
    std::string out, err;
    int status = -1;
    run_as_user(dir(), &out, &err, &status);
    EXPECT_EQ(status_for(out), status);
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
    ASSERT_EQ(0, chmod(path("locked").c_str(), 0555));
    if (!bits_in_force()) {
        // The superuser is still stopped by an immutable directory.
        immutable_dir_ = path("locked");
        immutable_ = set_immutable(immutable_dir_, true);
        if (!immutable_)
            GTEST_SKIP() << "skipped: the superuser ignores permission bits, " << why_not_
                         << ", and chattr +i does not work here";
    }
    remember();
    std::string out, err;
    int status = -1;
    run_as_user(dir(), &out, &err, &status);
    EXPECT_EQ(status_for(out), status);
    EXPECT_EQ("", err);

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(std::vector<std::string>{"open/o.txt"}, o.converted);
    EXPECT_EQ(std::vector<std::string>{"locked/l.txt"}, o.kept);
    std::vector<ErrorLine> errors = error_lines(out);
    ASSERT_EQ(1u, errors.size()) << out;
    EXPECT_EQ("CreateFile", errors[0].call);
    EXPECT_EQ(5, errors[0].code);
    EXPECT_EQ(walked_path(walked("locked"), "l.txt"), errors[0].details);
    EXPECT_EQ(std::string::npos, out.find("l.txt change")) << out;
}
