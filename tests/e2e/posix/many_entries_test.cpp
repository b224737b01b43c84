// A directory of 100,000 entries, in memory. Only on POSIX: under Wine every
// name that does not exist yet (each new file, each temporary file) costs a
// case-blind search of the whole directory, so making and converting the
// tree would take hours there, which says nothing about the tool.
#include <fstream>

#include "e2e.h"

class ManyEntries : public MemoryDirTest {};

// Half of the files need converting; the change lines come in name order.
TEST_F(ManyEntries, DirectoryOfOneHundredThousandEntries)
{
    const int kEntries = 100000;
    std::string want;
    for (int i = 0; i < kEntries; i++) {
        char name[32];
        snprintf(name, sizeof name, "f%06d.txt", i);
        std::ofstream(path(name), std::ios::binary) << (i % 2 == 0 ? "n\n" : "c\r\n");
        if (i % 2 == 0)
            want += change_line(walked_path(dir(), name), 1);
    }
    std::vector<std::string> names = tree_names(dir());
    TreeFiles before = tree_files(dir());
    ASSERT_EQ(static_cast<size_t>(kEntries), before.size());
    std::string out = run_tool_ok(dir());

    TreeOutcome o = tree_outcome(dir(), names, before);
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(static_cast<size_t>(kEntries / 2), o.converted.size());
    EXPECT_EQ(static_cast<size_t>(kEntries / 2), o.kept.size());
    EXPECT_EQ(0u, error_lines(out).size());
    EXPECT_TRUE(out == want) << "the change lines differ; " << out.size() << " bytes of output, "
                             << want.size() << " expected";
}
