// Child processes on POSIX: posix_spawn with two pipes, drained with poll.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "run_program.h"

extern char **environ;

std::string printed_line(const std::string &text) { return text + "\n"; }

std::string walked_path(const std::string &dir, const std::string &rel)
{
    return dir + (!dir.empty() && dir.back() == '/' ? "" : "/") + rel;
}

std::string printed_name(const std::string &narrow) { return shown_utf8(narrow); }

static void drain(int out_fd, int err_fd, std::string *out, std::string *err)
{
    struct pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string *sinks[2] = {out, err};
    int open_count = 2;
    while (open_count > 0) {
        if (poll(fds, 2, -1) < 0)
            break;
        for (int i = 0; i < 2; i++) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char chunk[4096];
            ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0) {
                sinks[i]->append(chunk, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                open_count--;
            }
        }
    }
}

bool run_program(const std::string &program, const std::vector<std::string> &args,
                 std::string *out, std::string *err, int *status,
                 const std::function<void()> &before_reading)
{
    int out_pipe[2], err_pipe[2];
    if (pipe(out_pipe) != 0)
        return false;
    if (pipe(err_pipe) != 0) {
        close(out_pipe[0]);
        close(out_pipe[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, out_pipe[0]);
    posix_spawn_file_actions_addclose(&actions, err_pipe[0]);

    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (rc != 0) {
        close(out_pipe[0]);
        close(err_pipe[0]);
        return false;
    }
    out->clear();
    err->clear();
    if (before_reading)
        before_reading();
    drain(out_pipe[0], err_pipe[0], out, err);
    int wstatus = 0;
    if (waitpid(pid, &wstatus, 0) != pid)
        return false;
    *status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    return true;
}
