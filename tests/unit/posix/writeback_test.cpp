// The write-back under failures: every injected failure of the layer's
// calls leaves either the whole old or the whole new file, never a
// temporary file, and a failure is reported. An interrupt while the new
// content is being written removes the temporary file.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "dravick.h"
#include "held_child.h"
#include "run_program.h"
#include "writeback.h"
#include "testutil.h"
#include "window_buffer.h"

namespace fs = std::filesystem;

class WriteBack : public TempDirTest {
protected:
    void TearDown() override
    {
        winposix_fail_reset();
        TempDirTest::TearDown();
    }

    ErrorRecord *convert(const std::string &rel)
    {
        FileInfo info = {};
        std::string p = path(rel);
        fs_stat(p.c_str(), &info);
        testing::internal::CaptureStdout();
        ErrorRecord *error = convert_file(p.c_str(), p.c_str(), &info);
        out_ = testing::internal::GetCapturedStdout();
        return error;
    }

    std::string out_;  // what the last conversion printed
};

namespace {

// What another program does to f.txt in the middle of a conversion; it also
// notes the mode of the temporary file, if there is one then.
struct Meanwhile {
    std::string dir;
    char does;  // a: appends a line, t: cuts the file to its first line, 0: nothing
    unsigned temp_mode;
};

void act_meanwhile(void *context)
{
    Meanwhile *m = static_cast<Meanwhile *>(context);
    for (const auto &entry : fs::directory_iterator(m->dir)) {
        struct stat st;
        if (entry.path().filename().string().compare(0, 4, "~dvk") == 0 &&
            stat(entry.path().c_str(), &st) == 0)
            m->temp_mode = st.st_mode & 07777;
    }
    if (m->does == 'a')
        std::ofstream(m->dir + "/f.txt", std::ios::app | std::ios::binary) << "appended\n";
    if (m->does == 't')
        fs::resize_file(m->dir + "/f.txt", 4);
}

}  // namespace

// Another program appends to the file or cuts it while it is converted:
// the file is left as that program left it, no temporary file stays, the
// change is reported and no change line printed. Between the two passes
// (at the second pass's first read) the second pass finds the length
// changed; later the look before the replace finds it written to. The
// temporary file is for its owner alone until it takes the original's place
// and mode.
TEST_F(WriteBack, FileWrittenMeanwhileIsLeftAsTheWriterLeftIt)
{
    const struct {
        const char *when;
        bool linked;
        WinposixCall call;
        int n;  // the original's folder is opened and closed first, to tell where the file lies
        char does;
        DWORD code;
    } cases[] = {
        {"between the passes", false, WINPOSIX_CALL_READ, 2, 'a', FS_ERROR_FILE_CHANGED},
        {"between the passes", false, WINPOSIX_CALL_READ, 2, 't', FS_ERROR_FILE_CHANGED},
        {"between the passes, linked", true, WINPOSIX_CALL_READ, 2, 'a', FS_ERROR_FILE_CHANGED},
        {"once the temporary file is written", false, WINPOSIX_CALL_CLOSE, 2, 'a', ERROR_SHARING_VIOLATION},
        {"once the temporary file is written, linked", true, WINPOSIX_CALL_CLOSE, 2, 'a',
         ERROR_SHARING_VIOLATION},
        {"nobody", false, WINPOSIX_CALL_CLOSE, 2, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.when) + " " + c.does);
        fs::remove_all(path("g.txt"));
        write_file("f.txt", "one\ntwo\n");
        ASSERT_EQ(0, chmod(path("f.txt").c_str(), 0640));
        if (c.linked)
            fs::create_hard_link(path("f.txt"), path("g.txt"));
        Meanwhile meanwhile = {dir(), c.does, 0};
        winposix_act_nth(c.call, c.n, act_meanwhile, &meanwhile);
        ErrorRecord *error = convert("f.txt");
        winposix_fail_reset();
        std::vector<std::string> names = {"f.txt"};
        if (c.linked)
            names.push_back("g.txt");
        EXPECT_EQ(names, list_dir(""));
        if (c.does == 0) {
            EXPECT_EQ(nullptr, error) << error->text;
            EXPECT_EQ(0600u, meanwhile.temp_mode);
            EXPECT_EQ("one\r\ntwo\r\n", read_file("f.txt"));
            struct stat st;
            ASSERT_EQ(0, stat(path("f.txt").c_str(), &st));
            EXPECT_EQ(0640u, st.st_mode & 07777);
            EXPECT_EQ(printed_line(path("f.txt") + " change in size 2"), out_);
            continue;
        }
        ASSERT_NE(nullptr, error);
        EXPECT_EQ(static_cast<int32_t>(c.code), error->code) << error->text;
        EXPECT_EQ(c.does == 'a' ? "one\ntwo\nappended\n" : "one\n", read_file("f.txt"));
        EXPECT_EQ("", out_);
    }
}

// Also for a file of many windows.
TEST_F(WriteBack, EveryInjectedFailureKeepsOldOrNewWhole)
{
    std::string large_before, large_after;
    for (int i = 0; large_before.size() < (5u << 20); i++) {
        large_before += std::string(i % 97, 'q') + "\n";
        large_after += std::string(i % 97, 'q') + "\r\n";
    }
    const struct {
        std::string before, after;
    } contents[] = {
        {"alpha\nbeta\ngamma", "alpha\r\nbeta\r\ngamma\r\n"},
        {large_before + "end", large_after + "end\r\n"},
    };
    const uint64_t stamp = 132537600001234567ull;
    struct Kind {
        WinposixCall call;
        const char *name;
    } kinds[] = {
        {WINPOSIX_CALL_CREATE, "create"}, {WINPOSIX_CALL_READ, "read"},
        {WINPOSIX_CALL_WRITE, "write"},   {WINPOSIX_CALL_RENAME, "rename"},
        {WINPOSIX_CALL_CLOSE, "close"},   {WINPOSIX_CALL_FLUSH, "flush"},
    };
    const DWORD codes[] = {ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ERROR_IO_DEVICE, ERROR_INVALID_PARAMETER};
    for (const auto &content : contents) {
        const std::string &before = content.before;
        for (const Kind &kind : kinds) {
            int failures = 0;
            for (int n = 1; n <= 4; n++) {
                for (DWORD code : codes) {
                    write_file("f.txt", before);
                    test_set_mtime(path("f.txt"), stamp);
                    winposix_fail_nth(kind.call, n, code);
                    ErrorRecord *error = convert("f.txt");
                    winposix_fail_reset();
                    std::string where = std::string(kind.name) + " #" + std::to_string(n) + " of " +
                                        std::to_string(before.size()) + " bytes";
                    if (error != NULL) {
                        failures++;
                        EXPECT_EQ(static_cast<int32_t>(code), error->code) << where << ": " << error->text;
                        EXPECT_TRUE(before == read_file("f.txt")) << where;
                        EXPECT_EQ(stamp, test_get_mtime(path("f.txt"))) << where;
                    } else {
                        EXPECT_TRUE(content.after == read_file("f.txt")) << where;
                    }
                    EXPECT_EQ(std::vector<std::string>{"f.txt"}, list_dir("")) << where;
                }
            }
            EXPECT_GT(failures, 0) << kind.name;
        }
    }
}

namespace {

std::string read_whole(const std::string &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What the directory held when the new content was flushed: the name still
// the original file (looked at, not opened: an open would keep it from
// being replaced), and the temporary file's content.
struct AtFlush {
    std::string dir;
    bool flushed;
    ino_t original;  // what f.txt is
    std::string temp;
};

void note_at_flush(void *context)
{
    AtFlush *at = static_cast<AtFlush *>(context);
    at->flushed = true;
    struct stat st;
    if (stat((at->dir + "/f.txt").c_str(), &st) == 0)
        at->original = st.st_ino;
    for (const auto &entry : fs::directory_iterator(at->dir))
        if (entry.path().filename().string().compare(0, 4, "~dvk") == 0)
            at->temp = read_whole(entry.path().string());
}

}  // namespace

// The new content is flushed while the name still holds the original and
// the temporary file the whole new content, that is before the replace.
TEST_F(WriteBack, NewContentIsFlushedBeforeItTakesThePlace)
{
    const std::string after = "one\r\ntwo\r\n";
    write_file("f.txt", "one\ntwo");
    struct stat st;
    ASSERT_EQ(0, stat(path("f.txt").c_str(), &st));
    AtFlush at = {dir(), false, 0, ""};
    winposix_act_nth(WINPOSIX_CALL_FLUSH, 1, note_at_flush, &at);
    ErrorRecord *error = convert("f.txt");
    winposix_fail_reset();
    EXPECT_EQ(nullptr, error) << error->text;
    EXPECT_TRUE(at.flushed);
    EXPECT_EQ(st.st_ino, at.original);
    EXPECT_EQ(after, at.temp);
    EXPECT_EQ(after, read_file("f.txt"));
}

// The child converts a file and is held by the layer at the write of the new
// content, once the temporary file exists; it is ended there by a signal
// from outside, of every kind whose default is to end the process. The
// original must be whole, the temporary file gone, and the child ended by
// that very signal.
TEST_F(WriteBack, SignalRemovesTemporaryFile)
{
    std::string content;
    for (int i = 0; i < 1000; i++)
        content += "0123456789abcdef\n";
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGXCPU, SIGRTMIN + 3};
    for (int sig : signals) {
        SCOPED_TRACE(sig);
        write_file("big.txt", content);
        HeldChild child;
        held_child_start(&child, WINPOSIX_CALL_WRITE, [&] { convert("big.txt"); });
        bool arrived = held_child_arrived(&child);
        EXPECT_TRUE(arrived) << "the child never came to its write";
        if (arrived) {
            std::vector<std::string> names = list_dir("");
            EXPECT_EQ(2u, names.size()) << "no temporary file beside the original";
            kill(child.pid, sig);
        }
        int status = held_child_finish(&child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_EQ(std::vector<std::string>{"big.txt"}, list_dir(""));
        EXPECT_TRUE(read_file("big.txt") == content);
    }
}

// Past the process's file size limit the write fails with an error and the
// conversion is given up, instead of the system ending the process in the
// middle of the temporary file.
TEST_F(WriteBack, FileSizeLimitFailsTheWrite)
{
    std::string content;
    while (content.size() < (3u << 20))
        content += "0123456789abcdef\n";
    write_file("big.txt", content);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        struct rlimit limit = {2u << 20, 2u << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        ErrorRecord *error = convert("big.txt");
        _exit(error != nullptr && error->code == ERROR_FILE_TOO_LARGE ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(std::vector<std::string>{"big.txt"}, list_dir(""));
    EXPECT_TRUE(read_file("big.txt") == content);
}
