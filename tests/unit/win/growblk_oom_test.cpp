// Out-of-memory paths through the real allocator, which on the 32-bit target
// runs out of address space long before any 32-bit size is reached.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "fslib.h"

namespace {

const size_t kBallastChunk = 64u << 20;
std::vector<void *> ballast;
int hook_calls = 0;

void fill_address_space()
{
    for (int i = 0; i < 64; i++) {
        void *p = malloc(kBallastChunk);
        if (!p)
            return;
        ballast.push_back(p);
    }
}

void drop_ballast()
{
    for (void *p : ballast)
        free(p);
    ballast.clear();
}

// Gives nothing back on its first call, the ballast on its second.
ErrorRecord *release_on_second_call(int)
{
    if (++hook_calls == 2)
        drop_ballast();
    return nullptr;
}

}  // namespace

TEST(GrowBlockWin, AllocatorRefusalIsCodeTwoAndLeavesTheBlock)
{
    gb_oom_hook = nullptr;
    const int32_t huge = INT32_MAX - 100;
    void *probe = calloc(1, static_cast<size_t>(huge) + sizeof(GbHeader));
    bool refused = probe == nullptr;
    free(probe);
    ASSERT_TRUE(refused) << "the allocator grants 2 GiB here";

    void *none = nullptr;
    err_lib_record.code = 0;
    EXPECT_EQ(&err_lib_record, gb_alloc(&none, huge));
    EXPECT_EQ(ERR_NOMEM, err_lib_record.code);
    EXPECT_EQ(nullptr, none);

    void *p = nullptr;
    ASSERT_EQ(nullptr, gb_alloc(&p, 32));
    memset(p, 0x5A, 32);
    void *before = p;
    err_lib_record.code = 0;
    EXPECT_EQ(&err_lib_record, gb_resize(&p, huge, &gb_default_context));
    EXPECT_EQ(ERR_NOMEM, err_lib_record.code);
    EXPECT_EQ(before, p);
    for (int i = 0; i < 32; i++)
        EXPECT_EQ(0x5A, static_cast<unsigned char *>(p)[i]);
    gb_free(&p);
}

TEST(GrowBlockWin, HookThatFreesMemoryLetsTheAllocationSucceed)
{
    fill_address_space();
    const int32_t size = static_cast<int32_t>(2 * kBallastChunk);
    void *probe = malloc(static_cast<size_t>(size));
    bool refused = probe == nullptr;
    free(probe);
    if (!refused) {
        drop_ballast();
        FAIL() << "could not exhaust the address space";
    }

    hook_calls = 0;
    gb_oom_hook = release_on_second_call;
    void *p = nullptr;
    ErrorRecord *r = gb_alloc(&p, size);
    gb_oom_hook = nullptr;
    drop_ballast();

    EXPECT_EQ(nullptr, r);
    EXPECT_EQ(2, hook_calls);  // three attempts: two refused, one granted
    ASSERT_NE(nullptr, p);
    int32_t reported = 0;
    gb_size(&p, &reported);
    EXPECT_EQ(size, reported);
    gb_free(&p);
}
