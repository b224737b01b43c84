// Shortcuts made with the system's own shell link object.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <filesystem>
#include <string>

#include "fslib.h"
#include "testutil.h"

namespace {

bool save_shortcut(const std::string &link_path, const std::string &target)
{
    IShellLinkA *link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void **>(&link))))
        return false;
    bool saved = false;
    IPersistFile *file = nullptr;
    if (SUCCEEDED(link->SetPath(target.c_str())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)))) {
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, link_path.c_str(), -1, wide, MAX_PATH);
        saved = SUCCEEDED(file->Save(wide, TRUE));
        file->Release();
    }
    link->Release();
    return saved;
}

std::string expand(const std::string &src)
{
    char dst[FS_MAX_PATH];
    EXPECT_EQ(nullptr, fs_expand_path(src.c_str(), dst, sizeof dst));
    return dst;
}

bool same_file(const std::string &a, const std::string &b)
{
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

class Shortcut : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        write_file("target.txt", "x");
        ASSERT_TRUE(save_shortcut(path("A.LNK"), path("target.txt")));
        ASSERT_TRUE(save_shortcut(path("chain.lnk"), path("A.LNK")));
        write_file("broken.lnk", "not a shortcut");
    }
    void TearDown() override
    {
        fs_resolve_shortcuts = 1;
        CoUninitialize();
        TempDirTest::TearDown();
    }
};

}  // namespace

TEST_F(Shortcut, PathIsReplacedByTheTarget)
{
    EXPECT_TRUE(same_file(path("target.txt"), expand(path("A.LNK"))));
    EXPECT_TRUE(same_file(path("target.txt"), expand("\"" + path("A.LNK") + "\"")));
    EXPECT_TRUE(same_file(path("target.txt"), expand(path("a.lnk"))));

    // The target is used as it is: a target that is itself a shortcut is not
    // followed again.
    EXPECT_TRUE(same_file(path("A.LNK"), expand(path("chain.lnk"))));

    // Shortcuts that cannot be resolved leave the path as expanded.
    EXPECT_EQ(path("broken.lnk"), expand(path("broken.lnk")));
    EXPECT_EQ(path("missing.lnk"), expand(path("missing.lnk")));
    EXPECT_EQ(path("target.txt"), expand(path("target.txt")));

    fs_resolve_shortcuts = 0;
    EXPECT_EQ(path("A.LNK"), expand(path("A.LNK")));
}

TEST_F(Shortcut, ResolveDirectly)
{
    char out[FS_MAX_PATH] = "junk";
    EXPECT_EQ(nullptr, fs_resolve_shortcut(path("A.LNK").c_str(), out, sizeof out));
    EXPECT_TRUE(same_file(path("target.txt"), out));

    // A small output holds the target's first seven characters, terminated
    // inside it.
    char small[12];
    memset(small, 'x', sizeof small);
    EXPECT_EQ(nullptr, fs_resolve_shortcut(path("A.LNK").c_str(), small, 8));
    EXPECT_EQ(std::string(out).substr(0, 7), std::string(small));
    EXPECT_EQ('x', small[8]);

    strcpy(out, "junk");
    EXPECT_EQ(nullptr, fs_resolve_shortcut(path("broken.lnk").c_str(), out, sizeof out));
    EXPECT_STREQ("", out);
}

// A path longer than the wide buffer is never cut to fit: cut to the
// buffer, it would name the shortcut it begins with.
TEST_F(Shortcut, PathLongerThanTheWideBufferIsNotCut)
{
    std::string head = path("");
    head += std::string(FS_MAX_PATH - 1 - head.size(), 's');
    ASSERT_EQ(static_cast<size_t>(FS_MAX_PATH - 1), head.size());
    ASSERT_TRUE(save_shortcut(head, path("target.txt")));
    char out[FS_MAX_PATH] = "junk";
    ASSERT_EQ(nullptr, fs_resolve_shortcut(head.c_str(), out, sizeof out));
    ASSERT_TRUE(same_file(path("target.txt"), out)) << "the shortcut itself resolves";

    const std::string longer = head + "\\more.lnk";
    strcpy(out, "junk");
    EXPECT_EQ(nullptr, fs_resolve_shortcut(longer.c_str(), out, sizeof out));
    EXPECT_STREQ("", out);
    char dst[1024];
    EXPECT_EQ(nullptr, fs_expand_path(longer.c_str(), dst, sizeof dst));
    EXPECT_EQ(longer, std::string(dst));
}

class ShortcutWithoutCom : public TempDirTest {};

TEST_F(ShortcutWithoutCom, PathStaysAsWritten)
{
    write_file("target.txt", "x");
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    bool saved = save_shortcut(path("A.lnk"), path("target.txt"));
    CoUninitialize();
    ASSERT_TRUE(saved);

    EXPECT_EQ(path("A.lnk"), expand(path("A.lnk")));
    char out[FS_MAX_PATH] = "junk";
    EXPECT_EQ(nullptr, fs_resolve_shortcut(path("A.lnk").c_str(), out, sizeof out));
    EXPECT_STREQ("", out);
}
