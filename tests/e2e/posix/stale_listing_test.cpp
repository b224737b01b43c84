// Entries that change between the walk's listing and their turn. The walk
// is held at a named pipe (a FIFO whose name ends in .txt: the tool reads it
// and waits while this test keeps its other end open) until the test has
// grown, shrunk and removed later entries; then it is let go.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "e2e.h"

namespace fs = std::filesystem;

class StaleListing : public ToolRunTest {
protected:
    // Waits until the file holds `bytes`, for at most a minute.
    bool wait_for(const std::string &rel, const std::string &bytes) const
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            if (read_file(rel) == bytes)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    const ErrorLine *error_naming(const std::vector<ErrorLine> &errors, const std::string &details) const
    {
        for (const ErrorLine &e : errors) {
            if (e.details == details)
                return &e;
        }
        return nullptr;
    }
};

TEST_F(StaleListing, EntriesChangedOrRemovedAfterTheListing)
{
    write_file("a.txt", "a\n");
    ASSERT_EQ(0, mkfifo(path("p.txt").c_str(), 0600));
    write_file("q.txt", "grows\n");
    write_file("r.txt", "removed\n");
    write_file("s.txt", "shrinks a lot\n");
    make_dir("sub");
    write_file("sub/x.txt", "x\n");
    write_file("t.txt", "t\n");
    make_dir("u");
    write_file("u/y.txt", "y\n");

    int gate = open(path("p.txt").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(gate, 0);
    std::string out, err;
    int status = -1;
    std::thread tool([&] { run_tool({dir()}, &out, &err, &status); });
    bool held = wait_for("a.txt", "a\r\n");
    if (held) {
        std::ofstream(path("q.txt"), std::ios::app | std::ios::binary) << "and grows\n";
        fs::remove(path("r.txt"));
        write_file("s.txt", "s\n");
        fs::remove_all(path("sub"));
        remember();
    }
    close(gate);
    tool.join();
    ASSERT_TRUE(held) << "the walk never converted a.txt\n" << out;
    EXPECT_EQ(0, status);
    EXPECT_EQ("", err);

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ((std::vector<std::string>{"t.txt", "u/y.txt"}), o.converted);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "q.txt", "s.txt"}), o.kept);
    EXPECT_EQ("grows\nand grows\n", read_file("q.txt"));

    std::vector<ErrorLine> errors = error_lines(out);
    EXPECT_EQ(4u, errors.size()) << out;
    const ErrorLine *grown = error_naming(errors, walked("q.txt"));
    const ErrorLine *gone = error_naming(errors, walked("r.txt"));
    const ErrorLine *shrunk = error_naming(errors, walked("s.txt"));
    const ErrorLine *folder = error_naming(errors, walked("sub") + "\\*.*");
    ASSERT_TRUE(grown && gone && shrunk && folder) << out;
    EXPECT_EQ(kFileChangedCode, grown->code);
    EXPECT_EQ(2, gone->code);
    EXPECT_EQ(kFileChangedCode, shrunk->code);
    EXPECT_EQ(3, folder->code);
    EXPECT_EQ(std::string::npos, out.find("p.txt")) << out;
}
