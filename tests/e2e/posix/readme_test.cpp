// The README's first run, read from the README itself, runs as written in
// an empty folder and prints what the README shows. Lines of the block that
// start with "$ " are commands; the others are what they print, standard
// error included.
#include <fstream>
#include <sstream>

#include "e2e.h"

class Readme : public TempDirTest {};

TEST_F(Readme, FirstRunPrintsWhatItShows)
{
    std::ifstream in(DRAVICK_README);
    ASSERT_TRUE(in) << DRAVICK_README;
    std::string line, script = "exec 2>&1\n", shown;
    bool section = false, block = false;
    while (std::getline(in, line)) {
        if (line.compare(0, 4, "### ") == 0 || line.compare(0, 3, "## ") == 0) {
            if (block)
                break;
            section = line == "### A first run";
            continue;
        }
        bool code = line.compare(0, 4, "    ") == 0;
        if (!section || (!code && !block))
            continue;
        if (!code)
            break;
        block = true;
        if (line.compare(4, 2, "$ ") == 0)
            script += line.substr(6) + "\n";
        else
            shown += line.substr(4) + "\n";
    }
    ASSERT_TRUE(block) << "no first run in " << DRAVICK_README;

    std::string tool = DRAVICK_EXE;
    std::string out, err;
    int status = -1;
    ASSERT_TRUE(run_program("/usr/bin/env",
                            {"PATH=" + tool.substr(0, tool.rfind('/')) + ":/usr/bin:/bin", "/bin/sh", "-c",
                             "cd \"$0\" && " + script, dir()},
                            &out, &err, &status));
    EXPECT_EQ(shown, out);  // lines end in LF, as the README shows them
    EXPECT_EQ("", err);
}
