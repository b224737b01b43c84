// A run interrupted with its report redirected to a file: the report names
// every file replaced, each on one whole line, and no file left as it was.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <thread>

#include "e2e.h"

extern char **environ;

class InterruptedLog : public ToolRunTest {
protected:
    // Starts the tool on the tree with its standard output to `log`, waits
    // until the log holds `bytes`, sends `sig`; returns the wait status.
    int run_interrupted(const std::string &log, off_t bytes, int sig)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::string tree = path("tree");
        char *argv[] = {const_cast<char *>(DRAVICK_EXE), const_cast<char *>(tree.c_str()), nullptr};
        pid_t pid = -1;
        int rc = posix_spawn(&pid, DRAVICK_EXE, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(0, rc);
        int status = 0;
        for (int waited = 0; waited < 20000; waited++) {
            struct stat st;
            if (stat(log.c_str(), &st) == 0 && st.st_size >= bytes)
                break;
            if (waitpid(pid, &status, WNOHANG) == pid)
                return status;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        kill(pid, sig);
        waitpid(pid, &status, 0);
        return status;
    }
};

TEST_F(InterruptedLog, NamesEveryFileReplacedOnWholeLines)
{
    const struct {
        off_t bytes;  // how much of the report is out when the signal comes
        int sig;
    } moments[] = {{0, SIGINT}, {100, SIGTERM}, {5000, SIGINT}, {20000, SIGHUP}};
    std::string log = dir() + ".log";  // beside the tree looked at
    int cut = 0;
    for (const auto &moment : moments) {
        SCOPED_TRACE(moment.bytes);
        std::filesystem::remove_all(test_fs_path(path("tree")));
        make_dir("tree");
        for (int i = 0; i < 1000; i++)
            write_file("tree/f" + std::to_string(1000 + i) + ".txt", "line\n");
        remember();
        int status = run_interrupted(log, moment.bytes, moment.sig);
        TreeOutcome o = outcome();
        expect_nothing_lost_or_left(o);
        std::vector<std::string> lines;
        std::string report = file_bytes(log);
        size_t start = 0;
        const std::string line_end = printed_line("");
        for (size_t end; (end = report.find(line_end, start)) != std::string::npos; start = end + line_end.size())
            lines.push_back(report.substr(start, end - start));
        EXPECT_EQ(report.size(), start) << "a line cut short: " << report.substr(start);
        std::map<std::string, int> named;
        for (const std::string &line : lines) {
            const std::string prefix = walked_path(path("tree"), "");
            const std::string suffix = " change in size 1";
            ASSERT_TRUE(line.size() > prefix.size() + suffix.size() && line.compare(0, prefix.size(), prefix) == 0 &&
                        line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
                << line;
            named["tree/" + line.substr(prefix.size(), line.size() - prefix.size() - suffix.size())]++;
        }
        std::map<std::string, int> converted;
        for (const std::string &name : o.converted)
            converted[name] = 1;
        EXPECT_EQ(converted, named);
        if (WIFSIGNALED(status)) {
            EXPECT_EQ(moment.sig, WTERMSIG(status));
            cut += !o.converted.empty() && !o.kept.empty();
        }
    }
    std::filesystem::remove(log);
    EXPECT_GT(cut, 0) << "no run was interrupted in the middle";
}
