#include <sys/stat.h>
#include <unistd.h>

#include "check_run.h"
#include "faulty.h"

static std::string stamp(const struct timespec &t)
{
    return std::to_string(t.tv_sec) + "." + std::to_string(t.tv_nsec);
}

std::string file_look(const std::string &path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return "gone";
    return "inode " + std::to_string(st.st_ino) + " ctime " + stamp(st.st_ctim) + " mtime " +
           stamp(st.st_mtim) + " size " + std::to_string(st.st_size);
}

void make_unreadable(const std::string &path) { ASSERT_EQ(0, chmod(path.c_str(), 0)); }

void run_tool_unreadable(const std::vector<std::string> &args, std::string *out, std::string *err,
                         int *status)
{
    if (geteuid() != 0)
        return run_tool(args, out, err, status);
    test_set_env("DRAVICK_TEST_FAULTS", "create:1:5");
    bool ran = run_program(DRAVICK_FAULTY_EXE, args, out, err, status);
    test_set_env("DRAVICK_TEST_FAULTS", nullptr);
    ASSERT_TRUE(ran);
}
