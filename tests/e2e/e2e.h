// Running the built tool in the end-to-end tests.
#ifndef TESTS_E2E_H
#define TESTS_E2E_H

#include <regex>
#include <string>
#include <vector>

#include "outcome.h"
#include "run_program.h"
#include "testutil.h"

inline void run_tool(const std::vector<std::string> &args, std::string *out, std::string *err,
                     int *status)
{
    ASSERT_TRUE(run_program(DRAVICK_EXE, args, out, err, status)) << DRAVICK_EXE;
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

// The exit status a conversion ends with when it printed `out`: 2 once it
// printed an error text, else 0.
inline int status_for(const std::string &out)
{
    return count_errors(out) > 0 ? 2 : 0;
}

// Runs the tool, which must end normally, with the status that says
// whether it printed an error text (2) or not (0), and, unless told
// otherwise, print nothing on its standard error; returns its standard
// output.
inline std::string run_tool_ok(const std::string &argument, bool quiet_stderr = true)
{
    std::string out, err;
    int status = -1;
    run_tool({argument}, &out, &err, &status);
    EXPECT_EQ(status_for(out), status) << out << err;
    if (quiet_stderr) {
        EXPECT_EQ("", err);
    }
    return out;
}

// The change line for a file as the tool prints it on this target.
inline std::string change_line(const std::string &path, long long growth)
{
    return printed_line(path + " change in size " + std::to_string(growth));
}

// The tool's own error code for a file whose size changed since the walk's
// listing (or the argument's check) looked at it.
const long long kFileChangedCode = 0x20000001;

// One error text as the tool prints it: "<message>(<call>) (<code>) (<details>)".
struct ErrorLine {
    std::string call;
    long long code;
    std::string details;
};

inline std::vector<ErrorLine> error_lines(const std::string &out)
{
    static const std::regex suffix("\\(([A-Za-z_]+)\\) \\((-?[0-9]+)\\)(?: \\(([^\r\n]*)\\))?");
    std::vector<ErrorLine> lines;
    for (auto it = std::sregex_iterator(out.begin(), out.end(), suffix); it != std::sregex_iterator(); ++it)
        lines.push_back(ErrorLine{(*it)[1].str(), std::stoll((*it)[2].str()), (*it)[3].str()});
    return lines;
}

// Nothing lost and nothing left behind: no file damaged or gone, no name
// (a temporary file above all) that was not there before.
inline void expect_nothing_lost_or_left(const TreeOutcome &outcome)
{
    EXPECT_EQ(std::vector<std::string>{}, outcome.damaged) << "damaged";
    EXPECT_EQ(std::vector<std::string>{}, outcome.missing) << "missing";
    EXPECT_EQ(std::vector<std::string>{}, outcome.added) << "left behind";
}

// A temporary tree that is remembered before the tool runs, so that what
// the run did to it can be checked afterwards.
class ToolRunTest : public TempDirTest {
protected:
    void remember()
    {
        names_before_ = tree_names(dir());
        files_before_ = tree_files(dir());
    }
    TreeOutcome outcome() const { return tree_outcome(dir(), names_before_, files_before_); }

    // The remembered files whose bytes need converting, sorted.
    std::vector<std::string> due() const
    {
        std::vector<std::string> names;
        for (const auto &file : files_before_) {
            if (needs_conversion(file.second))
                names.push_back(file.first);
        }
        return names;
    }

    // A path below the temporary directory as the walk spells it.
    std::string walked(const std::string &rel) const { return walked_path(dir(), rel); }

    // Runs the tool, which must end normally and print nothing on its
    // standard error; returns its standard output.
    std::string run(const std::string &argument) { return run_tool_ok(argument); }

    std::vector<std::string> names_before_;
    TreeFiles files_before_;
};

// A FILETIME with digits below the centisecond, and what is left of it once
// it went through the tool's 10-millisecond time record.
const uint64_t kSampleTime = 132537600001234567ull;  // 2021-01-01 00:00:00.1234567 UTC
inline uint64_t to_centisecond(uint64_t filetime)
{
    const uint64_t k1900 = 94354848000000000ull;
    return filetime - (filetime - k1900) % 100000;
}

#endif
