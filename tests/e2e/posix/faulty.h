// Running the test build of the tool, whose system calls fail on request.
#ifndef TESTS_E2E_POSIX_FAULTY_H
#define TESTS_E2E_POSIX_FAULTY_H

#include <string>

#include "e2e.h"
#include "environment.h"

// Runs the test build with DRAVICK_TEST_FAULTS set to `faults` (see
// tests/support/posix/faults_from_environment.cpp), or the shipped tool with
// the same variable set when `shipped` is true.
inline void run_with_faults(const std::string &faults, const std::string &argument,
                            std::string *out, std::string *err, int *status, bool shipped = false)
{
    test_set_env("DRAVICK_TEST_FAULTS", faults.c_str());
    bool ran = run_program(shipped ? DRAVICK_EXE : DRAVICK_FAULTY_EXE, {argument}, out, err, status);
    test_set_env("DRAVICK_TEST_FAULTS", nullptr);
    ASSERT_TRUE(ran);
}

// A path with '/' for every separator, for comparing the walk's joined
// paths with the final paths the write-back reports.
inline std::string forward_slashes(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

#endif
