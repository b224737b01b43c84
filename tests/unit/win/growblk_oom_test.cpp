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

TEST(GrowBlockWin, AllocatorRefusalAndAHookThatFreesMemory)
{
    if (sizeof(void *) > 4)
        GTEST_SKIP() << "a 64-bit process has the address space for any 32-bit size, so the "
                        "allocator never refuses one and the space cannot be filled";
    // Two gigabytes: refused, and a refused resize keeps the block.
    const int32_t huge = INT32_MAX - 100;
    void *none = nullptr;
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
    ASSERT_EQ(before, p);
    for (int i = 0; i < 32; i++)
        EXPECT_EQ(0x5A, static_cast<unsigned char *>(p)[i]);
    gb_free(&p);

    // With the address space filled, the hook's second call frees it: the
    // third attempt succeeds.
    for (void *chunk; ballast.size() < 64 && (chunk = malloc(kBallastChunk)) != nullptr;)
        ballast.push_back(chunk);
    const int32_t size = static_cast<int32_t>(2 * kBallastChunk);
    hook_calls = 0;
    gb_oom_hook = release_on_second_call;
    ErrorRecord *r = gb_alloc(&p, size);
    gb_oom_hook = nullptr;
    drop_ballast();
    EXPECT_EQ(nullptr, r);
    EXPECT_EQ(2, hook_calls);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(size, gb_header(p)->total_size - static_cast<int32_t>(sizeof(GbHeader)));
    gb_free(&p);
}
