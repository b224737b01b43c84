// A run interrupted with its report redirected to a file: the report names
// every file replaced, each on one whole line, and no file left as it was.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <vector>

#include "e2e.h"

extern char **environ;

class InterruptedLog : public ToolRunTest {
protected:
    // Starts the test build of the tool on the tree with its standard
    // output to `log`, held by the layer at the n-th call of `kind`, sends
    // `sig` there and lets it go on; returns the wait status.
    int run_interrupted(const std::string &log, const char *kind, int n, int sig)
    {
        int ready[2], resume[2];
        // Only the copies at 3 and 4 go to the tool: a copy of the resume
        // pipe's own end there would keep it from ever seeing the end.
        EXPECT_EQ(0, pipe2(ready, O_CLOEXEC));
        EXPECT_EQ(0, pipe2(resume, O_CLOEXEC));
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
        posix_spawn_file_actions_adddup2(&actions, resume[0], 4);
        std::string tree = path("tree");
        std::string pause = std::string("DRAVICK_TEST_PAUSE=") + kind + ":" + std::to_string(n);
        std::vector<char *> env;
        for (char **e = environ; *e != nullptr; e++)
            env.push_back(*e);
        env.push_back(const_cast<char *>(pause.c_str()));
        env.push_back(nullptr);
        char *argv[] = {const_cast<char *>(DRAVICK_FAULTY_EXE), const_cast<char *>(tree.c_str()), nullptr};
        pid_t pid = -1;
        int rc = posix_spawn(&pid, DRAVICK_FAULTY_EXE, &actions, nullptr, argv, env.data());
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        close(resume[0]);
        EXPECT_EQ(0, rc);
        char byte = 0;
        bool arrived = read(ready[0], &byte, 1) == 1;
        EXPECT_TRUE(arrived) << "the tool never came to " << kind << " " << n;
        if (arrived)
            kill(pid, sig);
        close(resume[1]);
        close(ready[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        return status;
    }
};

TEST_F(InterruptedLog, NamesEveryFileReplacedOnWholeLines)
{
    // Where the signal comes, and how many files are replaced by then: at a
    // replace, which holds it until the file's line is out; at the first
    // write of a temporary file; at the flush that starts the second batch
    // of 64.
    const struct {
        const char *kind;
        int n;
        int sig;
        size_t replaced;
    } moments[] = {{"write", 1, SIGINT, 0},     {"rename", 1, SIGTERM, 1}, {"rename", 100, SIGINT, 100},
                   {"flush", 65, SIGUSR1, 64}, {"rename", 700, SIGHUP, 700}};
    std::string log = dir() + ".log";  // beside the tree looked at
    for (const auto &moment : moments) {
        SCOPED_TRACE(std::string(moment.kind) + " " + std::to_string(moment.n));
        std::filesystem::remove_all(test_fs_path(path("tree")));
        make_dir("tree");
        for (int i = 0; i < 1000; i++)
            write_file("tree/f" + std::to_string(1000 + i) + ".txt", "line\n");
        remember();
        int status = run_interrupted(log, moment.kind, moment.n, moment.sig);
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
        EXPECT_EQ(moment.replaced, o.converted.size());
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == moment.sig) << status;
    }
    std::filesystem::remove(log);
}
