// The built tool with one failing system call: every read, write, create,
// rename, close and find-next of a walk is made to fail in turn, with a
// full disk, a refusal, and a failure that gives no reason. Whatever fails,
// every file holds its old or its new bytes, no temporary file is left, the
// failure is printed naming what it hit, and everything else is converted.
#include <algorithm>
#include <filesystem>
#include <set>

#include "faulty.h"

namespace fs = std::filesystem;

namespace {

const int kNoReasonCode = 0x20000003;

struct FaultKind {
    const char *name;
    int most;  // how many calls of the kind the walk below makes, at least
};

}  // namespace

class InjectedFaults : public ToolRunTest {
protected:
    void make_tree()
    {
        for (const auto &entry : fs::directory_iterator(dir()))
            fs::remove_all(entry.path());
        write_file("a.txt", "alpha\nbeta");
        write_file("b.txt", "nothing to do\r\n");
        write_file("h.txt", "hard\nlinked\n");
        fs::create_hard_link(path("h.txt"), path("hard.md"));
        make_dir("sub");
        write_file("sub/c.txt", "c\n");
        write_file("sub/d.csc", std::string(70000, 'd') + "\n");
        write_file("z.txt", "z");
        write_file("skip.md", "not\nconverted\n");
        remember();
    }

    // What a run without faults converts; h.txt's other name, hard.md,
    // keeps the old content.
    static std::set<std::string> all_converted() { return {"a.txt", "h.txt", "sub/c.txt", "sub/d.csc", "z.txt"}; }

    // Standard error holds the notice of the broken hard link, once h.txt
    // is converted, and nothing else.
    static void expect_notices(const std::string &err, const TreeOutcome &o)
    {
        bool linked = std::find(o.converted.begin(), o.converted.end(), "h.txt") != o.converted.end();
        EXPECT_EQ(linked ? 1 : 0, std::count(err.begin(), err.end(), '\n')) << err;
        EXPECT_EQ(linked, err.find("h.txt: hard link broken, its other names keep the old content") !=
                              std::string::npos)
            << err;
    }

    // Whether the error's details account for `file` not being converted:
    // they name the file itself, not a temporary file, or the search of a
    // directory above it.
    bool explains(const std::string &details, const std::string &file) const
    {
        std::string named = forward_slashes(details);
        std::string target = forward_slashes(walked(file));
        if (named == target)
            return true;
        const std::string pattern = "/*.*";
        return named.size() > pattern.size() &&
               named.compare(named.size() - pattern.size(), pattern.size(), pattern) == 0 &&
               target.compare(0, named.size() - 3, named, 0, named.size() - 3) == 0;
    }
};

TEST_F(InjectedFaults, ShippedToolReadsNoFaultList)
{
    make_tree();
    std::string out, err;
    int status = -1;
    run_with_faults("write:1:112,create:1:5,find-next:1:5", dir(), &out, &err, &status, true);
    EXPECT_EQ(status_for(out), status);
    EXPECT_EQ(0u, error_lines(out).size()) << out;
    TreeOutcome o = outcome();
    expect_notices(err, o);
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(all_converted(), std::set<std::string>(o.converted.begin(), o.converted.end()));
}

TEST_F(InjectedFaults, EveryFailingCallKeepsOldOrNewAndIsReported)
{
    const FaultKind kinds[] = {{"read", 12},  {"write", 5},  {"create", 18},
                               {"rename", 5}, {"close", 18}, {"find-next", 12}};
    const int codes[] = {112, 5, 0};
    for (const FaultKind &kind : kinds) {
        int fired = 0;
        for (int n = 1; n <= kind.most + 2; n++) {
            for (int code : codes) {
                std::string faults = std::string(kind.name) + ":" + std::to_string(n) + ":" +
                                     std::to_string(code);
                SCOPED_TRACE(faults);
                make_tree();
                std::string out, err;
                int status = -1;
                run_with_faults(faults, dir(), &out, &err, &status);
                EXPECT_EQ(status_for(out), status) << err;

                TreeOutcome o = outcome();
                expect_notices(err, o);
                expect_nothing_lost_or_left(o);
                std::vector<ErrorLine> errors = error_lines(out);
                std::set<std::string> missed = all_converted();
                for (const std::string &name : o.converted)
                    missed.erase(name);
                if (errors.empty()) {
                    EXPECT_EQ(std::set<std::string>{}, missed) << "a failure went unreported\n" << out;
                    continue;
                }
                fired++;
                ASSERT_EQ(1u, errors.size()) << out;
                EXPECT_EQ(code == 0 ? kNoReasonCode : code, errors[0].code) << out;
                EXPECT_NE("", errors[0].details) << out;
                for (const std::string &name : missed) {
                    EXPECT_TRUE(explains(errors[0].details, name)) << name << " not converted\n" << out;
                    EXPECT_EQ(std::string::npos, out.find(walked(name) + " change")) << out;
                }
            }
        }
        EXPECT_GT(fired, 0) << kind.name;
    }
}
