// Files that other programs use while they are converted: held open, opened
// and written to in the middle of the conversion, or replaced by a save
// that renames another file over the name. Whatever the other program did
// is still there afterwards, and the file is reported in use (32).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "dravick.h"
#include "held_child.h"
#include "testutil.h"

namespace fs = std::filesystem;

class InUse : public TempDirTest {
protected:
    ErrorRecord *convert(const std::string &rel)
    {
        FileInfo info = {};
        std::string p = path(rel);
        fs_stat(p.c_str(), &info);
        return convert_file(p.c_str(), p.c_str(), &info);
    }

    // Converts f.txt in a child held at its first call of `kind`, where
    // `meanwhile` runs in this process; the child's exit status is the
    // error code its conversion ended with, 0 for none.
    int convert_held_at(WinposixCall kind, const std::function<void()> &meanwhile)
    {
        HeldChild child;
        held_child_start(&child, kind, [&] {
            testing::internal::CaptureStdout();
            ErrorRecord *error = convert("f.txt");
            _exit(error == nullptr ? 0 : error->code == ERROR_SHARING_VIOLATION ? 32 : 1);
        });
        bool arrived = held_child_arrived(&child);
        EXPECT_TRUE(arrived) << "the child never came to the call";
        if (arrived)
            meanwhile();
        int status = held_child_finish(&child);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // What an editor does: writes a new file and renames it over the name.
    void save_over(const std::string &content)
    {
        write_file("f.new", content);
        fs::rename(path("f.new"), path("f.txt"));
    }

    // A writer that leaves no trace a look could see: the same length and,
    // put back, the same last-write time.
    void overwrite_unseen(const std::string &content)
    {
        struct stat st;
        ASSERT_EQ(0, stat(path("f.txt").c_str(), &st));
        int fd = open(path("f.txt").c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(static_cast<ssize_t>(content.size()), pwrite(fd, content.data(), content.size(), 0));
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        ASSERT_EQ(0, futimens(fd, times));
        close(fd);
    }
};

// Another descriptor open on the file, for reading or for writing, keeps it
// from being replaced; what is written through it afterwards stays. A file
// that needs no change is not refused for it. Once let go, it converts.
TEST_F(InUse, HeldOpenByAnotherProgramIsLeftAndReported)
{
    const int modes[] = {O_WRONLY | O_APPEND, O_RDONLY};
    for (int mode : modes) {
        SCOPED_TRACE(mode);
        write_file("f.txt", "one\ntwo\n");
        write_file("done.txt", "done\r\n");
        int fd = open(path("f.txt").c_str(), mode);
        int other = open(path("done.txt").c_str(), mode);
        ASSERT_GE(fd, 0);
        ErrorRecord *error = convert("f.txt");
        ASSERT_NE(nullptr, error);
        EXPECT_EQ(ERROR_SHARING_VIOLATION, error->code) << error->text;
        EXPECT_EQ(nullptr, convert("done.txt"));
        if (mode != O_RDONLY) {
            ASSERT_EQ(6, write(fd, "three\n", 6));
        }
        close(fd);
        close(other);
        std::string now = mode != O_RDONLY ? "one\ntwo\nthree\n" : "one\ntwo\n";
        EXPECT_EQ(now, read_file("f.txt"));
        EXPECT_EQ((std::vector<std::string>{"done.txt", "f.txt"}), list_dir(""));
        EXPECT_EQ(nullptr, convert("f.txt"));
        EXPECT_EQ(mode != O_RDONLY ? "one\r\ntwo\r\nthree\r\n" : "one\r\ntwo\r\n", read_file("f.txt"));
    }
}

// Another program at work on the file while it is converted, at the flush
// of the new content and at the very replace: a write that no look can
// see, and a save renamed over the name. Its work is what the name holds
// afterwards; the conversion is given up.
TEST_F(InUse, OtherProgramsWorkSurvivesTheConversion)
{
    const struct {
        const char *what;
        WinposixCall call;
        bool saves;
    } cases[] = {
        {"written at the flush", WINPOSIX_CALL_FLUSH, false},
        {"written at the replace", WINPOSIX_CALL_RENAME, false},
        {"saved over at the flush", WINPOSIX_CALL_FLUSH, true},
        {"saved over at the replace", WINPOSIX_CALL_RENAME, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        write_file("f.txt", "one\ntwo\n");
        const std::string theirs = c.saves ? "saved by another\n" : "ONE\ntwo\n";
        int code = convert_held_at(c.call, [&] {
            if (c.saves)
                save_over(theirs);
            else
                overwrite_unseen(theirs);
        });
        EXPECT_EQ(32, code);
        EXPECT_EQ(theirs, read_file("f.txt"));
        EXPECT_EQ(std::vector<std::string>{"f.txt"}, list_dir(""));
    }
}

// Nobody at work on it: the held child converts it as usual.
TEST_F(InUse, NobodyAtWorkConverts)
{
    write_file("f.txt", "one\ntwo\n");
    EXPECT_EQ(0, convert_held_at(WINPOSIX_CALL_RENAME, [] {}));
    EXPECT_EQ("one\r\ntwo\r\n", read_file("f.txt"));
    EXPECT_EQ(std::vector<std::string>{"f.txt"}, list_dir(""));
}
