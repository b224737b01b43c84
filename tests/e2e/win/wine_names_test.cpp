// Under Wine the folders are Linux's, which hold what Windows calls cannot
// make: names that Windows reads as one (a case twin, a file named like
// another's short name) and symbolic links to files, which Wine shows as
// plain files. Such entries are made on the Linux side, by a shell that the
// test starts there. Whatever the replace meets, the content of every file
// is kept: under its name, or in a temporary file that the error names.
#include <windows.h>

#include <map>

#include "e2e.h"

namespace {

// The Linux path of one of our paths, under Wine; empty elsewhere.
std::string linux_path(const std::string &path)
{
    typedef char *(CDECL * ToLinux)(LPCWSTR);
    FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    if (found == nullptr)
        return "";
    ToLinux to_linux = reinterpret_cast<ToLinux>(reinterpret_cast<void (*)(void)>(found));
    wchar_t wide[4 * MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, 4 * MAX_PATH) == 0)
        return "";
    char *named = to_linux(wide);
    if (named == nullptr)
        return "";
    std::string result = named;
    HeapFree(GetProcessHeap(), 0, named);
    return result;
}

std::string converted(const std::string &bytes) { return pair_reader_convert(bytes).output; }

// What a folder holds: each file's name and bytes (folders as "/").
std::map<std::string, std::string> holdings(const std::string &folder)
{
    std::map<std::string, std::string> held;
    for (const auto &entry : std::filesystem::directory_iterator(test_fs_path(folder))) {
        std::string name = test_narrow_name(entry.path().filename());
        held[name] = entry.is_directory() ? "/" : file_bytes(entry.path());
    }
    return held;
}

}  // namespace

class WineNames : public ToolRunTest {
protected:
    void SetUp() override
    {
        ToolRunTest::SetUp();
        linux_dir_ = linux_path(dir());
        if (linux_dir_.empty())
            GTEST_SKIP() << "needs Wine, whose folders are Linux's";
    }

    // The links go first, on the Linux side: Wine cannot remove a link
    // whose target is gone.
    void TearDown() override
    {
        if (!linux_dir_.empty())
            on_linux("find . -type l -delete");
        ToolRunTest::TearDown();
    }

    // Runs `command` (no double quotes in it) in the test's folder on the
    // Linux side; returns what it prints. Wine starts a Linux program
    // without a handle to wait on or our pipes, so what it prints comes
    // back in a file, renamed into place once the command is done.
    std::string on_linux(const std::string &command)
    {
        const std::string said = ".linux-said";
        std::string line = "sh -c \"cd " + linux_dir_ + " && (" + command + ") > " + said + ".part; mv " + said +
                           ".part " + said + "\"";
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        if (!CreateProcessA("Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process)) {
            ADD_FAILURE() << "cannot start " << line;
            return "";
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        for (int waited = 0; !exists(said) && waited < 30000; waited += 10)
            Sleep(10);
        EXPECT_TRUE(exists(said)) << line;
        std::string out = read_file(said);
        DeleteFileA(path(said).c_str());
        return out;
    }

    // Every file of `folder` that was there before holds its bytes or
    // their conversion, or is gone with its conversion in a temporary
    // file that an error of `out` names with it; every temporary file is
    // so named. Returns how many files were kept that way.
    int expect_every_content_kept(const std::string &folder, const std::map<std::string, std::string> &before,
                                  const std::string &out)
    {
        std::map<std::string, std::string> after = holdings(path(folder));
        std::map<std::string, std::string> kept;  // temporary file -> the file it stands for
        for (const ErrorLine &e : error_lines(out)) {
            size_t of = e.details.find(" holds the only copy of ");
            if (of != std::string::npos)
                kept[e.details.substr(0, of)] = e.details.substr(of + 24);
        }
        for (const auto &file : before) {
            SCOPED_TRACE(folder + "/" + file.first);
            auto now = after.find(file.first);
            if (now != after.end() && (now->second == file.second || now->second == converted(file.second)))
                continue;
            bool named = false;
            for (const auto &k : kept)
                named = named || k.second == walked(folder + "/" + file.first) ||
                        k.second == path(folder + "/" + file.first);
            EXPECT_TRUE(named) << out;
        }
        for (const auto &name : after) {
            if (name.first.compare(0, 4, "~dvk") != 0)
                continue;
            auto k = kept.find(name.first);
            if (k == kept.end()) {
                ADD_FAILURE() << name.first << " left behind\n" << out;
                continue;
            }
            std::string stands_for = k->second.substr(k->second.rfind('\\') + 1);
            EXPECT_EQ(converted(before.at(stands_for)), name.second) << out;
        }
        return static_cast<int>(kept.size());
    }

    std::string linux_dir_;
};

// A folder or file A.TXT beside a.txt, NOTES.CSC beside notes.csc, and a
// file named as abcdefghij.txt's short name: walked, and named directly.
TEST_F(WineNames, TwinNamesNeverCostTheOnlyCopy)
{
    const struct {
        const char *sub;
        const char *file;
        const char *twin;  // empty: abcdefghij.txt's short name
        bool folder;
        bool walk;
    } cases[] = {
        {"folder-walked", "a.txt", "A.TXT", true, true},     {"file-walked", "a.txt", "A.TXT", false, true},
        {"folder-named", "a.txt", "A.TXT", true, false},     {"file-named", "a.txt", "A.TXT", false, false},
        {"csc-walked", "notes.csc", "NOTES.CSC", false, true}, {"short-walked", "abcdefghij.txt", "", false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sub);
        std::string sub = c.sub;
        make_dir(sub);
        write_file(sub + "/" + c.file, "only\ncopy");
        std::string twin = c.twin;
        if (twin.empty()) {
            char short_name[MAX_PATH];
            ASSERT_NE(0u, GetShortPathNameA(path(sub + "/" + c.file).c_str(), short_name, MAX_PATH));
            twin = short_name + std::string(short_name).rfind('\\') + 1;
            ASSERT_NE(c.file, twin);
        }
        on_linux(std::string(c.folder ? "mkdir " : "echo twin > ") + sub + "/" + twin);
        std::map<std::string, std::string> before = holdings(path(sub));
        ASSERT_EQ(2u, before.size());

        std::string out, err;
        int status = -1;
        run_tool({c.walk ? walked(sub) : walked(sub + "/" + c.file)}, &out, &err, &status);
        EXPECT_EQ(status_for(out), status) << out;
        EXPECT_EQ("", err);
        expect_every_content_kept(sub, before, out);
    }
}

// A symbolic link named as the argument, to a file of another name beside
// it or of its own name in another folder: the file it leads to is
// converted and the link stays a link. In a walk such links, which Wine
// shows as plain files, are refused; the target listed is converted.
TEST_F(WineNames, LinkGivenIsFollowedAndStaysALink)
{
    make_dir("sl");
    make_dir("other");
    write_file("sl/target.txt", "target\n");
    write_file("other/same.txt", "same\n");
    on_linux("ln -s target.txt sl/link.txt && ln -s ../other/same.txt sl/same.txt");
    const std::string links = "for l in sl/link.txt sl/same.txt; do test -L $l && readlink $l; done";
    const std::string as_made = "target.txt\n../other/same.txt\n";
    ASSERT_EQ(as_made, on_linux(links));

    std::string out = run_tool_ok(walked("sl/link.txt"));
    EXPECT_EQ(change_line(walked("sl/link.txt"), 1), out);
    EXPECT_EQ("target\r\n", read_file("sl/target.txt"));
    out = run_tool_ok(path("sl") + "/same.txt");
    EXPECT_EQ(change_line(path("sl") + "/same.txt", 1), out);
    EXPECT_EQ("same\r\n", read_file("other/same.txt"));
    EXPECT_EQ(as_made, on_linux(links));

    write_file("sl/target.txt", "target\n");
    out = run_tool_ok(walked("sl"));
    std::vector<ErrorLine> errors = error_lines(out);
    ASSERT_EQ(2u, errors.size()) << out;
    EXPECT_EQ(ERROR_CANT_RESOLVE_FILENAME, errors[0].code) << out;
    EXPECT_EQ(walked("sl/link.txt"), errors[0].details);
    EXPECT_EQ(ERROR_CANT_RESOLVE_FILENAME, errors[1].code) << out;
    EXPECT_EQ(walked("sl/same.txt"), errors[1].details);
    EXPECT_EQ("same\r\n", read_file("other/same.txt"));
    EXPECT_NE(std::string::npos, out.find(change_line(walked("sl/target.txt"), 1))) << out;
    EXPECT_EQ("target\r\n", read_file("sl/target.txt"));
    EXPECT_EQ(as_made, on_linux(links));
}
