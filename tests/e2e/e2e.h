// Running the built tool in the end-to-end tests.
#ifndef TESTS_E2E_H
#define TESTS_E2E_H

#include <regex>
#include <string>
#include <vector>

#include "run_program.h"
#include "testutil.h"

inline void run_tool(const std::vector<std::string> &args, std::string *out, std::string *err,
                     int *status)
{
    ASSERT_TRUE(run_program(DRAVICK_EXE, args, out, err, status)) << DRAVICK_EXE;
}

// The change line for a file as the tool prints it on this target.
inline std::string change_line(const std::string &path, long long growth)
{
    return printed_line(path + " change in size " + std::to_string(growth));
}

// How many error texts the output holds: each ends with the failed
// operation's name and a code, "(CreateFile) (5)". A system message may
// itself span two lines.
inline int count_errors(const std::string &out)
{
    static const std::regex suffix("\\([A-Za-z_]+\\) \\(-?[0-9]+\\)");
    return static_cast<int>(std::distance(std::sregex_iterator(out.begin(), out.end(), suffix),
                                          std::sregex_iterator()));
}

// A FILETIME with digits below the centisecond, and what is left of it once
// it went through the tool's 10-millisecond time record.
const uint64_t kSampleTime = 132537600001234567ull;  // 2021-01-01 00:00:00.1234567 UTC
inline uint64_t to_centisecond(uint64_t filetime)
{
    const uint64_t k1900 = 94354848000000000ull;
    return filetime - (filetime - k1900) % 100000;
}

#endif
