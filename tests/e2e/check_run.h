// What the check-run test needs of each platform.
#ifndef TESTS_E2E_CHECK_RUN_H
#define TESTS_E2E_CHECK_RUN_H

#include <string>
#include <vector>

// What a write, a rename, a temporary file or a time set would change in a
// look at a file or folder: its identity (inode or file index), its change
// time, its last-write time and its size.
std::string file_look(const std::string &path);

// Makes the file one that the runs of run_tool_unreadable cannot read. On
// POSIX it loses every permission; as root, whom permissions do not stop,
// the test build of the tool is run with its first open refused instead,
// so the file must be the first one the run opens. On Windows the test holds
// it open, sharing nothing, while the tool runs.
void make_unreadable(const std::string &path);
void run_tool_unreadable(const std::vector<std::string> &args, std::string *out, std::string *err,
                         int *status);

#endif
