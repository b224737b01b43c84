#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <vector>

#include "fslib.h"

namespace {

// The header is read here by plain address arithmetic, not through the
// library, so that the tests see what the block really records.
const GbHeader *header_of(void *payload)
{
    return reinterpret_cast<const GbHeader *>(static_cast<char *>(payload) - sizeof(GbHeader));
}

int32_t payload_size(void *payload)
{
    return header_of(payload)->total_size - static_cast<int32_t>(sizeof(GbHeader));
}

void fill(void *payload, int32_t size, unsigned char seed)
{
    unsigned char *p = static_cast<unsigned char *>(payload);
    for (int32_t i = 0; i < size; i++)
        p[i] = static_cast<unsigned char>(seed + i * 7);
}

bool holds_fill(void *payload, int32_t size, unsigned char seed)
{
    const unsigned char *p = static_cast<const unsigned char *>(payload);
    for (int32_t i = 0; i < size; i++)
        if (p[i] != static_cast<unsigned char>(seed + i * 7))
            return false;
    return true;
}

struct OomHookScript {
    int calls = 0;
    int last_arg = -1;
    int nulls_before_record = 0;
    ErrorRecord record = {77, "hook gave up"};
};
OomHookScript *oom_script = nullptr;

ErrorRecord *scripted_oom_hook(int arg)
{
    oom_script->calls++;
    oom_script->last_arg = arg;
    if (oom_script->calls <= oom_script->nulls_before_record)
        return nullptr;
    return &oom_script->record;
}

class GrowBlock : public ::testing::Test {
protected:
    void SetUp() override { gb_oom_hook = nullptr; }
    void TearDown() override
    {
        gb_oom_hook = nullptr;
        oom_script = nullptr;
    }
};

}  // namespace

TEST_F(GrowBlock, CreateGivesZeroFilledPayloadAndFreshHeader)
{
    for (int32_t size : {0, 1, 12, 100, 5000, 1 << 20}) {
        SCOPED_TRACE(size);
        void *p = nullptr;
        ASSERT_EQ(nullptr, gb_create(&p, size, &gb_default_context));
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(size + static_cast<int32_t>(sizeof(GbHeader)), header_of(p)->total_size);
        EXPECT_EQ(nullptr, header_of(p)->on_move);
        EXPECT_EQ(nullptr, header_of(p)->on_move_data);
        EXPECT_EQ(header_of(p), gb_header(p));
        std::vector<unsigned char> zeros(static_cast<size_t>(size), 0);
        EXPECT_TRUE(size == 0 || memcmp(p, zeros.data(), zeros.size()) == 0);
        int32_t reported = -1;
        EXPECT_EQ(nullptr, gb_size(&p, &reported));
        EXPECT_EQ(size, reported);
        EXPECT_EQ(nullptr, gb_free(&p));
        EXPECT_EQ(nullptr, p);
        EXPECT_EQ(nullptr, gb_free(&p));  // freeing nothing does nothing
    }

    void *a = nullptr;
    void *b = nullptr;
    ASSERT_EQ(nullptr, gb_alloc(&a, 10));
    EXPECT_EQ(nullptr, gb_free_pair(&a, &b));
    EXPECT_EQ(nullptr, a);
    EXPECT_EQ(nullptr, b);
}

TEST_F(GrowBlock, ReserveFollowsTheStepWindow)
{
    const int32_t kNull = -1;
    struct Row {
        int32_t holds;  // payload size before, or kNull for no block
        int32_t need;
        int32_t step;
        int32_t after;
    } rows[] = {
        {kNull, 10, 2048, 2048},   {kNull, 5000, 2048, 5000}, {kNull, -5, 2048, 2048},
        {kNull, 0, 2048, 2048},    {kNull, 2048, 2048, 2048}, {2048, 2047, 2048, 2048},
        {2048, 2048, 2048, 4096},  {4096, 2049, 2048, 4096},  {5000, 5001, 2048, 6144},
        {8192, 100, 2048, 2048},   {4096, 2047, 2048, 2048},  {4096, 2048, 2048, 4096},
        {0, 0, 16, 16},            {100, 99, 1, 100},         {100, 100, 1, 101},
        {100, 50, 1, 51},          {48, 47, 16, 48},          {48, 32, 16, 48},
        {48, 31, 16, 32},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(::testing::Message() << "holds " << row.holds << " need " << row.need
                                          << " step " << row.step);
        void *p = nullptr;
        if (row.holds != kNull) {
            ASSERT_EQ(nullptr, gb_alloc(&p, row.holds));
            fill(p, row.holds, 3);
        }
        void *before = p;
        ASSERT_EQ(nullptr, gb_reserve(&p, row.need, row.step));
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(row.after, payload_size(p));
        if (row.holds != kNull) {
            int32_t kept = row.holds < row.after ? row.holds : row.after;
            EXPECT_TRUE(holds_fill(p, kept, 3));
            if (row.after == row.holds) {
                EXPECT_EQ(before, p);
            }
        }
        gb_free(&p);
    }
}

TEST_F(GrowBlock, NegativeSizesChangeNothing)
{
    void *p = nullptr;
    ASSERT_EQ(nullptr, gb_alloc(&p, 64));
    fill(p, 64, 9);
    void *before = p;
    struct Row {
        const char *what;
        ErrorRecord *(*call)(void **, int32_t);
        bool on_block;
        int32_t size;
    } rows[] = {
        {"create", [](void **b, int32_t s) { return gb_create(b, s, &gb_default_context); }, false, -1},
        {"create", [](void **b, int32_t s) { return gb_create(b, s, &gb_default_context); }, false, INT32_MIN},
        {"alloc", [](void **b, int32_t s) { return gb_alloc(b, s); }, false, -1},
        {"resize", [](void **b, int32_t s) { return gb_resize(b, s, &gb_default_context); }, true, -1},
        {"resize", [](void **b, int32_t s) { return gb_resize(b, s, &gb_default_context); }, true, INT32_MIN},
        {"reserve", [](void **b, int32_t s) { return gb_reserve(b, s, 2048); }, true, -5000},
        {"reserve step 0", [](void **b, int32_t s) { return gb_reserve(b, s, 0); }, true, 10},
        {"reserve step -1", [](void **b, int32_t s) { return gb_reserve(b, s, -1); }, false, 10},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(::testing::Message() << row.what << " " << row.size);
        err_lib_record.code = 0;
        void *q = nullptr;
        void **target = row.on_block ? &p : &q;
        EXPECT_EQ(&err_lib_record, row.call(target, row.size));
        EXPECT_EQ(ERR_NEGSIZE, err_lib_record.code);
        EXPECT_EQ(nullptr, q);
        EXPECT_EQ(before, p);
        EXPECT_EQ(64, payload_size(p));
        EXPECT_TRUE(holds_fill(p, 64, 9));
    }
    gb_free(&p);
}

namespace {

struct MoveLog {
    int calls = 0;
    void *data = nullptr;
    intptr_t distance = 0;
};

void log_move(void *data, intptr_t distance)
{
    MoveLog *log = static_cast<MoveLog *>(data);
    log->calls++;
    log->data = data;
    log->distance = distance;
}

}  // namespace

TEST_F(GrowBlock, ResizeTellsOnMoveOnceWithTheDistance)
{
    void *p = nullptr;
    void *blocker = nullptr;
    ASSERT_EQ(nullptr, gb_alloc(&p, 16));
    ASSERT_EQ(nullptr, gb_alloc(&blocker, 16));  // keeps p from growing in place
    MoveLog log;
    gb_header(p)->on_move = log_move;
    gb_header(p)->on_move_data = &log;

    bool saw_move = false;
    int32_t current = 16;
    fill(p, current, 5);
    for (int32_t size : {1 << 20, (1 << 20) - 16, 1 << 22, 1 << 22, 64, 1 << 23, 1 << 23}) {
        SCOPED_TRACE(size);
        uintptr_t old_address = reinterpret_cast<uintptr_t>(p);
        int calls_before = log.calls;
        ASSERT_EQ(nullptr, gb_resize(&p, size, &gb_default_context));
        uintptr_t new_address = reinterpret_cast<uintptr_t>(p);
        EXPECT_EQ(size, payload_size(p));
        EXPECT_TRUE(holds_fill(p, current < size ? current : size, 5));
        if (new_address != old_address) {
            saw_move = true;
            EXPECT_EQ(calls_before + 1, log.calls);
            EXPECT_EQ(&log, log.data);
            EXPECT_EQ(static_cast<intptr_t>(new_address - old_address), log.distance);
        } else {
            EXPECT_EQ(calls_before, log.calls);
        }
        // The callback travels with the block.
        EXPECT_EQ(log_move, header_of(p)->on_move);
        EXPECT_EQ(&log, header_of(p)->on_move_data);
        current = size;
        fill(p, current, 5);
    }
    EXPECT_TRUE(saw_move);
    gb_free_pair(&p, &blocker);
}

// A payload of INT32_MAX bytes cannot be had on any target: with its header
// the block would not fit the 32-bit total.
TEST_F(GrowBlock, OutOfMemoryAndTheHook)
{
    const int32_t huge = INT32_MAX;
    int sentinel = 0;
    void *untouched = &sentinel;

    // No hook: one attempt, code 2, the handle left alone.
    err_lib_record.code = 0;
    EXPECT_EQ(&err_lib_record, gb_alloc(&untouched, huge));
    EXPECT_EQ(ERR_NOMEM, err_lib_record.code);
    EXPECT_EQ(&sentinel, untouched);

    struct Row {
        int nulls_before_record;
        int expected_calls;
    } rows[] = {{0, 1}, {1, 2}, {2, 3}, {5, 6}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.nulls_before_record);
        OomHookScript script;
        script.nulls_before_record = row.nulls_before_record;
        oom_script = &script;
        gb_oom_hook = scripted_oom_hook;
        EXPECT_EQ(&script.record, gb_alloc(&untouched, huge));
        EXPECT_EQ(row.expected_calls, script.calls);
        EXPECT_EQ(0, script.last_arg);
        EXPECT_EQ(&sentinel, untouched);
        // The failed attempts still filled the library record.
        EXPECT_EQ(ERR_NOMEM, err_lib_record.code);
    }

    // Creating, resizing and reserving never ask the hook.
    OomHookScript script;
    oom_script = &script;
    gb_oom_hook = scripted_oom_hook;
    void *none = nullptr;
    EXPECT_EQ(&err_lib_record, gb_create(&none, huge, &gb_default_context));
    EXPECT_EQ(&err_lib_record, gb_reserve(&none, huge, 2048));
    EXPECT_EQ(nullptr, none);

    void *p = nullptr;
    ASSERT_EQ(nullptr, gb_alloc(&p, 100));  // succeeds at once: no hook call
    fill(p, 100, 4);
    void *before = p;
    EXPECT_EQ(&err_lib_record, gb_resize(&p, huge, &gb_default_context));
    EXPECT_EQ(&err_lib_record, gb_reserve(&p, huge - 1, 2048));
    EXPECT_EQ(&err_lib_record, gb_reserve(&p, huge - 10, INT32_MAX));
    EXPECT_EQ(ERR_NOMEM, err_lib_record.code);
    EXPECT_EQ(before, p);
    EXPECT_EQ(100, payload_size(p));
    EXPECT_TRUE(holds_fill(p, 100, 4));
    EXPECT_EQ(0, script.calls);
    gb_free(&p);
}
